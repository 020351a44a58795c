#include "wizard/UbrmCheckListBox.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// What the dialog's own procedure saw.
int ParentSelChanges = 0;
int ParentDrawItems = 0;

INT_PTR CALLBACK TestDialogProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_COMMAND && HIWORD(wParam) == LBN_SELCHANGE)
        ++ParentSelChanges;
    if (msg == WM_DRAWITEM)
        ++ParentDrawItems;
    return msg == WM_INITDIALOG;
}

// An empty dialog template: the list boxes are added as children afterwards.
struct EmptyDialogTemplate {
    DLGTEMPLATE Header;
    WORD Menu, Class, Title;
};

class CheckListBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitCheckMetrics();
        ParentSelChanges = ParentDrawItems = 0;
        EmptyDialogTemplate tmpl{};
        tmpl.Header.style = WS_POPUP | WS_CAPTION;
        tmpl.Header.cx = 200;
        tmpl.Header.cy = 150;
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
        return CreateWindowExW(0, L"LISTBOX", L"",
                               WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                                   LBS_NOTIFY,
                               0, top, 180, 60, Dialog, reinterpret_cast<HMENU>(INT_PTR{id}),
                               GetModuleHandleW(nullptr), nullptr);
    }
    TbrmCheckListBox& Wrap(HWND listBox) {
        Wrappers.push_back(std::make_unique<TbrmCheckListBox>(listBox));
        return *Wrappers.back();
    }
    static LPARAM PointIn(HWND listBox, int index) {
        RECT r{};
        SendMessageW(listBox, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
        return MAKELPARAM(r.left + 40, (r.top + r.bottom) / 2);
    }
    static void Click(HWND listBox, int index) {
        SendMessageW(listBox, WM_LBUTTONDOWN, MK_LBUTTON, PointIn(listBox, index));
        SendMessageW(listBox, WM_LBUTTONUP, 0, PointIn(listBox, index));
    }

    HWND Dialog = nullptr;
    LONG_PTR DialogProc = 0;
    std::vector<std::unique_ptr<TbrmCheckListBox>> Wrappers;
};

}  // namespace

TEST_F(CheckListBoxTest, MetricsComeFromTheSystemCheckBoxBitmap) {
    BITMAP info{};
    HBITMAP bitmap = LoadBitmapW(nullptr, MAKEINTRESOURCEW(32759));
    ASSERT_NE(bitmap, nullptr);
    GetObjectW(bitmap, sizeof(info), &info);
    DeleteObject(bitmap);
    EXPECT_EQ(CheckWidth, info.bmWidth / 4);
    EXPECT_EQ(CheckHeight, info.bmHeight / 4);
    EXPECT_GT(CheckWidth, 0);
}

TEST_F(CheckListBoxTest, ItemStateLivesInTheItemDataWord) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    EXPECT_EQ(list.Add(L"first"), 0);
    list.Add(L"second");
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
    list.SetItemString(9, L"none");
    EXPECT_EQ(list.GetCount(), 3);
}

TEST_F(CheckListBoxTest, AnIndexThatNamesNoItemReadsCheckedAndDisabledAndIgnoresWrites) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    list.Add(L"only");
    EXPECT_TRUE(list.GetChecked(5));
    EXPECT_FALSE(list.GetEnabled(5));
    EXPECT_TRUE(list.GetChecked(-1));
    list.SetChecked(5, true);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_FALSE(list.GetChecked(0));
    EXPECT_EQ(list.GetItemString(5), L"");
}

TEST_F(CheckListBoxTest, ALongItemTextIsReadBackWhole) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    const std::wstring text(6000, L'x');
    list.Add(text);
    EXPECT_EQ(list.GetItemString(0), text);
}

