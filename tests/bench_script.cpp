// Prints the time of a whole run of the product table (no IDE chosen: context help and demos)
// into a temporary installation directory, and of a keyword-file merge of two 10,000-line files.
// The registry roots are mapped onto a scratch key for the run, as in the tests.
#include "entry/UCommandLine.h"
#include "product/UConst.h"
#include "product/UUtils.h"
#include "script/UScript.h"
#include "support/UbrmStringList.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double RunTable() {
    InstallItems = 0x80 | 0x200;
    InstallVersions = 0;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    {
        TScript script;
        script.Start();
        for (script.SetCurrent(0); script.Current() < script.Count();
             script.SetCurrent(script.Current() + 1))
            script.ItemDoScript();
    }
    QueryPerformanceCounter(&end);
    return Milliseconds(start, end);
}

// Sorted keywords as an IDE keyword file holds them; step and offset give two overlapping sets.
void WriteKeywords(const std::wstring& path, int count, int step, int offset) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char line[32];
        snprintf(line, sizeof line, "TVkl%06d.Property%d\r\n", i * step + offset, i % 7);
        text += line;
    }
    TbrmStringList sorted;
    const std::wstring scratch = path + L".unsorted";
    HANDLE file = CreateFileW(scratch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    TbrmStringList lines;
    lines.LoadFromFile(scratch);
    for (int i = 0; i < lines.Count(); ++i)
        sorted.Add(lines.Get(i));
    sorted.SaveToFileA(path);
    DeleteFileW(scratch.c_str());
}

double MergeKeywords(const std::wstring& dir) {
    WriteKeywords(dir + L"\\new.kwf", 10000, 2, 1);
    WriteKeywords(dir + L"\\ide.kwf", 10000, 3, 0);
    const TScriptItem item = {siMergeFiles, 0,          L"new.kwf", 0, dcInstall,
                              nullptr,      L"ide.kwf", dcInstall,  0, nullptr};
    TScript script(&item, 1);
    script.SetLogEnable(false);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    script.ItemDoScript();
    QueryPerformanceCounter(&end);
    return Milliseconds(start, end);
}

} // namespace

int wmain() {
    GetOsPlatform();
    const std::wstring scratch =
        L"Software\\VelkoraBench\\" + std::to_wstring(GetCurrentProcessId());
    HKEY machine = nullptr;
    HKEY user = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, (scratch + L"\\HKLM").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &machine, nullptr);
    RegCreateKeyExW(HKEY_CURRENT_USER, (scratch + L"\\HKCU").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &user, nullptr);
    if (!machine || !user || RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, user) != ERROR_SUCCESS) {
        fprintf(stderr, "cannot map the registry roots onto a scratch key\n");
        return 1;
    }
    const std::wstring root =
        BaseDir(dcTemp) + L"vkbench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryPath(root);

    InstallDir = root + L"\\run";
    const std::wstring templates = ItemPath(dcWindows, L"vklib.dct");
    const bool templatesPresent = FileExists(templates);
    const double run = RunTable();
    DeleteTree(InstallDir, false);
    // The table also writes a templates file into the Windows directory; only a new one goes.
    if (!templatesPresent)
        DeleteFileW(templates.c_str());

    InstallDir = root + L"\\merge";
    CreateDirectoryPath(InstallDir);
    const double merge = MergeKeywords(InstallDir);
    TbrmStringList merged;
    merged.LoadFromFile(InstallDir + L"\\ide.kwf");
    const int lines = merged.Count();
    DeleteTree(root, false);

    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(machine);
    RegCloseKey(user);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelkoraBench");

    printf("whole table run (help and demos, %d items): %.1f ms (target < 2000 ms)\n",
           ScriptItemCount, run);
    printf("merge of two 10,000-line keyword files (%d lines after): %.1f ms (target < 100 ms)\n",
           lines, merge);
    return 0;
}
