// The IDE versions the library supports, their detection, and the IDE selection list.
#pragma once

#include <cstdint>
#include <string>

constexpr int BorlandProductCount = 28;

struct TBorlandProduct {
    const wchar_t* Name;        // short tag, written to the install log's list of chosen IDEs
    uint32_t InternalId;        // 1 shl (index - 1): the IDE's bit in every version mask
    std::wstring RootDir;       // installation directory without trailing backslash (detection)
    bool Exists;                // found on this machine (detection)
    bool Selected;              // preselected for installation
    const wchar_t* RegKey;      // the IDE's key below HKEY_CURRENT_USER / HKEY_LOCAL_MACHINE
    const wchar_t* HelpStr[3];  // IDE files the file-modifying items extend; empty slots ""
    bool IsDelphi;              // has bin\dcc32.exe (false: C++Builder, recognised by make.exe)
    bool Is32and64;             // keeps separate Win32 and Win64 output folders
};

// Indexed 1..BorlandProductCount as the script items and uninstall records number them;
// entry 0 is an unused blank so that the index is the IDE's number everywhere.
extern TBorlandProduct BorlandProducts[BorlandProductCount + 1];

// The IDE that the script block or uninstall block being executed concerns (1..28; any other
// value means none), and its sub-directory inside the installation directory.
extern int CurrentProduct;
extern std::wstring CurrentProductDir;

// True when 1 <= index <= BorlandProductCount.
inline bool IsValidProductIndex(int index) {
    return index >= 1 && index <= BorlandProductCount;
}
