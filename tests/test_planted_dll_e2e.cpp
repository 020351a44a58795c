// DLLs planted beside the programs. Windows looks for every DLL outside its KnownDLLs list in a
// program's own folder first (a downloads folder, the installation directory), and the programs
// run elevated. Here a marker DLL sits beside setup.exe and unbrm.exe under each such name that
// the programs load, and Wine is told to prefer those native copies as Windows would
// (WINEDLLOVERRIDES, set by CTest for this test: Wine reads it from its own environment only).
// Each program then does real work; none may have loaded a marker. Runs in a fresh copy of the
// Wine prefix of its own (see tools/in-fresh-prefix.sh), since setup.exe writes the machine.
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/URegistry.h"
#include "script/UScriptItems.h"
#include "script/UUninstLog.h"
#include "support/UText.h"
#include "tests/TestSupport.h"
#include "wizard/UPage.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vktest;

namespace {

constexpr DWORD ProgramTimeoutMs = 60000;

// The planted names, comma-separated in VELKORA_PLANTED_DLLS (the list CTest also hands Wine).
std::vector<std::wstring> PlantedNames() {
    std::vector<std::wstring> names;
    const std::wstring list = EnvironmentValue(L"VELKORA_PLANTED_DLLS");
    for (size_t start = 0; start < list.size();) {
        const size_t comma = std::min(list.find(L',', start), list.size());
        names.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return names;
}

class PlantedDllEndToEnd : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        // The programs see the prefix's real registry: no mapping here.
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        FNames = PlantedNames();
        ASSERT_FALSE(FNames.empty()) << "VELKORA_PLANTED_DLLS is not set";
    }

    // Copies program (from the build directory) into dir with a marker under every name.
    void PlantBeside(const std::wstring& program, const std::wstring& dir) {
        ASSERT_EQ(CreateDirectoryPath(dir), 0u);
        ASSERT_TRUE(CopyFileW((BuildDir() + L"\\" + program).c_str(),
                              (dir + L"\\" + program).c_str(), FALSE));
        const std::wstring marker = BuildDir() + L"\\fixtures\\planted_marker.dll";
        for (const std::wstring& name : FNames)
            ASSERT_TRUE(CopyFileW(marker.c_str(), (dir + L"\\" + name + L".dll").c_str(), FALSE))
                << GetLastError();
    }

    void ExpectNoMarkerRan(const std::wstring& dir, const char* run) const {
        for (const std::wstring& name : FNames)
            EXPECT_FALSE(PathExists(dir + L"\\" + name + L".dll.ran"))
                << run << " loaded the planted " << std::string(name.begin(), name.end()) << ".dll";
    }

    std::vector<std::wstring> FNames;
};

// A small real uninstall log: one directory with one file, the uninstaller, a registry key.
std::string SmallLog(const std::wstring& install, const std::wstring& productKey) {
    const auto record = [](uint32_t kind, uint32_t code, int32_t dirCode,
                           const std::wstring& text) {
        return EncodeUninstRecord(kind | 0x10000, code, dirCode, ToUtf8(text));
    };
    std::string log(UninstLogMagic, UninstMagicSize);
    const std::pair<uint32_t, std::wstring> header[] = {
        {1, L"Velkora"},    {2, L"4.07"}, {3, L"Standard Edition"}, {4, install}, {5, productKey},
        {7, L"vklLib"}, {6, L""}};
    for (const auto& [code, text] : header)
        log += record(siProductInfo, code, 0, text);
    log += record(siCreateDir, 0, dcInstall, L"");
    log += record(siCreateDir, 0, dcInstall, L"Source");
    log += record(siExtractFile, 0, dcInstall, L"Source\\a.pas");
    log += record(siExtractFileIfNewer, 0, dcInstall, L"unbrm.exe");
    log += record(siCreateRegKey, 0x80000002, 0, productKey);
    return log;
}

}  // namespace

// The extraction run, started in the folder it was downloaded to.
TEST_F(PlantedDllEndToEnd, ExtractionRunLoadsNothingFromItsFolder) {
    const std::wstring downloads = TempPath(L"Downloads");
    PlantBeside(L"setup.exe", downloads);
    ChildProcess setup;
    StartProcess(setup, downloads + L"\\setup.exe", L"/X", downloads);
    ASSERT_TRUE(setup) << setup.StartError;
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(setup.Wait(ProgramTimeoutMs, exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(FileExists(downloads + L"\\Source\\Velkora.inc")) << "the extraction ran";
    ExpectNoMarkerRan(downloads, "setup.exe /X");
}

// The wizard: its first page shown, then cancelled.
TEST_F(PlantedDllEndToEnd, WizardLoadsNothingFromItsFolder) {
    const std::wstring downloads = TempPath(L"Downloads");
    PlantBeside(L"setup.exe", downloads);
    ChildProcess setup;
    StartProcess(setup, downloads + L"\\setup.exe", L"", downloads);
    ASSERT_TRUE(setup) << setup.StartError;
    const DWORD pid = setup.Info.dwProcessId;
    HWND wizard = WaitForWindow(L"#32770", WizardCaption, pid, ProgramTimeoutMs);
    ExpectNoMarkerRan(downloads, "the wizard");
    ASSERT_NE(wizard, nullptr);
    EXPECT_TRUE(Eventually(
        [&] { return IsWindowVisible(GetDlgItem(wizard, idcPageText)) != FALSE; }, 10000));
    PostMessageW(wizard, WM_COMMAND, IDCANCEL, 0);
    HWND confirm = WaitForWindow(L"#32770", L"Install", pid, ProgramTimeoutMs);
    ASSERT_NE(confirm, nullptr);
    PostMessageW(confirm, WM_COMMAND, IDYES, 0);
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(setup.Wait(ProgramTimeoutMs, exitCode));
    EXPECT_EQ(exitCode, 0u);
    ExpectNoMarkerRan(downloads, "the wizard");
}

// A silent removal by the installed uninstaller, which also starts its temporary copy.
TEST_F(PlantedDllEndToEnd, SilentRemovalLoadsNothingFromTheInstallationDirectory) {
    const std::wstring install = TempPath(L"Velkora Lib");
    // The product's own key: a log may remove nothing else (the test has a prefix of its own).
    const std::wstring productKey = L"Software\\Brightmoss\\Velkora";
    PlantBeside(L"unbrm.exe", install);
    ASSERT_EQ(CreateDirectoryPath(install + L"\\Source"), 0u);
    ASSERT_TRUE(WriteFileBytes(install + L"\\Source\\a.pas", "unit a;"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, productKey, L"Version", L"4.07"));
    ASSERT_TRUE(WriteFileBytes(install + L"\\uninst.log", SmallLog(install, productKey)));
    ChildProcess unbrm;
    StartProcess(unbrm, install + L"\\unbrm.exe", L"/S \"" + install + L"\\uninst.log\"", install);
    ASSERT_TRUE(unbrm) << unbrm.StartError;
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(unbrm.Wait(ProgramTimeoutMs, exitCode));
    EXPECT_EQ(exitCode, 0u);
    // The copy did the removal; the planted files keep the directory itself.
    EXPECT_TRUE(Eventually([&] { return !PathExists(install + L"\\Source"); }, ProgramTimeoutMs));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, productKey));
    ExpectNoMarkerRan(install, "unbrm.exe /S");
}
