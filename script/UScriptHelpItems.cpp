// Help and uninstall registration items: the WinHelp files under the Windows help key, the help
// collection through its registration batch file, the product's own registry key, and the
// Windows uninstall entry that runs the uninstaller on the uninstall log.
#include "script/UScript.h"

#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProcess.h"
#include "product/URegistry.h"
#include "script/UUninstLog.h"
#include "support/UHandles.h"

#include <cwchar>
#include <utility>

std::wstring UninstallDisplayName() {
    return std::wstring(sMakerName) + L" " + sProductName + L" v" + sProductVersion;
}

std::wstring UninstallCommandLine() {
    return QuotedIfBlank(JoinPath(InstallDir, sUninstallerName)) + L" " +
           QuotedIfBlank(JoinPath(InstallDir, sUninstLogName));
}

std::wstring QuietUninstallCommandLine() {
    return QuotedIfBlank(JoinPath(InstallDir, sUninstallerName)) + L" /S " +
           QuotedIfBlank(JoinPath(InstallDir, sUninstLogName));
}

std::wstring UninstallEntryKey() {
    return std::wstring(sWindowsUninstallKey) + L"\\" + sUninstallEntryName;
}

bool WriteUninstallSize() {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallEntryKey().c_str(), 0, KEY_SET_VALUE, &opened) !=
        ERROR_SUCCESS)
        return false;
    const handles::RegKey key(opened);
    constexpr uint64_t BytesPerKb = 1024;
    const uint64_t kb = (DirectorySize(InstallDir) + BytesPerKb - 1) / BytesPerKb;
    const DWORD size = kb > MAXDWORD ? MAXDWORD : static_cast<DWORD>(kb);
    return RegSetValueExW(key.get(), L"EstimatedSize", 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&size), sizeof(size)) == ERROR_SUCCESS;
}

int TScript::DoSetHelpDir() {
    const TScriptItem item = GetItem();
    FHelpDir = ItemPathOf(item);
    return 0;
}

int TScript::DoRegisterWinHelp() {
    const TScriptItem item = GetItem();
    const std::wstring name = item.Name ? item.Name : L"";
    const bool written = WriteRegString(HKEY_LOCAL_MACHINE, sWindowsHelpKey, name, FHelpDir);
    FLogText = L"Registering windows help: " + name + (written ? L"...Success" : L"...Fail");
    return written ? 0 : -1;
}

int TScript::DoRegisterHelp() {
    const TScriptItem item = GetItem();
    // The batch file finds the collection files relative to its current directory, which the
    // following items inherit.
    SetCurrentDirectoryW(JoinPath(InstallDir, L"help").c_str());
    const std::wstring command = JoinPath(InstallDir, item.Name ? item.Name : L"");
    // The batch file runs through the command interpreter, which starts even when the file is
    // missing; a help collection that was never registered must not be logged as registered.
    const DWORD error =
        FileExists(command) ? RunAndWait(command, L"", FKeepWindowsAlive) : ERROR_FILE_NOT_FOUND;
    if (error == 0)
        FLogText = L"Register help: " + command + L"...Success";
    return static_cast<int>(error);
}

int TScript::DoCreateRegKey() {
    const TScriptItem item = GetItem();
    // The item's Code is the root key's handle value (0x80000002 for HKEY_LOCAL_MACHINE).
    const HKEY root = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(item.Code));
    CreateRegKey(root, item.Name ? item.Name : L"");
    FLogText.clear();
    return 0;
}

namespace {

// Today as yyyymmdd, the form Windows' list of installed programs reads.
std::wstring UninstallDateText() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t text[16];
    swprintf(text, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}

}  // namespace

int TScript::DoRegisterUninstall() {
    const std::wstring key = UninstallEntryKey();
    const std::wstring uninstaller = JoinPath(InstallDir, sUninstallerName);
    // Written in this order; the first failure ends it with -2 for the first value, -3 for the
    // second, and so on. The size follows at the end of the run (WriteUninstallSize).
    const std::pair<const wchar_t*, std::wstring> texts[] = {
        {L"DisplayName", UninstallDisplayName()},
        {L"UninstallString", UninstallCommandLine()},
        {L"QuietUninstallString", QuietUninstallCommandLine()},
        {L"DisplayVersion", sProductVersion},
        {L"Publisher", sMakerName},
        {L"InstallLocation", InstallDir},
        {L"DisplayIcon", uninstaller},
        {L"InstallDate", UninstallDateText()},
        {L"URLInfoAbout", sMakerWebAddress}};
    const wchar_t* const flags[] = {L"NoModify", L"NoRepair"};
    int result = 0;
    int step = -1;
    if (!CreateRegKey(HKEY_LOCAL_MACHINE, key))
        result = step;
    for (const auto& [name, text] : texts) {
        --step;
        if (result == 0 && !WriteRegString(HKEY_LOCAL_MACHINE, key, name, text))
            result = step;
    }
    for (const wchar_t* name : flags) {
        --step;
        if (result == 0 && !WriteRegDword(HKEY_LOCAL_MACHINE, key, name, 1))
            result = step;
    }
    FLogText = std::wstring(L"Registering Uninstall: ") + sUninstallerName +
               (result == 0 ? L"...Success" : L"...Fail");
    return result;
}
