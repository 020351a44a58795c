#include "support/UHandles.h"

#include <gtest/gtest.h>

using namespace handles;

namespace {

// Counts closes per handle value so "closed exactly once" can be checked for any sequence of
// moves, resets and releases.
int CloseCount[8];

struct CountingTraits {
    using Type = int;
    static Type Empty() noexcept { return 0; }
    static bool Close(Type h) noexcept {
        ++CloseCount[h];
        return h != 7;  // handle 7 reports a failed close
    }
};
using Counted = UniqueHandle<CountingTraits>;

class CountingHandle : public ::testing::Test {
protected:
    void SetUp() override {
        for (int& count : CloseCount)
            count = 0;
    }
};

bool IsOpenKernelHandle(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

}  // namespace

TEST_F(CountingHandle, EveryOwnedValueIsClosedExactlyOnceThroughMovesAndResets) {
    {
        Counted a(1);
        Counted b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(a.get(), 0);
        EXPECT_TRUE(b);
        Counted c(2);
        c = std::move(b);  // closes 2, takes 1
        EXPECT_EQ(CloseCount[2], 1);
        EXPECT_EQ(CloseCount[1], 0);
        c = std::move(c);  // self-move keeps the handle
        EXPECT_EQ(c.get(), 1);
        Counted d(3);
        EXPECT_TRUE(d.reset(4));
        EXPECT_EQ(CloseCount[3], 1);
        EXPECT_EQ(d.release(), 4);
        EXPECT_FALSE(d);
    }
    EXPECT_EQ(CloseCount[1], 1);
    EXPECT_EQ(CloseCount[2], 1);
    EXPECT_EQ(CloseCount[3], 1);
    EXPECT_EQ(CloseCount[4], 0) << "a released value is the caller's to close";
}

TEST_F(CountingHandle, ResetReportsAFailedCloseAndAnEmptyResetSucceeds) {
    Counted h(7);
    EXPECT_FALSE(h.reset());
    EXPECT_EQ(CloseCount[7], 1);
    EXPECT_TRUE(h.reset());
    EXPECT_EQ(CloseCount[7], 1);
}

TEST_F(CountingHandle, PutClosesTheOldValueFirst) {
    Counted h(5);
    *h.put() = 6;
    EXPECT_EQ(CloseCount[5], 1);
    EXPECT_EQ(h.get(), 6);
}

TEST(KernelHandleTest, ClosesTheEventWhenItGoesAndNotWhenReleased) {
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    {
        KernelHandle owner(raw);
        KernelHandle moved(std::move(owner));
        EXPECT_FALSE(owner);
        EXPECT_TRUE(IsOpenKernelHandle(raw));
    }
    EXPECT_FALSE(IsOpenKernelHandle(raw));

    HANDLE kept = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        KernelHandle owner(kept);
        EXPECT_EQ(owner.release(), kept);
    }
    EXPECT_TRUE(IsOpenKernelHandle(kept));
    CloseHandle(kept);
}

TEST(FileHandleTest, EmptyIsInvalidHandleValueNotNull) {
    FileHandle none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);
    FileHandle failed(CreateFileW(L"Z:\\no\\such\\dir\\file", GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(failed);
}

TEST(FindHandleTest, SearchIsClosedWhenItGoes) {
    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    WIN32_FIND_DATAW data;
    HANDLE raw = FindFirstFileW((std::wstring(windows) + L"\\*").c_str(), &data);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE);
    { FindHandle owner(raw); }
    EXPECT_FALSE(FindNextFileW(raw, &data));
}

TEST(RegKeyTest, KeyIsClosedWhenItGoes) {
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &raw), ERROR_SUCCESS);
    {
        RegKey owner(raw);
        DWORD subKeys = 0;
        EXPECT_EQ(RegQueryInfoKeyW(owner.get(), nullptr, nullptr, nullptr, &subKeys, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
    }
    DWORD subKeys = 0;
    EXPECT_NE(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
}

TEST(GdiHandleTest, BrushAndMemoryDCAreDeletedAndSelectionIsRestored) {
    HBRUSH rawBrush = CreateSolidBrush(RGB(1, 2, 3));
    HDC rawDC = CreateCompatibleDC(nullptr);
    ASSERT_NE(rawBrush, nullptr);
    ASSERT_NE(rawDC, nullptr);
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
