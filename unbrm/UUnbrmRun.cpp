#include "unbrm/UUnbrmRun.h"

#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProcess.h"
#include "product/UResourceIds.h"
#include "product/USingleInstance.h"
#include "script/UUninstLog.h"
#include "support/UHandles.h"
#include "support/UText.h"
#include "uninstall/UDeinstall.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <string>
#include <vector>

using handles::FileHandle;
using handles::KernelHandle;
using handles::LocalMemory;

namespace {

constexpr DWORD ParentExitWaitMs = 30000;
// The pause after each record while the window shows the walk.
constexpr DWORD WalkStepPauseMs = 50;

struct TArguments {
    bool Silent = false;
    bool IsCopy = false;
    DWORD ParentId = 0;
    HANDLE Lock = nullptr;  // the copy's inherited share of the setup lock
    std::wstring LogPath;
};

bool IsSwitch(const std::wstring& argument, wchar_t letter) {
    return argument.size() == 2 && (argument[0] == L'/' || argument[0] == L'-') &&
           (argument[1] == letter || argument[1] == static_cast<wchar_t>(letter + 32));
}

// The log path made absolute against the current directory: the temporary copy runs in another
// directory, where a relative path would name nothing.
std::wstring FullPathOf(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return path;
    full.resize(length);
    return full;
}

TArguments ParseArguments(const std::wstring& commandLine) {
    TArguments arguments;
    int count = 0;
    LocalMemory memory(CommandLineToArgvW(commandLine.c_str(), &count));
    if (!memory)
        return arguments;
    auto* argv = static_cast<wchar_t**>(memory.get());
    for (int i = 1; i < count; ++i) {
        const std::wstring argument = argv[i];
        if (IsSwitch(argument, L'S')) {
            arguments.Silent = true;
        } else if (IsSwitch(argument, L'R') && i + 1 < count) {
            arguments.IsCopy = true;
            arguments.ParentId = static_cast<DWORD>(wcstoul(argv[++i], nullptr, 10));
        } else if (IsSwitch(argument, L'L') && i + 1 < count) {
            arguments.Lock =
                reinterpret_cast<HANDLE>(static_cast<uintptr_t>(wcstoull(argv[++i], nullptr, 10)));
        } else {
            arguments.LogPath = FullPathOf(argument);
        }
    }
    return arguments;
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring ModulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

// The texts a loaded log gives the program.
struct TProductTexts {
    std::wstring Caption;      // message boxes
    std::wstring DialogTitle;  // the progress window
    std::wstring Product;      // "<type> of <name> v<version>"
};

TProductTexts ProductTexts(const TDeinstall& deinstall) {
    const std::wstring name = deinstall.ProductName.empty() ? sProductName : deinstall.ProductName;
    return {name + L" Uninstall", L"Uninstalling " + name,
            ProductTitle(deinstall.ProductType, name, deinstall.ProductVersion)};
}

std::wstring RejectionText(const std::wstring& logPath, int result) {
    const wchar_t* reason = L"it is damaged";
    switch (result) {
    case ulCannotOpen: reason = L"it cannot be opened"; break;
    case ulEmpty: reason = L"it is empty"; break;
    case ulBadMagic: reason = L"it is not an uninstall log"; break;
    default: break;
    }
    return L"The uninstall log\r\n" + logPath + L"\r\ncannot be used: " + reason +
           L". Nothing was removed.";
}

// Loads and prepares the log; on failure tells the user (unless silent) and answers false.
bool LoadLog(TDeinstall& deinstall, const TArguments& arguments) {
    int result = deinstall.PrepareUninstFile(arguments.LogPath);
    if (result == 0)
        result = deinstall.PrepareDeinstall();
    if (result == 0)
        return true;
    if (!arguments.Silent)
        MessageBoxW(nullptr, RejectionText(arguments.LogPath, result).c_str(),
                    (std::wstring(sProductName) + L" Uninstall").c_str(), MB_OK | MB_ICONERROR);
    return false;
}

// A new directory below the temporary directory, made for this run only.
std::wstring CreateUniqueTempDirectory() {
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return {};
    const std::wstring base =
        std::wstring(temp, length) + L"vkunbrm-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (ULONGLONG attempt = GetTickCount64(), last = attempt + 1000; attempt < last; ++attempt) {
        const std::wstring dir = base + std::to_wstring(attempt);
        if (CreateDirectoryW(dir.c_str(), nullptr))
            return dir;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
    return {};
}

// Starts the program in directory; with inherit, the child gets that one handle and no other.
bool StartProcess(const std::wstring& application, const std::wstring& commandLine,
                  const std::wstring& directory, bool hidden, HANDLE inherit = nullptr) {
    TStartOptions options;
    options.Hidden = hidden;
    options.Directory = directory;
    options.Inherit = inherit;
    KernelHandle process;
    return StartProgram(application, commandLine, options, process) == 0;
}

// The original: copies the program into a new temporary directory and starts the copy there,
// so that nothing of the installation stays in use. The copy inherits the setup lock.
int StartTemporaryCopy(const TArguments& arguments, TSetupInstanceLock& lock) {
    const std::wstring self = ModulePath();
    const std::wstring dir = CreateUniqueTempDirectory();
    if (self.empty() || dir.empty())
        return ueFailed;
    const std::wstring copy = dir + L"\\unbrm.exe";
    if (!CopyFileW(self.c_str(), copy.c_str(), TRUE)) {
        RemoveDirectoryW(dir.c_str());
        return ueFailed;
    }
    HANDLE lockHandle = lock.HandOverHandle();
    std::wstring commandLine = Quoted(copy) + L" /R " + std::to_wstring(GetCurrentProcessId()) +
                               L" /L " + std::to_wstring(reinterpret_cast<uintptr_t>(lockHandle));
    commandLine += L" " + Quoted(arguments.LogPath);
    if (!lockHandle || !StartProcess(copy, commandLine, dir, false, lockHandle)) {
        DeleteFileW(copy.c_str());
        RemoveDirectoryW(dir.c_str());
        return ueFailed;
    }
    lock.HandedOver();
    return ueDone;
}

void WaitForParent(DWORD parentId) {
    KernelHandle parent(OpenProcess(SYNCHRONIZE, FALSE, parentId));
    if (parent)
        WaitForSingleObject(parent.get(), ParentExitWaitMs);
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

// A running program cannot delete its own file. A batch file in the temporary directory retries
// until the program has ended, then removes its file, its directory when that is empty, and
// itself. Only when that cannot be set up does the pending-rename list remove them at the next
// restart: that list is machine state of its own, which a normal removal should not leave behind.
bool StartRemovalBatch(const std::wstring& self, const std::wstring& dir);

void ScheduleSelfRemoval() {
    const std::wstring self = ModulePath();
    const int at = LastCharPos(self, L'\\');
    if (at < 1)
        return;
    const std::wstring dir = self.substr(0, static_cast<size_t>(at - 1));
    if (!StartRemovalBatch(self, dir)) {
        MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExW(dir.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

// A path as a batch file's text spells it: cmd reads every "%" there as the start of a
// variable, "%%" as one "%".
std::string BatchLiteral(const std::wstring& path) {
    std::string text;
    for (char c : ToAnsi(path))
        text += c == '%' ? std::string("%%") : std::string(1, c);
    return text;
}

// Writes and starts the batch file that removes the program once it has ended.
bool StartRemovalBatch(const std::wstring& self, const std::wstring& dir) {
    const std::wstring temp = BaseDir(dcTemp);
    const std::wstring name = L"vkunbrm-" + std::to_wstring(GetCurrentProcessId()) + L".bat",
                       batch = JoinPath(temp, name);
    const std::string exe = BatchLiteral(self);
    // rmdir without /s removes the directory only when nothing else is left in it.
    const std::string script = "@echo off\r\n"
                               "set n=0\r\n"
                               ":again\r\n"
                               "del /f /q \"" +
                               exe +
                               "\" >nul 2>&1\r\n"
                               "if not exist \"" +
                               exe +
                               "\" goto gone\r\n"
                               "set /a n+=1\r\n"
                               "if %n% lss 20000 goto again\r\n"
                               ":gone\r\n"
                               "rmdir \"" +
                               BatchLiteral(dir) +
                               "\" >nul 2>&1\r\n"
                               "del /f /q \"" +
                               ToAnsi(name) + "\" >nul 2>&1\r\n";
    // The batch file only works on paths that the ANSI code page can spell.
    if (temp.empty() || FromAnsi(ToAnsi(self)) != self || FromAnsi(ToAnsi(dir)) != dir ||
        !WriteTextFile(batch, script))
        return false;
    // cmd expands "%" in its own command line too (Wine's also in %~f0): the batch is named
    // relative to its folder, where it runs.
    const std::wstring cmd = JoinPath(BaseDir(dcSystem), L"cmd.exe");
    if (StartProcess(cmd, Quoted(cmd) + L" /c " + Quoted(L".\\" + name), temp, true))
        return true;
    DeleteFileW(batch.c_str());
    return false;
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(WizardIconId)))
            SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        return TRUE;
    case WM_COMMAND:
        // Nothing can be cancelled once the walk has begun; clicks that waited are dropped.
        return LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK;
    default: return FALSE;
    }
}

// The walk's progress in the wizard-style window.
class TWindowProgress final : public IDeinstallProgress {
public:
    explicit TWindowProgress(HWND dialog) : FDialog(dialog) {}

    void WalkStarted(const std::wstring& pageText, size_t span) override {
        SetDlgItemTextW(FDialog, idcPageText, pageText.c_str());
        for (int id : {idcProgressFrame, idcProgressBar, idcItemText})
            ShowWindow(GetDlgItem(FDialog, id), SW_SHOW);
        EnableWindow(GetDlgItem(FDialog, idcNext), FALSE);
        // The 32-bit range: a log of more than 64 KiB must not wrap the bar.
        const LPARAM top = span > 0 ? static_cast<LPARAM>(span - 1) : 0;
        SendDlgItemMessageW(FDialog, idcProgressBar, PBM_SETRANGE32, 0, top);
        SendDlgItemMessageW(FDialog, idcProgressBar, PBM_SETPOS, 0, 0);
        EnableWindow(GetDlgItem(FDialog, idcCancel), FALSE);
        RedrawWindow(FDialog, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    void RecordStatus(const std::wstring& status) override {
        SetDlgItemTextW(FDialog, idcItemText, status.c_str());
    }
    void RecordWalked(size_t length) override {
        // A short pause per record lets the user follow the walk; the window stays alive.
        WaitKeepingWindowsAlive(nullptr, WalkStepPauseMs);
        SendDlgItemMessageW(FDialog, idcProgressBar, PBM_DELTAPOS, static_cast<WPARAM>(length), 0);
    }
    void WalkEnded() override { EnableWindow(GetDlgItem(FDialog, idcCancel), TRUE); }

private:
    HWND FDialog;
};

// The walk in the wizard-style window, then the closing message.
void WalkWithWindow(TDeinstall& deinstall, const TProductTexts& texts) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(WizardDialogId),
                                     nullptr, ProgressDialogProc, 0);
    TWindowProgress progress(dialog);
    if (dialog) {
        SetWindowTextW(dialog, texts.DialogTitle.c_str());
        EnableWindow(GetDlgItem(dialog, idcBack), FALSE);
        ShowWindow(GetDlgItem(dialog, idcPageText), SW_SHOW);
        ShowWindow(dialog, SW_SHOWNORMAL);
        UpdateWindow(dialog);
        deinstall.SetProgress(&progress);
    }
    deinstall.sProductText = texts.Product;
    deinstall.DoDeinstall();
    MessageBoxW(
        dialog,
        (L"\"" + texts.Product + L"\" was successfully removed from your computer.").c_str(),
        texts.Caption.c_str(), MB_OK | MB_ICONINFORMATION);
    if (dialog)
        DestroyWindow(dialog);
}

// Tells the user (unless silent) that another setup or uninstaller runs.
int Busy(const TArguments& arguments) {
    if (!arguments.Silent)
        ShowSetupBusy();
    return ueBusy;
}

int RunCopy(const TArguments& arguments) {
    // The lock the original handed over; a copy started without one takes it once the
    // original has ended.
    TSetupInstanceLock lock;
    const bool handedOver = lock.TakeOver(arguments.Lock);
    WaitForParent(arguments.ParentId);
    TDeinstall deinstall;
    int result = ueRejected;
    if (!handedOver && !lock.Acquire()) {
        result = Busy(arguments);
    } else if (LoadLog(deinstall, arguments)) {
        WalkWithWindow(deinstall, ProductTexts(deinstall));
        result = ueDone;
    }
    ScheduleSelfRemoval();
    return result;
}

// Takes the machine's setup lock and loads the log, as every run that removes does first. ueDone
// when both succeeded; otherwise the exit code of the refusal (busy or rejected log).
int LockAndLoad(const TArguments& arguments, TSetupInstanceLock& lock, TDeinstall& deinstall) {
    if (!lock.Acquire())
        return Busy(arguments);
    return LoadLog(deinstall, arguments) ? ueDone : ueRejected;
}

// The scripted removal: the walk in this process, so that the caller's wait ends when the removal
// is done. Only what is still in use stays a moment longer: this program's file, and with it the
// installation directory that holds it, which a batch file removes right after the program ends.
int RunSilently(const TArguments& arguments) {
    TSetupInstanceLock lock;
    TDeinstall deinstall;
    if (const int refused = LockAndLoad(arguments, lock, deinstall); refused != ueDone)
        return refused;
    // A current directory inside the installation would keep its folder in use; the help
    // unregistration moves it back there, so it is moved out again after the walk.
    const std::wstring temp = BaseDir(dcTemp);
    SetCurrentDirectoryW(temp.c_str());
    deinstall.DoDeinstall();
    SetCurrentDirectoryW(temp.c_str());
    // The program's own file goes only when it is the installation's uninstaller: a copy that a
    // user keeps elsewhere is not the installation's to remove.
    const std::wstring self = ModulePath();
    if (LowerCase(self) == LowerCase(JoinPath(InstallDir, sUninstallerName)) && FileExists(self))
        ScheduleSelfRemoval();
    return ueDone;
}

int RunOriginal(const TArguments& arguments) {
    TSetupInstanceLock lock;
    TDeinstall deinstall;
    if (const int refused = LockAndLoad(arguments, lock, deinstall); refused != ueDone)
        return refused;
    const TProductTexts texts = ProductTexts(deinstall);
    if (MessageBoxW(nullptr,
                    (L"Do you want to completely remove \"" + texts.Product +
                     L"\" and all of its components?")
                        .c_str(),
                    texts.Caption.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return ueCancelled;
    const int result = StartTemporaryCopy(arguments, lock);
    if (result != ueDone)
        MessageBoxW(nullptr,
                    L"The uninstaller could not prepare its temporary copy. Nothing was removed.",
                    texts.Caption.c_str(), MB_OK | MB_ICONERROR);
    return result;
}

}  // namespace

int RunUnbrm(const std::wstring& commandLine) {
    const TArguments arguments = ParseArguments(commandLine);
    if (arguments.LogPath.empty()) {
        if (!arguments.Silent)
            MessageBoxW(nullptr, L"Usage: unbrm.exe [/S] <uninstall log>",
                        (std::wstring(sProductName) + L" Uninstall").c_str(), MB_OK);
        return ueUsage;
    }
    if (arguments.IsCopy)
        return RunCopy(arguments);
    return arguments.Silent ? RunSilently(arguments) : RunOriginal(arguments);
}
