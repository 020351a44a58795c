#include "script/UScript.h"

#include "product/UCommandLine.h"
#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProcess.h"
#include "product/UProducts.h"
#include "script/UUninstLog.h"
#include "support/UText.h"

using handles::FileHandle;

namespace {

constexpr size_t ErrorTextRoom = 260;  // characters the specified part of an error report holds

FileHandle CreateLogFile(const std::wstring& name) {
    // Exclusive while the run writes it; an old log of an earlier run is replaced.
    return FileHandle(CreateFileW(JoinPath(InstallDir, name).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Write errors are not the run's business: the logs are an account, not a precondition.
void WriteBytes(const FileHandle& file, const void* data, size_t size) {
    if (!file || size == 0 || size > MAXDWORD)
        return;
    DWORD written = 0;
    WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr);
}

std::wstring ChosenProductNames() {
    std::wstring names;
    for (int index = 1; index <= BorlandProductCount; ++index) {
        const TBorlandProduct& product = BorlandProducts[index];
        if ((product.InternalId & InstallVersions) != 0 && product.Selected)
            names += std::wstring(product.Name) + L",";
    }
    if (!names.empty() && names.back() == L',')
        names.pop_back();
    return names;
}

}  // namespace

std::wstring ScriptErrorText(int index, int errorCode, uint32_t itemId,
                             const std::wstring& logText) {
    wchar_t head[128];
    swprintf(head, 128, L"Error in ScriptItem=%d, ErrorCode=%xh ScriptItemId=%x with text\r\n",
             index, static_cast<unsigned>(errorCode), static_cast<unsigned>(itemId));
    std::wstring text = head + logText;
    // A long log line is cut so the whole text keeps to its room; "..." shows the cut.
    if (text.size() > ErrorTextRoom)
        text = text.substr(0, ErrorTextRoom - 3) + L"...";
    return text;
}

std::wstring InstallLogHeader() {
    return L"Start installation for " + ProductTitle() + L"\r\nRootPath: " + InstallDir +
           L"\r\nBorland products: " + ChosenProductNames();
}

std::wstring ProductInfoText(uint32_t code) {
    switch (code) {
    case piProductName: return sProductName;
    case piProductVersion: return sProductVersion;
    case piProductType: return sProductType;
    case piInstallDir: return InstallDir;
    case piProductRegKey: return sProductRegKey;
    case piUninstallEntryName: return sUninstallEntryName;
    default: return {};
    }
}

TScript::TScript() : TScript(ScriptItems, ScriptItemRows) {}

TScript::TScript(const TScriptItem* items, int count)
    : FItems(items), FItemCount(items && count > 0 ? count : 0) {}

TScript::~TScript() {
    Stop();
}

int TScript::Start() {
    DoRemovePrevious();
    FLogText.clear();
    FFailedItems = 0;
    FBuildLog.clear();
    FBuildLogsOfRun.clear();
    FErrorNote.clear();
    if (FLogEnable)
        OpenLog();
    if (OpenBinLog() != 0) {
        const DWORD error = GetLastError();
        if (FLogEnable) {
            FLogText = SystemErrorText(error);
            WriteLog(FLogText);
        }
    }
    FCurrent = 0;
    return 0;
}

int TScript::Stop() {
    CloseBinLog();
    CloseLog();
    return 0;
}

TScriptItem TScript::GetItem() const {
    if (FCurrent < 0 || FCurrent >= FItemCount)
        return TScriptItem{};
    return FItems[FCurrent];
}

void TScript::ForceInstallDir() {
    CreateDirectoryPath(InstallDir);
}

int TScript::OpenLog() {
    ForceInstallDir();
    FileHandle file = CreateLogFile(sInstallLogName);
    if (!file)
        return -1;
    FLogHandle = std::move(file);
    FLogEnable = true;
    WriteLog(InstallLogHeader());
    return 0;
}

int TScript::WriteLog(const std::wstring& text) {
    if (!FLogEnable)
        return 0;
    // wchar_t is the UTF-16LE unit on this target, so the string's bytes are the file's bytes.
    const std::wstring line = text + L"\r\n";
    WriteBytes(FLogHandle, line.data(), line.size() * sizeof(wchar_t));
    return 0;
}

void TScript::CloseLog() {
    FLogHandle.reset();
}

int TScript::OpenBinLog() {
    FBinLogHandle.reset();
    ForceInstallDir();
    FileHandle file = CreateLogFile(sUninstLogName);
    if (!file)
        return -1;  // CreateFileW's error stays the last error for the caller
    FBinLogHandle = std::move(file);
    WriteBinLog(std::string(UninstLogMagic, UninstMagicSize));
    return 0;
}

void TScript::WriteBinLog(const std::string& bytes) {
    WriteBytes(FBinLogHandle, bytes.data(), bytes.size());
}

void TScript::WriteBinLogRecord() {
    if (!FBinLogHandle || FCurrent < 0 || FCurrent >= FItemCount)
        return;
    const TScriptItem& item = FItems[FCurrent];
    std::wstring text = item.ItemType == siProductInfo ? ProductInfoText(item.Code)
                                                       : std::wstring(item.Name ? item.Name : L"");
    int32_t dirCode = item.DirCode;
    if (item.ItemType == siCopyFileTo) {
        // The copy's undo deletes the destination, never the source.
        text = item.Dest ? item.Dest->FileName : L"";
        dirCode = item.Dest ? item.Dest->DirCode : 0;
    }
    const uint32_t kind = ItemIdOf(item);
    // An over-long text gives no record at all rather than one naming a different path.
    WriteBinLog(EncodeUninstRecord(kind, item.Code, dirCode, ToUtf8(text)));
}

void TScript::CloseBinLog() {
    FBinLogHandle.reset();
}

int TScript::DoRemovePrevious() {
    if (FPreviousRemover)
        FPreviousRemover();
    FLogText += L"...Success";
    return 0;
}

// ---- The interpreter ----

std::wstring ItemPathOf(const TScriptItem& item) {
    return ItemPath(item.DirCode, item.Name ? item.Name : L"");
}

int TScript::ProgressCount() const {
    return Count();
}

int TScript::ItemProgressStep() const {
    return 1;
}

void TScript::ItemText(std::wstring& text) const {
    if (FCurrent < 0 || FCurrent >= FItemCount)
        return;
    switch (FItems[FCurrent].ItemType) {
    case siCompilePackage: text = L"Compiling package"; break;
    case siCreateDir: text = L"Creating directory"; break;
    case siExtractFile: text = L"Copying file"; break;
    default: break;  // the page keeps showing the text of the last item that had one
    }
}

int TScript::ItemDoScript() {
    if (FCurrent < 0 || FCurrent >= FItemCount)
        return 0;
    const TScriptItem& item = FItems[FCurrent];
    if (FSkipTypeId > 0) {
        // Only the end row of the opener's own type and key closes the block, so inner blocks
        // with other keys pass unevaluated.
        if (item.ItemType == FSkipTypeId && item.Code == static_cast<uint32_t>(FSkipCode)) {
            FSkipTypeId = 0;
            FSkipCode = 0;
        }
        return 0;
    }
    FLogText.clear();
    FErrorNote.clear();
    // A copy-only run writes the files but leaves the IDEs alone; control items still run so
    // that blocks and the current IDE stay right.
    if (CopyOnly && (item.ItemType & siFileOrControlBits) == 0)
        return 0;
    // Running out of memory while building a path or a line fails the item, not the run.
    int result = ERROR_NOT_ENOUGH_MEMORY;
    try {
        result = RunItem(item);
    } catch (...) {
    }
    try {
        if (FLogEnable && !FLogText.empty())
            WriteLog(FLogText);
        // The record goes in also after a failure: the uninstaller must undo what was half done.
        if (item.Flags & ifLogUninstall)
            WriteBinLogRecord();
    } catch (...) {
    }
    if (result != 0)
        ++FFailedItems;
    return result;
}

std::wstring TScript::ItemErrorText(int errorCode) const {
    const std::wstring text = ScriptErrorText(FCurrent, errorCode, ItemIdOf(GetItem()), FLogText);
    // The note comes after the cut text, so a long log line cannot hide it.
    return FErrorNote.empty() ? text : text + L"\r\n" + FErrorNote;
}

void TScript::BeginSkip(uint16_t endType, uint32_t key) {
    FSkipTypeId = endType;
    FSkipCode = static_cast<int>(key);
}

int TScript::RunItem(const TScriptItem& item) {
    switch (item.ItemType) {
    case siCompilePackage: return DoCompilePackage();
    case siRegisterPackage: return DoRegisterPackage();
    case siAddSearchPath: return DoAddSearchPath();
    case siAddIdePath: return DoAddIdePath();
    case siModifyHelpFile: return DoModifyHelpFile();
    case siReplaceText: return DoReplaceText();
    case siRegisterWinHelp: return DoRegisterWinHelp();
    case siSetHelpDir: return DoSetHelpDir();
    case siCreateRegKey: return DoCreateRegKey();
    case siRegisterHelp: return DoRegisterHelp();
    case siRegisterUninstall: return DoRegisterUninstall();
    case siRemovePrevious: return DoRemovePrevious();
    case siDeleteFile: return DoDeleteFile();
    case siCheckFile: return DoCheckBuiltFile();
    case siCopyFiles: return DoCopyFiles();
    case siDeleteFiles: return DoDeleteFiles();
    case siMergeFiles: return DoMergeFiles();
    case siRunFile: return DoRunFile();
    case siCreateDir: return DoCreateDir();
    case siClearDir: return DoClearDir();
    case siSetCurrentDir: return DoSetCurrentDir();
    case siCopyFileTo: return DoCopyFileTo();
    case siExtractFile: return DoExtractFile(true);
    case siExtractFileIfAbsent: return DoExtractFile(false);
    case siExtractFileIfNewer:
        if (IsPayloadNewer())
            return DoExtractFile(true);
        FLogText = L"Copying file: " + ItemPathOf(item) + L"...Already";
        return 0;
    case siSetIde:
        CurrentProduct = static_cast<int>(item.Code);
        CurrentProductDir = item.Name ? item.Name : L"";
        return 0;
    case siIfVersions:
        if ((item.Code & InstallVersions) == 0)
            BeginSkip(siEndIfVersions, item.Code);
        return 0;
    case siIfItems:
        if ((item.Code & InstallItems) == 0)
            BeginSkip(siEndIfItems, item.Code);
        return 0;
    case siIfCustomize:
        if ((item.Code & CustomizeItems) == 0)
            BeginSkip(siEndIfCustomize, item.Code);
        return 0;
    case siIfNotCustomize:
        if ((item.Code & CustomizeItems) != 0)
            BeginSkip(siEndIfNotCustomize, item.Code);
        return 0;
    case siIfFileExists:
        // The check writes its line either way; a missing file only skips the block.
        if (DoCheckFile() != 0)
            BeginSkip(siEndIfFileExists, item.Code);
        return 0;
    default: return 0;  // end rows, siProductInfo and unknown types do nothing
    }
}
