#include "script/UInstallDir.h"

#include "product/UConst.h"
#include "product/UPaths.h"
#include "product/URegistry.h"
#include "script/UScriptItems.h"
#include "script/UUninstLog.h"
#include "support/UHandles.h"
#include "support/UText.h"

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <vector>

namespace {

// The longest path Windows' ordinary file functions take, without its terminator.
constexpr size_t MaxPathChars = MAX_PATH - 1;
// The header records of an uninstall log come first and are short: this much holds them.
constexpr DWORD LogHeaderReadLimit = 64 * 1024;

// Short (8.3) names of the existing part of path spelt out, so that C:\PROGRA~1 compares as
// the folder it is. The part that does not exist yet is kept as it is.
std::wstring LongForm(const std::wstring& path) {
    std::wstring existing = path;
    std::wstring rest;
    while (existing.size() > 3 && GetFileAttributesW(existing.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const size_t cut = existing.rfind(L'\\');
        if (cut == std::wstring::npos || cut < 2)
            return path;
        rest = existing.substr(cut) + rest;
        existing.erase(cut);
    }
    const DWORD needed = GetLongPathNameW(existing.c_str(), nullptr, 0);
    if (needed == 0)
        return path;
    std::wstring longer(needed, L'\0');
    const DWORD length = GetLongPathNameW(existing.c_str(), longer.data(), needed);
    if (length == 0 || length >= needed)
        return path;
    longer.resize(length);
    return WithoutTrailingSeparators(longer) + rest;
}

// Characters that no file name can hold, and ";", which separates the entries of an IDE's
// path lists.
bool IsForbiddenCharacter(wchar_t c) {
    return c < 0x20 || wcschr(L"<>:\"|?*;", c) != nullptr;
}

// Every name of the typed path after its drive: no forbidden character, and no name that ends
// in a dot or a blank, which Windows silently drops (so the folder made would not be the one
// named). "." and ".." are steps, not names.
bool HasBadCharacter(const std::wstring& typed) {
    size_t start = 3;
    while (start <= typed.size()) {
        size_t end = start;
        while (end < typed.size() && !IsSeparator(typed[end]))
            ++end;
        const std::wstring name = typed.substr(start, end - start);
        if (name != L"." && name != L"..") {
            // The IDEs read "$(NAME)" in their path lists as a variable, not as the folder.
            if (std::any_of(name.begin(), name.end(), IsForbiddenCharacter) ||
                name.find(L"$(") != std::wstring::npos)
                return true;
            if (!name.empty() && (name.back() == L'.' || name.back() == L' '))
                return true;
        }
        start = end + 1;
    }
    return false;
}

// Lower-cased, with "\" only and no trailing separator: how folders are compared.
std::wstring Comparable(const std::wstring& path) {
    std::wstring result = path;
    std::replace(result.begin(), result.end(), L'/', L'\\');
    return LowerCase(WithoutTrailingSeparators(result));
}

bool IsSameOrBelow(const std::wstring& inner, const std::wstring& outer) {
    return !outer.empty() && (inner == outer || (inner.size() > outer.size() &&
                                                 inner.compare(0, outer.size(), outer) == 0 &&
                                                 inner[outer.size()] == L'\\'));
}

std::wstring ParentOf(const std::wstring& path) {
    const size_t cut = path.rfind(L'\\');
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path)
        result = Comparable(path);
    CoTaskMemFree(path);
    return result;
}

// The folders of Windows and of the machine's users that an installation may never take.
struct TProtectedFolders {
    std::vector<std::wstring> Trees;       // the folder and everything below it
    std::vector<std::wstring> Exact;       // the folder itself
    std::vector<std::wstring> ProfileSub;  // standard folders, relative to any user profile
    std::wstring Profiles;                 // the folder that holds the user profiles
};

TProtectedFolders ProtectedFolders() {
    TProtectedFolders folders;
    const auto add = [](std::vector<std::wstring>& list, const std::wstring& path) {
        if (std::wstring comparable = Comparable(path); !comparable.empty())
            list.push_back(std::move(comparable));
    };
    wchar_t buffer[MAX_PATH];
    if (UINT n = GetWindowsDirectoryW(buffer, MAX_PATH); n > 0 && n < MAX_PATH)
        add(folders.Trees, std::wstring(buffer, n));
    if (UINT n = GetSystemDirectoryW(buffer, MAX_PATH); n > 0 && n < MAX_PATH)
        add(folders.Trees, std::wstring(buffer, n));
    for (REFKNOWNFOLDERID id : {FOLDERID_Windows, FOLDERID_System, FOLDERID_SystemX86})
        add(folders.Trees, KnownFolder(id));
    // A 32-bit program on 64-bit Windows is told the x86 Program Files; the native one is in
    // the environment.
    for (const wchar_t* name : {L"ProgramFiles", L"ProgramW6432", L"ProgramFiles(x86)",
                                L"CommonProgramFiles", L"CommonProgramW6432"})
        if (DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH); n > 0 && n < MAX_PATH)
            add(folders.Exact, std::wstring(buffer, n));
    for (REFKNOWNFOLDERID id :
         {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86, FOLDERID_ProgramFilesCommon,
          FOLDERID_ProgramFilesCommonX86, FOLDERID_ProgramData, FOLDERID_Public,
          FOLDERID_PublicDesktop, FOLDERID_PublicDocuments, FOLDERID_PublicDownloads,
          FOLDERID_PublicMusic, FOLDERID_PublicPictures, FOLDERID_PublicVideos,
          FOLDERID_UserProfiles})
        add(folders.Exact, KnownFolder(id));
    std::wstring proposedBase;  // where the directory page proposes to install
    if (ReadRegString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion",
                      L"ProgramFilesDir", proposedBase))
        add(folders.Exact, proposedBase);

    const std::wstring profile = KnownFolder(FOLDERID_Profile);
    folders.Profiles = ParentOf(profile);
    for (REFKNOWNFOLDERID id :
         {FOLDERID_Desktop,      FOLDERID_Documents,       FOLDERID_Downloads,
          FOLDERID_Music,        FOLDERID_Pictures,        FOLDERID_Videos,
          FOLDERID_Favorites,    FOLDERID_Links,           FOLDERID_Contacts,
          FOLDERID_SavedGames,   FOLDERID_SavedSearches,   FOLDERID_RoamingAppData,
          FOLDERID_LocalAppData, FOLDERID_LocalAppDataLow, FOLDERID_Templates,
          FOLDERID_StartMenu,    FOLDERID_Programs,        FOLDERID_Startup,
          FOLDERID_SendTo,       FOLDERID_Recent}) {
        const std::wstring folder = KnownFolder(id);
        if (IsSameOrBelow(folder, profile) && folder != profile)
            folders.ProfileSub.push_back(folder.substr(profile.size() + 1));
        else
            add(folders.Exact, folder);
    }
    return folders;
}

