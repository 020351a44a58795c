// unbrm.exe as a program under Wine, in a fresh copy of the ready prefix (the child sees the
// prefix's real registry): the logs name the product's own key, as an installation's do.
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/URegistry.h"
#include "script/UScriptItems.h"
#include "script/UUninstLog.h"
#include "support/UHandles.h"
#include "support/UText.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vktest;

namespace {

bool DirectoryIsEmpty(const std::wstring& dir) {
    WIN32_FIND_DATAW entry;
    const handles::FindHandle search(FindFirstFileW((dir + L"\\*").c_str(), &entry));
    bool empty = true;
    for (bool more = bool(search); more && empty; more = FindNextFileW(search.get(), &entry))
        empty = wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0;
    return empty;
}

bool HasText(HWND dialog, const std::wstring& text) {
    const std::vector<std::wstring> texts = ChildTexts(dialog);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

std::string Record(uint32_t kind, uint32_t code, int32_t dirCode, const std::wstring& text) {
    return EncodeUninstRecord(kind | 0x10000, code, dirCode, ToUtf8(text));
}

class UnbrmProgram : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        const DWORD length = GetTempPathW(MAX_PATH, temp);
        ASSERT_GT(length, 0u);
        const std::wstring unique =
            std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
        FRoot = std::wstring(temp, length) + L"vkunbrmtest-" + unique;
        FInstall = FRoot + L"\\Velkora Lib";
        FCopies = FRoot + L"\\tmp";
        FEntryName = L"vklLibTest-" + unique;
        FProductKey = L"Software\\Brightmoss\\Velkora";
        ASSERT_EQ(CreateDirectoryPath(FInstall + L"\\Source"), 0u);
        ASSERT_EQ(CreateDirectoryPath(FCopies), 0u);
        ASSERT_TRUE(CopyFileW((BuildDir() + L"\\unbrm.exe").c_str(),
                              (FInstall + L"\\unbrm.exe").c_str(), FALSE));
        ASSERT_TRUE(WriteFileBytes(FInstall + L"\\Source\\a.pas", "unit a;"));
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, FProductKey, L"Version", L"4.07"));
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, FProductKey + L"\\Options", L"A", L"1"));
        ASSERT_TRUE(WriteFileBytes(LogPath(), Log()));
        // The copy goes below the test's own directory, where the test can watch it.
        FSavedTmp = EnvironmentValue(L"TMP");
        FSavedTemp = EnvironmentValue(L"TEMP");
        SetEnvironmentVariableW(L"TMP", FCopies.c_str());
        SetEnvironmentVariableW(L"TEMP", FCopies.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"TMP", FSavedTmp.empty() ? nullptr : FSavedTmp.c_str());
        SetEnvironmentVariableW(L"TEMP", FSavedTemp.empty() ? nullptr : FSavedTemp.c_str());
        DeleteRegKeyTree(HKEY_LOCAL_MACHINE, FProductKey);
        RemoveTree(FRoot);
    }

    std::wstring LogPath() const { return FInstall + L"\\uninst.log"; }

    std::string Log(const std::string& extra = {}) const {
        std::string log(UninstLogMagic, UninstMagicSize);
        const std::pair<uint32_t, std::wstring> header[] = {{1, L"Velkora"},
                                                            {2, L"4.07"},
                                                            {3, L"Standard Edition"},
                                                            {4, FInstall},
                                                            {5, L"Software\\Brightmoss\\Velkora"},
                                                            {7, FEntryName},
                                                            {6, L""}};
        for (const auto& [code, text] : header)
            log += Record(siProductInfo, code, 0, text);
        log += Record(siCreateDir, 0, dcInstall, L"");  // the installation directory
        log += Record(siCreateDir, 0, dcInstall, L"Source");
        log += Record(siExtractFile, 0, dcInstall, L"Source\\a.pas");
        // The uninstaller itself has no undo of its own: the directory tree takes it.
        log += Record(siExtractFileIfNewer, 0, dcInstall, L"unbrm.exe");
        log += Record(siCreateRegKey, 0x80000002, 0, FProductKey);
        return log + extra;
    }

    // Starts the uninstaller on the log, in the installation directory.
    void Start(ChildProcess& child, const std::wstring& switches) const {
        StartProcess(child, FInstall + L"\\unbrm.exe", switches + L"\"" + LogPath() + L"\"",
                     FInstall);
        ASSERT_TRUE(child) << child.StartError;
    }
    // The exit code of a silent run on log, or STILL_ACTIVE when it did not end.
    DWORD RunSilently(const std::wstring& log) const {
        ChildProcess child;
        StartProcess(child, FInstall + L"\\unbrm.exe", L"/S \"" + log + L"\"", FInstall);
        EXPECT_TRUE(child) << child.StartError;
        DWORD exitCode = STILL_ACTIVE;
        child.Wait(20000, exitCode);
        return exitCode;
    }

    bool Removed() const {
        return !PathExists(FInstall) && !KeyExists(HKEY_LOCAL_MACHINE, FProductKey);
    }
    bool Untouched() const {
        return PathExists(FInstall + L"\\Source\\a.pas") && PathExists(FInstall + L"\\unbrm.exe") &&
               KeyExists(HKEY_LOCAL_MACHINE, FProductKey);
    }

    std::wstring FRoot, FInstall, FCopies, FEntryName, FProductKey, FSavedTmp, FSavedTemp;
};

}  // namespace

