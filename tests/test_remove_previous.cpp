#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/URegistry.h"
#include "tests/ScriptProbe.h"
#include "uninstall/URemovePrevious.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace vktest;

namespace {

const wchar_t* const UninstallEntry =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";

bool EntryExists() {
    std::wstring text;
    return ReadRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"DisplayName", text);
}

}  // namespace

// A damaged "UninstallString" names no log or a shortened one, never more than it holds.
TEST(UninstallLogPathTest, AMalformedUninstallStringNamesNoLog) {
    EXPECT_EQ(UninstallLogPathOf(L"unbrm.exe "), L"");
    EXPECT_EQ(UninstallLogPathOf(L"\""), L"");
    EXPECT_EQ(UninstallLogPathOf(L"a " + std::wstring(300, L'x')), std::wstring(255, L'x'));
}

class RemovePreviousTest : public InstallStateTest {
protected:
    // A previous installation in dir: its files, its log, its registry key and its uninstall
    // entry as the uninstall registration writes it.
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
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"DisplayName",
                                   L"Brightmoss Velkora v4.07"));
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"UninstallString",
                                   QuotedIfBlank(dir + L"\\unbrm.exe") + L" " +
                                       QuotedIfBlank(dir + L"\\uninst.log")));
    }
};

// Start removes the previous installation before it opens the new logs: from another directory
// (a quoted uninstall string) and from the same one (unquoted).
TEST_F(RemovePreviousTest, StartFirstRemovesThePreviousInstallation) {
    for (const auto& [previousName, newName] :
         {std::pair{L"Old Lib", L"New Lib"}, {L"Lib", L"Lib"}}) {
        SCOPED_TRACE(previousName);
        const std::wstring previous = TempPath(previousName);
        const std::wstring dir = TempPath(newName);
        InstallPrevious(previous);
        ASSERT_TRUE(WriteFileBytes(previous + L"\\install.log", "old"));
        InstallDir = dir;
        const std::vector<TScriptItem> items = HeaderItems();
        {
            TScriptProbe script(items.data(), static_cast<int>(items.size()));
            script.SetPreviousRemover(RemovePreviousInstallation);
            script.Start();
            EXPECT_FALSE(PathExists(previous + L"\\Source"));
            EXPECT_EQ(PathExists(previous), previous == dir);
            EXPECT_FALSE(EntryExists());
            EXPECT_EQ(InstallDir, dir);
            script.RecordAll();
        }
        EXPECT_GT(ReadFileBytes(dir + L"\\install.log").size(), 3u);
        EXPECT_EQ(ReadFileBytes(dir + L"\\uninst.log").substr(0, 7), "UNBRM02");
    }
}

TEST_F(RemovePreviousTest, AMissingEntryOrLogRemovesNothing) {
    const std::wstring previous = TempPath(L"OldLib");
    InstallPrevious(previous);
    ASSERT_TRUE(DeleteFileW((previous + L"\\uninst.log").c_str()));
    InstallDir = TempPath(L"NewLib");
    EXPECT_EQ(RemovePreviousInstallation(), 0);
    EXPECT_TRUE(PathExists(previous + L"\\Source\\a.pas"));
    EXPECT_TRUE(EntryExists());
    EXPECT_EQ(InstallDir, TempPath(L"NewLib"));

    InstallPrevious(previous);
    ASSERT_TRUE(DeleteRegKeyTree(HKEY_LOCAL_MACHINE, UninstallEntry));
    EXPECT_EQ(RemovePreviousInstallation(), 0);
    EXPECT_TRUE(PathExists(previous + L"\\Source\\a.pas"));
}

// Only a log of this product that the entry names by an absolute path is walked: a log whose
// header names another product (or another uninstall entry), and a relative path that would
// resolve against setup.exe's own folder, remove nothing, and the new installation goes on.
TEST_F(RemovePreviousTest, AForeignLogOrARelativeLogPathRemovesNothing) {
    const std::wstring previous = TempPath(L"OldLib");
    const std::wstring dir = TempPath(L"NewLib");
    const std::wstring log = previous + L"\\uninst.log";
    const struct {
        const char* Case;
        const char* From;
        const char* To;
        const wchar_t* UninstallString;  // null: the entry as the installation wrote it
    } rows[] = {{"another product", "Velkora", "Velkorb", nullptr},
                {"another entry", "vklLib", "vklLiX", nullptr},
                {"relative path", "", "", L"unbrm.exe uninst.log"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Case);
        InstallPrevious(previous);
        std::string bytes = ReadFileBytes(log);
        if (*row.From) {
            const size_t at = bytes.find(row.From);
            ASSERT_NE(at, std::string::npos);
            bytes.replace(at, strlen(row.From), row.To);
            ASSERT_TRUE(WriteFileBytes(log, bytes));
        }
        if (row.UninstallString) {
            ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"UninstallString",
                                       row.UninstallString));
        }
        // The log of this product is there, relative to the current directory.
        ASSERT_TRUE(SetCurrentDirectoryW(previous.c_str()));
        InstallDir = dir;
        const std::vector<TScriptItem> items = HeaderItems();
        {
            TScriptProbe script(items.data(), static_cast<int>(items.size()));
            script.SetPreviousRemover(RemovePreviousInstallation);
            script.Start();
            script.RecordAll();
        }
        SetCurrentDirectoryW(TempDir.c_str());
        EXPECT_TRUE(PathExists(previous + L"\\Source\\a.pas"));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss\\Velkora"));
        EXPECT_EQ(InstallDir, dir);
        EXPECT_EQ(ReadFileBytes(dir + L"\\uninst.log").substr(0, 7), "UNBRM02");
    }
}
