#include "wizard/UbrmCheckListBox.h"

#include "support/UHandles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

namespace {

constexpr int ListWidth = 180, ListHeight = 60;

class CheckListBoxTest : public ::testing::Test {
protected:
    void TearDown() override {
        Wrappers.clear();
        DestroyWindow(Parent);
        EXPECT_EQ(CLBArray.Count(), 0);
    }
    // A new owner-drawn list box child of Parent with these rows, wrapped.
    TbrmCheckListBox& NewList(int id, const std::vector<std::wstring>& rows) {
        InitCheckMetrics();
        const HWND box = CreateWindowExW(
            0, L"LISTBOX", L"",
            WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY, 0, 0,
            ListWidth, ListHeight, Parent, reinterpret_cast<HMENU>(INT_PTR{id}), nullptr, nullptr);
        Wrappers.push_back(std::make_unique<TbrmCheckListBox>(box));
        for (const std::wstring& row : rows)
            Wrappers.back()->Add(row);
        return *Wrappers.back();
    }

    const HWND Parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr,
                                        nullptr, nullptr, nullptr);
    const LONG_PTR ParentProc = GetWindowLongPtrW(Parent, GWLP_WNDPROC);
    std::vector<std::unique_ptr<TbrmCheckListBox>> Wrappers;
};

// Item-data writes to a three-item list box at an index that names no item.
int OutOfRangeWrites = 0;
WNDPROC WrappedProc = nullptr;
LRESULT CALLBACK CountOutOfRangeWrites(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    OutOfRangeWrites += msg == LB_SETITEMDATA && wParam > 2;
    return CallWindowProcW(WrappedProc, wnd, msg, wParam, lParam);
}

}  // namespace

// A bad index reads checked and disabled and never reaches the list box (Windows applies
// LB_SETITEMDATA at -1 to all items, Wine not: counted); a text beyond 4095 characters reads
// whole. Painted (through the parent) into a bitmap read back by pixel: a box per row, ticked
// only when checked, and the text, grey when disabled.
TEST_F(CheckListBoxTest, ItemStateAndPainting) {
    const std::wstring longText(6000, L'x');
    TbrmCheckListBox& list = NewList(100, {L"WWWW", longText, L"WWWW"});
    list.SetChecked(0, true);
    list.SetEnabled(2, false);
    WrappedProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        list.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountOutOfRangeWrites)));
    list.SetChecked(3, true);
    list.SetEnabled(-1, false);
    list.SetItemString(-1, L"none");
    SetWindowLongPtrW(list.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WrappedProc));
    EXPECT_EQ(OutOfRangeWrites, 0);
    EXPECT_TRUE(list.GetChecked(3) && !list.GetEnabled(-1));
    EXPECT_EQ(list.GetItemString(3), L"");
    EXPECT_EQ(list.GetItemString(1), longText);
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(SendMessageW(list.Handle(), LB_GETITEMDATA, 0, 0), csChecked);
    EXPECT_EQ(SendMessageW(list.Handle(), LB_GETITEMDATA, 2, 0), csDisabled);

    BITMAPINFO info{};
    info.bmiHeader = {
        sizeof(BITMAPINFOHEADER), ListWidth, -ListHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const handles::GdiObject bitmap(
        CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const handles::MemoryDC dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(bitmap && dc);
    const handles::SelectObjectGuard select(dc.get(), bitmap.get());
    SendMessageW(list.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    GdiFlush();
    // A row's pixels in the box (left of CheckWidth + 2) or in the text.
    const auto pixels = [&](int row, bool box) {
        RECT r{};
        SendMessageW(list.Handle(), LB_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&r));
        std::vector<COLORREF> seen;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = box ? 0 : CheckWidth + 2; x < (box ? CheckWidth + 2 : ListWidth); ++x)
                seen.push_back(GetPixel(dc.get(), x, y));
        return seen;
    };
    EXPECT_GT(std::ranges::count(pixels(0, true), GetSysColor(COLOR_BTNSHADOW)), 0) << "a frame";
    EXPECT_NE(pixels(0, true), pixels(1, true)) << "a tick in the checked box";
    for (int row : {0, 1, 2}) {
        const std::vector<COLORREF> text = pixels(row, false);
        EXPECT_GE(std::set<COLORREF>(text.begin(), text.end()).size(), 2u) << "text, row " << row;
        EXPECT_EQ(std::ranges::count(text, GetSysColor(COLOR_GRAYTEXT)) > 0, row == 2) << row;
    }
}

