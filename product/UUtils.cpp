#include "product/UUtils.h"

#include "product/UConst.h"
#include "product/UProducts.h"
#include "support/UHandles.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <type_traits>
#include <vector>

using handles::FileHandle;
using handles::FindHandle;
using handles::KernelHandle;
using handles::LocalMemory;
using handles::RegKey;

DWORD OsPlatformId = 0;

namespace {

// Access used to walk and delete a key's subtree (0x2001F).
constexpr REGSAM KeyTreeAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// Longest path CreateDirectoryPath accepts: its working buffer holds 262 characters.
constexpr size_t MaxCreatePath = 261;

RegKey OpenKey(HKEY root, const std::wstring& key, REGSAM access) {
    RegKey result;
    if (RegOpenKeyExW(root, key.c_str(), 0, access, result.put()) != ERROR_SUCCESS)
        result.release();
    return result;
}

RegKey CreateKey(HKEY root, const std::wstring& key) {
    RegKey result;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, result.put(),
                        nullptr) != ERROR_SUCCESS)
        result.release();
    return result;
}

// A Win32 call that failed without setting a last error still has to answer non-zero.
DWORD LastErrorOr(DWORD fallback) {
    DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

}  // namespace

bool IsAbsolutePath(const std::wstring& path) {
    if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]))
        return (path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z');
    return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

namespace {

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (!path.empty() && IsSeparator(path.back()))
        path.pop_back();
    return path;
}

// A path whose tree deletion would reach a whole drive or share: empty, a bare separator,
// "C:", "C:\", "\\server", "\\server\share" (also behind a "\\?\" or "\\?\UNC\" prefix).
bool IsDriveOrShareRoot(const std::wstring& dir) {
    std::wstring path = WithoutTrailingSeparators(dir);
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
        (path[2] == L'?' || path[2] == L'.') && IsSeparator(path[3])) {
        path.erase(0, 4);
        if (path.size() >= 4 && _wcsnicmp(path.c_str(), L"UNC", 3) == 0 && IsSeparator(path[3]))
            path = L"\\\\" + path.substr(4);
        path = WithoutTrailingSeparators(path);
    }
    if (path.empty())
        return true;
    if (path.size() == 2 && path[1] == L':')
        return true;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        // \\server\share: at most one separator run after the server name.
        size_t components = 0;
        bool inName = false;
        for (size_t i = 2; i < path.size(); ++i) {
            if (IsSeparator(path[i])) {
                inName = false;
            } else if (!inName) {
                inName = true;
                ++components;
            }
        }
        return components <= 2;
    }
    return false;
}

bool IsDotName(const wchar_t* name) {
    return name[0] == L'.';
}

// Single forward scan: after a failed partial match it only retries the
// current character against the first pattern character, never stepping back.
template <typename String> int ForwardScan(const String& text, const String& pattern) {
    if (text.empty() || pattern.empty())
        return 0;
    size_t i = 0;  // index into pattern of the character to match next
    size_t start = 0;
    for (size_t j = 0; j < text.size(); ++j) {
        if (text[j] != pattern[i])
            i = 0;
        if (text[j] == pattern[i]) {
            if (i == 0)
                start = j;
            ++i;
            if (i >= pattern.size())
                return static_cast<int>(start + 1);
        }
    }
    return 0;
}

std::string WideToMultiByte(UINT codePage, const std::wstring& text) {
    if (text.empty() || text.size() > INT_MAX / 4)
        return {};
    int length = static_cast<int>(text.size());
    int needed =
        WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string result(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, result.data(), needed, nullptr, nullptr);
    return result;
}

std::wstring MultiByteToWide(UINT codePage, const std::string& text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    int length = static_cast<int>(text.size());
    int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (needed <= 0)
        return {};
    std::wstring result(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, result.data(), needed);
    return result;
}

