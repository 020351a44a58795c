// The directory, ready, progress and finish pages.
#include "wizard/UPage.h"

#include "product/UCommandLine.h"
#include "product/UConst.h"
#include "product/UPaths.h"
#include "product/UProducts.h"
#include "product/URegistry.h"
#include "product/URunningIdes.h"
#include "script/UInstallDir.h"
#include "script/UScript.h"
#include "script/UUninstLog.h"
#include "uninstall/URemovePrevious.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

namespace {

const wchar_t* const LineBreaks = L"\r\n\r\n";
constexpr size_t ProgressPageNumber = 5;
constexpr size_t EditLimit = 260;  // characters read back from the directory edit box

std::wstring WithProductFolder(std::wstring base) {
    if (base.empty())
        return base;
    if (base.back() != L'\\')
        base += L'\\';
    return base + sProductShortName;
}

// The shell's task allocator, released when it goes.
struct ShellAllocator {
    IMalloc* Malloc = nullptr;
    ShellAllocator() {
        if (FAILED(SHGetMalloc(&Malloc)))
            Malloc = nullptr;
    }
    ~ShellAllocator() {
        if (Malloc)
            Malloc->Release();
    }
    ShellAllocator(const ShellAllocator&) = delete;
    ShellAllocator& operator=(const ShellAllocator&) = delete;
};

int CALLBACK BrowseCallbackProc(HWND wnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED) {
        const auto* page = reinterpret_cast<const TPageSelectDirectory*>(data);
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        RECT button{};
        GetWindowRect(GetDlgItem(page->DlgHandle, idcBrowse), &button);
        RECT window{};
        GetWindowRect(wnd, &window);
        const POINT at = PlaceBelowButton(button, window, work);
        SetWindowPos(wnd, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    }
    return 0;
}

}  // namespace

// ---- Window-free rules ----

std::wstring ProposeDirectory(const std::wstring& prevInstallPath) {
    std::wstring base;
    for (int index = 1; index <= BorlandProductCount; ++index) {
        if (!BorlandProducts[index].Selected)
            continue;
        base = BorlandProducts[index].RootDir;
        if (!base.empty() && base.back() == L'\\')
            base.pop_back();
        if (std::wstring parent = DirectoryOf(base); !parent.empty())
            base = std::move(parent);
        break;
    }
    if (!prevInstallPath.empty())
        return prevInstallPath;
    if (base.empty())
        ReadRegString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion",
                      L"ProgramFilesDir", base);
    return WithProductFolder(base);
}

std::wstring StartDirectory(const std::wstring& prevInstallPath) {
    return SetupOptions.HasDir ? SetupOptions.Dir : ProposeDirectory(prevInstallPath);
}

std::wstring DirectoryAfterBrowse(const std::wstring& chosen, const std::wstring& prevInstallPath) {
    if (chosen != prevInstallPath && !chosen.empty())
        return WithProductFolder(chosen);
    return chosen;
}

std::wstring FailureSummary(int failedItems) {
    if (failedItems <= 0)
        return {};
    return LineBreaks + std::to_wstring(failedItems) +
           (failedItems == 1 ? L" item failed." : L" items failed.") +
           L" The install log lists every step:\r\n" + JoinPath(InstallDir, sInstallLogName);
}

POINT PlaceBelowButton(const RECT& button, const RECT& window, const RECT& workArea) {
    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    POINT at{button.right - width, button.bottom + 1};
    if (at.y + height > workArea.bottom)
        at.y = workArea.bottom - height;
    return at;
}

// ---- TPageSelectDirectory ----

