// Handlers of the file items: directories, payload files, copies, deletions, the keyword-file
// merge, file checks, running a program and the current directory.
#include "script/UScript.h"

#include "product/UCommandLine.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProcess.h"
#include "support/ULastError.h"
#include "support/UText.h"
#include "support/UbrmStringList.h"

#include <atomic>

using handles::FileHandle;
using handles::FindHandle;

namespace {

const wchar_t* const sSuccess = L"...Success";
const wchar_t* const sFail = L"...Fail";
const wchar_t* const sAlready = L"...Already";

const wchar_t* Outcome(DWORD error) {
    return error == 0 ? sSuccess : sFail;
}

std::wstring TextOf(const wchar_t* text) {
    return text ? text : L"";
}

// The part of path up to and including its last backslash; empty when it has none.
std::wstring DirectoryPart(const std::wstring& path) {
    return path.substr(0, static_cast<size_t>(LastCharPos(path, L'\\')));
}

bool IsDotEntry(const wchar_t* name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

bool AnyMatch(const std::wstring& pattern) {
    WIN32_FIND_DATAW entry;
    return static_cast<bool>(FindHandle(FindFirstFileW(pattern.c_str(), &entry)));
}

// The installation makes no links, so it never writes through one: a target below its directory
// code's root that is a link, or lies in a folder that is one, refuses the write.
bool WritesThroughLink(int dirCode, const std::wstring& path) {
    return PassesThroughLink(LinkRoot(dirCode), path, true);
}

// A payload copy in the temporary directory that is gone again when the object goes. The file
// is created under a fresh name that must not exist yet, so nothing planted there (a file or a
// link) is ever written through.
class TempPayloadFile {
public:
    TempPayloadFile() = default;
    TempPayloadFile(const TempPayloadFile&) = delete;
    TempPayloadFile& operator=(const TempPayloadFile&) = delete;
    ~TempPayloadFile() {
        if (!FPath.empty())
            DeleteFileW(FPath.c_str());
    }

    // Writes payload id to a new file; 0 or a Win32 error code (nothing is left on failure).
    DWORD Write(int id) {
        const void* data = nullptr;
        DWORD size = 0;
        if (const DWORD error = FindPayload(id, data, size))
            return error;
        const std::wstring directory = BaseDir(dcTemp);
        if (directory.empty())
            return LastErrorOr(ERROR_PATH_NOT_FOUND);
        FileHandle file;
        DWORD error = ERROR_FILE_EXISTS;
        for (int attempt = 0; attempt < 100 && error == ERROR_FILE_EXISTS; ++attempt) {
            FPath = JoinPath(directory, UniqueName());
            file.reset(CreateFileW(FPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY, nullptr));
            error = file ? 0 : LastErrorOr(ERROR_CANNOT_MAKE);
            if (error == ERROR_ALREADY_EXISTS)
                error = ERROR_FILE_EXISTS;
        }
        if (error != 0) {
            FPath.clear();  // not ours: never delete a file this object did not create
            return error;
        }
        DWORD written = 0;
        if (!WriteFile(file.get(), data, size, &written, nullptr) || written != size)
            return LastErrorOr(ERROR_HANDLE_DISK_FULL);
        if (!file.reset())
            return LastErrorOr(ERROR_WRITE_FAULT);
        return 0;
    }

    const std::wstring& Path() const { return FPath; }

private:
    static std::wstring UniqueName() {
        static std::atomic<unsigned> counter{0};
        wchar_t name[64];
        swprintf(name, 64, L"vkl%lx-%llx-%x.tmp", GetCurrentProcessId(),
                 static_cast<unsigned long long>(GetTickCount64()), ++counter);
        return name;
    }

    std::wstring FPath;
};

}  // namespace

int TScript::DoCreateDir() {
    const TScriptItem item = GetItem();
    const std::wstring path = ItemPathOf(item);
    const DWORD error =
        WritesThroughLink(item.DirCode, path) ? ErrorStoppedOnLink : CreateDirectoryPath(path);
    FLogText = L"Creating directory: " + path;
    if (error == 0)
        FLogText += sSuccess;
    else
        FLogText += std::wstring(sFail) + L". " + SystemErrorText(error);
    return static_cast<int>(error);
}

int TScript::DoExtractFile(bool overwrite) {
    const TScriptItem item = GetItem();
    const std::wstring path = ItemPathOf(item);
    if (!overwrite && AnyMatch(path)) {
        FLogText = L"Copying file: " + path + sAlready;
        return 0;
    }
    const DWORD error = WritesThroughLink(item.DirCode, path)
                            ? ErrorStoppedOnLink
                            : ExtractResourceFile(static_cast<int>(item.Code), path);
    FLogText = L"Copying file: " + path + Outcome(error);
    return static_cast<int>(error);
}

bool TScript::IsPayloadNewer() {
    const TScriptItem item = GetItem();
    DWORD targetHigh = 0;
    DWORD targetLow = 0;
    if (!GetFileProductVersion(ItemPathOf(item), targetHigh, targetLow))
        return true;
    // Any doubt about the payload's version means it is written: an unreadable copy can only
    // be judged by writing the real one.
    TempPayloadFile payload;
    DWORD payloadHigh = 0;
    DWORD payloadLow = 0;
    if (payload.Write(static_cast<int>(item.Code)) != 0 ||
        !GetFileProductVersion(payload.Path(), payloadHigh, payloadLow))
        return true;
    return payloadHigh > targetHigh || (payloadHigh == targetHigh && payloadLow > targetLow);
}

int TScript::DoCopyFileTo() {
    const TScriptItem item = GetItem();
    const std::wstring source = ItemPathOf(item);
    const std::wstring target =
        item.Dest ? ItemPath(item.Dest->DirCode, TextOf(item.Dest->FileName)) : std::wstring();
    // A copy-only run builds nothing, so a package it would copy is not there to copy: nothing
    // to do, as for the build itself.
    if (CopyOnly && !FileExists(source))
        return 0;
    DWORD error = 0;
    if (item.Dest && WritesThroughLink(item.Dest->DirCode, target))
        error = ErrorStoppedOnLink;
    else if (!CopyFileW(source.c_str(), target.c_str(), FALSE))
        error = LastErrorOr(ERROR_CANNOT_COPY);
    FLogText = L"Copying file: from " + source + L" to " + target + L" " + Outcome(error);
    return static_cast<int>(error);
}

int TScript::DoCopyFiles() {
    const TScriptItem item = GetItem();
    const std::wstring sourcePattern = ItemPathOf(item);
    const std::wstring targetPattern = ItemPath(item.DestDirCode, TextOf(item.Text2));
    const std::wstring sourceDir = DirectoryPart(sourcePattern);
    // Only the destination's directory counts; each copy keeps its own name.
    const std::wstring targetDir = DirectoryPart(targetPattern);
    DWORD error = 0;
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW(sourcePattern.c_str(), &entry));
    if (search) {
        do {
            if (IsDotEntry(entry.cFileName))
                continue;
            const std::wstring target = targetDir + entry.cFileName;
            if (WritesThroughLink(item.DestDirCode, target))
                error = ErrorStoppedOnLink;
            else if (!CopyFileW((sourceDir + entry.cFileName).c_str(), target.c_str(), FALSE))
                error = LastErrorOr(ERROR_CANNOT_COPY);
        } while (error == 0 && FindNextFileW(search.get(), &entry));
    }
    FLogText =
        L"Copying file: from " + sourcePattern + L" to " + targetPattern + L" " + Outcome(error);
    return static_cast<int>(error);
}