// A system directory read into a 260-character buffer; empty when the call fails or the
// directory does not fit.
template <typename Getter> std::wstring SystemPath(Getter getter) {
    wchar_t buffer[MAX_PATH];
    UINT length = getter(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(buffer, length);
}

std::wstring QuotedIfBlank(const std::wstring& path) {
    if (path.find_first_of(L" \t") == std::wstring::npos)
        return path;
    return L"\"" + path + L"\"";
}

bool IsBatchFile(const std::wstring& program) {
    std::wstring lower = LowerCase(program);
    auto endsWith = [&lower](const wchar_t* suffix) {
        size_t n = wcslen(suffix);
        return lower.size() >= n && lower.compare(lower.size() - n, n, suffix) == 0;
    };
    return endsWith(L".bat") || endsWith(L".cmd");
}

// How cmd.exe is told which batch file to run: its full path in quotes, which keeps blanks, "&"
// and "^" literal ("!" is literal while delayed expansion is off, cmd's default). cmd expands
// %NAME% anywhere in its command line, quotes or not (Wine's even inside a variable's value), so
// a path holding "%" is never written there: such a batch file in the current directory, where
// the programs run their help batch files, is named by its file name alone. Empty when the batch
// file cannot be named safely.
std::wstring BatchNameForCmd(const std::wstring& batch) {
    if (batch.find(L'%') == std::wstring::npos)
        return batch;
    const size_t separator = batch.find_last_of(L"\\/");
    if (separator == std::wstring::npos)
        return {};
    const std::wstring name = batch.substr(separator + 1);
    if (name.find(L'%') != std::wstring::npos ||
        LowerCase(batch.substr(0, separator)) != LowerCase(CurrentDirectory()))
        return {};
    return name;
}

}  // namespace

// ---- Registry ----

bool ReadRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                   std::wstring& text) {
    text.clear();
    RegKey handle = OpenKey(root, key, KEY_READ);
    if (!handle)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    // Room for every stored byte (an odd count included) and one NUL of our own.
    std::vector<wchar_t> buffer((size + 1) / sizeof(wchar_t) + 1, L'\0');
    DWORD bufferBytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &bufferBytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    // The stored terminator is not trusted: the text ends at the first NUL or at the data's
    // end, whichever comes first, so a value stored without a terminator keeps every character.
    size_t chars = bufferBytes / sizeof(wchar_t);
    text.assign(buffer.data(), wcsnlen(buffer.data(), chars));
    return true;
}

bool ReadRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD& value) {
    value = 0;
    RegKey handle = OpenKey(root, key, KEY_READ);
    if (!handle)
        return false;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(handle.get(), name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return false;
    value = data;
    return true;
}

bool WriteRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                    const std::wstring& text) {
    RegKey handle = CreateKey(root, key);
    if (!handle)
        return false;
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(handle.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

bool WriteRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
    RegKey handle = CreateKey(root, key);
    if (!handle)
        return false;
    return RegSetValueExW(handle.get(), name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof(value)) == ERROR_SUCCESS;
}

bool CreateRegKey(HKEY root, const std::wstring& key) {
    return static_cast<bool>(CreateKey(root, key));
}

bool DeleteRegValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    RegKey handle = OpenKey(root, key, KEY_WRITE);
    if (!handle)
        return false;
    return RegDeleteValueW(handle.get(), name.c_str()) == ERROR_SUCCESS;
}

void DeleteSubKeys(HKEY key) {
    DWORD count = 0;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        count == 0)
        return;
    std::vector<wchar_t> name(static_cast<size_t>(longest) + 1);
    // Walked from the last index down, so deleting a subkey never shifts one still to visit.
    for (DWORD index = count; index-- > 0;) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue;
        RegKey child;
        if (RegOpenKeyExW(key, name.data(), 0, KeyTreeAccess, child.put()) != ERROR_SUCCESS) {
            child.release();
            continue;
        }
        // RegDeleteKeyW on the NT family refuses a key that still has subkeys.
        if (OsPlatformId == VER_PLATFORM_WIN32_NT)
            DeleteSubKeys(child.get());
        RegDeleteKeyW(key, name.data());
    }
}

