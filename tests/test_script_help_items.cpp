// Help and uninstall registration items: the WinHelp values, the help registration batch file,
// the product key and the Windows uninstall entry with its quoting rule.
#include "tests/IdeTestSupport.h"

#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/URegistry.h"
#include "support/UText.h"

using namespace vktest;

namespace {

const std::wstring WinHelpKey = L"Software\\Microsoft\\Windows\\Help";
const std::wstring UninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";

class HelpItemsTest : public InstallStateTest {
protected:
    static std::wstring MachineValue(const std::wstring& key, const std::wstring& name) {
        std::wstring text;
        EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, key, name, text)) << ToAnsi(name);
        return text;
    }
};

TEST_F(HelpItemsTest, WinHelpFilesAndTheProductKeyAreRegistered) {
    InstallDir = TempPath(L"My Lib");
    THandlerProbe script({Row(siRegisterWinHelp, L"vklib.hlp", 0, 0),
                          Row(siSetHelpDir, L"Help", 0, dcInstall),
                          Row(siRegisterWinHelp, L"vklib.cnt", 0, 0),
                          Row(siCreateRegKey, L"Software\\Brightmoss\\Velkora", 0x80000002, 0),
                          Row(siCreateRegKey, L"Software\\Brightmoss\\Other", 0x12345, 0)});
    // Before any help directory is named, the value is empty.
    EXPECT_EQ(script.Run(0), 0);
    EXPECT_EQ(script.LogString(), L"Registering windows help: vklib.hlp...Success");
    EXPECT_EQ(MachineValue(WinHelpKey, L"vklib.hlp"), L"");
    EXPECT_EQ(script.Run(1), 0);
    EXPECT_EQ(script.LogString(), L"");
    EXPECT_EQ(script.Run(0), 0);
    EXPECT_EQ(script.Run(2), 0);
    EXPECT_EQ(script.LogString(), L"Registering windows help: vklib.cnt...Success");
    EXPECT_EQ(MachineValue(WinHelpKey, L"vklib.hlp"), InstallDir + L"\\Help");
    EXPECT_EQ(MachineValue(WinHelpKey, L"vklib.cnt"), InstallDir + L"\\Help");

    EXPECT_EQ(script.Run(3), 0);
    EXPECT_EQ(script.LogString(), L"");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss\\Velkora"));
    // A root that is no registry root creates nothing and is no failure.
    EXPECT_EQ(script.Run(4), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss\\Other"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Brightmoss\\Other"));
}

TEST_F(HelpItemsTest, UninstallEntryQuotesPathsWithBlanksOnly) {
    THandlerProbe script({Row(siRegisterUninstall, L"unbrm.exe", 0, dcInstall)});
    InstallDir = TempPath(L"Program Files\\Velkora");
    EXPECT_EQ(script.Run(0), 0);
    EXPECT_EQ(script.LogString(), L"Registering Uninstall: unbrm.exe...Success");
    EXPECT_EQ(MachineValue(UninstallKey, L"DisplayName"), L"Brightmoss Velkora v4.07");
    EXPECT_EQ(MachineValue(UninstallKey, L"UninstallString"),
              L"\"" + InstallDir + L"\\unbrm.exe\" \"" + InstallDir + L"\\uninst.log\"");

    ASSERT_EQ(TempDir.find(L' '), std::wstring::npos);
    InstallDir = TempPath(L"Velkora");
    EXPECT_EQ(script.Run(0), 0);
    EXPECT_EQ(MachineValue(UninstallKey, L"UninstallString"),
              InstallDir + L"\\unbrm.exe " + InstallDir + L"\\uninst.log");
}

TEST_F(HelpItemsTest, RegisterHelpRunsTheBatchInTheHelpDirectory) {
    InstallDir = TempPath(L"Velkora");
    ASSERT_EQ(CreateDirectoryPath(InstallDir + L"\\Help"), 0u);
    ASSERT_TRUE(WriteFileBytes(InstallDir + L"\\Help\\help_reg.bat", "@echo %CD%> ran.txt\r\n"));
    THandlerProbe script({Row(siRegisterHelp, L"help\\help_reg.bat", 0, 0),
                          Row(siRegisterHelp, L"help\\missing.bat", 0, 0)});
    EXPECT_EQ(script.Run(0), 0);
    EXPECT_EQ(script.LogString(),
              L"Register help: " + InstallDir + L"\\help\\help_reg.bat...Success");
    EXPECT_EQ(LowerCase(FromAnsi(ReadFileBytes(InstallDir + L"\\Help\\ran.txt"))),
              LowerCase(InstallDir + L"\\help\r\n"));
    // The following items run in the help directory.
    EXPECT_EQ(LowerCase(CurrentDirectory()), LowerCase(InstallDir + L"\\help"));
    EXPECT_GT(script.Run(1), 0);
    EXPECT_EQ(script.LogString(), L"");
}

// cmd expands %NAME% anywhere in its command line: the help batch below a folder named like a
// variable, with the other characters cmd treats specially, still runs (its output shows it).
TEST_F(HelpItemsTest, RegisterHelpRunsTheBatchWhateverItsFolderIsCalled) {
    InstallDir = TempPath(L"Velkora %OS% ^&! (x)");
    ASSERT_EQ(CreateDirectoryPath(InstallDir + L"\\Help"), 0u);
    ASSERT_TRUE(WriteFileBytes(InstallDir + L"\\Help\\help_reg.bat", "@echo ran> ran.txt\r\n"));
    THandlerProbe script({Row(siRegisterHelp, L"help\\help_reg.bat", 0, 0)});
    EXPECT_EQ(script.Run(0), 0);
    EXPECT_EQ(script.LogString(),
              L"Register help: " + InstallDir + L"\\help\\help_reg.bat...Success");
    EXPECT_EQ(ReadFileBytes(InstallDir + L"\\Help\\ran.txt"), "ran\r\n");
}

}  // namespace
