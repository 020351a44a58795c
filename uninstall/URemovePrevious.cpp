#include "uninstall/URemovePrevious.h"

#include "product/UConst.h"
#include "product/UPaths.h"
#include "product/URegistry.h"
#include "script/UUninstLog.h"
#include "uninstall/UDeinstall.h"

#include <exception>

namespace {

constexpr size_t MaxLogPathLength = 255;

// The uninstaller replaces InstallDir with the directory it undoes; the running installation
// must get its own back on every path.
class InstallDirGuard {
public:
    InstallDirGuard() : FSaved(InstallDir) {}
    ~InstallDirGuard() { InstallDir.swap(FSaved); }
    InstallDirGuard(const InstallDirGuard&) = delete;
    InstallDirGuard& operator=(const InstallDirGuard&) = delete;

private:
    std::wstring FSaved;
};

}  // namespace

std::wstring UninstallLogPathOf(const std::wstring& uninstallString) {
    std::wstring text = uninstallString;
    wchar_t separator = L' ';
    if (!text.empty() && text.back() == L'"') {
        text.pop_back();
        separator = L'"';
    }
    const size_t at = text.rfind(separator);
    if (at == std::wstring::npos)
        return {};
    return text.substr(at + 1, MaxLogPathLength);
}

int RemovePreviousInstallation() {
    try {
        const std::wstring entry = std::wstring(sWindowsUninstallKey) + L"\\" + sUninstallEntryName;
        std::wstring displayName;
        std::wstring uninstallString;
        if (!ReadRegString(HKEY_LOCAL_MACHINE, entry, L"DisplayName", displayName) ||
            !ReadRegString(HKEY_LOCAL_MACHINE, entry, L"UninstallString", uninstallString) ||
            uninstallString.empty())
            return 0;
        // A relative path would be resolved against wherever setup.exe was started.
        const std::wstring logPath = UninstallLogPathOf(uninstallString);
        if (!IsAbsolutePath(logPath))
            return 0;

        InstallDirGuard keepInstallDir;
        TDeinstall deinstall;
        if (deinstall.PrepareUninstFile(logPath) == 0 && deinstall.PrepareDeinstall() == 0 &&
            NamesThisProduct(deinstall.ProductName, deinstall.ProductIntName))
            deinstall.DoDeinstall();
    } catch (const std::exception&) {
        // Out of memory: the new installation goes on over whatever is left.
    }
    return 0;
}
