// vkabout.dll: the about box of the Velkora library, shown by the components' design-time
// editors (unit VklAbout loads this library and calls VkShowAbout).
#include <windows.h>

namespace {

constexpr int AboutDialogId = 1;

HINSTANCE ModuleInstance = nullptr;

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

} // namespace

// Shows the modal about box over owner; answers 1 when it was shown, 0 when it could not be.
extern "C" int __stdcall VkShowAbout(HWND owner) {
    INT_PTR result =
        DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(AboutDialogId), owner, AboutProc, 0);
    return result > 0 ? 1 : 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ModuleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
