// A machine with four test IDEs whose build tools are the stand-ins (C++Builder 6, RAD Studio
// 2009, RAD Studio XE10.4 without and RAD Studio 11 with the 64-bit compiler), and one
// installation of the product's table run as the wizard runs it. Works on the real registry and
// system directories: use it only in a fresh copy of the test prefix.
#pragma once

#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UProducts.h"
#include "product/URegistry.h"
#include "script/UScript.h"
#include "uninstall/URemovePrevious.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vktest {

struct TIdeMachine {
    std::wstring Root;     // everything of the machine lies below it
    std::wstring Cb6;      // C++Builder 6's directory, with the help files
    std::wstring Install;  // the installation directory, with a blank in its path

    // The choices of the selection page for these IDEs, context help and demos.
    static constexpr uint32_t Versions = 0x80 | 0x1000 | 0x4000000 | 0x8000000;
    static constexpr uint32_t Items = 0x40 | 0x4000 | 0x10000000 | 0x20000000 | 0x80 | 0x200;

    // Creates the IDEs below root with copies of standinTool as their build tools, their help
    // files and registry settings. False at the first step that fails.
    bool Create(const std::wstring& root, const std::wstring& standinTool) {
        Root = root;
        Cb6 = root + L"\\Borland\\CBuilder6";
        Install = root + L"\\Program Files\\Velkora";
        const std::wstring studio = root + L"\\Embarcadero\\Studio\\";
        const struct {
            int Index;
            std::wstring Dir;
            std::vector<const wchar_t*> Tools;
        } ides[] = {{8, Cb6, {L"make.exe"}},
                    {13, root + L"\\CodeGear\\RAD Studio\\6.0", {L"dcc32.exe"}},
                    {27, studio + L"21.0", {L"dcc32.exe"}},
                    {28, studio + L"22.0", {L"dcc32.exe", L"dcc64.exe"}}};
        // The machine's program directory exists before any installation.
        bool made = CreateDirectoryPath(root + L"\\Program Files") == 0;
        for (const auto& ide : ides) {
            made = made && CreateDirectoryPath(ide.Dir + L"\\bin") == 0;
            for (const wchar_t* tool : ide.Tools)
                made = made &&
                       CopyFileW(standinTool.c_str(), (ide.Dir + L"\\bin\\" + tool).c_str(), FALSE);
            // Detection removes the trailing backslash that some IDEs store.
            made = made && WriteRegString(HKEY_LOCAL_MACHINE, BorlandProducts[ide.Index].RegKey,
                                          L"RootDir", ide.Dir + L"\\");
        }
        // What a C++Builder 6 keeps in its help directory.
        const std::wstring help = Cb6 + L"\\Help\\";
        made = made && CreateDirectoryPath(help) == 0;
        const std::pair<const wchar_t*, std::string> helpFiles[] = {
            {L"bcb6.ohi", ":Index C++Builder=bcb6.hlp\r\n"},
            {L"bcb6.ohl", ":Link bcb6.hlp\r\n:Link bcb6vcl.hlp\r\n"},
            {L"bcb6.als", "AnsiString=AnsiString\r\nTForm=TForm\r\n"},
            {L"bcb6.gid", "help cache"}};
        for (const auto& [name, text] : helpFiles)
            made = made && std::ofstream(std::filesystem::path(help + name), std::ios::binary)
                               .write(text.data(), std::ssize(text))
                               .good();
        // The IDEs' own settings, which an installation extends and the uninstaller restores.
        const std::wstring cb6 = L"Software\\Borland\\C++Builder\\6.0\\",
                           bds = L"Software\\CodeGear\\BDS\\6.0\\",
                           release = L"$(BDSLIB)\\$(Platform)\\release";
        std::vector<std::vector<std::wstring>> settings{
            {cb6 + L"Library", L"Search Path", L"$(BCB)\\Lib;$(BCB)\\Lib\\Obj"},
            {cb6 + L"Known Packages", L"$(BCB)\\Bin\\dclstd60.bpl", L"Borland Standard Components"},
            {bds + L"Library", L"Search Path", release + L";$(BDS)\\Imports"},
            {bds + L"C++\\Paths", L"SearchPath", L"$(BDS)\\include"},
            {bds + L"C++\\Paths", L"LibraryPath", L"$(BDS)\\lib"},
            {bds + L"Known Packages", L"$(BDS)\\bin\\dclstd120.bpl",
             L"Embarcadero Standard Components"},
            {bds + L"Globals", L"PrevVersion", L"12.0"}};
        for (const std::wstring rad :
             {L"Software\\Embarcadero\\BDS\\21.0\\", L"Software\\Embarcadero\\BDS\\22.0\\"}) {
            for (const wchar_t* platform : {L"Win32", L"Win64"}) {
                settings.push_back({rad + L"Library\\" + platform, L"Search Path", release});
                settings.push_back({rad + L"C++\\Paths\\" + platform, L"LibraryPath", release});
            }
            settings.push_back({rad + L"Known Packages", L"$(BDS)\\bin\\dclstd280.bpl",
                                L"Embarcadero Standard Components"});
        }
        for (const auto& setting : settings)
            made = made && WriteRegString(HKEY_CURRENT_USER, setting[0], setting[1], setting[2]);
        return made;
    }

    // One installation as the wizard runs it: detection and the choices of the selection page,
    // the script from Start to its last item, and the installation record of the finish page.
    // Answers every non-zero item result as "row:result log text".
    std::vector<std::wstring> RunInstallation() const {
        SetCurrentDirectoryW(Root.c_str());
        DetectProducts();
        PreselectProducts(0);
        InstallDir = Install;
        InstallVersions = Versions;
        InstallItems = Items;
        std::vector<std::wstring> errors;
        {
            TScript script;
            script.SetPreviousRemover(RemovePreviousInstallation);
            script.Start();
            for (script.SetCurrent(0); script.Current() < script.Count();
                 script.SetCurrent(script.Current() + 1))
                if (const int result = script.ItemDoScript(); result != 0)
                    errors.push_back(std::to_wstring(script.Current()) + L":" +
                                     std::to_wstring(result) + L" " + script.LogString());
        }
        WriteInstallRecord();
        // The installer ends here; its current directory was inside the installation.
        SetCurrentDirectoryW(Root.c_str());
        return errors;
    }
};

}  // namespace vktest
