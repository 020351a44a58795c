// Prints the time of a whole run of the product table (no IDE chosen: context help and demos)
// into a temporary installation directory, and of a keyword-file merge of two 10,000-line files.
// The registry roots are mapped onto a scratch key for the run, as in the tests.
#include "product/UCommandLine.h"
#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProcess.h"
#include "script/UScript.h"
#include "support/UHandles.h"
#include "support/UbrmStringList.h"
#include "bench/BenchTiming.h"

#include <cstdio>
#include <string>

namespace {

double RunTable() {
    InstallItems = 0x80 | 0x200;
    InstallVersions = 0;
    return TimedMs([] {
        TScript script;
        script.Start();
        for (script.SetCurrent(0); script.Current() < script.Count();
             script.SetCurrent(script.Current() + 1))
            script.ItemDoScript();
    });
}

// Sorted keywords as an IDE keyword file holds them; step and offset give two overlapping sets.
void WriteKeywords(const std::wstring& path, int count, int step, int offset) {
    TbrmStringList sorted;
    for (int i = 0; i < count; ++i)
        sorted.Add(L"TVkl" + std::to_wstring(1000000 + i * step + offset).substr(1) + L".Property" +
                   std::to_wstring(i % 7));
    sorted.SaveToFileA(path);
}

double MergeKeywords(const std::wstring& dir) {
    WriteKeywords(dir + L"\\new.kwf", 10000, 2, 1);
    WriteKeywords(dir + L"\\ide.kwf", 10000, 3, 0);
    const TScriptItem item = {siMergeFiles, 0,          L"new.kwf", 0, dcInstall,
                              nullptr,      L"ide.kwf", dcInstall,  0, nullptr};
    TScript script(&item, 1);
    script.SetLogEnable(false);
    return TimedMs([&] { script.ItemDoScript(); });
}

HKEY CreateUserKey(const std::wstring& path) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    return key;
}

}  // namespace

int wmain() {
    GetOsPlatform();
    const std::wstring scratch =
        L"Software\\VelkoraBench\\" + std::to_wstring(GetCurrentProcessId());
    handles::RegKey machine(CreateUserKey(scratch + L"\\HKLM"));
    handles::RegKey user(CreateUserKey(scratch + L"\\HKCU"));
    if (!machine || !user ||
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine.get()) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, user.get()) != ERROR_SUCCESS) {
        fprintf(stderr, "cannot map the registry roots onto a scratch key\n");
        return 1;
    }
    const std::wstring root =
        BaseDir(dcTemp) + L"vkbench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryPath(root);
    InstallDir = root + L"\\run";
    // The table also writes a templates file into the Windows directory; only a new one goes.
    const std::wstring templates = ItemPath(dcWindows, L"vklib.dct");
    const bool templatesPresent = FileExists(templates);
    const double run = RunTable();
    if (!templatesPresent)
        DeleteFileW(templates.c_str());

    InstallDir = root + L"\\merge";
    CreateDirectoryPath(InstallDir);
    const double merge = MergeKeywords(InstallDir);
    TbrmStringList merged;
    merged.LoadFromFile(InstallDir + L"\\ide.kwf");
    DeleteTree(root, false);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    machine.reset();
    user.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelkoraBench");

    printf("whole table run (help and demos, %d items): %.1f ms (target < 2000 ms)\n",
           ScriptItemCount, run);
    printf("merge of two 10,000-line keyword files (%d lines after): %.1f ms (target < 100 ms)\n",
           merged.Count(), merge);
    return 0;
}
