#include "support/UHandles.h"
#include "wizard/UbrmCheckListBox.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// What the dialog's own procedure saw.
int ParentSelChanges = 0;
int ParentDrawItems = 0;

INT_PTR CALLBACK TestDialogProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
    ParentSelChanges += msg == WM_COMMAND && HIWORD(wParam) == LBN_SELCHANGE;
    ParentDrawItems += msg == WM_DRAWITEM;
    return msg == WM_INITDIALOG;
}

class CheckListBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitCheckMetrics();
        ParentSelChanges = ParentDrawItems = 0;
        // An empty dialog template: the list boxes are added as children afterwards.
        struct {
            DLGTEMPLATE Header;
            WORD Menu, Class, Title;
        } tmpl{};
        tmpl.Header = {WS_POPUP | WS_CAPTION, 0, 0, 0, 0, 200, 150};
        Dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &tmpl.Header, nullptr,
                                            TestDialogProc, 0);
        ASSERT_NE(Dialog, nullptr);
        DialogProc = GetWindowLongPtrW(Dialog, GWLP_WNDPROC);
    }
    void TearDown() override {
        Wrappers.clear();
        if (Dialog)
            DestroyWindow(Dialog);
        EXPECT_EQ(CLBArray.Count(), 0);
    }
    HWND NewListBox(int id, int top = 0) {
        return CreateWindowExW(
            0, L"LISTBOX", L"",
            WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY, 0, top, 180,
            60, Dialog, reinterpret_cast<HMENU>(INT_PTR{id}), GetModuleHandleW(nullptr), nullptr);
    }
    TbrmCheckListBox& Wrap(HWND listBox) {
        Wrappers.push_back(std::make_unique<TbrmCheckListBox>(listBox));
        return *Wrappers.back();
    }

    HWND Dialog = nullptr;
    LONG_PTR DialogProc = 0;
    std::vector<std::unique_ptr<TbrmCheckListBox>> Wrappers;
};

} // namespace

TEST_F(CheckListBoxTest, MetricsComeFromTheSystemCheckBoxBitmap) {
    const handles::GdiObject bitmap(LoadBitmapW(nullptr, MAKEINTRESOURCEW(32759)));
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(bitmap.get(), sizeof(info), &info));
    EXPECT_EQ(CheckWidth, info.bmWidth / 4);
    EXPECT_EQ(CheckHeight, info.bmHeight / 4);
    EXPECT_GT(CheckWidth, 0);
}

TEST_F(CheckListBoxTest, ItemStateLivesInTheItemDataWord) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    EXPECT_EQ(list.Add(L"first"), 0);
    const std::wstring longText(6000, L'x');
    list.Add(longText);
    EXPECT_EQ(list.GetItemString(1), longText) << "read back whole";
    EXPECT_FALSE(list.GetChecked(0));
    EXPECT_TRUE(list.GetEnabled(0));
    list.SetChecked(0, true);
    list.SetEnabled(1, false);
    EXPECT_EQ(SendMessageW(list.Handle(), LB_GETITEMDATA, 0, 0), csChecked);
    EXPECT_EQ(SendMessageW(list.Handle(), LB_GETITEMDATA, 1, 0), csDisabled);
    list.Insert(0, L"zero");
    EXPECT_TRUE(list.GetChecked(1)) << "the state moves with its item";
    EXPECT_FALSE(list.GetEnabled(2));
    list.SetItemString(1, L"renamed");
    EXPECT_EQ(list.GetItemString(1), L"renamed");
    EXPECT_FALSE(list.GetChecked(1));
    EXPECT_TRUE(list.GetEnabled(1));
}

TEST_F(CheckListBoxTest, AnIndexThatNamesNoItemReadsCheckedAndDisabledAndIgnoresWrites) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    list.Add(L"only");
    EXPECT_TRUE(list.GetChecked(5));
    EXPECT_FALSE(list.GetEnabled(5));
    EXPECT_TRUE(list.GetChecked(-1));
    EXPECT_EQ(list.GetItemString(5), L"");
    list.SetChecked(5, true);
    list.SetItemString(9, L"none");
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_FALSE(list.GetChecked(0));
    EXPECT_EQ(list.GetItemString(0), L"only");
}

