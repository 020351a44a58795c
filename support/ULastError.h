// The error a failed Win32 call answers with.
#pragma once

#include <windows.h>

// A Win32 call that failed without setting a last error still has to answer non-zero.
inline DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}
