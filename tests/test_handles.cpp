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
        return h != 7;  // handle 7 reports a failed close
    }
};
using Counted = UniqueHandle<CountingTraits>;

}  // namespace

TEST(HandleTest, EveryOwnedValueIsClosedExactlyOnceThroughMovesResetsAndPut) {
    {
        Counted a(1);
        Counted b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(a.get(), 0);
        Counted c(2);
        c = std::move(b);  // closes 2, takes 1
        EXPECT_EQ(CloseCount[2], 1);
        EXPECT_EQ(CloseCount[1], 0);
        Counted d(3);
        EXPECT_TRUE(d.reset(4));
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

TEST(HandleTest, RealHandlesAreClosedWhenTheirOwnerGoes) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(L"C:\\windows\\*", &data);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key), ERROR_SUCCESS);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HDC memory = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(event && search != INVALID_HANDLE_VALUE && brush && memory);
    {
        KernelHandle moved(KernelHandle(event).release());
        FindHandle searchOwner(search);
        RegKey keyOwner(key);
        GdiObject brushOwner(brush);
        MemoryDC dc(memory);
        HGDIOBJ original = GetCurrentObject(memory, OBJ_BRUSH);
        {
            SelectObjectGuard select(memory, brush);
            EXPECT_EQ(select.previous(), original);
            EXPECT_EQ(GetCurrentObject(memory, OBJ_BRUSH), brush);
        }
        EXPECT_EQ(GetCurrentObject(memory, OBJ_BRUSH), original) << "the selection is restored";
        WindowDC screen(nullptr);
        WindowDC screenMoved(std::move(screen));
        EXPECT_TRUE(!screen && screenMoved);
        EXPECT_EQ(FileHandle().get(), INVALID_HANDLE_VALUE) << "an empty file handle is not null";
    }
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(event, &flags));
    EXPECT_FALSE(FindNextFileW(search, &data));
    wchar_t name[MAX_PATH];
    EXPECT_NE(RegEnumKeyW(key, 0, name, MAX_PATH), ERROR_SUCCESS);
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_EQ(GetObjectType(memory), 0u);
}
