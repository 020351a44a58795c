#ifndef OEMRESOURCE
#define OEMRESOURCE  // OBM_CHECKBOXES
#endif
#include "wizard/UbrmCheckListBox.h"

#include "support/UHandles.h"

#include <algorithm>
#include <vector>

using handles::GdiObject;
using handles::SelectObjectGuard;

int CheckWidth = 0;
int CheckHeight = 0;
TbrmCLBArray CLBArray;

namespace {

const wchar_t* const WrapperProp = L"brmCLBWndProc";  // holds the wrapper, not a procedure
const wchar_t* const ParentProcProp = L"brmParentCLBWndProc";
const wchar_t* const ParentRefCountProp = L"brmParentCLBRefCount";

// The system check-box bitmap holds 4 columns of cells.
constexpr int CheckBitmapColumns = 4;

LRESULT CALLBACK CLBWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ParentCLBWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

WNDPROC WindowProcOf(HWND wnd) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(wnd, GWLP_WNDPROC));
}

void SetWindowProc(HWND wnd, WNDPROC proc) {
    SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

TbrmCheckListBox* WrapperOf(HWND listBox) {
    return static_cast<TbrmCheckListBox*>(GetPropW(listBox, WrapperProp));
}

LRESULT CALLBACK CLBWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TbrmCheckListBox* wrapper = WrapperOf(wnd);
    if (!wrapper)
        return DefWindowProcW(wnd, msg, wParam, lParam);
    try {
        switch (msg) {
        case WM_CHAR:
            if (wParam == L' ')
                wrapper->ToggleChecked();
            break;
        case WM_LBUTTONDOWN: wrapper->FLClicksCount = 1; break;
        case WM_LBUTTONUP:
            // Only a release that follows a press in this list box is a click; the press has
            // already moved the selection to the item under the mouse.
            if (--wrapper->FLClicksCount == 0)
                wrapper->ToggleChecked();
            break;
        case WM_LBUTTONDBLCLK: wrapper->ToggleChecked(); break;
        default: break;
        }
    } catch (...) {
        // A failed toggle must not take the list box down; the message still goes on.
    }
    return wrapper->CallOldWndProc(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK ParentCLBWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        if (msg == WM_DRAWITEM) {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (draw && draw->CtlType == ODT_LISTBOX) {
                if (TbrmCheckListBox* wrapper = CLBArray.FindByHandle(draw->hwndItem)) {
                    wrapper->DrawItem(draw->hDC, static_cast<int>(draw->itemID),
                                      draw->itemState & 0xFFFF, draw->rcItem);
                    return TRUE;
                }
            }
        } else if (msg == WM_COMMAND && HIWORD(wParam) == LBN_SELCHANGE) {
            if (TbrmCheckListBox* wrapper = CLBArray.FindByHandle(reinterpret_cast<HWND>(lParam))) {
                wrapper->DoClick();
                return TRUE;
            }
        }
    } catch (...) {
        return 0;
    }
    auto previous = reinterpret_cast<WNDPROC>(GetPropW(wnd, ParentProcProp));
    if (!previous)
        return DefWindowProcW(wnd, msg, wParam, lParam);
    return CallWindowProcW(previous, wnd, msg, wParam, lParam);
}

}  // namespace

void InitCheckMetrics() {
    GdiObject bitmap(LoadBitmapW(nullptr, MAKEINTRESOURCEW(OBM_CHECKBOXES)));
    BITMAP info{};
    if (bitmap && GetObjectW(bitmap.get(), sizeof(info), &info) == sizeof(info)) {
        CheckWidth = info.bmWidth / CheckBitmapColumns;
        CheckHeight = info.bmHeight / CheckBitmapColumns;
    }
}

// ---- TbrmCLBArray ----

int TbrmCLBArray::Add(TbrmCheckListBox* item) {
    if (FItemsCount >= Capacity)
        return -1;
    FItems[FItemsCount] = item;
    return FItemsCount++;
}

void TbrmCLBArray::Delete(TbrmCheckListBox* item) {
    int index = IndexOf(item);
    if (index < 0)
        return;
    for (int i = index; i + 1 < FItemsCount; ++i)
        FItems[i] = FItems[i + 1];
    FItems[--FItemsCount] = nullptr;
}

int TbrmCLBArray::IndexOf(const TbrmCheckListBox* item) const {
    for (int i = 0; i < FItemsCount; ++i)
        if (FItems[i] == item)
            return i;
    return -1;
}

TbrmCheckListBox* TbrmCLBArray::FindByHandle(HWND handle) const {
    for (int i = 0; i < FItemsCount; ++i)
        if (FItems[i]->Handle() == handle)
            return FItems[i];
    return nullptr;
}

// ---- TbrmCheckListBox ----

