#include "product/UCommandLine.h"
#include "support/UText.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vktest;

namespace {

// The box's text as the user reads it, spelled out here so that a slip in the program's copy shows.
const wchar_t* const ExpectedParamsText =
    L"Brightmoss setup parameters description:\r\n"
    L"  /C - Copy files only. No package,help registration;\r\n"
    L"  /E - Enable controls even if previous version installed;\r\n"
    L"  /X - Extract files to the current directory. No dialog. No package,help registration;\r\n"
    L"  /? - Parameters description.";

// The switches ParseArguments leaves set, as letters ("C", "EX", ...); each starts as `before`.
std::string Parsed(const std::vector<std::wstring>& arguments, bool before = false) {
    CopyOnly = EnableControls = ShowParams = ExtractOnly = before;
    ParseArguments(arguments);
    return std::string(CopyOnly ? "C" : "") + (EnableControls ? "E" : "") +
           (ShowParams ? "H" : "") + (ExtractOnly ? "X" : "");
}

}  // namespace

TEST(ParseArgumentsTest, OnlyTheLastTwoCharacterSwitchCountsInAnyFormAndCase) {
    for (const wchar_t* form : {L"/C", L"/c", L"-C", L"-c", L"\\C", L"\\c"})
        EXPECT_EQ(Parsed({form}), "C") << form;
    for (const wchar_t* form : {L"/H", L"/h", L"-?", L"\\?", L"/?"})
        EXPECT_EQ(Parsed({form}), "H") << form;
    EXPECT_EQ(Parsed({L"/C", L"-e"}), "E");
    EXPECT_EQ(Parsed({L"/C", L"/X"}), "X");
    EXPECT_EQ(Parsed({L"/X", L"/C"}), "C");
    EXPECT_EQ(Parsed({L"/X", L"/C", L"/Z"}), "") << "an unknown last switch clears them all";
    EXPECT_EQ(Parsed({L"/X", L"/?x", L"/CC", L"C", L"", L"+C", L"/"}), "X")
        << "longer arguments and plain words are no switches";
    EXPECT_EQ(Parsed({L"setup", L"/xx"}, true), "CEHX") << "no switch: the flags keep their values";
}

// Long options leave the two-character rule alone, and a bad one is refused with its reason.
TEST(ParseLongOptionsTest, ReadsEachOptionOnceInAnyCaseAndNamesWhatCannotBeUsed) {
    TSetupOptions options;
    EXPECT_EQ(ParseLongOptions({L"/C", L"-silent", L"\\Dir=C:\\Program Files\\Lib\\",
                                L"/Select=CBuilder6,HELP,demos", L"/?x", L"word"},
                               options),
              L"");
    EXPECT_EQ(Parsed({L"/C", L"-silent", L"/DIR=x"}), "C") << "long options are no switches";
    EXPECT_TRUE(options.Silent);
    EXPECT_TRUE(options.HasDir);
    EXPECT_EQ(options.Dir, L"C:\\Program Files\\Lib") << "one trailing separator dropped";
    EXPECT_TRUE(options.HasSelection);
    for (int row = 0; row < InstallChoiceCount; ++row)
        EXPECT_EQ(options.Selection[static_cast<size_t>(row)],
                  InstallChoices[row].Mask == 0x40 || InstallChoices[row].Mask == 0x80 ||
                      InstallChoices[row].Mask == 0x200)
            << row;
    EXPECT_EQ(ParseLongOptions({L"/DIR="}, options), L"") << "an empty folder is the rules' call";
    EXPECT_TRUE(options.HasDir && options.Dir.empty() && !options.Silent);

    const struct {
        std::vector<std::wstring> Arguments;
        const wchar_t* Reason;  // words the reason holds
        bool Silent;
    } refused[] = {
        {{L"/SILENT", L"/VERYSILENT"}, L"/VERYSILENT is unknown", true},
        {{L"/qn"}, L"/qn is unknown", false},
        {{L"/DIR=a", L"/dir=b"}, L"/DIR is given more than once", false},
        {{L"/DIR"}, L"needs a folder", false},
        {{L"/DIR=C:\\Lib\" /SILENT"}, L"no usable folder", false},
        {{L"/SELECT=RADStudio22,,help"}, L"names \"\"", false},
        {{L"/SELECT=Delphi7"}, L"names \"Delphi7\"", false},  // in the table, not in the list
        {{L"/SELECT="}, L"names \"\"", false},
        {{L"/SILENT=1"}, L"takes no value", true},
    };
    for (const auto& test : refused) {
        const std::wstring reason = ParseLongOptions(test.Arguments, options);
        EXPECT_NE(reason.find(test.Reason), std::wstring::npos) << ToAnsi(reason);
        EXPECT_EQ(options.Silent, test.Silent) << ToAnsi(reason);
    }
}

// ---- The program itself, started under Wine ----

class SetupProgram : public SandboxTest {
protected:
    // Starts setup.exe with arguments in directory (default: the test's own).
    void Start(const std::wstring& arguments, const std::wstring& directory = L"") {
        FChild = std::make_unique<ChildProcess>();
        StartProcess(*FChild, BuildDir() + L"\\setup.exe", arguments,
                     directory.empty() ? TempDir : directory);
        ASSERT_TRUE(*FChild) << "setup.exe did not start: " << FChild->StartError;
    }
    DWORD ExitCode() {
        DWORD code = STILL_ACTIVE;
        EXPECT_TRUE(FChild->Wait(30000, code)) << "setup.exe did not end";
        return code;
    }
    HWND WaitForBox(const wchar_t* caption, DWORD timeoutMs = 30000) {
        return WaitForWindow(L"#32770", caption, FChild->Info.dwProcessId, timeoutMs);
    }
    void TearDown() override {
        DWORD ignored;
        if (FChild && *FChild && !FChild->Wait(0, ignored))
            TerminateProcess(FChild->Info.hProcess, 1);
        SandboxTest::TearDown();
    }
    std::unique_ptr<ChildProcess> FChild;
};

TEST_F(SetupProgram, EveryHelpSwitchFormShowsTheParameterBoxAndExitsWithZero) {
    for (const wchar_t* argument : {L"/?", L"/h", L"-H", L"\\?"}) {
        SCOPED_TRACE(argument);
        Start(argument);
        HWND box = WaitForBox(L"Parameters description");
        ASSERT_NE(box, nullptr);
        const std::vector<std::wstring> texts = ChildTexts(box);
        EXPECT_NE(std::find(texts.begin(), texts.end(), ExpectedParamsText), texts.end());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(ExitCode(), 0u);
    }
}

TEST_F(SetupProgram, TheLastSwitchDecidesAndAThreeCharacterOneIsIgnored) {
    // "/C /X" extracts into the current directory without a window.
    Start(L"/C /X");
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(PathExists(TempPath(L"Source")));
    // "/?x" is no switch: the wizard runs, and is closed.
    ASSERT_TRUE(CreateDirectoryW(TempPath(L"wizard").c_str(), nullptr));
    Start(L"/?x", TempPath(L"wizard"));
    HWND wizard = WaitForBox(L"Installation Wizard for Velkora v4.07");
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(WaitForBox(L"Parameters description", 0), nullptr);
    EXPECT_FALSE(PathExists(TempPath(L"wizard\\Source")))
        << "the wizard extracts nothing by itself";
    PostMessageW(wizard, WM_CLOSE, 0, 0);
    HWND confirm = WaitForBox(L"Install");
    ASSERT_NE(confirm, nullptr);
    PostMessageW(confirm, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(ExitCode(), 0u);
}
