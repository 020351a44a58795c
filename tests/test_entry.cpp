#include "product/UCommandLine.h"
#include "support/UText.h"

#include <gtest/gtest.h>

namespace {

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