// Mouse and keyboard on the second of two items: which sequences toggle it and notify.
TEST_F(CheckListBoxTest, ClicksSpaceAndDoubleClicksToggleOnlyAnEnabledSelectedItem) {
    const struct {
        const char* Label;
        bool Disabled;
        bool Preselected;
        const char* Input; // c: press and release, u: release alone, d: double click, ' ', 'x'
        bool Checked;
        int Notified;
    } rows[] = {
        {"a click toggles and selects", false, false, "c", true, 1},
        {"a second click toggles back", false, false, "cc", false, 2},
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
        SendMessageW(list.Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM(r.left + 40, (r.top + r.bottom) / 2);
        for (const char* input = row.Input; *input; ++input) {
            if (*input == 'c')
                SendMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
            if (*input == 'd')
                SendMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
            if (*input == 'c' || *input == 'u')
                SendMessageW(list.Handle(), WM_LBUTTONUP, 0, at);
            if (*input == ' ' || *input == 'x')
                SendMessageW(list.Handle(), WM_CHAR, static_cast<WPARAM>(*input), 0);
        }
        EXPECT_EQ(list.GetChecked(1), row.Checked);
        EXPECT_FALSE(list.GetChecked(0));
        EXPECT_EQ(notified, row.Notified);
        if (row.Input[0] == 'c') {
            EXPECT_EQ(list.GetSelected(), 1);
        }
        const HWND box = list.Handle();
        Wrappers.pop_back();
        DestroyWindow(box);
    }
}

TEST_F(CheckListBoxTest, TheParentProcedureRoutesSelectionChangesUntilTheLastWrapperGoes) {
    HWND first = NewListBox(100), second = NewListBox(101, 70);
    const LONG_PTR firstOwn = GetWindowLongPtrW(first, GWLP_WNDPROC);
    auto a = std::make_unique<TbrmCheckListBox>(first);
    const LONG_PTR replaced = GetWindowLongPtrW(Dialog, GWLP_WNDPROC);
    EXPECT_NE(replaced, DialogProc);
    int clicks = 0;
    a->OnClick = [&](TbrmCheckListBox*) { ++clicks; };
    const auto selChange = [this](int id, HWND list) {
        SendMessageW(Dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    };
    selChange(100, first);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(ParentSelChanges, 0) << "the wrapper's notification stays with it";
    selChange(101, second);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(ParentSelChanges, 1) << "other controls' notifications still reach the dialog";

    auto b = std::make_unique<TbrmCheckListBox>(second);
    EXPECT_EQ(GetWindowLongPtrW(Dialog, GWLP_WNDPROC), replaced) << "replaced once";
    EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(Dialog, L"brmParentCLBRefCount")), 2);
    a.reset();
    EXPECT_EQ(GetWindowLongPtrW(first, GWLP_WNDPROC), firstOwn);
    EXPECT_EQ(GetPropW(first, L"brmCLBWndProc"), nullptr);
    EXPECT_EQ(GetWindowLongPtrW(Dialog, GWLP_WNDPROC), replaced);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(Dialog, L"brmParentCLBRefCount")), 1);
    b.reset();
    EXPECT_EQ(GetWindowLongPtrW(Dialog, GWLP_WNDPROC), DialogProc);
    EXPECT_EQ(GetPropW(Dialog, L"brmParentCLBRefCount"), nullptr);
    EXPECT_EQ(GetPropW(Dialog, L"brmParentCLBWndProc"), nullptr);
}

