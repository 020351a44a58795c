// The uninstaller program's run: command line, confirmation, temporary copy, walk, clean-up.
#pragma once

#include <string>

// Exit codes of unbrm.exe.
enum : int {
    ueDone = 0,       // the log was walked (or, asked interactively, handed to the running copy)
    ueUsage = 1,      // no log named on the command line
    ueRejected = 2,   // the log cannot be used; nothing was removed
    ueCancelled = 3,  // the user answered No
    ueFailed = 4,     // the temporary copy could not be made or started; nothing was removed
    ueBusy = 5,       // another setup or uninstaller is running; nothing was removed
};

// Runs the program for its command line; answers the exit code.
int RunUnbrm(const std::wstring& commandLine);