TbrmCheckListBox::TbrmCheckListBox(HWND listBox) : FHandle(listBox) {
    // Registered first: a wrapper the registry cannot hold must not take over any procedure,
    // since the parent procedure could never find it.
    if (CLBArray.Add(this) < 0)
        return;
    FActive = true;
    FOldWndProc = WindowProcOf(FHandle);
    SetPropW(FHandle, WrapperProp, static_cast<HANDLE>(this));
    SetWindowProc(FHandle, CLBWndProc);

    FParent = GetParent(FHandle);
    if (WindowProcOf(FParent) == ParentCLBWndProc) {
        auto count = reinterpret_cast<INT_PTR>(GetPropW(FParent, ParentRefCountProp));
        SetPropW(FParent, ParentRefCountProp, reinterpret_cast<HANDLE>(count + 1));
    } else {
        SetPropW(FParent, ParentProcProp, reinterpret_cast<HANDLE>(WindowProcOf(FParent)));
        SetPropW(FParent, ParentRefCountProp, reinterpret_cast<HANDLE>(INT_PTR{1}));
        SetWindowProc(FParent, ParentCLBWndProc);
    }
    FLClicksCount = 0;
}

TbrmCheckListBox::~TbrmCheckListBox() {
    if (!FActive)
        return;
    CLBArray.Delete(this);
    if (IsWindow(FParent)) {
        auto count = reinterpret_cast<INT_PTR>(GetPropW(FParent, ParentRefCountProp));
        if (count - 1 > 0) {
            SetPropW(FParent, ParentRefCountProp, reinterpret_cast<HANDLE>(count - 1));
        } else {
            auto previous = reinterpret_cast<WNDPROC>(GetPropW(FParent, ParentProcProp));
            if (previous)
                SetWindowProc(FParent, previous);
            RemovePropW(FParent, ParentProcProp);
            RemovePropW(FParent, ParentRefCountProp);
        }
    }
    if (IsWindow(FHandle)) {
        SetWindowProc(FHandle, FOldWndProc);
        RemovePropW(FHandle, WrapperProp);
    }
}

LRESULT TbrmCheckListBox::CallOldWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) const {
    return CallWindowProcW(FOldWndProc, wnd, msg, wParam, lParam);
}

void TbrmCheckListBox::Clear() {
    SendMessageW(FHandle, LB_RESETCONTENT, 0, 0);
}

int TbrmCheckListBox::Add(const std::wstring& value) {
    return static_cast<int>(
        SendMessageW(FHandle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value.c_str())));
}

void TbrmCheckListBox::Insert(int index, const std::wstring& value) {
    SendMessageW(FHandle, LB_INSERTSTRING, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(value.c_str()));
}

