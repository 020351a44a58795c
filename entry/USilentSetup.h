// The unattended installation (/SILENT): the wizard's steps, in the wizard's order and by its
// rules, without any window or message box; the outcome is the exit code and a result file.
#pragma once

#include <string>

// The file where setup.exe leaves the exit code and reason of its last run that refused a command
// line or installed silently: "VelkoraSetup.txt" in the user's temporary directory.
std::wstring SetupResultPath();
// Replaces the result file with two UTF-8 lines: the exit code, then the reason. False when it
// cannot be written.
bool WriteSetupResult(int code, const std::wstring& reason);

// Refuses a command line that cannot be used: writes the reason to the result file and, unless
// silent, shows it in an "Error" box. Answers exBadCommandLine.
int RefuseCommandLine(const std::wstring& reason, bool silent);

// Another setup or uninstaller holds the machine: writes so to the result file and, unless
// silent, shows the "Install" box. Answers exSetupRunning.
int RefuseBusyMachine(bool silent);

// Runs the silent installation (copy-only with /C); answers the exit code.
int RunSilentSetup();
