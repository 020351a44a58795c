#include "uninstall/UDeinstall.h"

#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProcess.h"
#include "product/UProducts.h"
#include "product/URegistry.h"
#include "script/UScriptItems.h"
#include "support/UHandles.h"
#include "support/UWholeFile.h"
#include "support/UText.h"
#include "uninstall/ULogConfinement.h"

#include <shlobj.h>

#include <exception>
#include <vector>

using handles::FileHandle;

namespace {

const wchar_t* StatusText(uint16_t itemType) {
    switch (itemType) {
    case siRegisterPackage:
    case siAddSearchPath:
    case siAddIdePath: return L"Unregistering package";
    case siModifyHelpFile:
    case siRegisterWinHelp:
    case siRegisterHelp: return L"Unregistering help";
    case siDeleteFile:
    case siExtractFile:
    case siExtractFileIfAbsent:
    case siCopyFileTo: return L"Removing file";
    case siCreateRegKey: return L"Removing registry key";
    case siCreateDir: return L"Removing directory";
    case siRegisterUninstall: return L"Unregistering uninstall";
    default: return nullptr;
    }
}

// Writes the new content beside the file and then puts it in the file's place, so that a
// failed write leaves the IDE's file as it was.
bool ReplaceFileContent(const std::wstring& path, const std::string& data) {
    const std::wstring temporary = path + L".vknew";
    {
        FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        const bool ok = file && (data.empty() ||
                                 (WriteFile(file.get(), data.data(),
                                            static_cast<DWORD>(data.size()), &written, nullptr) &&
                                  written == data.size()));
        if (!ok || !file.reset()) {
            file.reset();
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    if (MoveFileExW(temporary.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}

void RemoveFromLibrarySearchPaths(int productIndex, const std::wstring& dir) {
    const TBorlandProduct& product = BorlandProducts[productIndex];
    const std::wstring valueName = SearchPathValueName(productIndex);
    const std::wstring library = std::wstring(product.RegKey) + sLibraryKey;
    RemoveSearchPathEntry(HKEY_CURRENT_USER, library, valueName, dir);
    // The installation put the path of an IDE with two platforms below its platform keys.
    if (product.Is32and64) {
        RemoveSearchPathEntry(HKEY_CURRENT_USER, library + L"\\Win32", valueName, dir);
        RemoveSearchPathEntry(HKEY_CURRENT_USER, library + L"\\Win64", valueName, dir);
    }
}

void UndoModifyHelpFile(const TUninstRecord& record, const std::wstring& text) {
    if (!IsValidProductIndex(CurrentProduct) || record.Code < 1 || record.Code > 3)
        return;
    const wchar_t* fileName = BorlandProducts[CurrentProduct].HelpStr[record.Code - 1];
    if (!fileName || !*fileName)
        return;
    // An IDE gone since the installation has no RootDir: its help file is no longer known.
    const std::wstring path = JoinPath(BaseDir(record.DirCode), fileName);
    std::string data;
    // The file is rewritten in place: neither it nor a folder below the IDE's root may be a link.
    if (!IsAbsolutePath(path) || PassesThroughLink(LinkRoot(record.DirCode), path, true) ||
        !ReadWholeFile(path, data))
        return;
    const std::string inserted = ToAnsi(text);
    const int at = FindTextA(LowerCaseA(data), LowerCaseA(inserted));
    if (at < 1)
        return;
    data.erase(static_cast<size_t>(at - 1), inserted.size());
    ReplaceFileContent(path, data);
}

bool IsPredefinedRoot(uint32_t code) {
    return code >= 0x80000000u && code <= 0x80000006u;
}

// A key path of at least two levels: a damaged or foreign record must not take a whole root
// or one of its top-level keys (an empty path would mean every subkey of the root).
bool IsDeletableKeyPath(const std::wstring& key) {
    const size_t separator = key.find(L'\\');
    return separator != std::wstring::npos && separator > 0 && separator + 1 < key.size() &&
           key.find_first_not_of(L'\\', separator) != std::wstring::npos;
}

// Normalised, long-name, lower-case form without trailing separators, for comparing
// directories; empty when the full path cannot be formed (an unresolved ".." could hide
// anything).
std::wstring ComparableDirectory(const std::wstring& path) {
    std::wstring result = NormalizePath(WithoutDevicePrefix(path));
    if (result.empty())
        return {};
    wchar_t longName[MAX_PATH * 2];
    const DWORD length = GetLongPathNameW(result.c_str(), longName, MAX_PATH * 2);
    if (length > 0 && length < MAX_PATH * 2)
        result.assign(longName, length);
    while (!result.empty() && IsSeparator(result.back()))
        result.pop_back();
    for (auto& c : result)
        if (c == L'/')
            c = L'\\';
    return LowerCase(result);
}

bool IsSameOrBelow(const std::wstring& inner, const std::wstring& outer) {
    return inner == outer ||
           (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
            inner[outer.size()] == L'\\');
}

std::vector<std::wstring> ProtectedDirectories() {
    std::vector<std::wstring> dirs;
    auto add = [&dirs](const std::wstring& dir) {
        if (std::wstring comparable = ComparableDirectory(dir); !comparable.empty())
            dirs.push_back(std::move(comparable));
    };
    wchar_t buffer[MAX_PATH];
    if (UINT n = GetWindowsDirectoryW(buffer, MAX_PATH); n > 0 && n < MAX_PATH)
        add(std::wstring(buffer, n));
    if (UINT n = GetSystemDirectoryW(buffer, MAX_PATH); n > 0 && n < MAX_PATH)
        add(std::wstring(buffer, n));
    if (DWORD n = GetTempPathW(MAX_PATH, buffer); n > 0 && n < MAX_PATH)
        add(std::wstring(buffer, n));
    for (int folder :
         {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
          CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_PROFILE, CSIDL_APPDATA,
          CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY,
          CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS}) {
        if (SUCCEEDED(SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, buffer)))
            add(buffer);
    }
    // A 32-bit program on 64-bit Windows is told the x86 folder; the native one is here.
    for (const wchar_t* name : {L"ProgramW6432", L"CommonProgramW6432", L"ProgramFiles"}) {
        if (DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH); n > 0 && n < MAX_PATH)
            add(std::wstring(buffer, n));
    }
    return dirs;
}

// The process must not sit inside a tree it removes (Windows keeps such a directory).
void LeaveDirectoryTree(const std::wstring& tree) {
    const std::wstring current = ComparableDirectory(CurrentDirectory());
    if (IsSameOrBelow(current, ComparableDirectory(tree)))
        // With its separator: the parent of C:\Velkora is "C:\", while "C:" would name the
        // current directory of drive C, the one being left.
        SetCurrentDirectoryW((DirectoryOf(ComparableDirectory(tree)) + L"\\").c_str());
}

// The tree goes unless it is protected or reached through a linked folder; a link in the tree's
// own place goes as the link (DeleteTree).
void UndoCreateDir(int dirCode, const std::wstring& path) {
    if (IsProtectedDirectory(path) || PassesThroughLink(LinkRoot(dirCode), path, false))
        return;
    LeaveDirectoryTree(path);
    DeleteTree(path, false);
}

DWORD UndoRegisterHelp() {
    const std::wstring batch = JoinPath(InstallDir, L"help\\help_unreg.bat");
    // A batch reached through a link is not the installation's own: passed over, the walk goes on.
    if (PassesThroughLink(InstallDir, batch, true))
        return 0;
    SetCurrentDirectoryW(JoinPath(InstallDir, L"help").c_str());
    const DWORD result = RunAndWait(batch, L"");
    SetCurrentDirectoryW(InstallDir.c_str());
    return result;
}

}  // namespace

std::wstring WithoutSearchPathEntry(const std::wstring& list, const std::wstring& path) {
    if (path.empty())
        return list;
    const std::wstring lowerList = LowerCase(list);
    const std::wstring lowerPath = LowerCase(path);
    size_t start = 0;
    for (;;) {
        size_t end = lowerList.find(L';', start);
        const size_t stop = end == std::wstring::npos ? lowerList.size() : end;
        if (lowerList.compare(start, stop - start, lowerPath) == 0) {
            std::wstring result = list;
            if (end != std::wstring::npos)
                result.erase(start, stop - start + 1);  // the entry and the separator after it
            else if (start > 0)
                result.erase(start - 1);  // the last entry and the separator before it
            else
                result.clear();
            return result;
        }
        if (end == std::wstring::npos)
            return list;
        start = end + 1;
    }
}

bool RemoveSearchPathEntry(HKEY root, const std::wstring& key, const std::wstring& valueName,
                           const std::wstring& path) {
    std::wstring value;
    if (path.empty() || !ReadRegString(root, key, valueName, value))
        return false;
    const std::wstring reduced = WithoutSearchPathEntry(value, path);
    if (reduced.size() == value.size())
        return false;
    return WriteRegString(root, key, valueName, reduced);
}

bool IsProtectedDirectory(const std::wstring& path) {
    if (path.empty() || !IsAbsolutePath(path))
        return true;
    const std::wstring dir = ComparableDirectory(path);
    if (dir.empty())
        return true;
    if (IsDriveOrShareRoot(dir))
        return true;
    for (const std::wstring& guarded : ProtectedDirectories())
        if (IsSameOrBelow(guarded, dir))
            return true;
    return false;
}

TDeinstall::TDeinstall() = default;

TDeinstall::~TDeinstall() = default;

int TDeinstall::PrepareUninstFile(const std::wstring& fileName) {
    Buf.clear();
    FPrepared = false;
    FUnInstFileVersion.clear();
    try {
        std::vector<uint8_t> bytes;
        {
            FileHandle file(CreateFileW(fileName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file)
                return ulCannotOpen;
            LARGE_INTEGER size{};
            if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0)
                return ulEmpty;
            if (size.QuadPart > MaxWholeFileBytes)
                return ulDamaged;
            bytes.resize(static_cast<size_t>(size.QuadPart));
            DWORD read = 0;
            if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                          nullptr) ||
                read != bytes.size())
                return ulEmpty;
        }
        std::string version;
        if (CheckUninstMagic(bytes, version) != ulOk)
            return ulBadMagic;
        if (ValidateUninstLog(bytes) != ulOk || !IsLogConfined(bytes, fileName))
            return ulDamaged;
        FUnInstFileVersion = version;
        Buf = std::move(bytes);
        return ulOk;
    } catch (const std::exception&) {
        Buf.clear();
        return ulEmpty;
    }
}

