#include "product/UConst.h"

#include "product/URegistry.h"

#include <iterator>

std::wstring InstallDir;
uint32_t InstallVersions = 0;
uint32_t InstallItems = 0;
uint32_t CustomizeItems = 5;
DWORD OsPlatformId = 0;

std::wstring ProductTitle(const std::wstring& type, const std::wstring& name,
                          const std::wstring& version) {
    return type + L" of " + name + L" v" + version;
}

std::wstring ProductTitle() {
    return ProductTitle(sProductType, sProductName, sProductVersion);
}

namespace {

SYSTEMTIME LocalTimeNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return now;
}

// The record carries the day the program was started, also when the run ends after midnight.
const SYSTEMTIME ProgramStartTime = LocalTimeNow();

int32_t ReadPrevDword(const wchar_t* name) {
    DWORD value = 0;
    ReadRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, name, value);
    // The record's masks are compared as signed numbers: a value with bit 31 counts as none.
    return static_cast<int32_t>(value);
}

}  // namespace

TPrevInstall ReadPrevInstall() {
    TPrevInstall previous;
    previous.InstallSelected = ReadPrevDword(sRegInstallVersions);
    ReadRegString(HKEY_LOCAL_MACHINE, sProductRegKey, sRegVersion, previous.Version);
    previous.InstallItems = ReadPrevDword(sRegInstallItems);
    return previous;
}

bool ReadPrevCustomizeItems() {
    DWORD value = 0;
    if (!ReadRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, sRegCustomizeItems, value))
        return false;
    CustomizeItems = value;
    return true;
}

std::wstring ReadPrevInstallPath() {
    std::wstring path;
    ReadRegString(HKEY_LOCAL_MACHINE, sProductRegKey, sRegRootDir, path);
    return path;
}

std::wstring FormatShortDate(const SYSTEMTIME& date) {
    wchar_t text[128];
    const int length = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text,
                                      static_cast<int>(std::size(text)));
    // The length counts the terminating NUL.
    return length > 0 ? std::wstring(text, static_cast<size_t>(length - 1)) : std::wstring();
}

std::wstring InstallDateText() {
    return FormatShortDate(ProgramStartTime);
}

bool WriteInstallRecord() {
    const std::wstring installDate = InstallDateText();
    return WriteRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, sRegInstallVersions,
                         InstallVersions) &&
           WriteRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, sRegInstallItems, InstallItems) &&
           WriteRegString(HKEY_LOCAL_MACHINE, sProductRegKey, sRegRootDir, InstallDir) &&
           WriteRegString(HKEY_LOCAL_MACHINE, sProductRegKey, sRegVersion, sProductVersion) &&
           WriteRegString(HKEY_LOCAL_MACHINE, sProductRegKey, sRegType, sProductType) &&
           WriteRegString(HKEY_LOCAL_MACHINE, sProductRegKey, sRegInstallDate, installDate) &&
           WriteRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, sRegCustomizeItems, CustomizeItems);
}
