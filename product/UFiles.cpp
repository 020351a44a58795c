#include "product/UFiles.h"

#include "product/UPaths.h"
#include "support/ULastError.h"

#include "support/UHandles.h"

#include <vector>

using handles::FileHandle;
using handles::FindHandle;

namespace {

// Longest path CreateDirectoryPath accepts: its working buffer holds 262 characters.
constexpr size_t MaxCreatePath = 261;

bool IsDotName(const wchar_t* name) {
    return name[0] == L'.';
}

}  // namespace

DWORD CreateDirectoryPath(const std::wstring& path) {
    if (path.empty())
        return 0;
    if (path.size() > MaxCreatePath)
        return ERROR_FILENAME_EXCED_RANGE;
    wchar_t buffer[MaxCreatePath + 1];
    wmemcpy(buffer, path.c_str(), path.size() + 1);
    for (size_t i = 0;; ++i) {
        wchar_t c = buffer[i];
        if (c != L'\\' && c != L'/' && c != L'\0')
            continue;
        buffer[i] = L'\0';
        // "C:" is a drive, not a directory to create.
        if (i == 0 || buffer[i - 1] != L':') {
            if (!CreateDirectoryW(buffer, nullptr)) {
                DWORD error = LastErrorOr(ERROR_CANNOT_MAKE);
                if (error != ERROR_ALREADY_EXISTS)
                    return error;
            }
        }
        buffer[i] = c;
        if (c == L'\0')
            return 0;
    }
}

DWORD DeleteTree(const std::wstring& dir, bool keepRoot) {
    if (IsDriveOrShareRoot(dir))
        return dtDirNotFound;
    const std::wstring root = WithoutTrailingSeparators(dir);

    // A link given as the tree itself is removed as a link; its target is never entered.
    DWORD rootAttributes = GetFileAttributesW(root.c_str());
    if (rootAttributes != INVALID_FILE_ATTRIBUTES &&
        (rootAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (keepRoot)
            return 0;
        BOOL removed = (rootAttributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(root.c_str())
                                                                   : DeleteFileW(root.c_str());
        return removed ? 0 : dtRemoveDirFailed;
    }

    DWORD result = 0;
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW((root + L"\\*.*").c_str(), &entry));
    if (search) {
        do {
            const std::wstring path = root + L"\\" + entry.cFileName;
            const bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (isDirectory && IsDotName(entry.cFileName))
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (isDirectory ? !RemoveDirectoryW(path.c_str()) : !DeleteFileW(path.c_str()))
                    result |= isDirectory ? dtRemoveDirFailed : dtFileNotDeleted;
            } else if (!isDirectory) {
                if (!DeleteFileW(path.c_str()))
                    result |= dtFileNotDeleted;
            } else {
                result |= DeleteTree(path, false);
            }
        } while (FindNextFileW(search.get(), &entry));
        if (!search.reset())
            result |= dtSearchCloseFailed;
    }
    if (keepRoot)
        return result;

    WIN32_FIND_DATAW self;
    FindHandle check(FindFirstFileW(root.c_str(), &self));
    if (!check)
        return result | dtDirNotFound;
    if (!RemoveDirectoryW(root.c_str()))
        result |= dtRemoveDirFailed;
    if (!check.reset())
        result |= dtCheckCloseFailed;
    return result;
}

DWORD FindPayload(int id, const void*& data, DWORD& size) {
    data = nullptr;
    size = 0;
    // Only 1..65535 can be an integer resource id; anything else would be read as a name pointer.
    if (id <= 0 || id > 0xFFFF)
        return ERROR_RESOURCE_NAME_NOT_FOUND;
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(self, MAKEINTRESOURCEW(id), L"VKLIB");
    if (!resource)
        return LastErrorOr(ERROR_RESOURCE_NAME_NOT_FOUND);
    const DWORD length = SizeofResource(self, resource);
    HGLOBAL loaded = LoadResource(self, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes && length != 0)
        return LastErrorOr(ERROR_RESOURCE_DATA_NOT_FOUND);
    data = bytes;
    size = length;
    return 0;
}

DWORD ExtractResourceFile(int id, const std::wstring& path) {
    const void* data = nullptr;
    DWORD size = 0;
    if (DWORD error = FindPayload(id, data, size))
        return error;

    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return LastErrorOr(ERROR_CANNOT_MAKE);
    DWORD written = 0;
    if (!WriteFile(file.get(), data, size, &written, nullptr) || written != size) {
        DWORD error = LastErrorOr(ERROR_HANDLE_DISK_FULL);
        // A truncated copy is worse than none: it would pass for the real file later.
        file.reset();
        DeleteFileW(path.c_str());
        return error;
    }
    if (!file.reset())
        return LastErrorOr(ERROR_WRITE_FAULT);
    return 0;
}

bool DeleteFileOrLink(const std::wstring& path) {
    // On Windows DeleteFileW removes a file link itself; a directory link in a file's place
    // fails there and goes with RemoveDirectoryW, which removes the link, not its target.
    if (DeleteFileW(path.c_str()))
        return true;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && RemoveDirectoryW(path.c_str());
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint64_t DirectorySize(const std::wstring& dir) {
    uint64_t total = 0;
    WIN32_FIND_DATAW entry;
    const handles::FindHandle search(FindFirstFileW((dir + L"\\*").c_str(), &entry));
    for (bool more = bool(search); more; more = FindNextFileW(search.get(), &entry)) {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        const std::wstring name = entry.cFileName;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            total += (uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow;
        else if (name != L"." && name != L"..")
            total += DirectorySize(dir + L"\\" + name);
    }
    return total;
}

bool GetFileProductVersion(const std::wstring& path, DWORD& high, DWORD& low) {
    high = 0;
    low = 0;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, buffer.data()))
        return false;
    void* fixed = nullptr;
    UINT fixedSize = 0;
    // A version resource without a fixed part has no product version to compare.
    if (!VerQueryValueW(buffer.data(), L"\\", &fixed, &fixedSize) || !fixed ||
        fixedSize < sizeof(VS_FIXEDFILEINFO))
        return false;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    high = info->dwProductVersionMS;
    low = info->dwProductVersionLS;
    return true;
}
