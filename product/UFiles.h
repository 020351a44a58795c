// Files and directories: creating and deleting trees, payload resources, versions.
// Each answers a Boolean, a Win32 error code (0 = success) or a bit set, as declared.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The Win32 error of a write that would pass through a link (ERROR_STOPPED_ON_SYMLINK, which
// mingw's winerror.h lacks).
constexpr DWORD ErrorStoppedOnLink = 681;

// DeleteTree result bits.
constexpr DWORD dtFileNotDeleted = 0x80000002;
constexpr DWORD dtSearchCloseFailed = 0x80000004;
constexpr DWORD dtRemoveDirFailed = 0x80000008;
constexpr DWORD dtCheckCloseFailed = 0x80000010;
constexpr DWORD dtDirNotFound = 0x80000020;

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

// The product version (not the file version) of a file's version resource. False when the
// file has no version resource.
bool GetFileProductVersion(const std::wstring& path, DWORD& high, DWORD& low);