bool DeleteRegKeyTree(HKEY root, const std::wstring& key) {
    {
        RegKey handle = OpenKey(root, key, KeyTreeAccess);
        if (!handle)
            return false;
        DeleteSubKeys(handle.get());
    }
    std::wstring path = key;
    for (;;) {
        int separator = LastCharPos(path, L'\\');
        if (separator == 0)
            break;
        std::wstring parentPath = path.substr(0, static_cast<size_t>(separator) - 1);
        std::wstring child = path.substr(static_cast<size_t>(separator));
        RegKey parent = OpenKey(root, parentPath, KeyTreeAccess);
        if (!parent)
            break;
        DWORD subKeys = 0;
        DWORD values = 0;
        if (RegQueryInfoKeyW(parent.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        RegDeleteKeyW(parent.get(), child.c_str());
        // An ancestor goes only when the deleted child was all it held.
        if (values > 0 || subKeys > 1)
            break;
        path = parentPath;
    }
    return true;
}

bool DeleteRegSubKeyTree(HKEY root, const std::wstring& parent, const std::wstring& name) {
    if (name.empty())
        return false;  // would name the parent itself
    RegKey parentKey = OpenKey(root, parent, KeyTreeAccess);
    if (!parentKey)
        return false;
    {
        RegKey child;
        if (RegOpenKeyExW(parentKey.get(), name.c_str(), 0, KeyTreeAccess, child.put()) !=
            ERROR_SUCCESS) {
            child.release();
            return true;
        }
        DeleteSubKeys(child.get());
    }
    const LSTATUS status = RegDeleteKeyW(parentKey.get(), name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// ---- Paths ----

std::wstring BaseDir(int dirCode) {
    switch (dirCode) {
    case dcWindows:
        return SystemPath([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); });
    case dcIdeRoot:
        return IsValidProductIndex(CurrentProduct) ? BorlandProducts[CurrentProduct].RootDir
                                                   : std::wstring();
    case dcInstall: return InstallDir;
    case dcIdeHelp:
        return IsValidProductIndex(CurrentProduct)
                   ? BorlandProducts[CurrentProduct].RootDir + L"\\Help\\"
                   : std::wstring();
    case dcTemp:
        return SystemPath([](wchar_t* b, UINT n) { return static_cast<UINT>(GetTempPathW(n, b)); });
    case dcSystem: return SystemPath([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); });
    default: return {};
    }
}

std::wstring InstallSubDir(uint8_t code) {
    switch (code & 0x7F) {
    case sfInstall: return InstallDir;
    case sfSource: return JoinPath(InstallDir, L"Source");
    case sfIde: return JoinPath(InstallDir, CurrentProductDir);
    case sfIdeWin32: return JoinPath(InstallDir, CurrentProductDir + L"\\Win32");
    case sfIdeWin64: return JoinPath(InstallDir, CurrentProductDir + L"\\Win64");
    default: return {};
    }
}

std::wstring JoinPath(const std::wstring& base, const std::wstring& rel) {
    if (base.empty())
        return rel;
    if (base.back() == L'\\')
        return base + rel;
    if (!rel.empty() && rel.front() != L'\\')
        return base + L"\\" + rel;
    return base + rel;
}

std::wstring ItemPath(int dirCode, const std::wstring& name) {
    return JoinPath(BaseDir(dirCode), name);
}

std::wstring NormalizePath(const std::wstring& path) {
    if (path.empty() || path.find(L'\0') != std::wstring::npos)
        return {};
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return {};
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return {};
    full.resize(length);
    const auto isDriveRoot = [&full] { return full.size() == 3 && full[1] == L':'; };
    while (full.size() > 1 && IsSeparator(full.back()) && !isDriveRoot())
        full.pop_back();
    return full;
}

bool IsSameOrBelowPath(const std::wstring& path, const std::wstring& folder) {
    const std::wstring inner = LowerCase(NormalizePath(path));
    const std::wstring outer = LowerCase(NormalizePath(folder));
    if (inner.empty() || outer.empty() || inner.compare(0, outer.size(), outer) != 0)
        return false;
    // A drive root keeps its separator: "c:\x" lies below "c:\".
    return inner.size() == outer.size() || IsSeparator(outer.back()) ||
           IsSeparator(inner[outer.size()]);
}

bool IsSamePath(const std::wstring& a, const std::wstring& b) {
    const std::wstring first = LowerCase(NormalizePath(a));
    return !first.empty() && first == LowerCase(NormalizePath(b));
}

std::wstring LinkRoot(int dirCode) {
    // The IDE's help folder lies below its root, and a link there counts as much as one below.
    return BaseDir(dirCode == dcIdeHelp ? dcIdeRoot : dirCode);
}

bool PassesThroughLink(const std::wstring& root, const std::wstring& path, bool withLeaf) {
    const std::wstring base = NormalizePath(root);
    const std::wstring full = NormalizePath(path);
    if (base.empty() || full.empty() || !IsSameOrBelowPath(full, base))
        return false;
    const auto isLink = [](const std::wstring& entry) {
        const DWORD attributes = GetFileAttributesW(entry.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    for (size_t at = full.find(L'\\', base.size() + 1); at != std::wstring::npos;
         at = full.find(L'\\', at + 1))
        if (isLink(full.substr(0, at)))
            return true;
    return withLeaf && full.size() > base.size() && isLink(full);
}

// ---- Files and directories ----

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

std::wstring CurrentDirectory() {
    return SystemPath(
        [](wchar_t* b, UINT n) { return static_cast<UINT>(GetCurrentDirectoryW(n, b)); });
}

// ---- Processes and versions ----

DWORD WaitKeepingWindowsAlive(HANDLE handle, DWORD timeoutMs) {
    // Waking at least this often keeps Windows from calling the window "Not Responding" even
    // when nothing needs painting.
    constexpr DWORD WakeIntervalMs = 250;
    const ULONGLONG start = GetTickCount64();
    const DWORD handleCount = handle ? 1 : 0;
    for (;;) {
        // PeekMessageW answers the messages other threads and processes sent to this one
        // before it looks at the paint messages it removes.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT))
            DispatchMessageW(&msg);
        DWORD slice = WakeIntervalMs;
        if (timeoutMs != INFINITE) {
            const ULONGLONG elapsed = GetTickCount64() - start;
            if (elapsed >= timeoutMs)
                return handle && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0 ? WAIT_OBJECT_0
                                                                                 : WAIT_TIMEOUT;
            slice = static_cast<DWORD>(std::min<ULONGLONG>(slice, timeoutMs - elapsed));
        }
        const DWORD woken = MsgWaitForMultipleObjects(handleCount, &handle, FALSE, slice,
                                                      QS_PAINT | QS_SENDMESSAGE);
        if (handle && woken == WAIT_OBJECT_0)
            return WAIT_OBJECT_0;
        if (woken == WAIT_FAILED)
            return WAIT_FAILED;
    }
}

DWORD RunHidden(const std::wstring& application, const std::wstring& commandLine,
                const TRunOptions& options, TRunResult& result) {
    result = TRunResult{};
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    DWORD flags = CREATE_NO_WINDOW;
    // The output file goes to the program as an inheritable duplicate, and the attribute list
    // names it as the only handle to inherit: a handle this process made inheritable for any
    // other purpose stays here.
    KernelHandle output;
    std::vector<BYTE> attributeBytes;
    struct AttributeListDeleter {
        void operator()(LPPROC_THREAD_ATTRIBUTE_LIST list) const {
            DeleteProcThreadAttributeList(list);
        }
    };
    std::unique_ptr<std::remove_pointer_t<LPPROC_THREAD_ATTRIBUTE_LIST>, AttributeListDeleter>
        attributes;
    HANDLE inherited = nullptr;
    if (options.Output) {
        const HANDLE self = GetCurrentProcess();
        if (!DuplicateHandle(self, options.Output, self, output.put(), 0, TRUE,
                             DUPLICATE_SAME_ACCESS))
            return LastErrorOr(ERROR_INVALID_HANDLE);
        inherited = output.get();
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributeBytes.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBytes.data());
        if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size))
            return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
        attributes.reset(list);
        if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &inherited,
                                       sizeof(inherited), nullptr, nullptr))
            return LastErrorOr(ERROR_INVALID_PARAMETER);
        startup.lpAttributeList = list;
        startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdOutput = inherited;
        startup.StartupInfo.hStdError = inherited;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    // CreateProcessW may write into the command line, so it gets a private copy.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, inherited != nullptr,
                        flags, nullptr, nullptr, &startup.StartupInfo, &info))
        return LastErrorOr(ERROR_FILE_NOT_FOUND);
    const KernelHandle process(info.hProcess);
    const KernelHandle thread(info.hThread);
    output.reset();  // the program holds its own copy now
    const DWORD waited = options.KeepWindowsAlive
                             ? WaitKeepingWindowsAlive(process.get(), options.TimeoutMs)
                             : WaitForSingleObject(process.get(), options.TimeoutMs);
    result.Ended = waited == WAIT_OBJECT_0 && GetExitCodeProcess(process.get(), &result.ExitCode);
    return 0;
}

