#include "wizard/UPage.h"

#include "product/UConst.h"
#include "support/UHandles.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cwchar>

std::array<TPage*, PageCount + 1> Pages{};
int CurrentPage = 0;
HWND WizardDlg = nullptr;
INT_PTR WizardResult = -1;

const wchar_t* const MakerWebAddress = sMakerWebAddress;
std::function<void()> OpenMakerPage = [] {
    ShellExecuteW(GetDesktopWindow(), L"open", MakerWebAddress, L"", L"", SW_SHOWNORMAL);
};

namespace {

const wchar_t* const LabelClassName = L"VK_ILABEL";
constexpr DWORD LogoDoubleClickGuardMs = 500;
constexpr COLORREF LogoColour = 0xC00000;  // dark blue
// 0x50000100: a visible child that reports clicks.
constexpr DWORD LogoLabelStyle = WS_CHILD | WS_VISIBLE | SS_NOTIFY;

// Live from WM_INITDIALOG to WM_DESTROY.
handles::WindowHandle LogoLabel;
handles::GdiObject LogoFont;
handles::IconHandle WizardIcon;
POINT LogoClickPos{};
DWORD LastLogoClick = 0;

template <typename T> bool IsPage(int index) {
    return index >= 1 && index <= PageCount && dynamic_cast<T*>(Pages[static_cast<size_t>(index)]);
}

void EndWizard(HWND dlg, WPARAM result) {
    WizardResult = static_cast<INT_PTR>(result);
    EndDialog(dlg, static_cast<INT_PTR>(result));
}

void CreateLogoLabel(HWND dlg) {
    LogoFont.reset(CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif"));
    SIZE extent{};
    {
        handles::WindowDC dc(dlg);
        handles::SelectObjectGuard select(dc.get(), LogoFont.get());
        GetTextExtentPoint32W(dc.get(), sMakerName, static_cast<int>(wcslen(sMakerName)), &extent);
    }
    RECT back{};
    GetWindowRect(GetDlgItem(dlg, idcBack), &back);
    POINT topLeft{back.left, back.top};
    ScreenToClient(dlg, &topLeft);
    LastLogoClick = 0;
    LogoLabel.reset(CreateWindowExW(0, LabelClassName, sMakerName, LogoLabelStyle, 30,
                                    topLeft.y + 4, extent.cx, extent.cy, dlg, nullptr,
                                    GetModuleHandleW(nullptr), nullptr));
    SendMessageW(LogoLabel.get(), WM_SETFONT, reinterpret_cast<WPARAM>(LogoFont.get()), FALSE);
}

INT_PTR OnInitDialog(HWND dlg) {
    WizardDlg = dlg;
    WizardResult = -1;
    WizardIcon.reset(static_cast<HICON>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(WizardIconId), IMAGE_ICON, 32, 32, 0)));
    SetClassLongPtrW(dlg, GCLP_HICON, reinterpret_cast<LONG_PTR>(WizardIcon.get()));
    const std::wstring caption =
        std::wstring(L"Installation Wizard for ") + sProductName + L" v" + sProductVersion;
    SetWindowTextW(dlg, caption.c_str());
    CreateLogoLabel(dlg);
    ChangePage(0);
    return TRUE;
}

INT_PTR OnCancel(HWND dlg, WPARAM wParam) {
    if (IsPage<TPageProgress>(CurrentPage)) {
        auto* progress = static_cast<TPageProgress*>(Pages[static_cast<size_t>(CurrentPage)]);
        if (progress->InDoScript() && progress->Terminate())
            return TRUE;
    }
    if (IsPage<TPageFinish>(CurrentPage)) {
        EndWizard(dlg, wParam);
    } else if (MessageBoxW(dlg, L"Are you sure you want to cancel the install?", sInstallCaption,
                           MB_YESNO) == IDYES) {
        EndWizard(dlg, wParam);
    }
    return TRUE;
}

// A Next or Back that arrives while its button is disabled (for example the keyboard's
// default button) is ignored, so no command moves the wizard past its ends.
bool ButtonUsable(HWND dlg, int id) {
    HWND button = GetDlgItem(dlg, id);
    return button && IsWindowEnabled(button) && (GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE);
}

bool CurrentPageCanGoNext() {
    if (CurrentPage < 1 || CurrentPage > PageCount || !Pages[static_cast<size_t>(CurrentPage)])
        return true;
    return Pages[static_cast<size_t>(CurrentPage)]->CanGoNext();
}

INT_PTR OnCommand(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    switch (id) {
    case IDOK:
    case IDCANCEL: return OnCancel(dlg, wParam);
    case idcNext:
        return ButtonUsable(dlg, idcNext) && CurrentPageCanGoNext() ? ChangePage(+1) : TRUE;
    case idcBack: return ButtonUsable(dlg, idcBack) ? ChangePage(-1) : TRUE;
    default:
        if (CurrentPage >= 1 && CurrentPage <= PageCount)
            return Pages[static_cast<size_t>(CurrentPage)]->DlgProc(msg, wParam, lParam);
        return FALSE;
    }
}