TEST_F(CheckListBoxTest, AClickOnTheRowTogglesAndNotifies) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    list.Add(L"a");
    list.Add(L"b");
    std::vector<int> toggled;
    list.OnCheckClick = [&](TbrmCheckListBox* sender) { toggled.push_back(sender->GetSelected()); };
    Click(list.Handle(), 1);
    EXPECT_EQ(list.GetSelected(), 1);
    EXPECT_TRUE(list.GetChecked(1));
    EXPECT_FALSE(list.GetChecked(0));
    Click(list.Handle(), 1);
    EXPECT_FALSE(list.GetChecked(1));
    EXPECT_EQ(toggled, (std::vector<int>{1, 1}));
}

TEST_F(CheckListBoxTest, AReleaseWithoutAPressDoesNotToggle) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    list.Add(L"a");
    list.SetSelected(0);
    SendMessageW(list.Handle(), WM_LBUTTONUP, 0, PointIn(list.Handle(), 0));
    EXPECT_FALSE(list.GetChecked(0));
}

TEST_F(CheckListBoxTest, ADisabledItemIsSelectedButNeverToggled) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    list.Add(L"a");
    list.Add(L"disabled");
    list.SetEnabled(1, false);
    int fired = 0;
    list.OnCheckClick = [&](TbrmCheckListBox*) { ++fired; };
    Click(list.Handle(), 1);
    EXPECT_EQ(list.GetSelected(), 1);
    SendMessageW(list.Handle(), WM_CHAR, L' ', 0);
    SendMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, PointIn(list.Handle(), 1));
    EXPECT_FALSE(list.GetChecked(1));
    EXPECT_EQ(fired, 0);
}

TEST_F(CheckListBoxTest, SpaceTogglesTheSelectionAndDoesNothingWithoutOne) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    list.Add(L"a");
    int fired = 0;
    list.OnCheckClick = [&](TbrmCheckListBox*) { ++fired; };
    SendMessageW(list.Handle(), WM_CHAR, L' ', 0);
    EXPECT_FALSE(list.GetChecked(0));
    EXPECT_EQ(fired, 0);
    list.SetSelected(0);
    SendMessageW(list.Handle(), WM_CHAR, L' ', 0);
    EXPECT_TRUE(list.GetChecked(0));
    SendMessageW(list.Handle(), WM_CHAR, L'x', 0);
    EXPECT_TRUE(list.GetChecked(0));
    EXPECT_EQ(fired, 1);
}

TEST_F(CheckListBoxTest, ADoubleClickTogglesTwiceAndLeavesTheItemAsItWas) {
    TbrmCheckListBox& list = Wrap(NewListBox(100));
    list.Add(L"a");
    int fired = 0;
    list.OnCheckClick = [&](TbrmCheckListBox*) { ++fired; };
    const LPARAM at = PointIn(list.Handle(), 0);
    SendMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list.Handle(), WM_LBUTTONUP, 0, at);
    SendMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(list.Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_FALSE(list.GetChecked(0));
    EXPECT_EQ(fired, 2);
}

TEST_F(CheckListBoxTest, SelectionChangesGoToTheWrapperNotTheDialog) {
    HWND wrapped = NewListBox(100);
    HWND plain = NewListBox(101, 70);
    TbrmCheckListBox& list = Wrap(wrapped);
    int clicks = 0;
    list.OnClick = [&](TbrmCheckListBox*) { ++clicks; };
    SendMessageW(Dialog, WM_COMMAND, MAKEWPARAM(100, LBN_SELCHANGE), reinterpret_cast<LPARAM>(wrapped));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(ParentSelChanges, 0);
    SendMessageW(Dialog, WM_COMMAND, MAKEWPARAM(101, LBN_SELCHANGE), reinterpret_cast<LPARAM>(plain));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(ParentSelChanges, 1) << "other controls' notifications still reach the dialog";
}

