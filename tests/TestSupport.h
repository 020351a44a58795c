// Fixtures and helpers shared by every test program.
#pragma once

#include "support/UHandles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vktest {

// Per test: both registry roots mapped (this process only) onto fresh scratch keys below the real
// HKEY_CURRENT_USER\Software\VelkoraTests, and a fresh temporary directory.
class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::wstring TempPath(const std::wstring& relative) const;  // below TempDir
    std::wstring TempDir;                                       // without trailing backslash

private:
    std::wstring FScratchKey, FPreviousDir;
    handles::RegKey FScratchMachine, FScratchUser;
};

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);
// Removes a directory tree without the code under test (entries beyond MAX_PATH too).
void RemoveTree(const std::wstring& path);
// True when root\key can be opened (read without the code under test).
bool KeyExists(HKEY root, const std::wstring& key);

// The build and source directories from the test environment (paths of Wine's \\?\unix).
std::wstring BuildDir();
std::wstring SourceDir();
std::wstring EnvironmentValue(const wchar_t* name);

// A started child process; closes its handles when it goes.
struct ChildProcess {
    PROCESS_INFORMATION Info{};
    DWORD StartError = 0;
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();
    explicit operator bool() const { return Info.hProcess != nullptr; }
    // Waits up to timeoutMs; true and the exit code when it ended.
    bool Wait(DWORD timeoutMs, DWORD& exitCode);
};
// Starts program with the given command line tail in directory (empty: inherit).
void StartProcess(ChildProcess& child, const std::wstring& program, const std::wstring& arguments,
                  const std::wstring& directory = L"");

// Makes dir\name a directory link to target ("/" separated) with the Unix ln, the only maker of
// a link Wine shows; false when no directory reparse point appeared.
bool MakeDirectoryLink(const std::wstring& dir, const std::wstring& name,
                       const std::wstring& target);

// Polls until condition() holds, up to timeoutMs (checked at least once); whether it held.
template <typename Condition> bool Eventually(Condition condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() > deadline)
            return false;
        Sleep(20);
    }
    return true;
}

// The caption of the wizard's dialog.
inline constexpr wchar_t WizardCaption[] = L"Installation Wizard for Velkora v4.07";

// Polls up to timeoutMs for a top-level window of class and exact caption (null: any) of
// processId (0: any); null when none appeared.
HWND WaitForWindow(const wchar_t* className, const wchar_t* caption, DWORD processId,
                   DWORD timeoutMs);
// Text of a window (works across processes for static controls and buttons).
std::wstring WindowText(HWND wnd);
// All window texts of a dialog's children, in z-order.
std::vector<std::wstring> ChildTexts(HWND dialog);
// Whether exactly one child of box shows text.
bool HasText(HWND box, const std::wstring& text);
// Clicks a dialog's button as the user does (posted: it may open a modal box).
void Click(HWND dialog, int id);
// The wizard's list rows: x checked, o unchecked, - disabled, # disabled but checked.
std::string ListRows(HWND wizard);
// Walks the wizard of another process from page 1 to the ready page, dir typed on page 3; the
// selection page's rows as ListRows read them, or "" when a page did not come.
std::string WalkToReadyPage(HWND wizard, const std::wstring& dir, DWORD timeoutMs);

}  // namespace vktest