// The Windows folder or inside it, Program Files and the other shared folders themselves, any
// user's profile, or one of the standard folders of a profile.
bool IsProtectedFolder(const std::wstring& path) {
    const std::wstring folder = Comparable(path);
    const TProtectedFolders folders = ProtectedFolders();
    for (const std::wstring& tree : folders.Trees)
        if (IsSameOrBelow(folder, tree))
            return true;
    if (std::find(folders.Exact.begin(), folders.Exact.end(), folder) != folders.Exact.end())
        return true;
    if (folders.Profiles.empty() || !IsSameOrBelow(folder, folders.Profiles))
        return false;
    if (folder == folders.Profiles)
        return true;
    // Below the profiles folder: a user's profile itself, or a path inside one.
    const std::wstring inProfiles = folder.substr(folders.Profiles.size() + 1);
    const size_t cut = inProfiles.find(L'\\');
    if (cut == std::wstring::npos)
        return true;
    const std::wstring inProfile = inProfiles.substr(cut + 1);
    return std::find(folders.ProfileSub.begin(), folders.ProfileSub.end(), inProfile) !=
           folders.ProfileSub.end();
}

// Whether the folder or an existing folder above it is a link (junction or symbolic link):
// what is installed there would land wherever the link points.
bool PassesThroughLink(const std::wstring& path) {
    for (std::wstring level = path; level.size() > 3; level = ParentOf(level)) {
        const DWORD attributes = GetFileAttributesW(level.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return true;
    }
    return false;
}

// The first bytes of a file, up to limit; empty when it cannot be read.
std::vector<uint8_t> ReadFileStart(const std::wstring& path, DWORD limit) {
    handles::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<uint8_t> bytes(limit);
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), bytes.data(), limit, &read, nullptr))
        read = 0;
    bytes.resize(read);
    return bytes;
}

