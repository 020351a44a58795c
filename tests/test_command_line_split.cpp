// SplitArguments against the shell's own CommandLineToArgvW, on chosen and generated lines.
#include "product/UCommandLine.h"
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

}  // namespace

TEST(SplitArgumentsTest, LinesSplitAsTheShellSplitsThem) {
    // The program name's own rules, backslashes before quotes and doubled quotes; then generated
    // lines over the characters that steer the splitting (blanks, tabs, empty and unterminated
    // lines among them).
    std::vector<std::wstring> lines = {
        L"\"C:\\Program Files\\setup.exe\" /C   /X\t",
        L"\"unterminated name /X",
        L"C:\\dir\\\"setup\".exe /X",
        L"setup a\\\\\\\"b c\\\\\"d e\\\\\\\\\"f g\"",
        L"setup \"\" \"\"\"\" \"\"\"\"\"\" x\"\"\"y",
    };
    const std::wstring alphabet = L"\"\"\"\\\\\\  \t/xC?\x00e9";
    std::mt19937 random(20261207);
    for (int i = 0; i < 60000; ++i) {
        std::wstring text(random() % 25, L' ');
        for (wchar_t& c : text)
            c = alphabet[random() % alphabet.size()];
        lines.push_back((i % 3 == 0   ? L""
                         : i % 3 == 1 ? L"setup.exe "
                                      : L"\"C:\\a b\\setup.exe\" ") +
                        text);
    }
    for (const std::wstring& line : lines) {
        ASSERT_EQ(SplitArguments(line), ShellArguments(line))
            << "command line: [" << ::testing::PrintToString(line) << "]";
    }
}
