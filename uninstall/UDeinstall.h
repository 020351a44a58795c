// The uninstaller: undoes an installation from its binary uninstall log, last action first.
#pragma once

#include <windows.h>

#include "uninstall/UUninstLog.h"
#include "product/UResourceIds.h"

#include <cstdint>
#include <string>
#include <vector>

class TDeinstall {
public:
    TDeinstall();
    virtual ~TDeinstall();
    TDeinstall(const TDeinstall&) = delete;
    TDeinstall& operator=(const TDeinstall&) = delete;

    // Loads and checks the whole log: 0 = loaded and sound; ulCannotOpen (-2), ulEmpty (-3),
    // ulBadMagic (-4), or ulDamaged (-5) for records that would lead outside the file, an
    // incomplete header, or records that reach outside what an installation writes
    // (IsLogConfined). Nothing is kept of a rejected log.
    int PrepareUninstFile(const std::wstring& fileName);
    // Shows the walk's progress in this dialog (0: none). Always 0.
    int SetDialogHandle(HWND dialog);
    // Reads the header records (InstallDir := the logged installation directory) and sets up the
    // walk. 0, or -1 when no sound log is loaded.
    int PrepareDeinstall();
    // Undoes the records, last first, keeping the ones marked for a partial uninstall when
    // flPartialUninstall is set. Always 0.
    int DoDeinstall();

    bool flWithDialog = false;
    std::string FUnInstFileVersion;
    std::wstring ProductName;
    std::wstring ProductVersion;
    std::wstring ProductType;
    std::wstring ProductRegKey;
    std::wstring ProductIntName;
    std::wstring sMainText;
    std::wstring sProductText;
    bool flPartialUninstall = false;

private:
    // The next record in walk direction; false at the end of the walk.
    bool ReadRecord(TUninstRecord& record);
    // Undoes one record. 0, or the error that ends the walk.
    DWORD UndoRecord(const TUninstRecord& record);
    void SetItemText(int id, const std::wstring& text) const;
    void ShowWalkStart(size_t span) const;

    HWND FDlgHandle = nullptr;
    std::vector<uint8_t> Buf;  // the whole log; BufSize is its size
    bool FPrepared = false;
    size_t P = 0;
    size_t PBegin = 0;
    size_t PEnd = 0;
    bool ReadBackward = false;
};

// Removes the first entry equal to path (letter case aside) from a ";"-separated directory list
// value, with one separator next to it, and writes the value back as REG_SZ. True when an entry
// was removed; a missing value, an empty path or no such entry changes nothing.
bool RemoveSearchPathEntry(HKEY root, const std::wstring& key, const std::wstring& valueName,
                           const std::wstring& path);
// The list without its first entry equal to path (letter case aside); unchanged when none is.
std::wstring WithoutSearchPathEntry(const std::wstring& list, const std::wstring& path);

// True for a directory whose tree must never be removed: an empty or relative path, a drive or
// share root, the Windows, system, Program Files, profile or temporary directories, and every
// directory above one of them.
bool IsProtectedDirectory(const std::wstring& path);
