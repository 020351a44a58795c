#include "product/USingleInstance.h"

#include "product/UConst.h"

#include <string>

std::wstring SetupBusyText() {
    return std::wstring(L"Another setup or uninstaller of ") + sProductName +
           L" is running.\r\n\r\nWait until it has finished, then start this program again.";
}

TSetupInstanceLock::~TSetupInstanceLock() {
    Release();
}

bool TSetupInstanceLock::Acquire() {
    if (FHeld)
        return true;
    // Fails when the name is taken by an object of another type: treated as taken.
    FSemaphore.reset(CreateSemaphoreW(nullptr, 1, 1, sSetupLockName));
    FHeld = FSemaphore && WaitForSingleObject(FSemaphore.get(), 0) == WAIT_OBJECT_0;
    if (!FHeld)
        FSemaphore.reset();  // a waiting program must not keep the lock's object alive
    return FHeld;
}

void TSetupInstanceLock::Release() {
    if (FHeld)
        ReleaseSemaphore(FSemaphore.get(), 1, nullptr);
    FHeld = false;
    FSemaphore.reset();
}

HANDLE TSetupInstanceLock::HandOverHandle() {
    if (!FHeld || !SetHandleInformation(FSemaphore.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
        return nullptr;
    return FSemaphore.get();
}

void TSetupInstanceLock::HandedOver() {
    FHeld = false;
    FSemaphore.reset();
}

bool TSetupInstanceLock::TakeOver(HANDLE inherited) {
    Release();
    DWORD flags = 0;
    // The handle must be open in this process and the lock's object must exist by its name.
    const handles::KernelHandle named(OpenSemaphoreW(SYNCHRONIZE, FALSE, sSetupLockName));
    if (!inherited || !named || !GetHandleInformation(inherited, &flags))
        return false;
    // This program's own children get no share of it.
    SetHandleInformation(inherited, HANDLE_FLAG_INHERIT, 0);
    FSemaphore.reset(inherited);
    FHeld = true;
    return true;
}

void ShowSetupBusy() {
    MessageBoxW(nullptr, SetupBusyText().c_str(), sInstallCaption, MB_OK | MB_ICONEXCLAMATION);
}
