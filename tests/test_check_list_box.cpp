#include "wizard/UbrmCheckListBox.h"

#include "support/UHandles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

namespace {

class CheckListBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitCheckMetrics();
        Parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(Parent, nullptr);
        ParentProc = GetWindowLongPtrW(Parent, GWLP_WNDPROC);
    }
    void TearDown() override {
        Wrappers.clear();
        DestroyWindow(Parent);
        EXPECT_EQ(CLBArray.Count(), 0);
    }
    HWND NewListBox(int id) {
        return CreateWindowExW(
            0, L"LISTBOX", L"",
            WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY, 0, 0, 180, 60,
            Parent, reinterpret_cast<HMENU>(INT_PTR{id}), nullptr, nullptr);
    }
    TbrmCheckListBox& Wrap(HWND listBox) {
        Wrappers.push_back(std::make_unique<TbrmCheckListBox>(listBox));
        return *Wrappers.back();
    }

    HWND Parent = nullptr;
    LONG_PTR ParentProc = 0;
    std::vector<std::unique_ptr<TbrmCheckListBox>> Wrappers;
};

// Item-data writes to a two-item list box at another index than 0 and 1.
int OutOfRangeWrites = 0;
WNDPROC WrappedProc = nullptr;
LRESULT CALLBACK CountOutOfRangeWrites(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == LB_SETITEMDATA && wParam != 0 && wParam != 1)
        ++OutOfRangeWrites;
    return CallWindowProcW(WrappedProc, wnd, msg, wParam, lParam);
}

}  // namespace

// A bad index reads checked and disabled and never reaches the list box (Windows applies
// LB_SETITEMDATA at -1 to all items, Wine not: counted); a text beyond 4095 characters reads whole.
TEST_F(CheckListBoxTest, ItemStateBadIndexesAndLongTexts) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    const std::wstring longText(6000, L'x');
    list.Add(L"first");
    list.Add(longText);
    list.SetChecked(0, true);
    list.SetEnabled(1, false);
    OutOfRangeWrites = 0;
    WrappedProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        list.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountOutOfRangeWrites)));
    list.SetChecked(5, true);
    list.SetEnabled(-1, false);
    list.SetItemString(-1, L"none");
    SetWindowLongPtrW(list.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WrappedProc));
    EXPECT_EQ(OutOfRangeWrites, 0);
    EXPECT_TRUE(list.GetChecked(5));
    EXPECT_FALSE(list.GetEnabled(-1));
    EXPECT_EQ(list.GetItemString(5), L"");
    EXPECT_EQ(list.GetItemString(1), longText);
    EXPECT_EQ(SendMessageW(list.Handle(), LB_GETITEMDATA, 0, 0), csChecked);
    EXPECT_EQ(SendMessageW(list.Handle(), LB_GETITEMDATA, 1, 0), csDisabled);
}

