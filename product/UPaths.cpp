#include "product/UPaths.h"

#include "product/UConst.h"
#include "support/UText.h"

#include "product/UProducts.h"

namespace {

// A system directory read into a 260-character buffer; empty when the call fails or the
// directory does not fit.
template <typename Getter> std::wstring SystemPath(Getter getter) {
    wchar_t buffer[MAX_PATH];
    UINT length = getter(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(buffer, length);
}

}  // namespace

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool StartsWithDrive(const std::wstring& path) {
    const auto isLetter = [](wchar_t c) {
        return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
    };
    return path.size() >= 3 && isLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]);
}

bool IsAbsolutePath(const std::wstring& path) {
    return StartsWithDrive(path) ||
           (path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]));
}

std::wstring WithoutDevicePrefix(const std::wstring& path) {
    if (path.size() < 4 || !IsSeparator(path[0]) || !IsSeparator(path[1]) ||
        (path[2] != L'?' && path[2] != L'.') || !IsSeparator(path[3]))
        return path;
    if (path.size() >= 8 && _wcsnicmp(path.c_str() + 4, L"UNC", 3) == 0 && IsSeparator(path[7]))
        return L"\\\\" + path.substr(8);
    return path.substr(4);
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (!path.empty() && IsSeparator(path.back()))
        path.pop_back();
    return path;
}

// A path whose tree deletion would reach a whole drive or share: empty, a bare separator,
// "C:", "C:\", "\\server", "\\server\share" (also behind a "\\?\" or "\\?\UNC\" prefix).
bool IsDriveOrShareRoot(const std::wstring& dir) {
    const std::wstring path =
        WithoutTrailingSeparators(WithoutDevicePrefix(WithoutTrailingSeparators(dir)));
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

std::wstring QuotedIfBlank(const std::wstring& path) {
    if (path.find_first_of(L" \t") == std::wstring::npos)
        return path;
    return L"\"" + path + L"\"";
}

std::wstring DirectoryFromEdit(const std::wstring& text) {
    std::wstring directory = text;
    if (!directory.empty() && IsSeparator(directory.back()))
        directory.pop_back();
    return directory;
}

std::wstring DirectoryOf(const std::wstring& path) {
    const int at = LastCharPos(path, L'\\');
    return at > 0 ? path.substr(0, static_cast<size_t>(at - 1)) : std::wstring();
}

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

std::wstring CurrentDirectory() {
    return SystemPath(
        [](wchar_t* b, UINT n) { return static_cast<UINT>(GetCurrentDirectoryW(n, b)); });
}
