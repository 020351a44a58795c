// Check boxes for an owner-drawn list box that a dialog template created: each item can be
// checked and disabled, its state kept in the list box's own per-item data word.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Item state word bits.
constexpr LPARAM csChecked = 1;
constexpr LPARAM csDisabled = 4;

class TbrmCheckListBox;
using TbrmCheckListBoxNotifyEvent = std::function<void(TbrmCheckListBox* sender)>;

// Size of one cell of the system check-box bitmap, measured once at start-up.
extern int CheckWidth;
extern int CheckHeight;
// Measures the system check-box bitmap. Called once at program start, before any wrapper.
void InitCheckMetrics();

class TbrmCheckListBox {
public:
    // Takes over the list box's and its parent's window procedures. When the registry of live
    // wrappers is full the wrapper stays passive: item operations work, drawing and toggling
    // are left to the list box (IsActive() is false).
    explicit TbrmCheckListBox(HWND listBox);
    // Gives both procedures back (the parent's only with its last wrapper); quiet when the
    // windows are already gone.
    ~TbrmCheckListBox();
    TbrmCheckListBox(const TbrmCheckListBox&) = delete;
    TbrmCheckListBox& operator=(const TbrmCheckListBox&) = delete;

    void Clear();
    int Add(const std::wstring& value);
    void Insert(int index, const std::wstring& value);
    void Delete(int index);

    int GetCount() const;
    int GetSelected() const;
    void SetSelected(int value);
    std::wstring GetItemString(int index) const;
    // Replaces the text; the item becomes unchecked and enabled.
    void SetItemString(int index, const std::wstring& value);
    bool GetChecked(int index) const;
    void SetChecked(int index, bool value);
    bool GetEnabled(int index) const;
    void SetEnabled(int index, bool value);

    HWND Handle() const { return FHandle; }
    bool IsActive() const { return FActive; }

    TbrmCheckListBoxNotifyEvent OnCheckClick;  // after the user toggled an item
    TbrmCheckListBoxNotifyEvent OnClick;       // after a selection change notification

    // Used by the window procedures.
    void DrawItem(HDC dc, int index, UINT state, const RECT& rect);
    void ToggleChecked();
    void DoClick();
    LRESULT CallOldWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) const;
    int FLClicksCount = 0;

private:
    LPARAM GetItemData(int index) const;
    void SetItemData(int index, LPARAM value);
    void DrawCheck(HDC dc, const RECT& r, bool enabled, bool checked);
    RECT GetItemRect(int index) const;

    HWND FHandle;
    WNDPROC FOldWndProc = nullptr;
    HWND FParent = nullptr;
    bool FActive = false;
};

// The process's registry of live wrappers, through which the shared parent procedure finds the
// wrapper of a list box. It does not own them.
class TbrmCLBArray {
public:
    static constexpr int Capacity = 32;

    void Clear() { FItemsCount = 0; }
    int Count() const { return FItemsCount; }
    // Index of the stored item, or -1 (nothing stored) when all entries are in use.
    int Add(TbrmCheckListBox* item);
    void Delete(TbrmCheckListBox* item);
    int IndexOf(const TbrmCheckListBox* item) const;
    TbrmCheckListBox* FindByHandle(HWND handle) const;

private:
    TbrmCheckListBox* FItems[Capacity] = {};
    int FItemsCount = 0;
};

extern TbrmCLBArray CLBArray;
