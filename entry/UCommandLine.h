// The setup program's command line, the parameter description and the extraction run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Process-wide switches; all false at start. Only the last two-character switch counts.
extern bool CopyOnly;        // /C: files only, no package or help registration
extern bool EnableControls;  // /E: accepted; the wizard never locks controls, see README
extern bool ShowParams;      // /H or /?: show the parameter description
extern bool ExtractOnly;     // /X: extract the payload to the current directory, no window

// Sets the four switches from the process's command line.
void ParseCommandLine();
// The arguments after the program name, split exactly as CommandLineToArgvW splits them; the
// text ends at its first NUL character.
std::vector<std::wstring> SplitArguments(std::wstring_view commandLine);
// Sets the four switches from arguments that follow the program name.
void ParseArguments(const std::vector<std::wstring>& arguments);

// Caption and text of the parameter description box.
extern const wchar_t* const ParamsCaption;
extern const wchar_t* const ParamsText;

// Writes every directory and payload file of the script table below the current directory.
// Results are ignored: nothing is reported, logged or shown.
void ExtractAll();

// The main program after the command line was read: one of the box, the extraction run or
// the wizard. Answers the process exit code, always 0.
int RunSetup();
