// Registry, path, file, process, version and text-search utilities shared by every unit.
// None of them throws a Win32 failure at its caller: each answers a Boolean, a Win32 error
// code (0 = success) or a bit set, as stated on its declaration.
#pragma once

#include <windows.h>

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

// The Win32 error of a write that would pass through a link (ERROR_STOPPED_ON_SYMLINK, which
// mingw's winerror.h lacks).
constexpr DWORD ErrorStoppedOnLink = 681;

// DeleteTree result bits.
constexpr DWORD dtFileNotDeleted = 0x80000002;
constexpr DWORD dtSearchCloseFailed = 0x80000004;
constexpr DWORD dtRemoveDirFailed = 0x80000008;
constexpr DWORD dtCheckCloseFailed = 0x80000010;
constexpr DWORD dtDirNotFound = 0x80000020;

// Platform id read once at start-up by GetOsPlatform; 2 = NT family.
extern DWORD OsPlatformId;

// ---- Registry (each opens and closes its own key) ----

// True and the value when it is a REG_SZ; false and empty text otherwise.
bool ReadRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                   std::wstring& text);
// True when a value of up to 4 bytes was read (its type is not checked); value 0 otherwise.
bool ReadRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD& value);
// Creates the key when needed and stores a REG_SZ with its terminator. True on success.
bool WriteRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                    const std::wstring& text);
// Creates the key when needed and stores a REG_DWORD. True on success.
bool WriteRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
// Creates or opens the key and closes it. True on success.
bool CreateRegKey(HKEY root, const std::wstring& key);
// False when the key cannot be opened for writing or the value not deleted.
bool DeleteRegValue(HKEY root, const std::wstring& key, const std::wstring& name);
// Deletes every subkey of an open key, deepest first; unreadable subkeys are skipped.
void DeleteSubKeys(HKEY key);
// Deletes the key's subtree, the key, and each ancestor this left empty. False only when the
// key itself cannot be opened.
bool DeleteRegKeyTree(HKEY root, const std::wstring& key);
// Deletes the subkey `name` of root\parent with its whole subtree, and nothing above it. True
// when it is gone afterwards (also when it was never there).
bool DeleteRegSubKeyTree(HKEY root, const std::wstring& parent, const std::wstring& name);

// ---- Paths ----

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

// ---- Files and directories ----

// Creates every missing level of path. Win32 error code; 0 also when all levels existed.
// Paths over 261 characters: ERROR_FILENAME_EXCED_RANGE, nothing created. Empty path: 0.
DWORD CreateDirectoryPath(const std::wstring& path);
// Deletes dir's files and subdirectories, then dir unless keepRoot. Bit set (dt...), 0 = all
// removed. Refuses an empty path, a drive or a share root (dtDirNotFound); never descends
// into a reparse point (the link itself is removed).
DWORD DeleteTree(const std::wstring& dir, bool keepRoot);
// The bytes of payload resource id (type VKLIB) of the program's own module, valid for the
// process's life. Win32 error code; data null and size 0 on failure.
DWORD FindPayload(int id, const void*& data, DWORD& size);
// Writes payload resource id (type VKLIB) of the program's own module to path, replacing an
// existing file. Win32 error code.
DWORD ExtractResourceFile(int id, const std::wstring& path);
// Deletes a file; a link in its place goes as the link, never its target. True when deleted.
bool DeleteFileOrLink(const std::wstring& path);
// True when path names an existing file (not a directory); links are followed.
bool FileExists(const std::wstring& path);
// True when path names an existing directory; links are followed.
bool DirectoryExists(const std::wstring& path);
// Total size in bytes of the files below dir (subdirectories included, reparse points neither
// followed nor counted); 0 for a missing directory.
uint64_t DirectorySize(const std::wstring& dir);
// The process's current directory (empty on failure).
std::wstring CurrentDirectory();

// ---- Processes and versions ----

// How RunHidden waits for the program it starts, and where the program's output goes.
struct TRunOptions {
    // The wait's bound; a program still running after it keeps running.
    DWORD TimeoutMs = INFINITE;
    // A file that receives the program's standard output and error; null: no output handles.
    // It is the only handle the program inherits.
    HANDLE Output = nullptr;
    // While waiting, this thread's windows paint and answer sent messages; input and posted
    // messages stay queued for the caller.
    bool KeepWindowsAlive = false;
};
struct TRunResult {
    bool Ended = false;  // the program ended within the bound
    DWORD ExitCode = 0;  // valid when Ended
};
// Starts commandLine hidden, with application as the program file (no path search, no tries of
// an unquoted path's prefixes), and waits as options say. Win32 error code of the start.
DWORD RunHidden(const std::wstring& application, const std::wstring& commandLine,
                const TRunOptions& options, TRunResult& result);
// Starts program (full path; a .bat/.cmd runs through the system's cmd.exe) with parameters,
// hidden, and waits for it to end. Win32 error code of the start; the exit code is not read.
DWORD RunAndWait(const std::wstring& program, const std::wstring& params,
                 bool keepWindowsAlive = false);
// Waits for handle (null: only lets the time pass) at most timeoutMs while this thread's windows
// paint and answer sent messages; input and posted messages stay queued. WAIT_OBJECT_0,
// WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitKeepingWindowsAlive(HANDLE handle, DWORD timeoutMs);
// The product version (not the file version) of a file's version resource. False when the
// file has no version resource.
bool GetFileProductVersion(const std::wstring& path, DWORD& high, DWORD& low);
// Reads the platform id into OsPlatformId and returns it (0 when it cannot be read).
DWORD GetOsPlatform();
// The system's message text for a Win32 error code, without the trailing line break.
std::wstring SystemErrorText(DWORD code);

// ---- Text ----

// 1-based position of pattern in text by a single forward scan without backtracking; 0 when
// absent or when either string is empty.
int FindText(const std::wstring& text, const std::wstring& pattern);
int FindTextA(const std::string& text, const std::string& pattern);
// 1-based position of the last ch in text; 0 when absent.
int LastCharPos(const std::wstring& text, wchar_t ch);
// Lower-cased copies with the system's lower-casing (CharLowerBuffW / CharLowerBuffA).
std::wstring LowerCase(std::wstring text);
std::string LowerCaseA(std::string text);

// ---- Encodings: the one place that converts between UTF-16 and 8-bit text ----

std::string ToAnsi(const std::wstring& text);  // system ANSI code page
std::wstring FromAnsi(const std::string& text);
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