INT_PTR OnParentNotify(HWND dlg, WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) != WM_LBUTTONDOWN)
        return FALSE;
    LogoClickPos = {static_cast<LONG>(LOWORD(lParam)), static_cast<LONG>(HIWORD(lParam))};
    if (!LogoLabel || ChildWindowFromPoint(dlg, LogoClickPos) != LogoLabel.get())
        return FALSE;
    if (AcceptLogoClick(GetTickCount(), LastLogoClick) && OpenMakerPage)
        OpenMakerPage();
    return FALSE;
}

INT_PTR OnCtlColorStatic(HDC dc, HWND control) {
    if (!LogoLabel || control != LogoLabel.get())
        return FALSE;
    SetTextColor(dc, LogoColour);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

void OnDestroy() {
    LogoLabel.reset();
    LogoFont.reset();
    WizardIcon.reset();
}

}  // namespace

// ---- TPage ----

int TPage::DlgProc(UINT, WPARAM, LPARAM) {
    return 0;
}

bool TPage::CanGoNext() {
    return true;
}

void TPage::ShowItem(int id, bool visible) const {
    ShowWindow(Item(id), visible ? SW_SHOW : SW_HIDE);
}

void TPage::EnableItem(int id, bool enabled) const {
    EnableWindow(Item(id), enabled ? TRUE : FALSE);
}

void TPage::SetItemText(int id, const std::wstring& text) const {
    SetDlgItemTextW(DlgHandle, id, text.c_str());
}

void TPage::ResizePageText(int divisor) const {
    RECT picture{};
    GetClientRect(Item(idcPicture), &picture);
    RECT text{};
    GetWindowRect(Item(idcPageText), &text);
    SetWindowPos(Item(idcPageText), HWND_TOP, 0, 0, text.right - text.left,
                 (picture.bottom - picture.top) / divisor, SWP_NOMOVE | SWP_SHOWWINDOW);
}

// ---- The frame ----

bool AcceptLogoClick(DWORD now, DWORD& lastClick) {
    // Unsigned difference: correct across the tick counter's wrap.
    if (lastClick != 0 && now - lastClick > LogoDoubleClickGuardMs)
        lastClick = 0;
    if (lastClick != 0)
        return false;
    lastClick = now != 0 ? now : 1;  // 0 means "none"
    return true;
}

int ChangePage(int delta) {
    for (;;) {
        const int target = CurrentPage + delta;
        if (target < 1 || target > PageCount)
            return 0;
        if (delta != 0 && CurrentPage >= 1)
            Pages[static_cast<size_t>(CurrentPage)]->Hide();
        CurrentPage = target;
        TPage* page = Pages[static_cast<size_t>(CurrentPage)];
        page->DlgHandle = WizardDlg;
        EnableWindow(GetDlgItem(WizardDlg, idcBack), CurrentPage > 1);
        EnableWindow(GetDlgItem(WizardDlg, idcNext), CurrentPage < PageCount);
        const int result = page->Show();
        if (result < pmBack || result > pmNext)
            return result;
        delta = result - pmStay;
    }
}

INT_PTR CALLBACK WizardDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        switch (msg) {
        case WM_INITDIALOG: return OnInitDialog(dlg);
        case WM_COMMAND: return OnCommand(dlg, msg, wParam, lParam);
        case WM_PARENTNOTIFY: return OnParentNotify(dlg, wParam, lParam);
        case WM_CTLCOLORSTATIC:
            return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_DESTROY: OnDestroy(); return FALSE;
        default: return FALSE;
        }
    } catch (...) {
        // Out of memory inside a page: the dialog stays as it was.
        return FALSE;
    }
}

void RegisterLabelClass() {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), L"Static", &cls))
        return;
    cls.lpszClassName = LabelClassName;
    cls.hCursor = LoadCursorW(nullptr, IDC_HAND);
    RegisterClassExW(&cls);
}

void CreatePages() {
    Pages[1] = new TPageWelcome;
    Pages[2] = new TPageSelectDelphi;
    Pages[3] = new TPageSelectDirectory;
    Pages[4] = new TPageReadyForInstall;
    Pages[5] = new TPageProgress;
    Pages[6] = new TPageFinish;
    CurrentPage = 1;
}

void FreePages() {
    for (size_t i = 1; i <= PageCount; ++i) {
        delete Pages[i];
        Pages[i] = nullptr;
    }
    CurrentPage = 0;
}

HWND CreateWizardWindow() {
    // The dialog starts on page 1 through ChangePage(0) from the page before it.
    CurrentPage = 1;
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(WizardDialogId), nullptr,
                              WizardDlgProc, 0);
}

namespace {

// The folder browser needs a single-threaded COM apartment on the thread that shows it.
class ComApartment {
public:
    ComApartment() noexcept
        : FInitialized(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (FInitialized)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool FInitialized;
};

}  // namespace

void RunWizard() {
    const ComApartment com;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterLabelClass();
    try {
        CreatePages();
        if (DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(WizardDialogId), nullptr,
                            WizardDlgProc, 0) < 0)
            MessageBoxW(nullptr, L"Error in create dialog", L"Error", MB_OK);
    } catch (...) {
        // Only allocation can fail here; the pages are freed and the program ends normally.
    }
    FreePages();
}
