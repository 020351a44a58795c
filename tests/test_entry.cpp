// The switches and long options of setup.exe, each command line split as the program splits it.
#include "product/UCommandLine.h"
#include "support/UText.h"

#include <gtest/gtest.h>

namespace {

// The switches ParseArguments leaves set, as letters ("C", "EX", ...); each starts as `before`.
std::string Parsed(const std::wstring& arguments, bool before = false) {
    CopyOnly = EnableControls = ShowParams = ExtractOnly = before;
    ParseArguments(SplitArguments(L"setup.exe " + arguments));
    return std::string(CopyOnly ? "C" : "") + (EnableControls ? "E" : "") +
           (ShowParams ? "H" : "") + (ExtractOnly ? "X" : "");
}

}  // namespace

// Only the last two-character switch counts, in any form and case: an unknown one clears them
// all; longer arguments, plain words and long options are no switches.
TEST(CommandLineOptions, TheLastSwitchCountsAndEachLongOptionIsReadOnceOrRefusedWithItsReason) {
    const std::pair<const char*, std::vector<std::wstring>> lines[] = {
        {"C", {L"/C", L"/c", L"-C", L"-c", L"\\C", L"\\c", L"/X /C", L"/C -silent /DIR=x"}},
        {"H", {L"/H", L"/h", L"-?", L"\\?", L"/?"}},
        {"E", {L"/C -e"}},
        {"X", {L"/C /X", L"/X /?x /CC C \"\" +C /"}},
        {"", {L"/X /C /Z"}}};
    for (const auto& [switches, forms] : lines)
        for (const std::wstring& line : forms)
            EXPECT_EQ(Parsed(line), switches) << ToAnsi(line);
    EXPECT_EQ(Parsed(L"setup /xx", true), "CEHX") << "no switch: the flags keep their values";

    // Long options are read once each in any case; a bad one is refused with its reason, and a
    // refused line still asked for silence wherever /SILENT stands in it.
    TSetupOptions options;
    EXPECT_EQ(ParseLongOptions({L"/C", L"-silent", L"\\Dir=C:\\Program Files\\Lib\\",
                                L"/Select=CBuilder6,HELP,demos", L"/?x", L"word"},
                               options),
              L"");
    EXPECT_TRUE(options.Silent && options.HasDir && options.HasSelection);
    EXPECT_EQ(options.Dir, L"C:\\Program Files\\Lib") << "one trailing separator dropped";
    for (int row = 0; row < InstallChoiceCount; ++row)
        EXPECT_EQ(options.Selection[static_cast<size_t>(row)],
                  InstallChoices[row].Mask == 0x40 || InstallChoices[row].Mask == 0x80 ||
                      InstallChoices[row].Mask == 0x200)
            << row;
    EXPECT_EQ(ParseLongOptions({L"/DIR="}, options), L"") << "an empty folder is the rules' call";
    EXPECT_TRUE(options.HasDir && options.Dir.empty() && !options.Silent);

    const std::pair<std::wstring, const wchar_t*> refused[] = {
        {L"/SILENT /VERYSILENT", L"/VERYSILENT is unknown"},
        {L"/qn", L"/qn is unknown"},
        {L"/DIR=a /dir=b", L"/DIR is given more than once"},
        {L"/DIR", L"needs a folder"},
        {L"/DIR=\"C:\\Lib\\\" /SILENT", L"no usable folder"},  // one argument
        {L"/SELECT=RADStudio22,,help", L"names \"\""},
        {L"/SELECT=Delphi7", L"names \"Delphi7\""},  // in the table, not in the list
        {L"/SELECT=", L"names \"\""},
        {L"/SILENT=1", L"takes no value"}};
    for (const auto& [line, words] : refused) {
        const std::wstring reason = ParseLongOptions(SplitArguments(L"setup " + line), options);
        EXPECT_TRUE(reason.find(words) != std::wstring::npos &&
                    options.Silent == line.starts_with(L"/SILENT"))
            << ToAnsi(reason);
    }
}
