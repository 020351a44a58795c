// Move-only owners of Win32 handles. Every handle, key, search and GDI object the program opens
// is held by one of these, so it is closed exactly once on every path.
#pragma once

#include <windows.h>

#include <utility>

namespace handles {

// One owner type per kind of handle; Traits names the empty value and the close call.
template <typename Traits> class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type h) noexcept : FHandle(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : FHandle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Type get() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != Traits::Empty(); }

    // Closes the owned handle (if any) and takes h. Answers whether the close succeeded
    // (true when there was nothing to close).
    bool reset(Type h = Traits::Empty()) noexcept {
        Type old = std::exchange(FHandle, h);
        return old == Traits::Empty() || Traits::Close(old);
    }

    // Gives up ownership without closing.
    Type release() noexcept { return std::exchange(FHandle, Traits::Empty()); }

    // Address for APIs that return a handle through an out parameter; the owner must be empty.
    Type* put() noexcept {
        reset();
        return &FHandle;
    }

private:
    Type FHandle = Traits::Empty();
};

struct FileTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Close(Type h) noexcept { return ::CloseHandle(h) != FALSE; }
};

struct KernelTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static bool Close(Type h) noexcept { return ::CloseHandle(h) != FALSE; }
};

struct FindTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Close(Type h) noexcept { return ::FindClose(h) != FALSE; }
};

struct RegKeyTraits {
    using Type = HKEY;
    static Type Empty() noexcept { return nullptr; }
    static bool Close(Type h) noexcept { return ::RegCloseKey(h) == ERROR_SUCCESS; }
};

struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() noexcept { return nullptr; }
    static bool Close(Type h) noexcept { return ::FreeLibrary(h) != FALSE; }
};

struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Empty() noexcept { return nullptr; }
    static bool Close(Type h) noexcept { return ::LocalFree(h) == nullptr; }
};

struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Empty() noexcept { return nullptr; }
    static bool Close(Type h) noexcept { return ::DeleteObject(h) != FALSE; }
};

struct MemoryDCTraits {
    using Type = HDC;
    static Type Empty() noexcept { return nullptr; }
    static bool Close(Type h) noexcept { return ::DeleteDC(h) != FALSE; }
};

struct IconTraits {
    using Type = HICON;
    static Type Empty() noexcept { return nullptr; }
    static bool Close(Type h) noexcept { return ::DestroyIcon(h) != FALSE; }
};

struct WindowTraits {
    using Type = HWND;
    static Type Empty() noexcept { return nullptr; }
    // A window may already be gone with its parent; destroying it then fails quietly.
    static bool Close(Type h) noexcept { return ::DestroyWindow(h) != FALSE; }
};

using FileHandle = UniqueHandle<FileTraits>;          // CreateFileW
using KernelHandle = UniqueHandle<KernelTraits>;      // processes, threads, events
using FindHandle = UniqueHandle<FindTraits>;          // FindFirstFileW
using RegKey = UniqueHandle<RegKeyTraits>;            // RegOpenKeyExW, RegCreateKeyExW
using ModuleHandle = UniqueHandle<ModuleTraits>;      // LoadLibraryExW
using LocalMemory = UniqueHandle<LocalMemoryTraits>;  // LocalAlloc, CommandLineToArgvW
using GdiObject = UniqueHandle<GdiObjectTraits>;      // bitmaps, brushes, fonts, pens
using MemoryDC = UniqueHandle<MemoryDCTraits>;        // CreateCompatibleDC
using IconHandle = UniqueHandle<IconTraits>;          // LoadImageW (not shared icons)
using WindowHandle = UniqueHandle<WindowTraits>;      // CreateWindowExW

// A device context borrowed from a window with GetDC; it goes back to that window.
class WindowDC {
public:
    WindowDC() noexcept = default;
    explicit WindowDC(HWND wnd) noexcept : FWnd(wnd), FDC(::GetDC(wnd)) {}
    WindowDC(WindowDC&& other) noexcept
        : FWnd(std::exchange(other.FWnd, nullptr)), FDC(std::exchange(other.FDC, nullptr)) {}
    WindowDC& operator=(WindowDC&& other) noexcept {
        if (this != &other) {
            reset();
            FWnd = std::exchange(other.FWnd, nullptr);
            FDC = std::exchange(other.FDC, nullptr);
        }
        return *this;
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() { reset(); }

    HDC get() const noexcept { return FDC; }
    HWND window() const noexcept { return FWnd; }
    explicit operator bool() const noexcept { return FDC != nullptr; }
    void reset() noexcept {
        if (FDC)
            ::ReleaseDC(FWnd, FDC);
        FDC = nullptr;
        FWnd = nullptr;
    }

private:
    HWND FWnd = nullptr;
    HDC FDC = nullptr;
};

// Selects an object into a DC and selects the previous one back when it goes.
class SelectObjectGuard {
public:
    SelectObjectGuard(HDC dc, HGDIOBJ obj) noexcept : FDC(dc), FPrevious(::SelectObject(dc, obj)) {}
    SelectObjectGuard(SelectObjectGuard&& other) noexcept
        : FDC(std::exchange(other.FDC, nullptr)),
          FPrevious(std::exchange(other.FPrevious, nullptr)) {}
    SelectObjectGuard& operator=(SelectObjectGuard&&) = delete;
    SelectObjectGuard(const SelectObjectGuard&) = delete;
    SelectObjectGuard& operator=(const SelectObjectGuard&) = delete;
    ~SelectObjectGuard() {
        if (FDC && FPrevious && FPrevious != HGDI_ERROR)
            ::SelectObject(FDC, FPrevious);
    }

    explicit operator bool() const noexcept {
        return FPrevious != nullptr && FPrevious != HGDI_ERROR;
    }
    HGDIOBJ previous() const noexcept { return FPrevious; }

private:
    HDC FDC = nullptr;
    HGDIOBJ FPrevious = nullptr;
};

}  // namespace handles