void TbrmCheckListBox::Delete(int index) {
    SendMessageW(FHandle, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

int TbrmCheckListBox::GetCount() const {
    return static_cast<int>(SendMessageW(FHandle, LB_GETCOUNT, 0, 0));
}

int TbrmCheckListBox::GetSelected() const {
    return static_cast<int>(SendMessageW(FHandle, LB_GETCURSEL, 0, 0));
}

void TbrmCheckListBox::SetSelected(int value) {
    SendMessageW(FHandle, LB_SETCURSEL, static_cast<WPARAM>(value), 0);
}

std::wstring TbrmCheckListBox::GetItemString(int index) const {
    // Sized from the item's own length, so a text of any length is read whole.
    LRESULT length = SendMessageW(FHandle, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR || length < 0)
        return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = SendMessageW(FHandle, LB_GETTEXT, static_cast<WPARAM>(index),
                                  reinterpret_cast<LPARAM>(buffer.data()));
    if (copied == LB_ERR || copied < 0)
        return {};
    return std::wstring(buffer.data(), std::min<size_t>(static_cast<size_t>(copied), length));
}

void TbrmCheckListBox::SetItemString(int index, const std::wstring& value) {
    if (index >= 0 && index < GetCount()) {
        Delete(index);
        Insert(index, value);
    }
}

LPARAM TbrmCheckListBox::GetItemData(int index) const {
    return SendMessageW(FHandle, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}

void TbrmCheckListBox::SetItemData(int index, LPARAM value) {
    // A list box takes index -1 as "every item": a write at an index that names no item must
    // change nothing.
    if (index < 0 || index >= GetCount())
        return;
    SendMessageW(FHandle, LB_SETITEMDATA, static_cast<WPARAM>(index), value);
}

bool TbrmCheckListBox::GetChecked(int index) const {
    return (GetItemData(index) & csChecked) != 0;
}

void TbrmCheckListBox::SetChecked(int index, bool value) {
    LPARAM data = GetItemData(index);
    SetItemData(index, value ? (data | csChecked) : (data & ~csChecked));
}

bool TbrmCheckListBox::GetEnabled(int index) const {
    return (GetItemData(index) & csDisabled) == 0;
}

void TbrmCheckListBox::SetEnabled(int index, bool value) {
    LPARAM data = GetItemData(index);
    SetItemData(index, value ? (data & ~csDisabled) : (data | csDisabled));
}

void TbrmCheckListBox::DrawItem(HDC dc, int index, UINT state, const RECT& rect) {
    COLORREF back;
    COLORREF fore;
    if (index >= 0 && (state & ODS_SELECTED)) {
        back = GetSysColor(COLOR_HIGHLIGHT);
        fore = GetSysColor(COLOR_HIGHLIGHTTEXT);
    } else {
        back = GetBkColor(dc);
        fore = GetTextColor(dc);
    }
    GdiObject brush(CreateSolidBrush(back));
    GdiObject pen(CreatePen(PS_SOLID, 0, fore));
    const COLORREF oldBack = SetBkColor(dc, back);
    const COLORREF oldFore = SetTextColor(dc, fore);
    {
        SelectObjectGuard selectBrush(dc, brush.get());
        SelectObjectGuard selectPen(dc, pen.get());

        RECT textRect = rect;
        textRect.left += CheckWidth + 2;
        RECT checkRect = rect;
        checkRect.right = rect.left + CheckWidth + 2;

        if (index < 0) {
            FillRect(dc, &textRect, static_cast<HBRUSH>(brush.get()));
        } else {
            const bool enabled = GetEnabled(index);
            DrawCheck(dc, checkRect, enabled, GetChecked(index));
            if (!enabled)
                SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
            FillRect(dc, &textRect, static_cast<HBRUSH>(brush.get()));
            const std::wstring text = GetItemString(index);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                      DT_SINGLELINE | DT_VCENTER | DT_LEFT);
            if (!enabled)
                SetTextColor(dc, fore);
        }
        if (state & ODS_FOCUS)
            DrawFocusRect(dc, &textRect);
    }
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldFore);
}

void TbrmCheckListBox::DrawCheck(HDC dc, const RECT& r, bool enabled, bool checked) {
    const int x0 = r.left + (r.right - r.left - CheckWidth) / 2;
    // The width centres vertically too, so the box is square.
    const int y0 = r.top + (r.bottom - r.top - CheckWidth) / 2;
    const int x1 = x0 + CheckWidth;
    const int y1 = y0 + CheckHeight + 4;
    UINT frameState = DFCS_BUTTONCHECK;
    if (checked)
        frameState |= DFCS_CHECKED;
    if (!enabled)
        frameState |= DFCS_INACTIVE;

    {
        GdiObject shadowPen(CreatePen(PS_SOLID, 0, GetSysColor(COLOR_BTNSHADOW)));
        SelectObjectGuard selectPen(dc, shadowPen.get());
        Rectangle(dc, x0 + 1, y0 + 1, x1 - 1, y1 - 1);
    }

    // Clipping away the system check box's own 3-D border leaves the flat one-pixel frame
    // drawn above around the check mark.
    GdiObject savedClip(CreateRectRgn(0, 0, 0, 0));
    const int hadClip = savedClip ? GetClipRgn(dc, static_cast<HRGN>(savedClip.get())) : -1;
    GdiObject clip(CreateRectRgn(x0 + 2, y0 + 2, x1 - 2, y1 - 2));
    SelectClipRgn(dc, static_cast<HRGN>(clip.get()));
    RECT box{x0, y0, x1, y1};
    DrawFrameControl(dc, &box, DFC_BUTTON, frameState);
    SelectClipRgn(dc, hadClip == 1 ? static_cast<HRGN>(savedClip.get()) : nullptr);
}

RECT TbrmCheckListBox::GetItemRect(int index) const {
    RECT r{};
    const int count = GetCount();
    if (index == 0 || index < count) {
        SendMessageW(FHandle, LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&r));
    } else if (index == count) {
        // The slot after the last item.
        SendMessageW(FHandle, LB_GETITEMRECT, static_cast<WPARAM>(index - 1),
                     reinterpret_cast<LPARAM>(&r));
        OffsetRect(&r, 0, r.bottom - r.top);
    }
    return r;
}

void TbrmCheckListBox::ToggleChecked() {
    const int index = GetSelected();
    if (!GetEnabled(index))
        return;  // also no selection: LB_ERR reads as disabled
    SetChecked(index, !GetChecked(index));
    RECT r = GetItemRect(index);
    r.right = r.left + CheckWidth + 2;
    InvalidateRect(FHandle, &r, TRUE);
    UpdateWindow(FHandle);
    if (OnCheckClick)
        OnCheckClick(this);
}

void TbrmCheckListBox::DoClick() {
    if (OnClick)
        OnClick(this);
}