int TPageSelectDirectory::Show() {
    if (FFirstShow) {
        FPrevInstallPath = ReadPrevInstallPath();
        Directory = StartDirectory(FPrevInstallPath);
        FFirstShow = false;
    } else {
        Directory = InstallDir;
    }
    ResizePageText(2);
    SetItemText(idcPageText, std::wstring(L"Setup will install ") + sProductName +
                                 L" into following folder, click Browse, and select another "
                                 L"folder." +
                                 LineBreaks + L"You can choose not to install " + sProductName +
                                 L" by clicking Cancel to exit Setup.");
    for (int id : {idcPageText, idcBrowse, idcDestinationFrame, idcDirectoryEdit})
        ShowItem(id, true);
    UpdateDirectoryEdit();
    return 1;
}

void TPageSelectDirectory::UpdateDirectoryEdit() {
    HWND edit = Item(idcDirectoryEdit);
    SetWindowTextW(edit, Directory.c_str());
    const auto end = static_cast<LPARAM>(Directory.size());
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(end), end);
    SetFocus(edit);
}

std::wstring TPageSelectDirectory::EditText() const {
    HWND edit = Item(idcDirectoryEdit);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool TPageSelectDirectory::CanGoNext() {
    // The whole text, not the 260 characters that Hide keeps: a longer path is refused, not
    // cut into another one.
    std::wstring normalized;
    const TDirVerdict verdict = CheckInstallDir(EditText(), normalized);
    if (verdict == TDirVerdict::Accepted)
        return true;
    MessageBoxW(DlgHandle, DirRefusalText(verdict).c_str(), sInstallCaption,
                MB_OK | MB_ICONEXCLAMATION);
    SetFocus(Item(idcDirectoryEdit));
    return false;
}

int TPageSelectDirectory::Hide() {
    wchar_t text[EditLimit + 1] = {};
    GetDlgItemTextW(DlgHandle, idcDirectoryEdit, text, static_cast<int>(EditLimit + 1));
    std::wstring normalized;
    InstallDir = CheckInstallDir(text, normalized) == TDirVerdict::Accepted
                     ? normalized
                     : DirectoryFromEdit(text);
    for (int id : {idcBrowse, idcDestinationFrame, idcDirectoryEdit})
        ShowItem(id, false);
    return 1;
}

int TPageSelectDirectory::DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    int result = TPage::DlgProc(msg, wParam, lParam);
    if (msg == WM_COMMAND && LOWORD(wParam) == idcBrowse) {
        if (BrowseDirectory()) {
            Directory = DirectoryAfterBrowse(Directory, FPrevInstallPath);
            UpdateDirectoryEdit();
        }
        result = 1;
    }
    return result;
}

bool TPageSelectDirectory::BrowseDirectory() {
    Directory.clear();
    ShellAllocator allocator;
    if (!allocator.Malloc)
        return false;
    auto* name = static_cast<wchar_t*>(allocator.Malloc->Alloc(MAX_PATH * sizeof(wchar_t)));
    if (!name)
        return false;
    name[0] = L'\0';
    const std::wstring title = std::wstring(L"Select directory for ") + sProductName;
    BROWSEINFOW info{};
    info.hwndOwner = DlgHandle;
    info.pszDisplayName = name;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallbackProc;
    info.lParam = reinterpret_cast<LPARAM>(this);
    LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
    // A choice that names no file-system path changes nothing, like a cancelled browse.
    const bool named = chosen && SHGetPathFromIDListW(chosen, name);
    if (named)
        Directory.assign(name, wcsnlen(name, MAX_PATH));
    if (chosen)
        allocator.Malloc->Free(chosen);
    allocator.Malloc->Free(name);
    return named;
}

// ---- TPageReadyForInstall ----

int TPageReadyForInstall::Show() {
    ResizePageText(2);
    SetItemText(idcPageText, L"You are now ready to install " + ProductTitle() +
                                 L" on you computer." + LineBreaks +
                                 L"Press the Start button to begin the installation or the Back "
                                 L"button to reenter the installation information.");
    ShowItem(idcPageText, true);
    SetDlgItemTextW(DlgHandle, idcNext, L"Start");
    SetFocus(Item(idcNext));
    return 1;
}

