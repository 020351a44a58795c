// The install script run: one object per installation, which executes the item table and writes
// the text log "install.log" and the binary uninstall log "uninst.log".
#pragma once

#include "script/UScriptItems.h"
#include "support/UHandles.h"

#include <string>
#include <vector>

// How long a package build may hold the run: 45 seconds. A tool still running then keeps
// running and the run goes on. Only tests change it.
extern DWORD BuildTimeoutMs;

class TScript {
public:
    // Runs the program's own item table.
    TScript();
    // Runs the items[0..count-1] of any table (count below 0 is taken as 0).
    TScript(const TScriptItem* items, int count);
    virtual ~TScript();
    TScript(const TScript&) = delete;
    TScript& operator=(const TScript&) = delete;

    // Number of items of the table.
    int Count() const { return FItemCount; }
    // The function Start calls to remove the previous installation (the uninstaller's; none by
    // default, so that a table run alone touches no other installation).
    using TPreviousRemover = int (*)();
    void SetPreviousRemover(TPreviousRemover remover) { FPreviousRemover = remover; }
    // Removes a previous installation, opens both logs and starts at the first item. Always 0.
    int Start();
    // Closes the uninstall log, then the install log. Always 0.
    int Stop();

    const std::wstring& LogString() const { return FLogText; }
    bool LogEnable() const { return FLogEnable; }
    void SetLogEnable(bool enable) { FLogEnable = enable; }
    int Current() const { return FCurrent; }
    // The item at Current (a blank item outside the table), for error reports.
    TScriptItem CurrentItem() const { return GetItem(); }
    void SetCurrent(int current) { FCurrent = current; }
    // Items since Start whose ItemDoScript answered non-zero.
    int FailedItemCount() const { return FFailedItems; }
    // The error report of the current item after ItemDoScript answered errorCode: the error box
    // text of the wizard, which a windowless run writes to its log.
    std::wstring ItemErrorText(int errorCode) const;
    // While an item waits for an outside program, this thread's windows paint and answer sent
    // messages (input stays queued). Off unless a window shows the run.
    void SetKeepWindowsAlive(bool keepAlive) { FKeepWindowsAlive = keepAlive; }
    // Writes text + CR LF, UTF-16LE, straight to the install log when it is on. Always 0.
    int WriteLog(const std::wstring& text);

    // The interpreter: one item per ItemDoScript call; the caller advances Current.
    // Steps of the progress bar for the whole run (equals Count).
    int ProgressCount() const;
    // Steps the current item advances the progress bar by; always 1.
    int ItemProgressStep() const;
    // The status text of the current item; left unchanged for items that have none.
    void ItemText(std::wstring& text) const;
    // Skips or executes the current item, writes its log line and uninstall record. 0, or the
    // handler's error code.
    int ItemDoScript();

protected:
    // A copy of the item at Current (a blank item when Current is outside the table).
    TScriptItem GetItem() const;
    // Appends the current item's uninstall record to the uninstall log (nothing when it is not
    // open).
    void WriteBinLogRecord();
    // Creates InstallDir; the result is not needed (opening a log in it reports the failure).
    void ForceInstallDir();
    // Undoes the installation that the Windows uninstall entry names; appends "...Success" to
    // the log text. Always 0.
    int DoRemovePrevious();

    // Item handlers: each builds FLogText and answers 0 (done, also when there was nothing to
    // do), a small negative number for its own failure steps, or a Win32 error code.
    // File items (UScriptFileItems.cpp).
    int DoCreateDir();
    int DoExtractFile(bool overwrite);
    bool IsPayloadNewer();
    int DoCopyFileTo();
    int DoCopyFiles();
    int DoDeleteFile();
    int DoDeleteFiles();
    int DoClearDir();
    int DoMergeFiles();
    int DoCheckFile();
    int DoRunFile();
    int DoSetCurrentDir();
    // Package build items (UScriptBuildItems.cpp).
    int DoCompilePackage();
    // IDE registration items (UScriptIdeItems.cpp).
    int DoRegisterPackage();
    int DoAddSearchPath();
    int DoAddIdePath();
    int DoModifyHelpFile();
    int DoReplaceText();
    // Help and uninstall registration items (UScriptHelpItems.cpp).
    int DoSetHelpDir();
    int DoRegisterWinHelp();
    int DoRegisterHelp();
    int DoCreateRegKey();
    int DoRegisterUninstall();

    int FCurrent = 0;
    int FSkipTypeId = 0;
    int FSkipCode = 0;
    std::wstring FLogText;
    handles::FileHandle FLogHandle;
    bool FLogEnable = true;
    TPreviousRemover FPreviousRemover = nullptr;
    handles::FileHandle FBinLogHandle;
    // The WinHelp directory named by siSetHelpDir, registered by siRegisterWinHelp.
    std::wstring FHelpDir;
    bool FKeepWindowsAlive = false;
    int FFailedItems = 0;
    // The log of the last package build, until the package check after it takes it.
    std::wstring FBuildLog;
    // The build logs written since Start (lower case): a second build of the same project (the
    // 64-bit one) adds to its log instead of replacing it.
    std::vector<std::wstring> FBuildLogsOfRun;
    // A line the current item's error report adds after its log text; empty for most items.
    std::wstring FErrorNote;

private:
    // Creates "install.log" (replacing an old one) and writes its three header lines. 0, or -1
    // when the file cannot be created.
    int OpenLog();
    void CloseLog();
    // Creates "uninst.log" (replacing an old one) and writes its magic. 0, or -1 when the file
    // cannot be created; the Win32 error is then the thread's last error.
    int OpenBinLog();
    void WriteBinLog(const std::string& bytes);
    void CloseBinLog();
    // Runs the item's handler or control action; the handler's result, 0 for the others.
    int RunItem(const TScriptItem& item);
    // Skips the rows up to the next row of type endType with Code key.
    void BeginSkip(uint16_t endType, uint32_t key);
    // siCheckFile: the file check; when it follows a build and fails, the report names the
    // build's log.
    int DoCheckBuiltFile();
    // Creates (first build of the project in this run) or opens for appending the build log
    // beside the project, and writes the command line. An empty handle when it cannot.
    handles::FileHandle OpenBuildLog(const std::wstring& path, const std::wstring& commandLine);

    const TScriptItem* FItems;
    int FItemCount;
};

// The error box text for a failed item: "Error in ScriptItem=..." with the index, the error code,
// the item id (ItemType + Flags * 65536) and the log text; at most 260 characters (a long log
// text is shortened).
std::wstring ScriptErrorText(int index, int errorCode, uint32_t itemId,
                             const std::wstring& logText);
// The install log's three header lines, each without its line break.
std::wstring InstallLogHeader();
// An item's full path, JoinPath(BaseDir(DirCode), Name); a nil Name counts as empty.
std::wstring ItemPathOf(const TScriptItem& item);
// The text of an siProductInfo record for its code (empty for 6 and unknown codes).
std::wstring ProductInfoText(uint32_t code);
// The product's name in the Windows list of installed programs.
std::wstring UninstallDisplayName();
// The uninstaller and the uninstall log of InstallDir, each quoted when it contains a blank.
std::wstring UninstallCommandLine();
// UninstallCommandLine with "/S" before the log: the removal without question or window.
std::wstring QuietUninstallCommandLine();
// The Windows uninstall entry's key below HKEY_LOCAL_MACHINE.
std::wstring UninstallEntryKey();
// Stores the size of what the installation left in InstallDir, in KB, as the uninstall entry's
// "EstimatedSize"; called when the run is over. False when the entry does not exist (nothing is
// created) or the value cannot be written.
bool WriteUninstallSize();