// The folder holds the uninstall log of an installation of this product: its header names
// the product and the product's uninstall entry.
bool HoldsOwnUninstallLog(const std::wstring& folder) {
    const std::vector<uint8_t> log =
        ReadFileStart(JoinPath(folder, sUninstLogName), LogHeaderReadLimit);
    std::string version;
    if (CheckUninstMagic(log, version) != ulOk)
        return false;
    const TUninstHeader header = ParseUninstHeader(log);
    return header.ProductName == sProductName && header.ProductIntName == sUninstallEntryName;
}

enum class TFolderContent { Missing, Empty, Files, Unreadable };

TFolderContent FolderContent(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    handles::FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!search) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? TFolderContent::Missing
                   : TFolderContent::Unreadable;
    }
    do {
        if (wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0)
            return TFolderContent::Files;
    } while (FindNextFileW(search.get(), &entry));
    return TFolderContent::Empty;
}

// What lies at the normalised path on the disk now.
TDirVerdict CheckExisting(const std::wstring& path) {
    if (PassesThroughLink(path))
        return TDirVerdict::Link;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TDirVerdict::Accepted;  // a new folder
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return TDirVerdict::NotAFolder;
    switch (FolderContent(path)) {
    case TFolderContent::Missing:
    case TFolderContent::Empty: return TDirVerdict::Accepted;
    case TFolderContent::Files:
        return HoldsOwnUninstallLog(path) ? TDirVerdict::Accepted : TDirVerdict::NotEmpty;
    case TFolderContent::Unreadable: break;
    }
    return TDirVerdict::NotEmpty;
}

bool NamesInstallPath(const TScriptItem& item) {
    // siAddIdePath names a registry value, not a file, with the installation folder's code.
    return item.DirCode == dcInstall && item.Name && item.ItemType != siAddIdePath;
}

size_t FolderPartLength(const wchar_t* name) {
    const wchar_t* cut = wcsrchr(name, L'\\');
    return cut ? static_cast<size_t>(cut - name) + 1 : 0;
}

}  // namespace

size_t LongestInstalledPath() {
    size_t longest = std::max(wcslen(sInstallLogName), wcslen(sUninstLogName));
    // The package builds write each compiled unit of the sources into the folder of the
    // package they build, under the unit's name with another three-letter extension.
    size_t packageFolder = 0, unitName = 0;
    for (int row = 0; row < ScriptItemRows; ++row) {
        const TScriptItem& item = ScriptItems[row];
        if (NamesInstallPath(item)) {
            longest = std::max(longest, wcslen(item.Name));
            if (item.ItemType == siCheckFile)
                packageFolder = std::max(packageFolder, FolderPartLength(item.Name));
            if (item.ItemType == siExtractFile && wcsncmp(item.Name, L"Source\\", 7) == 0)
                unitName = std::max(unitName, wcslen(item.Name) - FolderPartLength(item.Name));
        }
        if (item.Text2 && item.DestDirCode == dcInstall)
            longest = std::max(longest, wcslen(item.Text2));
        if (item.Dest && item.Dest->DirCode == dcInstall && item.Dest->FileName)
            longest = std::max(longest, wcslen(item.Dest->FileName));
    }
    return std::max(longest, packageFolder + unitName);
}

