// Reading a whole file into memory, with one bound for every file the programs read whole.
#pragma once

#include <windows.h>

#include <string>

// The largest file ReadWholeFile reads: far larger than any log an installation writes or any
// IDE file it edits; a bigger file is not one of ours and is not read into memory.
constexpr DWORD MaxWholeFileBytes = 16 * 1024 * 1024;
// The whole content of an open file, read from its start. False when its size is unavailable,
// over MaxWholeFileBytes, or the read fails.
bool ReadWholeFile(HANDLE file, std::string& data);
// The same for the file at path, opened for reading with no sharing.
bool ReadWholeFile(const std::wstring& path, std::string& data);
