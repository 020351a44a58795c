#include "entry/UCommandLine.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace vktest;

namespace {

const wchar_t* const ExpectedParamsText =
    L"Brightmoss setup parameters description:\r\n"
    L"  /C - Copy files only. No package,help registration;\r\n"
    L"  /E - Enable controls even if previous version installed;\r\n"
    L"  /X - Extract files to the current directory. No dialog. No package,help registration;\r\n"
    L"  /? - Parameters description.";

struct Flags {
    bool C, E, H, X;
};

Flags Parse(const std::vector<std::wstring>& arguments) {
    CopyOnly = EnableControls = ShowParams = ExtractOnly = true;  // must all be reassigned
    ParseArguments(arguments);
    return {CopyOnly, EnableControls, ShowParams, ExtractOnly};
}

void ExpectFlags(const std::vector<std::wstring>& arguments, Flags expected) {
    CopyOnly = EnableControls = ShowParams = ExtractOnly = false;
    ParseArguments(arguments);
    EXPECT_EQ(CopyOnly, expected.C);
    EXPECT_EQ(EnableControls, expected.E);
    EXPECT_EQ(ShowParams, expected.H);
    EXPECT_EQ(ExtractOnly, expected.X);
}

std::wstring SetupExe() {
    return BuildDir() + L"\\setup.exe";
}

}  // namespace

TEST(ParseArgumentsTest, SwitchCharactersAndCaseAreEquivalent) {
    for (const wchar_t* argument : {L"/C", L"/c", L"-C", L"-c", L"\\C", L"\\c"})
        ExpectFlags({argument}, {true, false, false, false});
    for (const wchar_t* argument : {L"/H", L"/h", L"-?", L"\\?", L"/?"})
        ExpectFlags({argument}, {false, false, true, false});
    ExpectFlags({L"/x"}, {false, false, false, true});
    ExpectFlags({L"-e"}, {false, true, false, false});
}

TEST(ParseArgumentsTest, OnlyTheLastTwoCharacterSwitchCounts) {
    ExpectFlags({L"/C", L"/E"}, {false, true, false, false});
    ExpectFlags({L"/C", L"/X"}, {false, false, false, true});
    ExpectFlags({L"/X", L"/C"}, {true, false, false, false});
    ExpectFlags({L"/X", L"/C", L"/Z"}, {false, false, false, false});
}

TEST(ParseArgumentsTest, LongerArgumentsAndPlainWordsAreIgnored) {
    ExpectFlags({L"/X", L"/?x", L"/CC", L"C", L"X", L"", L"+C", L"/"}, {false, false, false, true});
    // No qualifying argument: the flags keep whatever they held.
    Flags kept = Parse({L"setup", L"/xx"});
    EXPECT_TRUE(kept.C && kept.E && kept.H && kept.X);
}

TEST(ParseArgumentsTest, NonAsciiLettersAreNotFolded) {
    ExpectFlags({L"/\u00e7"}, {false, false, false, false});  // c with cedilla is not C
}

// ---- The program itself, started under Wine ----

class SetupProgram : public SandboxTest {
protected:
    // Starts setup.exe with arguments in the test's directory and answers its process.
    void Start(const std::wstring& arguments) {
        StartProcess(FChild, SetupExe(), arguments, TempDir);
        ASSERT_TRUE(FChild) << "setup.exe did not start: " << FChild.StartError;
    }
    DWORD ExitCode(DWORD timeoutMs = 30000) {
        DWORD code = STILL_ACTIVE;
        EXPECT_TRUE(FChild.Wait(timeoutMs, code)) << "setup.exe did not end";
        return code;
    }
    DWORD ProcessId() const { return FChild.Info.dwProcessId; }
    void TearDown() override {
        DWORD ignored;
        if (FChild && !FChild.Wait(0, ignored))
            TerminateProcess(FChild.Info.hProcess, 1);
        SandboxTest::TearDown();
    }

    ChildProcess FChild;
};

TEST_F(SetupProgram, EveryHelpSwitchFormShowsTheParameterBoxAndExitsWithZero) {
    for (const wchar_t* argument : {L"/?", L"/h", L"-H", L"\\?"}) {
        SCOPED_TRACE(argument);
        Start(argument);
        HWND box = WaitForWindow(L"#32770", L"Parameters description", ProcessId(), 30000);
        ASSERT_NE(box, nullptr);
        std::vector<std::wstring> texts = ChildTexts(box);
        EXPECT_NE(std::find(texts.begin(), texts.end(), ExpectedParamsText), texts.end());
        // OK only: no Cancel, Yes or No button.
        EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
        EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
        EXPECT_EQ(GetDlgItem(box, IDYES), nullptr);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(ExitCode(), 0u);
    }
}

TEST_F(SetupProgram, CopySwitchFollowedByExtractRunsTheExtractionWithoutAWindow) {
    Start(L"/C /X");
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(WaitForWindow(L"#32770", nullptr, ProcessId(), 0), nullptr);
    EXPECT_TRUE(PathExists(TempPath(L"Source")));
}

TEST_F(SetupProgram, AQuotedSwitchIsOneArgument) {
    Start(L"\"/X\"");
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(PathExists(TempPath(L"Source")));
}

TEST_F(SetupProgram, AThreeCharacterHelpSwitchIsIgnoredAndTheWizardRuns) {
    Start(L"/?x");
    HWND wizard =
        WaitForWindow(L"#32770", L"Installation Wizard for Velkora v4.07", ProcessId(), 30000);
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(WaitForWindow(L"#32770", L"Parameters description", ProcessId(), 0), nullptr);
    EXPECT_FALSE(PathExists(TempPath(L"Source"))) << "the wizard extracts nothing by itself";
    PostMessageW(wizard, WM_CLOSE, 0, 0);
    HWND confirm = WaitForWindow(L"#32770", L"Install", ProcessId(), 30000);
    ASSERT_NE(confirm, nullptr);
    PostMessageW(confirm, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(ExitCode(), 0u);
}