size_t MaxInstallDirLength() {
    return MaxPathChars - 1 - LongestInstalledPath();  // 1: the separator between them
}

TDirVerdict CheckInstallDir(const std::wstring& typed, std::wstring& normalized) {
    normalized.clear();
    if (typed.find_first_not_of(L" \t") == std::wstring::npos)
        return TDirVerdict::Empty;
    if (typed.size() >= 2 && IsSeparator(typed[0]) && IsSeparator(typed[1]))
        return TDirVerdict::Network;
    if (!StartsWithDrive(typed))
        return TDirVerdict::Relative;
    if (WithoutTrailingSeparators(typed).size() == 2)
        return TDirVerdict::Root;
    if (HasBadCharacter(typed))
        return TDirVerdict::BadCharacter;
    const std::wstring full = NormalizePath(typed);
    // A device name anywhere ("C:\x\NUL") comes back as a device path.
    if (full.size() >= 2 && IsSeparator(full[0]) && IsSeparator(full[1]))
        return TDirVerdict::Network;
    if (!StartsWithDrive(full))
        return TDirVerdict::Relative;
    normalized = LongForm(WithoutTrailingSeparators(full));
    if (normalized.size() <= 2) {
        normalized = WithoutTrailingSeparators(full);
        return TDirVerdict::Root;
    }
    if (normalized.size() > MaxInstallDirLength())
        return TDirVerdict::TooLong;
    if (IsProtectedFolder(normalized))
        return TDirVerdict::Protected;
    return CheckExisting(normalized);
}

std::wstring DirRefusalText(TDirVerdict verdict) {
    const std::wstring product = sProductName;
    const std::wstring example = L"C:\\" + std::wstring(sProductShortName);
    const std::wstring chooseFullPath =
        L"Type the full path of a folder, for example " + example + L", or click Browse.";
    switch (verdict) {
    case TDirVerdict::Accepted: return {};
    case TDirVerdict::Empty: return L"No installation folder is given.\r\n\r\n" + chooseFullPath;
    case TDirVerdict::Relative:
        return L"The installation folder must be a full path that begins with a drive letter."
               L"\r\n\r\n" +
               chooseFullPath;
    case TDirVerdict::Root:
        return product +
               L" cannot be installed into the root of a drive.\r\n\r\nChoose a folder on the "
               L"drive, for example " +
               example + L".";
    case TDirVerdict::Network:
        return product +
               L" cannot be installed into a network or device path.\r\n\r\nChoose a folder on a "
               L"local drive, for example " +
               example + L".";
    case TDirVerdict::TooLong:
        return L"The path of the installation folder is too long: " + product +
               L" needs room for paths of " + std::to_wstring(LongestInstalledPath()) +
               L" characters below it.\r\n\r\nChoose a folder whose path is at most " +
               std::to_wstring(MaxInstallDirLength()) + L" characters long.";
    case TDirVerdict::BadCharacter:
        return L"The installation folder contains a character that cannot be used: a "
               L"semicolon, one of < > : \" | ? *, a \"$(\", which the IDEs read as the start "
               L"of a variable, or a name that ends in a dot or a blank."
               L"\r\n\r\nChoose a folder whose names contain none of these.";
    case TDirVerdict::Protected:
        return L"The chosen folder belongs to Windows or to a user: the Windows folder, Program "
               L"Files itself, a user profile or one of its standard folders.\r\n\r\nChoose a "
               L"folder of its own, for example a new folder below Program Files.";
    case TDirVerdict::Link:
        return L"The chosen folder is reached through a link to another place.\r\n\r\nChoose a "
               L"folder that is not a link and does not lie below one.";
    case TDirVerdict::NotAFolder:
        return L"The chosen path names an existing file, not a folder.\r\n\r\nChoose a new or "
               L"empty folder.";
    case TDirVerdict::NotEmpty:
        return L"The chosen folder already holds other files and no earlier installation of " +
               product +
               L".\r\n\r\nChoose a new or empty folder, or the folder of an earlier installation "
               L"of " +
               product + L".";
    }
    return {};
}
