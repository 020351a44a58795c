#include "entry/UCommandLine.h"

#include "product/UConst.h"
#include "product/UUtils.h"
#include "script/UScriptItems.h"
#include "support/UHandles.h"
#include "wizard/UPage.h"

#include <windows.h>

#include <shellapi.h>

bool CopyOnly = false;
bool EnableControls = false;
bool ShowParams = false;
bool ExtractOnly = false;

const wchar_t* const ParamsCaption = L"Parameters description";
const wchar_t* const ParamsText =
    L"Brightmoss setup parameters description:\r\n"
    L"  /C - Copy files only. No package,help registration;\r\n"
    L"  /E - Enable controls even if previous version installed;\r\n"
    L"  /X - Extract files to the current directory. No dialog. No package,help registration;\r\n"
    L"  /? - Parameters description.";

void ParseArguments(const std::vector<std::wstring>& arguments) {
    for (const std::wstring& argument : arguments) {
        if (argument.size() != 2)
            continue;
        if (argument[0] != L'-' && argument[0] != L'/' && argument[0] != L'\\')
            continue;
        wchar_t letter = argument[1];
        if (letter >= L'a' && letter <= L'z')
            letter = static_cast<wchar_t>(letter - L'a' + L'A');
        // Every switch assigns all four flags, so the last one alone decides.
        CopyOnly = letter == L'C';
        EnableControls = letter == L'E';
        ShowParams = letter == L'H' || letter == L'?';
        ExtractOnly = letter == L'X';
    }
}

void ParseCommandLine() {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    handles::LocalMemory owner(reinterpret_cast<HLOCAL>(argv));
    std::vector<std::wstring> arguments;
    for (int i = 1; argv && i < count; ++i)
        arguments.emplace_back(argv[i]);
    ParseArguments(arguments);
}

void ExtractAll() {
    InstallDir = CurrentDirectory();
    for (int row = 0; row < ScriptItemRows; ++row) {
        const TScriptItem& item = ScriptItems[row];
        if ((item.ItemType & 0xC000) == 0)
            continue;
        const std::wstring name = item.Name ? item.Name : L"";
        if (item.ItemType == siCreateDir)
            CreateDirectoryPath(ItemPath(item.DirCode, name));
        else if (item.ItemType == siExtractFile)
            ExtractResourceFile(static_cast<int>(item.Code), ItemPath(item.DirCode, name));
    }
}

int RunSetup() {
    if (ShowParams)
        MessageBoxW(nullptr, ParamsText, ParamsCaption, MB_OK);
    else if (ExtractOnly)
        ExtractAll();
    else
        RunWizard();
    return 0;
}