int TDeinstall::SetProgress(IDeinstallProgress* progress) {
    FProgress = progress;
    return 0;
}

int TDeinstall::PrepareDeinstall() {
    if (Buf.empty())
        return -1;
    try {
        const TUninstHeader header = ParseUninstHeader(Buf);
        ProductName = header.ProductName;
        ProductVersion = header.ProductVersion;
        ProductType = header.ProductType;
        ProductRegKey = header.ProductRegKey;
        ProductIntName = header.ProductIntName;
        InstallDir = header.InstallDir;
        ReadBackward = header.ReadBackward;
        PBegin = header.WalkBegin;
        PEnd = header.WalkEnd;
        P = PBegin;
        FPrepared = true;
        return 0;
    } catch (const std::exception&) {
        return -1;
    }
}

bool TDeinstall::ReadRecord(TUninstRecord& record) {
    const TRecordRead read = ReadBackward ? ReadRecordBackward(Buf, P, PEnd, record)
                                          : ReadRecordForward(Buf, P, PEnd, record);
    return read == TRecordRead::Ok;
}

void TDeinstall::ReportStatus(const std::wstring& status) const {
    if (FProgress)
        FProgress->RecordStatus(status);
}

int TDeinstall::DoDeinstall() {
    if (!FPrepared)
        return 0;
    // Whoever shows the walk learns of its end however the walk ends.
    struct EndReporter {
        IDeinstallProgress* Progress;
        ~EndReporter() {
            if (Progress)
                Progress->WalkEnded();
        }
    } endReporter{FProgress};
    try {
        const std::wstring pageText = L"Performing uninstall of the \"" + sProductText + L"\"...";
        DetectProducts();
        const size_t span = PBegin > PEnd ? PBegin - PEnd : PEnd - PBegin;
        if (FProgress)
            FProgress->WalkStarted(pageText, span);
        P = PBegin;
        TUninstRecord record;
        while (ReadRecord(record)) {
            if (flPartialUninstall && (record.Kind & ukKeepOnPartial)) {
                ReportStatus(L"Skipping");
            } else {
                if (const wchar_t* status = StatusText(record.ItemType()))
                    ReportStatus(status);
                if (UndoRecord(record) != 0)
                    break;
            }
            if (FProgress)
                FProgress->RecordWalked(record.Length);
        }
    } catch (const std::exception&) {
        // Out of memory: what was undone stays undone; the rest of the log is left.
    }
    return 0;
}

