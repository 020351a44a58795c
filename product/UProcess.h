// Starting and waiting for programs, the platform, and system error texts.
#pragma once

#include <windows.h>

#include "support/UHandles.h"

#include <string>

// How StartProgram starts a program.
struct TStartOptions {
    // No window (SW_HIDE, CREATE_NO_WINDOW); otherwise its window shows as usual.
    bool Hidden = true;
    // The program's current directory; empty: this process's.
    std::wstring Directory;
    // The only handle the program inherits (it must be inheritable); null: none.
    HANDLE Inherit = nullptr;
    // Inherit is also the program's standard output and error.
    bool InheritAsOutput = false;
};
// Starts commandLine with application as the program file (no path search, no tries of an
// unquoted path's prefixes). Win32 error code; process receives the program's process handle.
DWORD StartProgram(const std::wstring& application, const std::wstring& commandLine,
                   const TStartOptions& options, handles::KernelHandle& process);

// How RunHidden waits for the program it starts, and where the program's output goes.
struct TRunOptions {
    // The wait's bound; a program still running after it keeps running.
    DWORD TimeoutMs = INFINITE;
    // A file that receives the program's standard output and error; null: no output handles.
    // It is the only handle the program inherits.
    HANDLE Output = nullptr;
    // While waiting, this thread's windows paint and answer sent messages; input and posted
    // messages stay queued for the caller.
    bool KeepWindowsAlive = false;
};
struct TRunResult {
    bool Ended = false;  // the program ended within the bound
    DWORD ExitCode = 0;  // valid when Ended
};
// Starts commandLine hidden, with application as the program file (no path search, no tries of
// an unquoted path's prefixes), and waits as options say. Win32 error code of the start.
DWORD RunHidden(const std::wstring& application, const std::wstring& commandLine,
                const TRunOptions& options, TRunResult& result);
// Starts program (full path; a .bat/.cmd runs through the system's cmd.exe) with parameters,
// hidden, and waits for it to end. Win32 error code of the start; the exit code is not read.
DWORD RunAndWait(const std::wstring& program, const std::wstring& params,
                 bool keepWindowsAlive = false);
// Waits for handle (null: only lets the time pass) at most timeoutMs while this thread's windows
// paint and answer sent messages; input and posted messages stay queued. WAIT_OBJECT_0,
// WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitKeepingWindowsAlive(HANDLE handle, DWORD timeoutMs);
// Reads the platform id into OsPlatformId and returns it (0 when it cannot be read).
DWORD GetOsPlatform();
// The system's message text for a Win32 error code, without the trailing line break.
std::wstring SystemErrorText(DWORD code);
