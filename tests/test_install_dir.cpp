// The installation folder rules without a window: normalised comparisons, the length bound,
// and the folder of a previous installation. (The directory page's walk over every refused
// kind is in test_wizard.cpp.)
#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "script/UInstallDir.h"
#include "script/UScriptItems.h"
#include "script/UUninstLog.h"
#include "support/UText.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace vktest;

namespace {

class InstallDirTest : public SandboxTest {
protected:
    // An uninstall log whose header names product and entry.
    static std::string Log(const std::wstring& product, const std::wstring& entry) {
        std::string log = UninstLogMagic;
        const std::pair<uint32_t, std::wstring> header[] = {
            {1, product},        {2, sProductVersion}, {3, sProductType}, {4, L"C:\\Old"},
            {5, sProductRegKey}, {7, entry},           {6, L""}};
        for (const auto& [code, text] : header)
            log += EncodeUninstRecord(siProductInfo | 0x10000, code, 0, ToUtf8(text));
        return log;
    }
    void Folder(const std::wstring& relative, const std::string& logBytes = "",
                const std::string& otherFile = "") {
        ASSERT_EQ(CreateDirectoryPath(TempPath(relative)), 0u);
        if (!logBytes.empty()) {
            ASSERT_TRUE(WriteFileBytes(TempPath(relative + L"\\uninst.log"), logBytes));
        }
        if (!otherFile.empty()) {
            ASSERT_TRUE(WriteFileBytes(TempPath(relative + L"\\ReadMe.txt"), otherFile));
        }
    }
};

}  // namespace

TEST_F(InstallDirTest, VerdictsAndNormalisedFolders) {
    const std::wstring windows = EnvironmentValue(L"SystemRoot");
    const std::wstring profile = EnvironmentValue(L"USERPROFILE");
    const std::wstring profiles = profile.substr(0, profile.rfind(L'\\'));
    Folder(L"Empty");
    Folder(L"Previous", Log(sProductName, sUninstallEntryName), "installed");
    Folder(L"OtherProduct", Log(L"Otherlib", sUninstallEntryName), "theirs");
    Folder(L"OtherEntry", Log(sProductName, L"otherLib"), "theirs");
    Folder(L"NotALog", "UNBRM0x garbage", "theirs");
    const std::wstring programFiles = EnvironmentValue(L"ProgramFiles");
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(programFiles.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(shortName, programFiles) << "Program Files has a short name of its own";
    const size_t room = MaxInstallDirLength();
    const std::wstring longest = TempPath(std::wstring(room - TempDir.size() - 1, L'x'));
    const struct {
        std::wstring Typed;
        TDirVerdict Verdict;
        std::wstring Normalized;  // checked when not empty
    } cases[] = {
        {L"  ", TDirVerdict::Empty, L""},
        {L"\\Velkora", TDirVerdict::Relative, L""},
        {L"C:\\..", TDirVerdict::Root, L""},
        {L"//server/share/x", TDirVerdict::Network, L""},
        {TempPath(L"x\\NUL"), TDirVerdict::Network, L""},
        {TempPath(L"a<b"), TDirVerdict::BadCharacter, L""},
        {TempPath(L"a:b"), TDirVerdict::BadCharacter, L""},
        {TempPath(L" lead\\trail "), TDirVerdict::BadCharacter, L""},
        {LowerCase(windows) + L"/", TDirVerdict::Protected, L""},
        {shortName, TDirVerdict::Protected, L""},
        {std::wstring(shortName) + L"\\Velkora", TDirVerdict::Accepted,
         programFiles + L"\\Velkora"},
        {EnvironmentValue(L"ProgramData"), TDirVerdict::Protected, L""},
        {profiles, TDirVerdict::Protected, L""},
        {profiles + L"\\Someone", TDirVerdict::Protected, L""},
        {profiles + L"\\Someone\\Documents", TDirVerdict::Protected, L""},
        {profiles + L"\\Someone\\AppData\\Roaming", TDirVerdict::Protected, L""},
        {profiles + L"\\Someone\\Documents\\Velkora", TDirVerdict::Accepted,
         profiles + L"\\Someone\\Documents\\Velkora"},
        {TempPath(L"v1.5 lib\\.\\x\\..\\Velkora\\"), TDirVerdict::Accepted,
         TempPath(L"v1.5 lib\\Velkora")},
        {longest, TDirVerdict::Accepted, longest},
        {longest + L"y", TDirVerdict::TooLong, L""},
        {TempPath(L"Empty"), TDirVerdict::Accepted, TempPath(L"Empty")},
        {TempPath(L"Previous"), TDirVerdict::Accepted, TempPath(L"Previous")},
        {TempPath(L"OtherProduct"), TDirVerdict::NotEmpty, L""},
        {TempPath(L"OtherEntry"), TDirVerdict::NotEmpty, L""},
        {TempPath(L"NotALog"), TDirVerdict::NotEmpty, L""},
    };
    for (const auto& [typed, verdict, expected] : cases) {
        SCOPED_TRACE(ToAnsi(typed));
        std::wstring normalized = L"stale";
        EXPECT_EQ(CheckInstallDir(typed, normalized), verdict);
        if (!expected.empty()) {
            EXPECT_EQ(normalized, expected);
        }
    }
}

// The bound leaves room for every path the table writes below the folder, the package builds'
// compiled units (beside the package they check) included.
TEST_F(InstallDirTest, RoomForThePayloadAndOneTextPerRefusal) {
    const size_t longest = LongestInstalledPath();
    for (int row = 0; row < ScriptItemRows; ++row) {
        const TScriptItem& item = ScriptItems[row];
        if ((item.ItemType & 0x8000) && item.DirCode == dcInstall && item.Name) {
            EXPECT_LE(wcslen(item.Name), longest) << row;
        }
    }
    EXPECT_GE(longest, wcslen(L"RADStudio22\\Win64\\VklObfuscate.dcu"));
    EXPECT_EQ(MaxInstallDirLength() + 1 + longest, size_t{MAX_PATH - 1});

    EXPECT_EQ(DirRefusalText(TDirVerdict::Accepted), L"");
    std::set<std::wstring> texts;
    for (TDirVerdict verdict :
         {TDirVerdict::Empty, TDirVerdict::Relative, TDirVerdict::Root, TDirVerdict::Network,
          TDirVerdict::TooLong, TDirVerdict::BadCharacter, TDirVerdict::Protected,
          TDirVerdict::Link, TDirVerdict::NotAFolder, TDirVerdict::NotEmpty})
        texts.insert(DirRefusalText(verdict));
    EXPECT_EQ(texts.size(), 10u) << "a text of its own for each refusal";
    EXPECT_EQ(texts.count(L""), 0u);
}