DWORD RunAndWait(const std::wstring& program, const std::wstring& params, bool keepWindowsAlive) {
    std::wstring application;
    std::wstring commandLine;
    if (IsBatchFile(program)) {
        // A batch file runs through the system's own cmd.exe, named by full path so no other
        // cmd.exe on the search path can stand in; /s makes cmd strip exactly the outer quotes.
        std::wstring systemDir = BaseDir(dcSystem);
        if (systemDir.empty())
            return LastErrorOr(ERROR_PATH_NOT_FOUND);
        const std::wstring batch = BatchNameForCmd(program);
        if (batch.empty())
            return ERROR_INVALID_NAME;
        application = JoinPath(systemDir, L"cmd.exe");
        commandLine = L"\"" + application + L"\" /s /c \"\"" + batch + L"\"";
        if (!params.empty())
            commandLine += L" " + params;
        commandLine += L"\"";
    } else {
        application = program;
        commandLine = QuotedIfBlank(program);
        if (!params.empty())
            commandLine += L" " + params;
    }
    TRunOptions options;
    options.KeepWindowsAlive = keepWindowsAlive;
    TRunResult ignored;
    return RunHidden(application, commandLine, options, ignored);
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

DWORD GetOsPlatform() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = GetVersionExW(&version);
#pragma GCC diagnostic pop
    if (!ok)
        return 0;
    OsPlatformId = version.dwPlatformId;
    return OsPlatformId;
}

