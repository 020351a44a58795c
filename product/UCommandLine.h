// The setup program's command line: its switches and options, the parameter description, and
// the exit codes.
#pragma once

#include "product/UProducts.h"

#include <string>
#include <string_view>
#include <vector>

// Process-wide switches; all false at start. Only the last two-character switch counts.
extern bool CopyOnly;        // /C: files only, no package or help registration
extern bool EnableControls;  // /E: accepted; the wizard never locks controls, see README
extern bool ShowParams;      // /H or /?: show the parameter description
extern bool ExtractOnly;     // /X: extract the payload to the current directory, no window

// The long options, letters in any case, each at most once. The two-character rule above
// ignores them.
struct TSetupOptions {
    bool Silent = false;        // /SILENT: install with no window and no message box
    bool HasDir = false;        // /DIR=<folder> was given
    std::wstring Dir;           // its folder, one trailing separator dropped
    bool HasSelection = false;  // /SELECT=<names> was given
    TChoiceRows Selection{};    // the rows its names stand for
};
extern TSetupOptions SetupOptions;
// Why the command line cannot be used; empty when it can.
extern std::wstring CommandLineError;

// Exit codes of setup.exe.
enum : int {
    exInstalled = 0,  // installed, every item succeeded (and every run that is no installation)
    exBadCommandLine = 1,  // the command line cannot be used
    exDirRefused = 2,      // the installation directory was refused
    exIdeRunning = 3,      // an IDE the installation would change is running
    exItemsFailed = 4,     // installed, but items failed (their lines are in install.log)
    exSetupRunning = 5,    // another setup or uninstaller is running
};

// Sets the four switches, SetupOptions and CommandLineError from the process's command line.
void ParseCommandLine();
// The arguments after the program name, split exactly as CommandLineToArgvW splits them; the
// text ends at its first NUL character.
std::vector<std::wstring> SplitArguments(std::wstring_view commandLine);
// Sets the four switches from arguments that follow the program name.
void ParseArguments(const std::vector<std::wstring>& arguments);
// Fills options from the long options among the arguments: a switch character followed by a
// name of two or more letters, then "=" and a value or nothing. Other arguments are left to
// ParseArguments. Answers why the options cannot be used (an unknown name, a value that does not
// fit, an option given twice); empty when they can.
std::wstring ParseLongOptions(const std::vector<std::wstring>& arguments, TSetupOptions& options);

// Caption and text of the parameter description box.
extern const wchar_t* const ParamsCaption;
extern const wchar_t* const ParamsText;
