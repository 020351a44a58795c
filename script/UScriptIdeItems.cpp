// IDE registration items: design-time packages in the IDE's package list, the library's
// directories in the IDE's search paths, lines appended to the older IDEs' OpenHelp files, and
// a text replacement in a file. Every IDE entry lies under HKEY_CURRENT_USER below the IDE's key.
#include "script/UScript.h"
#include "support/UWholeFile.h"

#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProducts.h"
#include "product/URegistry.h"
#include "support/UText.h"

using handles::FileHandle;

namespace {

// DoRegisterPackage's answer for a package file that does not exist (its build failed); -1 to
// -4 are its registry steps.
constexpr int rpPackageMissing = -5;

// The IDEs that cache their environment options (RAD Studio 2007, 2009 and 2010, by index).
constexpr int FirstOptionsCachingIde = 12;
constexpr int LastOptionsCachingIde = 14;

// The IDE of the surrounding block; none when no valid siSetIde came before.
const TBorlandProduct* CurrentIde() {
    return IsValidProductIndex(CurrentProduct) ? &BorlandProducts[CurrentProduct] : nullptr;
}

// The value of a package's "Known Packages" entry, which the IDE shows in its package list.
std::wstring PackageDescription() {
    std::wstring text = ProductTitle();
    if (!text.empty() && text[0] >= L'a' && text[0] <= L'z')
        text[0] = static_cast<wchar_t>(text[0] - L'a' + L'A');
    return text;
}

// The key of the IDE's library search path; IDEs with 32- and 64-bit output keep one per
// platform (plLibraryWin64 selects Win64).
std::wstring LibraryKey(const TBorlandProduct& ide, int32_t platform) {
    std::wstring key = std::wstring(ide.RegKey) + sLibraryKey;
    if (ide.Is32and64)
        key += (platform & plLibraryWin64) != 0 ? L"\\Win64" : L"\\Win32";
    return key;
}

// True when dir occurs in the list text current, in any letter case; an empty dir counts as
// present, so that no empty entry is ever added.
bool ListHasDir(const std::wstring& current, const std::wstring& dir) {
    return dir.empty() || FindText(LowerCase(current), LowerCase(dir)) > 0;
}

// Writes key\valueName (HKEY_CURRENT_USER) as the list text current with dir appended after a
// ";" separator. True when written.
bool AppendDirToList(const std::wstring& key, const std::wstring& valueName,
                     const std::wstring& dir, std::wstring current) {
    if (!current.empty() && current.back() != L';')
        current += L';';
    current += dir;
    return WriteRegString(HKEY_CURRENT_USER, key, valueName, current);
}

// The add-to-list step of the path items: adds dir to the list value unless it is present, and
// appends "...Already" or "...Success" to logText. 0, or -3 when the value cannot be written
// (logText then has no suffix).
int AddDirToList(std::wstring& logText, const std::wstring& key, const std::wstring& valueName,
                 const std::wstring& dir, const std::wstring& current) {
    if (ListHasDir(current, dir)) {
        logText += L"...Already";
        return 0;
    }
    if (!AppendDirToList(key, valueName, dir, current))
        return -3;
    logText += L"...Success";
    return 0;
}

bool WriteAll(const FileHandle& file, const std::string& bytes) {
    if (bytes.empty())
        return true;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

// Opens an existing file for reading and writing; nobody else may change it meanwhile.
FileHandle OpenForEdit(const std::wstring& path) {
    return FileHandle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

int TScript::DoRegisterPackage() {
    const TBorlandProduct* ide = CurrentIde();
    if (!ide)
        return 0;
    const TScriptItem item = GetItem();
    const std::wstring path = ItemPathOf(item);
    // A package whose build failed is not listed: the IDE would report it at every start.
    if (!FileExists(path)) {
        FLogText = L"Registering package: " + path + L"...Fail";
        return rpPackageMissing;
    }
    if (!WriteRegString(HKEY_CURRENT_USER, std::wstring(ide->RegKey) + sKnownPackagesKey, path,
                        PackageDescription()))
        return -1;
    FLogText = L"Registering package: " + path + L"...Success";
    const std::wstring key = LibraryKey(*ide, item.Platform);
    const std::wstring valueName = SearchPathValueName(CurrentProduct);
    std::wstring current;
    if (!ReadRegString(HKEY_CURRENT_USER, key, valueName, current))
        return -2;
    const std::wstring dir = DirectoryOf(path);
    FLogText += L"\r\nAdding search path: " + dir;
    if (ListHasDir(current, dir)) {
        FLogText += L"...Already";
        return 0;
    }
    if (!AppendDirToList(key, valueName, dir, current))
        return -3;
    // These IDEs cache their environment options and would otherwise write the old search path
    // back; the log line gets its outcome only after this last step.
    if (CurrentProduct >= FirstOptionsCachingIde && CurrentProduct <= LastOptionsCachingIde &&
        !WriteRegString(HKEY_CURRENT_USER, std::wstring(ide->RegKey) + sGlobalsKey,
                        L"ForceEnvOptionsUpdate", L"1"))
        return -4;
    FLogText += L"...Success";
    return 0;
}

int TScript::DoAddSearchPath() {
    const TBorlandProduct* ide = CurrentIde();
    if (!ide)
        return 0;
    const TScriptItem item = GetItem();
    const std::wstring path = ItemPathOf(item);
    std::wstring key;
    std::wstring valueName;
    if (item.Text1 && *item.Text1 && item.Text2 && *item.Text2) {
        key = std::wstring(ide->RegKey) + L"\\" + item.Text1;
        valueName = item.Text2;
    } else {
        key = LibraryKey(*ide, item.Platform);
        valueName = SearchPathValueName(CurrentProduct);
    }
    std::wstring current;
    // A search path the IDE does not have is never created.
    if (!ReadRegString(HKEY_CURRENT_USER, key, valueName, current))
        return (item.Platform & plIgnoreMissingSearchPath) != 0 ? 0 : -2;
    FLogText = L"Adding search path: " + path;
    return AddDirToList(FLogText, key, valueName, path, current);
}

int TScript::DoAddIdePath() {
    const TBorlandProduct* ide = CurrentIde();
    if (!ide)
        return 0;
    const TScriptItem item = GetItem();
    const std::wstring full = std::wstring(ide->RegKey) + (item.Name ? item.Name : L"");
    const int split = LastCharPos(full, L'\\');
    const std::wstring key = full.substr(0, static_cast<size_t>(split > 0 ? split - 1 : 0));
    const std::wstring valueName = full.substr(static_cast<size_t>(split));
    const std::wstring dir = InstallSubDir(static_cast<uint8_t>(item.Code & 0x7F));
    std::wstring current;
    // An IDE that lacks the entry (another edition, an older update) is left alone; so is a
    // sub-folder code that names no directory.
    if (dir.empty() || !ReadRegString(HKEY_CURRENT_USER, key, valueName, current))
        return 0;
    FLogText = L"Adding search path: " + dir;
    return AddDirToList(FLogText, key, valueName, dir, current);
}

int TScript::DoModifyHelpFile() {
    const TBorlandProduct* ide = CurrentIde();
    if (!ide)
        return 0;
    const TScriptItem item = GetItem();
    // Only the IDE's own file slots 1..3 name a file; an empty slot names none.
    if (item.Code < 1 || item.Code > 3 || !*ide->HelpStr[item.Code - 1])
        return -1;
    const std::wstring file = JoinPath(BaseDir(item.DirCode), ide->HelpStr[item.Code - 1]);
    std::string text = ToAnsi(item.Name ? item.Name : L"");
    const FileHandle handle = OpenForEdit(file);
    if (!handle)
        return -1;
    std::string data;
    if (!ReadWholeFile(handle.get(), data))
        return -2;
    FLogText = L"Modifying file: " + file;
    if (FindTextA(LowerCaseA(data), LowerCaseA(text)) > 0) {
        FLogText += L"...Already";
        return 0;
    }
    text += "\r\n";
    // No empty line between the file's last line and the appended one.
    if (data.size() >= 2 && data.ends_with("\r\n") && text.starts_with("\r\n"))
        text.erase(0, 2);
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(handle.get(), end, nullptr, FILE_END) || !WriteAll(handle, text)) {
        FLogText += L"...Fail";
        return -3;
    }
    FLogText += L"...Success";
    return 0;
}

int TScript::DoReplaceText() {
    const TScriptItem item = GetItem();
    const std::wstring file = ItemPathOf(item);
    const std::wstring findText = item.Text1 ? item.Text1 : L"";
    const std::wstring replaceText = item.Text2 ? item.Text2 : L"";
    const std::string find = ToAnsi(findText);
    const std::string replacement = ToAnsi(replaceText);
    const FileHandle handle = OpenForEdit(file);
    if (!handle)
        return -1;
    std::string data;
    if (!ReadWholeFile(handle.get(), data))
        return -2;
    FLogText =
        L"Replace text: File=" + file + L", FindText=" + findText + L", ReplaceTo=" + replaceText;
    const int pos = FindTextA(LowerCaseA(data), LowerCaseA(find));
    if (pos < 1) {
        FLogText += L"...Already";
        return 0;
    }
    const size_t at = static_cast<size_t>(pos - 1);
    const std::string tail = replacement + data.substr(at + find.size());
    LARGE_INTEGER offset{};
    offset.QuadPart = static_cast<LONGLONG>(at);
    if (!SetFilePointerEx(handle.get(), offset, nullptr, FILE_BEGIN) || !WriteAll(handle, tail) ||
        !SetEndOfFile(handle.get())) {
        FLogText += L"...Fail";
        return -3;
    }
    FLogText += L"...Success";
    return 0;
}
