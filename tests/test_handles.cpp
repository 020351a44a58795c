#include "support/UHandles.h"

#include <gtest/gtest.h>

using namespace handles;

namespace {

// Closes per handle value, so "closed exactly once" can be checked through moves and resets.
int CloseCount[8];

struct CountingTraits {
    using Type = int;
    static Type Empty() noexcept { return 0; }
    static bool Close(Type h) noexcept {
        ++CloseCount[h];
        return h != 7; // handle 7 reports a failed close
    }
};
using Counted = UniqueHandle<CountingTraits>;

bool IsOpenKernelHandle(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

} // namespace

TEST(CountingHandle, EveryOwnedValueIsClosedExactlyOnceThroughMovesResetsAndPut) {
    {
        Counted a(1);
        Counted b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(a.get(), 0);
        Counted c(2);
        c = std::move(b); // closes 2, takes 1
        EXPECT_EQ(CloseCount[2], 1);
        EXPECT_EQ(CloseCount[1], 0);
        c = std::move(c); // self-move keeps the handle
        EXPECT_EQ(c.get(), 1);
        Counted d(3);
        EXPECT_TRUE(d.reset(4));
        EXPECT_EQ(CloseCount[3], 1);
        EXPECT_EQ(d.release(), 4);
        EXPECT_FALSE(d);
        Counted e(5);
        *e.put() = 6;
        EXPECT_EQ(CloseCount[5], 1) << "put closes the old value first";
        Counted f(7);
        EXPECT_FALSE(f.reset()) << "a failed close is reported";
        EXPECT_TRUE(f.reset()) << "an empty reset succeeds";
    }
    for (int h : {1, 2, 3, 5, 6, 7})
        EXPECT_EQ(CloseCount[h], 1) << "handle " << h;
    EXPECT_EQ(CloseCount[4], 0) << "a released value is the caller's to close";
}

TEST(KernelHandleTest, ClosesTheEventWhenItGoesAndNotWhenReleased) {
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE kept = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(raw && kept);
    {
        KernelHandle owner(raw);
        KernelHandle moved(std::move(owner));
        EXPECT_TRUE(IsOpenKernelHandle(raw));
        EXPECT_EQ(KernelHandle(kept).release(), kept);
    }
    EXPECT_FALSE(IsOpenKernelHandle(raw));
    EXPECT_TRUE(IsOpenKernelHandle(kept));
    CloseHandle(kept);
}

TEST(FileHandleTest, EmptyIsInvalidHandleValueNotNull) {
    EXPECT_EQ(FileHandle().get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FileHandle(CreateFileW(L"Z:\\no\\such\\dir\\file", GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr)));
}

TEST(FindAndKeyTest, SearchAndKeyAreClosedWhenTheyGo) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(L"C:\\windows\\*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    { FindHandle owner(search); }
    EXPECT_FALSE(FindNextFileW(search, &data));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key), ERROR_SUCCESS);
    wchar_t name[MAX_PATH];
    {
        RegKey owner(key);
        ASSERT_EQ(RegEnumKeyW(key, 0, name, MAX_PATH), ERROR_SUCCESS);
    }
    EXPECT_NE(RegEnumKeyW(key, 0, name, MAX_PATH), ERROR_SUCCESS) << "the key is closed";
}

TEST(GdiHandleTest, BrushAndMemoryDCAreDeletedAndSelectionIsRestored) {
    HBRUSH rawBrush = CreateSolidBrush(RGB(1, 2, 3));
    HDC rawDC = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(rawBrush && rawDC);
    {
        GdiObject brush(rawBrush);
        MemoryDC dc(rawDC);
        HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BRUSH);
        {
            SelectObjectGuard select(dc.get(), brush.get());
            EXPECT_TRUE(select);
            EXPECT_EQ(select.previous(), original);
            EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), rawBrush);
        }
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BRUSH), original);
        EXPECT_EQ(GetObjectType(rawBrush), static_cast<DWORD>(OBJ_BRUSH));
    }
    EXPECT_EQ(GetObjectType(rawBrush), 0u);
    EXPECT_EQ(GetObjectType(rawDC), 0u);
}

TEST(WindowDCTest, KeepsItsWindowAndMovesOutEmpty) {
    WindowDC screen(nullptr);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen.window(), nullptr);
    WindowDC moved(std::move(screen));
    EXPECT_FALSE(screen);
    EXPECT_TRUE(moved);
    moved.reset();
    EXPECT_FALSE(moved);
}