std::wstring SystemErrorText(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    LocalMemory owner(text);
    if (length == 0 || !text)
        return {};
    std::wstring result(text, length);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r'))
        result.pop_back();
    return result;
}

// ---- Text ----

int FindText(const std::wstring& text, const std::wstring& pattern) {
    return ForwardScan(text, pattern);
}

int FindTextA(const std::string& text, const std::string& pattern) {
    return ForwardScan(text, pattern);
}

int LastCharPos(const std::wstring& text, wchar_t ch) {
    size_t position = text.rfind(ch);
    return position == std::wstring::npos ? 0 : static_cast<int>(position + 1);
}

std::wstring LowerCase(std::wstring text) {
    if (!text.empty() && text.size() <= MAXDWORD)
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::string LowerCaseA(std::string text) {
    if (!text.empty() && text.size() <= MAXDWORD)
        CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// ---- Encodings ----

std::string ToAnsi(const std::wstring& text) {
    return WideToMultiByte(CP_ACP, text);
}

std::wstring FromAnsi(const std::string& text) {
    return MultiByteToWide(CP_ACP, text);
}

std::string ToUtf8(const std::wstring& text) {
    return WideToMultiByte(CP_UTF8, text);
}

std::wstring FromUtf8(const std::string& text) {
    return MultiByteToWide(CP_UTF8, text);
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