TEST_F(CheckListBoxTest, TwoListsOnOneParentRestoreItsProcedureOnlyWithTheLast) {
    HWND first = NewListBox(100);
    HWND second = NewListBox(101, 70);
    const LONG_PTR firstOwn = GetWindowLongPtrW(first, GWLP_WNDPROC);
    auto a = std::make_unique<TbrmCheckListBox>(first);
    const LONG_PTR replaced = GetWindowLongPtrW(Dialog, GWLP_WNDPROC);
    EXPECT_NE(replaced, DialogProc);
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

TEST_F(CheckListBoxTest, RemovingAMiddleWrapperKeepsTheOthersFindable) {
    std::vector<HWND> boxes;
    for (int i = 0; i < 5; ++i) {
        boxes.push_back(NewListBox(100 + i));
        Wrap(boxes.back());
    }
    Wrappers.erase(Wrappers.begin() + 2);
    EXPECT_EQ(CLBArray.Count(), 4);
    EXPECT_EQ(CLBArray.FindByHandle(boxes[2]), nullptr);
    for (int i : {0, 1, 3, 4})
        EXPECT_EQ(CLBArray.FindByHandle(boxes[static_cast<size_t>(i)])->Handle(),
                  boxes[static_cast<size_t>(i)]);
}

TEST_F(CheckListBoxTest, AThirtyThirdWrapperIsRefusedAndLeavesItsListAlone) {
    for (int i = 0; i < TbrmCLBArray::Capacity; ++i)
        EXPECT_TRUE(Wrap(NewListBox(100 + i)).IsActive());
    HWND extra = NewListBox(200);
    const LONG_PTR own = GetWindowLongPtrW(extra, GWLP_WNDPROC);
    TbrmCheckListBox& refused = Wrap(extra);
    EXPECT_FALSE(refused.IsActive());
    EXPECT_EQ(CLBArray.Count(), TbrmCLBArray::Capacity);
    EXPECT_EQ(GetWindowLongPtrW(extra, GWLP_WNDPROC), own);
    EXPECT_EQ(refused.Add(L"still a list"), 0);
    Wrappers.pop_back();
    EXPECT_EQ(CLBArray.Count(), TbrmCLBArray::Capacity) << "its removal touches no other wrapper";
}

TEST_F(CheckListBoxTest, AWrapperMayOutliveItsWindows) {
    HWND box = NewListBox(100);
    Wrap(box);
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
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 20);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));

    auto draw = [&](int index, UINT state) {
        RECT whole{0, 0, 200, 20};
        FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_LISTBOX;
        item.CtlID = 100;
        item.itemID = static_cast<UINT>(index);
        item.itemState = state;
        item.hwndItem = list.Handle();
        item.hDC = dc;
        item.rcItem = {0, 0, 200, 16};
        return SendMessageW(Dialog, WM_DRAWITEM, 100, reinterpret_cast<LPARAM>(&item));
    };
    auto checkPixels = [&]() {
        std::vector<COLORREF> pixels;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < CheckWidth + 2; ++x)
                pixels.push_back(GetPixel(dc, x, y));
        return pixels;
    };

    EXPECT_EQ(draw(0, 0), TRUE);
    EXPECT_EQ(ParentDrawItems, 0) << "the wrapper draws, the dialog's procedure is not asked";
    const int x0 = (CheckWidth + 2 - CheckWidth) / 2;
    const int y0 = (16 - CheckWidth) / 2;
    EXPECT_EQ(GetPixel(dc, x0 + 1, y0 + 1), GetSysColor(COLOR_BTNSHADOW)) << "the flat frame";
    const std::vector<COLORREF> checked = checkPixels();
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255)) << "colours are restored";
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    draw(1, 0);
    EXPECT_NE(checkPixels(), checked) << "a check mark is drawn only for the checked item";

    draw(1, ODS_SELECTED);
    EXPECT_EQ(GetPixel(dc, 199, 1), GetSysColor(COLOR_HIGHLIGHT)) << "selection fills the text part";
    EXPECT_NE(GetPixel(dc, 0, 0), GetSysColor(COLOR_HIGHLIGHT)) << "but not the check column";

    list.SetEnabled(1, false);
    draw(1, 0);
    bool grey = false;
    for (int x = CheckWidth + 2; x < 200 && !grey; ++x)
        for (int y = 0; y < 16 && !grey; ++y)
            grey = GetPixel(dc, x, y) == GetSysColor(COLOR_GRAYTEXT);
    EXPECT_TRUE(grey) << "a disabled item's text is grey";

    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}
