#include "entry/UCommandLine.h"

#include "product/UConst.h"
#include "product/USingleInstance.h"
#include "product/UUtils.h"
#include "entry/USilentSetup.h"
#include "script/UScriptItems.h"
#include "wizard/UPage.h"
#include "wizard/UbrmCheckListBox.h"

#include <windows.h>

bool CopyOnly = false;
bool EnableControls = false;
bool ShowParams = false;
bool ExtractOnly = false;
TSetupOptions SetupOptions;
std::wstring CommandLineError;

const wchar_t* const ParamsCaption = L"Parameters description";
const wchar_t* const ParamsText =
    L"Brightmoss setup parameters description:\r\n"
    L"  /C - Copy files only. No package,help registration;\r\n"
    L"  /E - Enable controls even if previous version installed;\r\n"
    L"  /X - Extract files to the current directory. No dialog. No package,help registration;\r\n"
    L"  /? - Parameters description.";

void ParseArguments(const std::vector<std::wstring>& arguments) {
    for (const std::wstring& argument : arguments) {
        if (argument.size() != 2)
            continue;
        if (argument[0] != L'-' && argument[0] != L'/' && argument[0] != L'\\')
            continue;
        wchar_t letter = argument[1];
        if (letter >= L'a' && letter <= L'z')
            letter = static_cast<wchar_t>(letter - L'a' + L'A');
        // Every switch assigns all four flags, so the last one alone decides.
        CopyOnly = letter == L'C';
        EnableControls = letter == L'E';
        ShowParams = letter == L'H' || letter == L'?';
        ExtractOnly = letter == L'X';
    }
}

namespace {

bool IsSwitchCharacter(wchar_t c) {
    return c == L'-' || c == L'/' || c == L'\\';
}

bool IsLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

std::wstring UpperCaseAscii(std::wstring_view text) {
    std::wstring upper(text);
    for (wchar_t& c : upper)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return upper;
}

// The option's name when the argument is a long option ("/Name" or "/Name=value"), else empty.
std::wstring_view LongOptionName(std::wstring_view argument) {
    if (argument.size() < 3 || !IsSwitchCharacter(argument[0]))
        return {};
    const std::wstring_view name = argument.substr(1, argument.find(L'=') - 1);
    if (name.size() < 2)
        return {};
    for (wchar_t c : name)
        if (!IsLetter(c))
            return {};
    return name;
}

}  // namespace

namespace {

std::wstring ReadLongOptions(const std::vector<std::wstring>& arguments, TSetupOptions& options) {
    for (const std::wstring& argument : arguments) {
        const std::wstring_view option = argument;
        const std::wstring_view name = LongOptionName(option);
        if (name.empty())
            continue;
        const std::wstring upper = UpperCaseAscii(name);
        const size_t equals = option.find(L'=');
        const bool hasValue = equals != std::wstring_view::npos;
        const std::wstring value(hasValue ? option.substr(equals + 1) : std::wstring_view{});
        const std::wstring given = L"The option " + argument;
        bool* seen = nullptr;
        if (upper == L"SILENT") {
            if (hasValue)
                return given + L" takes no value.";
            seen = &options.Silent;
        } else if (upper == L"DIR") {
            if (!hasValue)
                return given + L" needs a folder: /DIR=<folder>.";
            // A quote left in the value is a quoted folder whose closing quote a backslash
            // escaped ("C:\Lib\"): no Windows path holds one.
            if (value.find(L'"') != std::wstring::npos)
                return given + L" names no usable folder (end a quoted folder without \\).";
            seen = &options.HasDir;
            options.Dir = DirectoryFromEdit(value);
        } else if (upper == L"SELECT") {
            std::wstring bad;
            if (!hasValue || !ChoiceRowsFromNames(value, options.Selection, bad))
                return given + L" names \"" + bad +
                       L"\", which is none of the IDE names, help or demos.";
            seen = &options.HasSelection;
        } else {
            return L"The option " + argument +
                   L" is unknown. Use /SILENT, /DIR=<folder>, "
                   L"/SELECT=<list> and /C, /E, /X, /?.";
        }
        if (!*seen) {
            *seen = true;
            continue;
        }
        return L"The option /" + upper + L" is given more than once.";
    }
    return {};
}

}  // namespace

