// One setup or uninstaller at a time on this machine: two runs at once undo each other's work
// (the second removes the first's registration while the first still runs).
//
// The lock is a named semaphore of count one that setup.exe and unbrm.exe share. Unlike a
// mutex it belongs to no thread, so unbrm.exe can hand the lock it holds to its temporary copy:
// the copy inherits the handle, which keeps the semaphore taken while the original ends, and
// no other program can slip in between. A holder that dies lets go with its last handle.
#pragma once

#include "support/UHandles.h"

#include <windows.h>

#include <string>

// The shared name; "Global\" so that the programs of all sessions see the one lock.
inline constexpr wchar_t sSetupLockName[] = L"Global\\Brightmoss.Velkora.Setup";
// The text of the box (captioned sInstallCaption) that a program shows when the lock is taken.
std::wstring SetupBusyText();

class TSetupInstanceLock {
public:
    TSetupInstanceLock() = default;
    ~TSetupInstanceLock();
    TSetupInstanceLock(const TSetupInstanceLock&) = delete;
    TSetupInstanceLock& operator=(const TSetupInstanceLock&) = delete;

    // Takes the lock unless another setup or uninstaller holds it; never waits. True when held.
    bool Acquire();
    bool Held() const { return FHeld; }
    // Lets go of the lock (nothing when not held).
    void Release();

    // The lock's handle made inheritable, for the one child process that carries the lock on;
    // null when not held. Until HandedOver the lock stays this process's.
    HANDLE HandOverHandle();
    // The child has started with the handle: forget the lock without letting go of it.
    void HandedOver();
    // Takes the lock that the parent handed over through the inherited handle. True when held.
    bool TakeOver(HANDLE inherited);

private:
    handles::KernelHandle FSemaphore;
    bool FHeld = false;
};

// Shows the "another setup is running" box, owned by no window.
void ShowSetupBusy();