int TScript::DoDeleteFile() {
    const TScriptItem item = GetItem();
    const std::wstring path = ItemPathOf(item);
    // Deletion results are not reported: a file reached through a linked folder is passed over.
    if (!PassesThroughLink(LinkRoot(item.DirCode), path, false))
        DeleteFileOrLink(path);
    FLogText = L"Deleting file: " + path + sSuccess;
    return 0;
}

int TScript::DoDeleteFiles() {
    const TScriptItem item = GetItem();
    const std::wstring pattern = ItemPathOf(item);
    const std::wstring dir = DirectoryPart(pattern);
    WIN32_FIND_DATAW entry;
    FindHandle search(PassesThroughLink(LinkRoot(item.DirCode), pattern, false)
                          ? INVALID_HANDLE_VALUE
                          : FindFirstFileW(pattern.c_str(), &entry));
    if (search) {
        do {
            if (!IsDotEntry(entry.cFileName))
                DeleteFileOrLink(dir + entry.cFileName);
        } while (FindNextFileW(search.get(), &entry));
    }
    FLogText = L"Deleting files: " + pattern + sSuccess;
    return 0;
}

int TScript::DoClearDir() {
    const TScriptItem item = GetItem();
    const std::wstring path = ItemPathOf(item);
    const DWORD errors = PassesThroughLink(LinkRoot(item.DirCode), path, false)
                             ? ErrorStoppedOnLink
                             : DeleteTree(path, true);
    FLogText = L"Clearing directory: " + path + Outcome(errors);
    return 0;
}

int TScript::DoMergeFiles() {
    const TScriptItem item = GetItem();
    const std::wstring source = ItemPathOf(item);
    const std::wstring target = ItemPath(item.DestDirCode, TextOf(item.Text2));
    // Like every file item the merge reports nothing but its line: a link leaves it undone.
    if (WritesThroughLink(item.DestDirCode, target)) {
        FLogText = L"Merging files: " + source + L", " + target + sFail;
        return 0;
    }
    TbrmStringList additions;
    additions.LoadFromFile(source);
    TbrmStringList merged;
    merged.SetDuplicates(dupIgnore);
    merged.LoadFromFile(target);
    for (int i = 0; i < additions.Count(); ++i) {
        const std::wstring line = additions.Get(i);
        // One bisection serves both the lookup and the insertion: Add would repeat the very
        // search IndexOf just made on the same list and land on the same place.
        int index = 0;
        if (!merged.Find(line, index))
            merged.Insert(index, line);
    }
    merged.SaveToFileA(target);
    FLogText = L"Merging files: " + source + L", " + target + sSuccess;
    return 0;
}

int TScript::DoCheckFile() {
    const std::wstring path = ItemPathOf(GetItem());
    const bool found = AnyMatch(path);
    FLogText = L"Check file: " + path + (found ? sSuccess : sFail);
    return found ? 0 : 1;
}

int TScript::DoRunFile() {
    const std::wstring command = CurrentDirectory() + L"\\" + TextOf(GetItem().Name);
    const DWORD error = RunAndWait(command, L"", FKeepWindowsAlive);
    if (error == 0)
        FLogText = L"Run file: " + command + sSuccess;
    return static_cast<int>(error);
}

int TScript::DoSetCurrentDir() {
    const std::wstring path = ItemPathOf(GetItem());
    return SetCurrentDirectoryW(path.c_str()) ? 0
                                              : static_cast<int>(LastErrorOr(ERROR_PATH_NOT_FOUND));
}