std::wstring ParseLongOptions(const std::vector<std::wstring>& arguments, TSetupOptions& options) {
    options = TSetupOptions{};
    const std::wstring error = ReadLongOptions(arguments, options);
    // A command line that cannot be used still asked for silence wherever /SILENT stands in it:
    // its refusal then shows no box.
    for (const std::wstring& argument : arguments)
        if (UpperCaseAscii(LongOptionName(argument)) == L"SILENT")
            options.Silent = true;
    return error;
}

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Where the program name ends: a quoted name at its closing quote (no escapes inside), an
// unquoted one at the first blank, which the name consumes. The arguments start after blanks.
size_t SkipProgramName(std::wstring_view line) {
    size_t at = 0;
    if (!line.empty() && line[0] == L'"') {
        at = line.find(L'"', 1);
        at = at == std::wstring_view::npos ? line.size() : at + 1;
    } else {
        while (at < line.size() && !IsBlank(line[at]))
            ++at;
    }
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    return at;
}

}  // namespace

std::vector<std::wstring> SplitArguments(std::wstring_view commandLine) {
    commandLine = commandLine.substr(0, commandLine.find(L'\0'));
    std::vector<std::wstring> arguments;
    size_t at = SkipProgramName(commandLine);
    if (at == commandLine.size())
        return arguments;
    arguments.emplace_back();
    // quotes is 1 inside a quoted part, else 0; within a run of quote marks it counts on, and
    // a third mark in a row stands for a literal quote and closes the part, as in the shell.
    int quotes = 0;
    size_t backslashes = 0;
    while (at < commandLine.size()) {
        const wchar_t c = commandLine[at];
        if (IsBlank(c) && quotes == 0) {
            backslashes = 0;
            while (at < commandLine.size() && IsBlank(commandLine[at]))
                ++at;
            if (at < commandLine.size())
                arguments.emplace_back();
            continue;
        }
        ++at;
        std::wstring& argument = arguments.back();
        if (c == L'\\') {
            argument.push_back(c);
            ++backslashes;
            continue;
        }
        if (c != L'"') {
            argument.push_back(c);
            backslashes = 0;
            continue;
        }
        // 2n backslashes and a quote are n backslashes and a quote mark; 2n+1 backslashes and
        // a quote are n backslashes and a literal quote.
        argument.resize(argument.size() - backslashes / 2);
        if (backslashes % 2 == 0) {
            ++quotes;
        } else {
            argument.back() = L'"';
        }
        backslashes = 0;
        while (at < commandLine.size() && commandLine[at] == L'"') {
            ++at;
            if (++quotes == 3) {
                argument.push_back(L'"');
                quotes = 0;
            }
        }
        if (quotes == 2)
            quotes = 0;
    }
    return arguments;
}

// Splitting the line here rather than with CommandLineToArgvW keeps the shell library out of
// the extraction run's start-up.
void ParseCommandLine() {
    const std::vector<std::wstring> arguments = SplitArguments(GetCommandLineW());
    ParseArguments(arguments);
    CommandLineError = ParseLongOptions(arguments, SetupOptions);
}

namespace {

// The table lists each directory after its parent, so one call usually makes it; the full walk
// from the drive down, one call per ancestor, is needed only when the parent is missing.
void CreateExtractDirectory(const std::wstring& path) {
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() == ERROR_PATH_NOT_FOUND)
        CreateDirectoryPath(path);
}

}  // namespace

void ExtractAll() {
    InstallDir = CurrentDirectory();
    for (int row = 0; row < ScriptItemRows; ++row) {
        const TScriptItem& item = ScriptItems[row];
        if ((item.ItemType & siFileOrControlBits) == 0)
            continue;
        const std::wstring name = item.Name ? item.Name : L"";
        if (item.ItemType == siCreateDir)
            CreateExtractDirectory(ItemPath(item.DirCode, name));
        else if (item.ItemType == siExtractFile)
            ExtractResourceFile(static_cast<int>(item.Code), ItemPath(item.DirCode, name));
    }
}

int RunSetup() {
    if (!CommandLineError.empty())
        return RefuseCommandLine(CommandLineError, SetupOptions.Silent);
    if (ShowParams)
        MessageBoxW(nullptr, ParamsText, ParamsCaption, MB_OK);
    else if (ExtractOnly)
        ExtractAll();
    else {
        // The parameter box and the extraction run touch no installation; an installation needs
        // the machine to itself.
        TSetupInstanceLock lock;
        if (!lock.Acquire())
            return RefuseBusyMachine(SetupOptions.Silent);
        if (SetupOptions.Silent)
            return RunSilentSetup();
        // Only the wizard draws check boxes. Measuring the bitmap needs the screen, and under
        // Wine the screen's first use starts a desktop process: the windowless runs keep clear.
        InitCheckMetrics();
        RunWizard();
    }
    return 0;
}
