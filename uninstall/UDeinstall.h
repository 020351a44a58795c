// The uninstaller: undoes an installation from its binary uninstall log, last action first.
#pragma once

#include <windows.h>

#include "script/UUninstLog.h"

#include <cstdint>
#include <string>
#include <vector>

// What the walk tells whoever shows it; the uninstaller's window implements it.
class IDeinstallProgress {
public:
    virtual ~IDeinstallProgress() = default;
    // The walk begins: the page's text and the number of log bytes the walk covers.
    virtual void WalkStarted(const std::wstring& pageText, size_t span) = 0;
    // What is done with the record at hand ("Removing file", "Skipping", ...).
    virtual void RecordStatus(const std::wstring& status) = 0;
    // A record of this many log bytes was walked.
    virtual void RecordWalked(size_t length) = 0;
    // The walk ended, however it ended.
    virtual void WalkEnded() = 0;
};

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
    // Reports the walk's progress there (null: nowhere); it must outlive the walk. Always 0.
    int SetProgress(IDeinstallProgress* progress);
    // Reads the header records (InstallDir := the logged installation directory) and sets up the
    // walk. 0, or -1 when no sound log is loaded.
    int PrepareDeinstall();
    // Undoes the records, last first, keeping the ones marked for a partial uninstall when
    // flPartialUninstall is set. Always 0.
    int DoDeinstall();

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
    void ReportStatus(const std::wstring& status) const;

    IDeinstallProgress* FProgress = nullptr;
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