bool TPageReadyForInstall::CanGoNext() {
    for (;;) {
        const std::vector<TRunningIde> running = FindRunningIdes(IdesChangedByRun());
        if (running.empty())
            return true;
        if (MessageBoxW(DlgHandle, RunningIdeText(running.front()).c_str(), L"Install",
                        MB_RETRYCANCEL | MB_ICONWARNING) != IDRETRY)
            return false;
    }
}

int TPageReadyForInstall::Hide() {
    SetDlgItemTextW(DlgHandle, idcNext, L"&Next >");
    return 1;
}

// ---- TPageProgress ----

int TPageProgress::Show() {
    for (int id : {idcProgressFrame, idcProgressBar, idcItemText})
        ShowItem(id, true);
    EnableItem(idcNext, false);
    EnableItem(idcBack, false);
    RedrawWindow(DlgHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SetItemText(idcPageText, L"Performing install of the " + ProductTitle() + L" on you computer." +
                                 LineBreaks + L"Please wait...");
    return DoScript();
}

int TPageProgress::Hide() {
    for (int id : {idcProgressFrame, idcProgressBar, idcItemText})
        ShowItem(id, false);
    return 1;
}

void TPageProgress::SetText(const std::wstring& value) const {
    SetItemText(idcItemText, value);
}

bool TPageProgress::Terminate() {
    return false;
}

int TPageProgress::DoScript() {
    FInDoScript = true;
    {
        TScript script;
        script.SetPreviousRemover(RemovePreviousInstallation);
        script.SetKeepWindowsAlive(true);
        script.Start();
        HWND bar = Item(idcProgressBar);
        SendMessageW(bar, PBM_SETRANGE, 0,
                     MAKELPARAM(0, static_cast<WORD>(script.ProgressCount() - 1)));
        SendMessageW(bar, PBM_SETPOS, 0, 0);
        std::wstring itemText;
        while (script.Current() < script.Count()) {
            script.ItemText(itemText);
            SetText(itemText);
            const int error = script.ItemDoScript();
            if (error != 0)
                MessageBoxW(DlgHandle, script.ItemErrorText(error).c_str(), L"Error", MB_OK);
            SendMessageW(bar, PBM_DELTAPOS, static_cast<WPARAM>(script.ItemProgressStep()), 0);
            script.SetCurrent(script.Current() + 1);
            // One waiting keyboard message, else one mouse message: enough for a Cancel click
            // to reach the frame, without dialog-key handling.
            MSG msg;
            if (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
                PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        FFailedItems = script.FailedItemCount();
        EnableItem(idcNext, true);
        // The command a click on Next sends, given directly: BM_CLICK may do nothing while the
        // dialog is not the active window, and the finish page (which writes the installation
        // record) must come whatever window the user has turned to meanwhile.
        SendMessageW(DlgHandle, WM_COMMAND, MAKEWPARAM(idcNext, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Item(idcNext)));
        Hide();
    }
    FInDoScript = false;
    return 1;
}

// ---- TPageFinish ----

int TPageFinish::Show() {
    ShowItem(idcBack, false);
    ShowItem(idcNext, false);
    ShowItem(idcItemText, true);
    HWND finish = Item(idcCancel);
    SetFocus(finish);
    SendMessageW(finish, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    const auto* progress = dynamic_cast<const TPageProgress*>(Pages[ProgressPageNumber]);
    const std::wstring failures = FailureSummary(progress ? progress->FailedItems() : 0);
    // The failure lines and the log's path need more room than the progress page left.
    if (!failures.empty())
        ResizePageText(1);
    SetItemText(idcPageText, L"Setup has finished installing " + ProductTitle() +
                                 L" on you computer." + LineBreaks +
                                 L"Click Finish to exit Setup." + failures);
    SetDlgItemTextW(DlgHandle, idcCancel, L"Finish");
    const bool recorded = WriteInstallRecord();
    WriteUninstallSize();
    return recorded ? 1 : 0;
}

int TPageFinish::Hide() {
    return 1;
}