DWORD TDeinstall::UndoRecord(const TUninstRecord& record) {
    const std::wstring text = FromUtf8(std::string(record.Text));
    const std::wstring path = ItemPath(record.DirCode, text);
    const bool ideCurrent = IsValidProductIndex(CurrentProduct);
    switch (record.ItemType()) {
    case siRegisterPackage:
        if (ideCurrent) {
            DeleteRegValue(HKEY_CURRENT_USER,
                           std::wstring(BorlandProducts[CurrentProduct].RegKey) + sKnownPackagesKey,
                           path);
            RemoveFromLibrarySearchPaths(CurrentProduct, DirectoryOf(path));
        }
        return 0;
    case siModifyHelpFile:
    case ukModifyHelpFileAlias: UndoModifyHelpFile(record, text); return 0;
    case siDeleteFile:
    case siExtractFile:
    case siExtractFileIfAbsent:
    case siCopyFileTo:
        // A record below an IDE that has gone since gives a relative path: whatever it names
        // in the current directory is not the installed file. Nor is a file in a linked folder.
        if (IsAbsolutePath(path) && !PassesThroughLink(LinkRoot(record.DirCode), path, false))
            DeleteFileOrLink(path);
        return 0;
    case siRegisterWinHelp: DeleteRegValue(HKEY_LOCAL_MACHINE, sWindowsHelpKey, text); return 0;
    case siCreateRegKey:
        if (IsPredefinedRoot(record.Code) && IsDeletableKeyPath(text))
            DeleteRegKeyTree(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(record.Code)), text);
        return 0;
    case siAddSearchPath:
        if (ideCurrent)
            RemoveFromLibrarySearchPaths(CurrentProduct, path);
        return 0;
    case siRegisterHelp: return UndoRegisterHelp();
    case siAddIdePath:
        if (ideCurrent) {
            const std::wstring full = BorlandProducts[CurrentProduct].RegKey + text;
            const int at = LastCharPos(full, L'\\');
            if (at > 0)
                RemoveSearchPathEntry(HKEY_CURRENT_USER,
                                      full.substr(0, static_cast<size_t>(at - 1)),
                                      full.substr(static_cast<size_t>(at)),
                                      InstallSubDir(static_cast<uint8_t>(record.Code & 0xFF)));
        }
        return 0;
    case siSetIde:
        CurrentProduct = static_cast<int>(record.Code);
        CurrentProductDir = text;
        return 0;
    case siCreateDir: UndoCreateDir(record.DirCode, path); return 0;
    case siRegisterUninstall:
        // Without the entry's name the key path would be the whole Windows uninstall key. Only
        // the entry goes: the uninstall key above it is the system's, even when it is empty.
        if (!ProductIntName.empty())
            DeleteRegSubKeyTree(HKEY_LOCAL_MACHINE, sWindowsUninstallKey, ProductIntName);
        return 0;
    default: return 0;
    }
}
