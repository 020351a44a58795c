// Paths: the directory and sub-folder codes of the item table, joining, normalising and
// comparing paths, and the link and root tests that keep file actions where they belong.
#pragma once

#include <cstdint>
#include <string>

// Directory codes of script items and uninstall records (BaseDir).
enum : int {
    dcWindows = 1,
    dcIdeRoot = 2,
    dcInstall = 3,
    dcIdeHelp = 4,
    dcTemp = 5,
    dcSystem = 6,
};

// Sub-folder codes of the IDE registration items (InstallSubDir).
enum : uint8_t {
    sfInstall = 0,
    sfSource = 1,
    sfIde = 2,
    sfIdeWin32 = 3,
    sfIdeWin64 = 4,
};

// A path separator: a backslash or a slash.
bool IsSeparator(wchar_t c);
// "X:\" or "X:/" at the start, X a letter.
bool StartsWithDrive(const std::wstring& path);
// The path without a "\\?\" or "\\.\" device prefix ("\\?\UNC\server" becomes "\\server"), so
// that a prefixed path compares like the plain one.
std::wstring WithoutDevicePrefix(const std::wstring& path);
// path without the separators at its end.
std::wstring WithoutTrailingSeparators(std::wstring path);
// A path whose tree deletion would reach a whole drive or share: empty, a bare separator,
// "C:", "C:\", "\\server", "\\server\share" (also behind a "\\?\" or "\\?\UNC\" prefix).
bool IsDriveOrShareRoot(const std::wstring& dir);
// The path in double quotes when it holds a blank or a tab (which would split it on a command
// line); unchanged otherwise.
std::wstring QuotedIfBlank(const std::wstring& path);
// A typed folder (the directory page's edit box, /DIR=): one trailing "\" or "/" dropped.
// (What CheckInstallDir accepts is stored in its normalised form instead.)
std::wstring DirectoryFromEdit(const std::wstring& text);
// The part of path before its last backslash; empty when it has none.
std::wstring DirectoryOf(const std::wstring& path);
// The directory of a directory code (dcWindows..dcSystem); empty for any other code.
std::wstring BaseDir(int dirCode);
// The installation sub-folder of a sub-folder code (low 7 bits count); empty for unknown codes.
std::wstring InstallSubDir(uint8_t code);
// base and rel joined by exactly the backslash rules of the script (no other normalisation).
std::wstring JoinPath(const std::wstring& base, const std::wstring& rel);
// Full path of a script item or uninstall record: JoinPath(BaseDir(dirCode), name).
std::wstring ItemPath(int dirCode, const std::wstring& name);
// A drive path ("C:\...") or a UNC path ("\\server\..."). Anything else is resolved against the
// current directory or drive, so a file action on it could reach what the program never made.
bool IsAbsolutePath(const std::wstring& path);
// path made absolute against the current directory and normalised as GetFullPathNameW does,
// without a trailing separator except after a drive root ("C:\"); empty when it cannot be made.
std::wstring NormalizePath(const std::wstring& path);
// True when path is folder or lies below it, both normalised and compared letter case aside;
// false when either cannot be normalised.
bool IsSameOrBelowPath(const std::wstring& path, const std::wstring& folder);
// True when both paths normalise to the same path, letter case aside; false when either cannot.
bool IsSamePath(const std::wstring& a, const std::wstring& b);
// The folder below which a path of this directory code must not pass through a link: the
// current IDE's root for its help folder (dcIdeHelp), BaseDir(dirCode) otherwise.
std::wstring LinkRoot(int dirCode);
// True when a folder of path below root, or path itself when withLeaf, is a reparse point (a
// link or junction). False for a path that does not lie below root.
bool PassesThroughLink(const std::wstring& root, const std::wstring& path, bool withLeaf);

// The process's current directory (empty on failure).
std::wstring CurrentDirectory();