TEST_F(UnbrmProgram, AsksThenRemovesTheInstallationWithItsOwnDirectoryAndItsCopy) {
    ChildProcess child;
    Start(child, L"");
    HWND question = WaitForWindow(L"#32770", L"Velkora Uninstall", child.Info.dwProcessId, 20000);
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(HasText(question, L"Do you want to completely remove \"Standard Edition of "
                                  L"Velkora v4.07\" and all of its components?"));
    EXPECT_TRUE(Untouched());
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(child.Wait(20000, exitCode));
    EXPECT_EQ(exitCode, 0u);

    // The copy shows the walk in the wizard's window and then says that it is done.
    HWND done = WaitForWindow(L"#32770", L"Velkora Uninstall", 0, 30000);
    ASSERT_NE(done, nullptr);
    HWND progress = GetWindow(done, GW_OWNER);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(WindowText(progress), L"Uninstalling Velkora");
    EXPECT_EQ(WindowText(GetDlgItem(progress, 256)),
              L"Performing uninstall of the \"Standard Edition of Velkora v4.07\"...");
    EXPECT_TRUE(HasText(done, L"\"Standard Edition of Velkora v4.07\" was successfully removed "
                              L"from your computer."));
    EXPECT_TRUE(Removed());
    PostMessageW(done, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Eventually([&] { return DirectoryIsEmpty(FCopies); }, 20000))
        << "the temporary copy stayed";
}

// A silent run needs no window: a damaged log fails and removes nothing, a sound one removes all.
TEST_F(UnbrmProgram, SilentRemovalRejectsADamagedLogThenRemovesTheInstallation) {
    std::string log = Log();
    log[log.size() - 1] = '\x7F';  // the last RecLen now reaches far before the file's start
    ASSERT_TRUE(WriteFileBytes(LogPath(), log));
    EXPECT_EQ(RunSilently(LogPath()), 2u);
    EXPECT_TRUE(Untouched());
    EXPECT_TRUE(DirectoryIsEmpty(FCopies));

    // Named as a user in the installation directory types it: the copy, which runs elsewhere,
    // must still find it.
    ASSERT_TRUE(WriteFileBytes(LogPath(), Log()));
    EXPECT_EQ(RunSilently(L"uninst.log"), 0u);
    EXPECT_TRUE(Eventually([&] { return Removed() && DirectoryIsEmpty(FCopies); }, 20000));
}

// A sound log with one record more that reaches outside what an installation writes is refused
// as a damaged one: nothing is removed, neither the installation nor what the record names.
TEST_F(UnbrmProgram, SilentRemovalRefusesALogThatReachesOutsideTheInstallation) {
    const std::wstring outside = FRoot + L"\\user.txt";
    const std::wstring foreignKey = L"Software\\OtherVendor\\Product";
    ASSERT_TRUE(WriteFileBytes(outside, "the user's own"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, foreignKey, L"Version", L"1"));
    for (const std::string& hostile : {Record(siExtractFile, 0, dcInstall, L"..\\user.txt"),
                                       Record(siCreateRegKey, 0x80000002, 0, foreignKey)}) {
        ASSERT_TRUE(WriteFileBytes(LogPath(), Log(hostile)));
        EXPECT_EQ(RunSilently(LogPath()), 2u);
        EXPECT_TRUE(Untouched());
        EXPECT_EQ(ReadFileBytes(outside), "the user's own");
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, foreignKey));
    }
}