TEST_F(CheckListBoxTest, TheRegistryHoldsThirtyTwoWrappersAndFindsThemAfterARemoval) {
    std::vector<HWND> boxes;
    for (int i = 0; i < TbrmCLBArray::Capacity; ++i)
        EXPECT_TRUE(Wrap(boxes.emplace_back(NewListBox(100 + i))).IsActive());
    // A thirty-third is refused and leaves its list alone; its removal touches no other wrapper.
    HWND extra = NewListBox(200);
    const LONG_PTR own = GetWindowLongPtrW(extra, GWLP_WNDPROC);
    TbrmCheckListBox& refused = Wrap(extra);
    EXPECT_FALSE(refused.IsActive());
    EXPECT_EQ(GetWindowLongPtrW(extra, GWLP_WNDPROC), own);
    EXPECT_EQ(refused.Add(L"still a list"), 0);
    Wrappers.pop_back();
    EXPECT_EQ(CLBArray.Count(), TbrmCLBArray::Capacity);
    Wrappers.erase(Wrappers.begin() + 2);
    EXPECT_EQ(CLBArray.Count(), TbrmCLBArray::Capacity - 1);
    for (size_t i = 0; i < boxes.size(); ++i) {
        TbrmCheckListBox* found = CLBArray.FindByHandle(boxes[i]);
        EXPECT_EQ(found ? found->Handle() : nullptr, i == 2 ? nullptr : boxes[i]) << i;
    }
    EXPECT_TRUE(Wrap(extra).IsActive()) << "the freed place is taken again";
}

TEST_F(CheckListBoxTest, AWrapperMayOutliveItsWindows) {
    Wrap(NewListBox(100));
    DestroyWindow(Dialog);
    Dialog = nullptr;
    Wrappers.clear();
    EXPECT_EQ(CLBArray.Count(), 0);
}

TEST_F(CheckListBoxTest, DrawsAFlatCheckBoxGreyTextAndTheSelectionColour) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    list.Add(L"checked");
    list.SetChecked(0, true);
    list.Add(L"unchecked");
    const handles::WindowDC screen(nullptr);
    const handles::MemoryDC memory(CreateCompatibleDC(screen.get()));
    const handles::GdiObject bitmap(CreateCompatibleBitmap(screen.get(), 200, 20));
    const handles::SelectObjectGuard select(memory.get(), bitmap.get());
    const HDC dc = memory.get();
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));
    // Draws item index into a white 200 x 16 rectangle; the pixels of its check column.
    const auto draw = [&](int index, UINT state) {
        RECT whole{0, 0, 200, 20};
        FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        DRAWITEMSTRUCT item{ODT_LISTBOX,   100, static_cast<UINT>(index), 0, state,
                            list.Handle(), dc,  {0, 0, 200, 16},          0};
        EXPECT_EQ(SendMessageW(Dialog, WM_DRAWITEM, 100, reinterpret_cast<LPARAM>(&item)), TRUE);
        std::vector<COLORREF> pixels;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < CheckWidth + 2; ++x)
                pixels.push_back(GetPixel(dc, x, y));
        return pixels;
    };

    const std::vector<COLORREF> checked = draw(0, 0);
    EXPECT_EQ(ParentDrawItems, 0) << "the wrapper draws, the dialog's procedure is not asked";
    const int x0 = (CheckWidth + 2 - CheckWidth) / 2, y0 = (16 - CheckWidth) / 2;
    EXPECT_EQ(GetPixel(dc, x0 + 1, y0 + 1), GetSysColor(COLOR_BTNSHADOW)) << "the flat frame";
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255)) << "colours are restored";
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_NE(draw(1, 0), checked) << "a check mark is drawn only for the checked item";

    draw(1, ODS_SELECTED);
    EXPECT_EQ(GetPixel(dc, 199, 1), GetSysColor(COLOR_HIGHLIGHT))
        << "selection fills the text part";
    EXPECT_NE(GetPixel(dc, 0, 0), GetSysColor(COLOR_HIGHLIGHT)) << "but not the check column";

    list.SetEnabled(1, false);
    draw(1, 0);
    bool grey = false;
    for (int x = CheckWidth + 2; x < 200 && !grey; ++x)
        for (int y = 0; y < 16 && !grey; ++y)
            grey = GetPixel(dc, x, y) == GetSysColor(COLOR_GRAYTEXT);
    EXPECT_TRUE(grey) << "a disabled item's text is grey";
}
