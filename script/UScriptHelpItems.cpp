// Help and uninstall registration items: the WinHelp files under the Windows help key, the help
// collection through its registration batch file, the product's own registry key, and the
// Windows uninstall entry that runs the uninstaller on the uninstall log.
#include "script/UScript.h"

#include "product/UConst.h"
#include "product/UUtils.h"
#include "uninstall/UUninstLog.h"

namespace {

constexpr wchar_t WinHelpKey[] = L"Software\\Microsoft\\Windows\\Help";

// A path with a blank is quoted so that the uninstall command line splits where it should.
std::wstring QuotedIfBlank(const std::wstring& path) {
    return path.find(L' ') == std::wstring::npos ? path : L"\"" + path + L"\"";
}

}  // namespace

std::wstring UninstallDisplayName() {
    return std::wstring(sMakerName) + L" " + sProductName + L" v" + sProductVersion;
}

std::wstring UninstallCommandLine() {
    return QuotedIfBlank(JoinPath(InstallDir, sUninstallerName)) + L" " +
           QuotedIfBlank(JoinPath(InstallDir, sUninstLogName));
}

int TScript::DoSetHelpDir() {
    const TScriptItem item = GetItem();
    FHelpDir = ItemPathOf(item);
    return 0;
}

int TScript::DoRegisterWinHelp() {
    const TScriptItem item = GetItem();
    const std::wstring name = item.Name ? item.Name : L"";
    const bool written = WriteRegString(HKEY_LOCAL_MACHINE, WinHelpKey, name, FHelpDir);
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

int TScript::DoRegisterUninstall() {
    const std::wstring key = std::wstring(sWindowsUninstallKey) + L"\\" + sUninstallEntryName;
    int result = 0;
    if (!CreateRegKey(HKEY_LOCAL_MACHINE, key))
        result = -1;
    else if (!WriteRegString(HKEY_LOCAL_MACHINE, key, L"DisplayName", UninstallDisplayName()))
        result = -2;
    else if (!WriteRegString(HKEY_LOCAL_MACHINE, key, L"UninstallString", UninstallCommandLine()))
        result = -3;
    FLogText = std::wstring(L"Registering Uninstall: ") + sUninstallerName +
               (result == 0 ? L"...Success" : L"...Fail");
    return result;
}
