// SplitArguments against the shell's own CommandLineToArgvW, on chosen and generated lines.
#include "entry/UCommandLine.h"
#include "support/UHandles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <random>

namespace {

// The shell's answer without the program name, or nothing when it fails.
std::vector<std::wstring> ShellArguments(const std::wstring& line) {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
    handles::LocalMemory owner(reinterpret_cast<HLOCAL>(argv));
    std::vector<std::wstring> arguments;
    for (int i = 1; argv && i < count; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

void ExpectSameAsShell(const std::wstring& line) {
    EXPECT_EQ(SplitArguments(line), ShellArguments(line))
        << "command line: [" << ::testing::PrintToString(line) << "]";
}

} // namespace

TEST(SplitArgumentsTest, ChosenLinesSplitAsTheShellSplitsThem) {
    // The program name's own rules, then backslashes before quotes and doubled quotes; the
    // generated lines cover blanks, tabs, empty and unterminated lines as well.
    const wchar_t* const lines[] = {
        L"\"C:\\Program Files\\setup.exe\" /C   /X\t",
        L"\"C:\\a b\\setup.exe\"/X",
        L"\"unterminated name /X",
        L"C:\\dir\\\"setup\".exe /X",
        L"setup a\\\\\\\"b c\\\\\"d e\\\\\\\\\"f g\"",
        L"setup \"\" \"\"\"\" \"\"\"\"\"\" x\"\"\"y",
        L"setup \"a\"\"b\" \"a\"\"\"b\" a\"\"b",
    };
    for (const wchar_t* line : lines)
        ExpectSameAsShell(line);
}

TEST(SplitArgumentsTest, GeneratedLinesSplitAsTheShellSplitsThem) {
    // Characters that steer the splitting, weighted towards them, with a few plain ones.
    const std::wstring alphabet = L"\"\"\"\\\\\\  \t/xC?\x00e9";
    std::mt19937 random(20261207);
    auto line = [&] {
        std::wstring text(random() % 25, L' ');
        for (wchar_t& c : text)
            c = alphabet[random() % alphabet.size()];
        return text;
    };
    for (int i = 0; i < 20000 && !::testing::Test::HasFailure(); ++i) {
        ExpectSameAsShell(line());
        ExpectSameAsShell(L"setup.exe " + line());
        ExpectSameAsShell(L"\"C:\\a b\\setup.exe\" " + line());
    }
}

TEST(SplitArgumentsTest, TheLineEndsAtItsFirstNul) {
    const std::wstring line(L"setup /C\0 /X", 12);
    EXPECT_EQ(SplitArguments(line), std::vector<std::wstring>{L"/C"});
}
