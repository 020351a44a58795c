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
    const std::vector<std::wstring> expected = ShellArguments(line);
    const std::vector<std::wstring> actual = SplitArguments(line);
    EXPECT_EQ(actual, expected) << "command line: [" << ::testing::PrintToString(line) << "]";
}

// Characters that steer the splitting, weighted towards them, with a few plain ones.
std::wstring RandomLine(std::mt19937& random, size_t length) {
    static const wchar_t alphabet[] = L"\"\"\"\\\\\\  \t/xC?\x00e9";
    std::uniform_int_distribution<size_t> pick(0, std::size(alphabet) - 2);
    std::wstring line;
    for (size_t i = 0; i < length; ++i)
        line.push_back(alphabet[pick(random)]);
    return line;
}

}  // namespace

TEST(SplitArgumentsTest, ChosenLinesSplitAsTheShellSplitsThem) {
    const wchar_t* const lines[] = {
        L"",
        L"setup.exe",
        L"setup.exe /X",
        L"  setup.exe /X",
        L"\"C:\\Program Files\\setup.exe\" /C   /X\t",
        L"\"C:\\a b\\setup.exe\"/X",
        L"\"unterminated name /X",
        L"C:\\dir\\\"setup\".exe /X",
        L"setup \"/X\"",
        L"setup \"/X /C\" /E",
        L"setup a\\\\\\\"b c\\\\\"d e\\\\\\\\\"f g\"",
        L"setup \"\" \"\"\"\" \"\"\"\"\"\" x\"\"\"y",
        L"setup \"a\"\"b\" \"a\"\"\"b\" a\"\"b",
        L"setup \\\\server\\share\\ trailing\\",
        L"setup \"ends inside quotes",
        L"setup \t \t",
    };
    for (const wchar_t* line : lines)
        ExpectSameAsShell(line);
}

TEST(SplitArgumentsTest, GeneratedLinesSplitAsTheShellSplitsThem) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<size_t> length(0, 24);
    for (int i = 0; i < 20000 && !::testing::Test::HasFailure(); ++i) {
        ExpectSameAsShell(RandomLine(random, length(random)));
        ExpectSameAsShell(L"setup.exe " + RandomLine(random, length(random)));
        ExpectSameAsShell(L"\"C:\\a b\\setup.exe\" " + RandomLine(random, length(random)));
    }
}

TEST(SplitArgumentsTest, TheLineEndsAtItsFirstNul) {
    const std::wstring line(L"setup /C\0 /X", 12);
    EXPECT_EQ(SplitArguments(line), std::vector<std::wstring>{L"/C"});
}