TEST_F(CheckListBoxTest, ClicksSpaceAndDoubleClicksToggleOnlyAnEnabledSelectedItem) {
    const struct {
        const char* Label;
        bool Disabled, Preselected;
        const char* Input;  // c: press and release, u: release alone, d: double click, ' ', 'x'
        bool Checked;
        int Notified;
    } rows[] = {
        {"a click toggles and selects", false, false, "c", true, 1},
        {"a release without a press", false, true, "u", false, 0},
        {"space without a selection", false, false, " ", false, 0},
        {"space toggles the selection, other keys do not", false, true, " x", true, 1},
        {"a double click toggles twice", false, false, "cdu", false, 2},
        {"a disabled item is selected but never toggled", true, false, "c du", false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Label);
        TbrmCheckListBox& list = Wrap(NewListBox(100));
        list.Add(L"a");
        list.Add(L"b");
        list.SetEnabled(1, !row.Disabled);
        if (row.Preselected)
            list.SetSelected(1);
        int notified = 0;
        list.OnCheckClick = [&](TbrmCheckListBox* sender) {
            ++notified;
            EXPECT_EQ(sender->GetSelected(), 1) << "notified after the selection moved";
        };
        RECT r{};
        const HWND box = list.Handle();
        SendMessageW(box, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM(r.left + 40, (r.top + r.bottom) / 2);
        for (const char* input = row.Input; *input; ++input) {
            if (*input == 'c' || *input == 'd')
                SendMessageW(box, *input == 'c' ? WM_LBUTTONDOWN : WM_LBUTTONDBLCLK, MK_LBUTTON,
                             at);
            if (*input == 'c' || *input == 'u')
                SendMessageW(box, WM_LBUTTONUP, 0, at);
            if (*input == ' ' || *input == 'x')
                SendMessageW(box, WM_CHAR, static_cast<WPARAM>(*input), 0);
        }
        EXPECT_EQ(list.GetChecked(1), row.Checked);
        EXPECT_FALSE(list.GetChecked(0));
        EXPECT_EQ(notified, row.Notified);
        EXPECT_EQ(list.GetSelected(), row.Input[0] == 'c' || row.Preselected ? 1 : -1);
        Wrappers.pop_back();
        DestroyWindow(box);
    }
}

// The parent's procedure is replaced while any wrapper lives; a 33rd wrapper is refused, leaves
// its list alone and its removal touches no other.
TEST_F(CheckListBoxTest, TheParentProcedureAndTheThirtyTwoWrappers) {
    for (int i = 0; i < TbrmCLBArray::Capacity; ++i)
        EXPECT_TRUE(Wrap(NewListBox(100 + i)).IsActive());
    EXPECT_NE(GetWindowLongPtrW(Parent, GWLP_WNDPROC), ParentProc);
    const HWND extra = NewListBox(200);
    const LONG_PTR own = GetWindowLongPtrW(extra, GWLP_WNDPROC);
    TbrmCheckListBox& refused = Wrap(extra);
    EXPECT_FALSE(refused.IsActive());
    EXPECT_EQ(GetWindowLongPtrW(extra, GWLP_WNDPROC), own);
    Wrappers.pop_back();
    EXPECT_EQ(CLBArray.FindByHandle(Wrappers.back()->Handle()), Wrappers.back().get());
    Wrappers.erase(Wrappers.begin() + 1, Wrappers.end());
    EXPECT_NE(GetWindowLongPtrW(Parent, GWLP_WNDPROC), ParentProc) << "one wrapper is left";
    Wrappers.clear();
    EXPECT_EQ(GetWindowLongPtrW(Parent, GWLP_WNDPROC), ParentProc);
}

// Painted (through the parent) into a one-colour bitmap, read back by pixel: a box per row, ticked
// when checked, and the text, grey when disabled.
TEST_F(CheckListBoxTest, PaintsABoxAndTheTextOfEveryRow) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    for (int row = 0; row < 3; ++row)
        list.Add(L"WWWW");
    list.SetChecked(0, true);
    list.SetEnabled(2, false);
    const int width = 180, height = 60;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const handles::GdiObject bitmap(
        CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const handles::MemoryDC dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(bitmap && dc);
    const handles::SelectObjectGuard select(dc.get(), bitmap.get());
    std::fill_n(static_cast<DWORD*>(bits), width * height, 0x00010203u);
    SetBkColor(dc.get(), RGB(1, 2, 3));
    SendMessageW(list.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    GdiFlush();
    // A row's pixels in the box (left of CheckWidth + 2) or in the text.
    const auto pixels = [&](int row, bool box) {
        RECT r{};
        SendMessageW(list.Handle(), LB_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&r));
        std::vector<COLORREF> seen;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = box ? 0 : CheckWidth + 2; x < (box ? CheckWidth + 2 : width); ++x)
                seen.push_back(GetPixel(dc.get(), x, y));
        return seen;
    };
    EXPECT_EQ(std::ranges::count(pixels(0, true), GetSysColor(COLOR_BTNSHADOW)) > 0, true)
        << "the box's frame";
    EXPECT_NE(pixels(0, true), pixels(1, true)) << "a tick in the checked box";
    for (int row : {0, 1, 2}) {
        const std::vector<COLORREF> text = pixels(row, false);
        EXPECT_GE(std::set<COLORREF>(text.begin(), text.end()).size(), 2u) << "text, row " << row;
        EXPECT_EQ(std::ranges::count(text, GetSysColor(COLOR_GRAYTEXT)) > 0, row == 2) << row;
    }
}