TEST_F(CheckListBoxTest, ClicksSpaceAndDoubleClicksToggleOnlyAnEnabledSelectedItem) {
    const struct {
        const char* Label;
        bool Disabled, Preselected;
        const char* Input;  // d/u: press/release, D: double click, ' ' and 'x': characters
        bool Checked;
        int Notified;
    } rows[] = {
        {"a click toggles and selects", false, false, "du", true, 1},
        {"a release without a press", false, true, "u", false, 0},
        {"space without a selection", false, false, " ", false, 0},
        {"space toggles the selection, other keys do not", false, true, " x", true, 1},
        {"a double click toggles twice", false, false, "duDu", false, 2},
        {"a disabled item is selected but never toggled", true, false, "du Du", false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Label);
        TbrmCheckListBox& list = NewList(100, {L"a", L"b"});
        list.SetEnabled(1, !row.Disabled);
        list.SetSelected(row.Preselected ? 1 : -1);
        int notified = 0;
        list.OnCheckClick = [&](TbrmCheckListBox* sender) {
            notified += sender->GetSelected() == 1 ? 1 : 100;  // after the selection moved
        };
        RECT r{};
        SendMessageW(list.Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
        for (const char input : std::string_view(row.Input)) {
            const UINT msg = input == 'd'   ? WM_LBUTTONDOWN
                             : input == 'u' ? WM_LBUTTONUP
                             : input == 'D' ? WM_LBUTTONDBLCLK
                                            : WM_CHAR;
            SendMessageW(list.Handle(), msg, msg == WM_CHAR ? static_cast<WPARAM>(input) : 0,
                         MAKELPARAM(r.left + 40, (r.top + r.bottom) / 2));
        }
        EXPECT_EQ(list.GetChecked(1), row.Checked);
        EXPECT_FALSE(list.GetChecked(0));
        EXPECT_EQ(notified, row.Notified);
        EXPECT_EQ(list.GetSelected(), row.Input[0] == 'd' || row.Preselected ? 1 : -1);
    }
}

// The parent's procedure is replaced while any wrapper lives; a 33rd wrapper is refused, leaves
// its list alone and its removal touches no other.
TEST_F(CheckListBoxTest, TheParentProcedureAndTheThirtyTwoWrappers) {
    for (int i = 0; i < TbrmCLBArray::Capacity; ++i)
        EXPECT_TRUE(NewList(100 + i, {}).IsActive());
    EXPECT_NE(GetWindowLongPtrW(Parent, GWLP_WNDPROC), ParentProc);
    const TbrmCheckListBox& refused = NewList(200, {});
    EXPECT_FALSE(refused.IsActive());
    EXPECT_NE(GetWindowLongPtrW(refused.Handle(), GWLP_WNDPROC),
              GetWindowLongPtrW(Wrappers[0]->Handle(), GWLP_WNDPROC));
    Wrappers.pop_back();
    EXPECT_EQ(CLBArray.FindByHandle(Wrappers.back()->Handle()), Wrappers.back().get());
    Wrappers.erase(Wrappers.begin() + 1, Wrappers.end());
    EXPECT_NE(GetWindowLongPtrW(Parent, GWLP_WNDPROC), ParentProc) << "one wrapper is left";
    Wrappers.clear();
    EXPECT_EQ(GetWindowLongPtrW(Parent, GWLP_WNDPROC), ParentProc);
}
