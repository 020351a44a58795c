// Product constants, the shared installation state, and the installation record that a later
// run reads back.
#pragma once

#include "product/UVersion.h"

#include <windows.h>

#include <cstdint>
#include <string>

// ---- Product constants ----

inline constexpr wchar_t sMakerName[] = L"Brightmoss";
inline constexpr wchar_t sProductName[] = L"Velkora";
inline constexpr wchar_t sProductVersion[] = L"" VK_VERSION_TEXT;  // "4.07"
inline constexpr wchar_t sProductType[] = L"Standard Edition";
inline constexpr wchar_t sMakerWebAddress[] = L"https://www.brightmoss.com/";
inline constexpr wchar_t sProductShortName[] = L"Velkora";
inline constexpr wchar_t sProductDescription[] =
    L"Velkora - collection of components for working with the application settings.\r\n\r\n";
// "<type> of <name> v<version>": how every text names a product (an installed one read from its
// log, or this one).
std::wstring ProductTitle(const std::wstring& type, const std::wstring& name,
                          const std::wstring& version);
std::wstring ProductTitle();
// Caption of the boxes that ask the user or refuse a choice (the errors have "Error").
inline constexpr wchar_t sInstallCaption[] = L"Install";

// The installation record's key below HKEY_LOCAL_MACHINE and the names of its seven values.
inline constexpr wchar_t sProductRegKey[] = L"Software\\Brightmoss\\Velkora";
inline constexpr wchar_t sRegRootDir[] = L"RootDir";
inline constexpr wchar_t sRegInstallVersions[] = L"InstallVersions";
inline constexpr wchar_t sRegInstallItems[] = L"InstallItems";
inline constexpr wchar_t sRegVersion[] = L"Version";
inline constexpr wchar_t sRegType[] = L"Type";
inline constexpr wchar_t sRegInstallDate[] = L"InstallDate";
inline constexpr wchar_t sRegCustomizeItems[] = L"CustomizeItems";

// ---- Shared installation state: one instance for the whole program ----

extern std::wstring InstallDir;   // target directory, without trailing backslash
extern uint32_t InstallVersions;  // OR of the chosen IDEs' InternalId bits
extern uint32_t InstallItems;     // OR of the checked selection-list entries' Mask bits
extern uint32_t CustomizeItems;   // customize option bits (5 until a record says otherwise)
// Platform id read once at start-up by GetOsPlatform; VER_PLATFORM_WIN32_NT = NT family.
extern DWORD OsPlatformId;

// ---- The installation record ----

// The previous installation's choices as the IDE selection page keeps them.
struct TPrevInstall {
    int32_t InstallSelected = 0;  // "InstallVersions", 0 when absent
    int32_t InstallItems = 0;     // "InstallItems", 0 when absent
    std::wstring Version;         // "Version", empty when absent
};

// Reads "InstallVersions", "Version" and "InstallItems" of the record, in this order; a value
// that cannot be read gives 0 or empty text.
TPrevInstall ReadPrevInstall();
// Replaces CustomizeItems by the record's "CustomizeItems" only when that read succeeds. True
// when it was replaced.
bool ReadPrevCustomizeItems();
// The record's "RootDir" (REG_SZ only); empty when it cannot be read.
std::wstring ReadPrevInstallPath();

// The date this program started, in the user's short date format; empty if it cannot be
// formatted.
std::wstring InstallDateText();
// A date in the user's short date format (the locale's order and separator); empty on failure.
std::wstring FormatShortDate(const SYSTEMTIME& date);

// Stores the seven record values in their fixed order, creating the key as needed; the first
// failed write ends the sequence. True only when all seven were written.
bool WriteInstallRecord();
