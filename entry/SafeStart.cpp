// The first code of both programs: the entry point the linker is given (-e), run before the C
// runtime starts, before any static constructor and before any DLL beyond the two that the
// programs import directly (kernel32, msvcrt). Every other DLL (the delay-loaded registry, user
// interface and version libraries, and whatever those load in turn) is then looked for in the
// system directory only, never beside the program: an elevated installer run from a downloads
// folder, or the uninstaller's copy in the temporary folder, must not load a DLL planted there.
// Nothing here may use the C or C++ runtime, which is not yet initialised.
#include <windows.h>

extern "C" int WinMainCRTStartup();

namespace {

using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);

void RestrictDllSearchToSystemDirectory() {
    // Windows 7 has this function only with update KB2533623: it is looked up, not imported,
    // so that the program still starts without it.
    const FARPROC found =
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    const auto restrictSearch =
        reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void*>(found));
    if (!restrictSearch || !restrictSearch(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryW(L"");  // without it, at least the current directory is left out
}

}  // namespace

// The loader calls the entry point with the stack aligned to 4 bytes on 32-bit Windows.
extern "C" __attribute__((force_align_arg_pointer)) int VkSafeStart() {
    RestrictDllSearchToSystemDirectory();
    return WinMainCRTStartup();
}
