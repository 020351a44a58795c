#include "product/URunningIdes.h"

#include "product/UConst.h"
#include "product/UPaths.h"
#include "product/UProducts.h"
#include "support/UHandles.h"
#include "support/UText.h"

#include <windows.h>

#include <tlhelp32.h>

namespace {

// The full path of a process's program file; empty when the process cannot be asked (it ended,
// or belongs to a user this one may not query).
std::wstring ProgramFileOf(DWORD processId) {
    const handles::KernelHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process)
        return {};
    // Long enough for any path the system accepts.
    constexpr DWORD PathRoom = 32768;
    std::wstring path(PathRoom, L'\0');
    DWORD length = PathRoom;
    if (!QueryFullProcessImageNameW(process.get(), 0, path.data(), &length))
        return {};
    path.resize(length);
    return path;
}

std::vector<std::wstring> RunningProgramFiles() {
    std::vector<std::wstring> files;
    // The snapshot's failure value is INVALID_HANDLE_VALUE, as for a file.
    const handles::FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return files;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == self || entry.th32ProcessID == 0)
            continue;
        std::wstring file = ProgramFileOf(entry.th32ProcessID);
        if (!file.empty())
            files.push_back(std::move(file));
    }
    return files;
}

// Whether file lies below folder (both lower case; folder without trailing backslash).
bool IsInside(const std::wstring& file, const std::wstring& folder) {
    return file.size() > folder.size() + 1 && file.compare(0, folder.size(), folder) == 0 &&
           file[folder.size()] == L'\\';
}

}  // namespace

std::vector<TRunningIde> FindRunningIdes(uint32_t versionMask) {
    std::vector<TRunningIde> running;
    if (versionMask == 0)
        return running;
    const std::vector<std::wstring> files = RunningProgramFiles();
    for (int index = 1; index <= BorlandProductCount; ++index) {
        const TBorlandProduct& product = BorlandProducts[index];
        // A root that is no full path would match relative to nothing sensible.
        if ((product.InternalId & versionMask) == 0 || !IsAbsolutePath(product.RootDir))
            continue;
        const std::wstring root = LowerCase(product.RootDir);
        for (const std::wstring& file : files)
            if (IsInside(LowerCase(file), root))
                running.push_back({index, file});
    }
    return running;
}

std::wstring RunningIdeText(const TRunningIde& ide) {
    std::wstring name;
    if (IsValidProductIndex(ide.ProductIndex)) {
        const TBorlandProduct& product = BorlandProducts[ide.ProductIndex];
        name = product.Name;
        // The name the selection list shows, where the list has the IDE.
        for (const TInstallChoice& choice : InstallChoices)
            if (choice.Versions == product.InternalId)
                name = choice.Caption;
    }
    return name + L" is running:\r\n" + ide.ProgramFile +
           L"\r\n\r\nPlease close it: the IDE writes its settings back when it closes, over the "
           L"packages and paths that Setup adds.\r\n\r\nClose it and click Retry, or click "
           L"Cancel to install later.";
}

uint32_t IdesChangedByRun() {
    const TPrevInstall previous = ReadPrevInstall();
    const uint32_t previousVersions =
        previous.InstallSelected > 0 ? static_cast<uint32_t>(previous.InstallSelected) : 0;
    return InstallVersions | previousVersions;
}
