#include "product/UUtils.h"
#include "tests/ScriptProbe.h"
#include "uninstall/URemovePrevious.h"

#include <gtest/gtest.h>

using namespace vktest;

namespace {

const wchar_t* const UninstallEntry =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";

std::wstring QuotedIfBlank(const std::wstring& path) {
    return path.find(L' ') == std::wstring::npos ? path : L"\"" + path + L"\"";
}

// The entry a previous installation in dir registered, as its uninstall registration writes it.
void RegisterUninstall(const std::wstring& dir) {
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"DisplayName",
                               L"Brightmoss Velkora v4.07"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"UninstallString",
                               QuotedIfBlank(dir + L"\\unbrm.exe") + L" " +
                                   QuotedIfBlank(dir + L"\\uninst.log")));
}

bool EntryExists() {
    std::wstring text;
    return ReadRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"DisplayName", text);
}

}  // namespace

TEST(UninstallLogPathTest, BothFormsOfTheUninstallString) {
    EXPECT_EQ(UninstallLogPathOf(L"C:\\Lib\\unbrm.exe C:\\Lib\\uninst.log"),
              L"C:\\Lib\\uninst.log");
    EXPECT_EQ(UninstallLogPathOf(L"\"C:\\My Lib\\unbrm.exe\" \"C:\\My Lib\\uninst.log\""),
              L"C:\\My Lib\\uninst.log");
    EXPECT_EQ(UninstallLogPathOf(L"unbrm.exe"), L"");
    EXPECT_EQ(UninstallLogPathOf(L"unbrm.exe "), L"");
    EXPECT_EQ(UninstallLogPathOf(L"\"uninst.log\""), L"uninst.log");
    EXPECT_EQ(UninstallLogPathOf(L"\""), L"");
    EXPECT_EQ(UninstallLogPathOf(L"a " + std::wstring(300, L'x')).size(), 255u);
}

class RemovePreviousTest : public InstallStateTest {
protected:
    // A previous installation in dir: its files, its log, its registry key and entry.
    void InstallPrevious(const std::wstring& dir) {
        const std::wstring saved = InstallDir;
        InstallDir = dir;
        std::vector<TScriptItem> items = HeaderItems();
        items.push_back(Item(siCreateDir, L"", dcInstall));
        items.push_back(Item(siExtractFile, L"Source\\a.pas", dcInstall));
        items.push_back(Item(siRegisterUninstall, L"unbrm.exe", 0));
        items.push_back(Item(siCreateRegKey, L"Software\\Brightmoss\\Velkora", 0, 0x80000002, 3));
        WriteUninstLog(items);
        InstallDir = saved;
        CreateDirectoryPath(dir + L"\\Source");
        ASSERT_TRUE(WriteFileBytes(dir + L"\\Source\\a.pas", "unit a;"));
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss\\Velkora", L"Version",
                                   L"4.06"));
        RegisterUninstall(dir);
    }
};

TEST_F(RemovePreviousTest, AQuotedUninstallStringLeadsToTheLog) {
    const std::wstring previous = TempPath(L"Old Lib");
    InstallPrevious(previous);
    InstallDir = TempPath(L"New Lib");
    TScriptProbe script(nullptr, 0);
    EXPECT_EQ(script.DoRemovePrevious(), 0);
    EXPECT_EQ(script.LogString(), L"...Success");
    EXPECT_FALSE(PathExists(previous));
    EXPECT_FALSE(EntryExists());
    EXPECT_EQ(InstallDir, TempPath(L"New Lib"));
}

TEST_F(RemovePreviousTest, AnUnquotedUninstallStringLeadsToTheLog) {
    const std::wstring previous = TempPath(L"OldLib");
    InstallPrevious(previous);
    InstallDir = TempPath(L"NewLib");
    EXPECT_EQ(RemovePreviousInstallation(), 0);
    EXPECT_FALSE(PathExists(previous));
    EXPECT_FALSE(EntryExists());
    EXPECT_EQ(InstallDir, TempPath(L"NewLib"));
}

TEST_F(RemovePreviousTest, WithoutAnEntryNothingIsTouched) {
    const std::wstring previous = TempPath(L"OldLib");
    InstallPrevious(previous);
    ASSERT_TRUE(DeleteRegKeyTree(HKEY_LOCAL_MACHINE, UninstallEntry));
    EXPECT_EQ(RemovePreviousInstallation(), 0);
    EXPECT_TRUE(PathExists(previous + L"\\Source\\a.pas"));
}

TEST_F(RemovePreviousTest, AnEntryWhoseLogIsGoneRemovesNothing) {
    const std::wstring previous = TempPath(L"OldLib");
    InstallPrevious(previous);
    ASSERT_TRUE(DeleteFileW((previous + L"\\uninst.log").c_str()));
    InstallDir = TempPath(L"NewLib");
    EXPECT_EQ(RemovePreviousInstallation(), 0);
    EXPECT_TRUE(PathExists(previous + L"\\Source\\a.pas"));
    EXPECT_TRUE(EntryExists());
    EXPECT_EQ(InstallDir, TempPath(L"NewLib"));
}

TEST_F(RemovePreviousTest, InstallingTwiceIntoOneDirectoryFirstRemovesTheFirstRun) {
    const std::wstring dir = TempPath(L"Lib");
    InstallPrevious(dir);
    ASSERT_TRUE(WriteFileBytes(dir + L"\\install.log", "old"));
    InstallDir = dir;
    std::vector<TScriptItem> items = HeaderItems();
    {
        TScriptProbe script(items.data(), static_cast<int>(items.size()));
        script.Start();
        // The previous run's files and entry went before the new logs were opened.
        EXPECT_FALSE(PathExists(dir + L"\\Source"));
        EXPECT_FALSE(EntryExists());
        EXPECT_EQ(InstallDir, dir);
        script.RecordAll();
    }
    EXPECT_TRUE(ReadFileBytes(dir + L"\\install.log").size() > 3);
    EXPECT_EQ(ReadFileBytes(dir + L"\\uninst.log").substr(0, 7), "UNBRM02");
}
