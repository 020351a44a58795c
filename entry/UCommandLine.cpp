#include "entry/UCommandLine.h"

#include "product/UConst.h"
#include "product/USingleInstance.h"
#include "product/UUtils.h"
#include "script/UScriptItems.h"
#include "wizard/UPage.h"
#include "wizard/UbrmCheckListBox.h"

#include <windows.h>

bool CopyOnly = false;
bool EnableControls = false;
bool ShowParams = false;
bool ExtractOnly = false;

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
    ParseArguments(SplitArguments(GetCommandLineW()));
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
        if ((item.ItemType & 0xC000) == 0)
            continue;
        const std::wstring name = item.Name ? item.Name : L"";
        if (item.ItemType == siCreateDir)
            CreateExtractDirectory(ItemPath(item.DirCode, name));
        else if (item.ItemType == siExtractFile)
            ExtractResourceFile(static_cast<int>(item.Code), ItemPath(item.DirCode, name));
    }
}

int RunSetup() {
    if (ShowParams)
        MessageBoxW(nullptr, ParamsText, ParamsCaption, MB_OK);
    else if (ExtractOnly)
        ExtractAll();
    else {
        // The parameter box and the extraction run touch no installation; the wizard needs the
        // machine to itself.
        TSetupInstanceLock lock;
        if (!lock.Acquire()) {
            ShowSetupBusy();
            return 0;
        }
        // Only the wizard draws check boxes. Measuring the bitmap needs the screen, and under
        // Wine the screen's first use starts a desktop process: the windowless runs keep clear.
        InitCheckMetrics();
        RunWizard();
    }
    return 0;
}
