#include "product/UProcess.h"

#include "product/UConst.h"
#include "product/UPaths.h"
#include "support/ULastError.h"
#include "support/UText.h"

#include "support/UHandles.h"

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

using handles::KernelHandle;
using handles::LocalMemory;

namespace {

bool IsBatchFile(const std::wstring& program) {
    std::wstring lower = LowerCase(program);
    auto endsWith = [&lower](const wchar_t* suffix) {
        size_t n = wcslen(suffix);
        return lower.size() >= n && lower.compare(lower.size() - n, n, suffix) == 0;
    };
    return endsWith(L".bat") || endsWith(L".cmd");
}

// How cmd.exe is told which batch file to run: its full path in quotes, which keeps blanks, "&"
// and "^" literal ("!" is literal while delayed expansion is off, cmd's default). cmd expands
// %NAME% anywhere in its command line, quotes or not (Wine's even inside a variable's value), so
// a path holding "%" is never written there: such a batch file in the current directory, where
// the programs run their help batch files, is named relative to it (".\name", which no search
// path or NoDefaultCurrentDirectoryInExePath setting changes). Empty when the batch file cannot
// be named safely.
std::wstring BatchNameForCmd(const std::wstring& batch) {
    if (batch.find(L'%') == std::wstring::npos)
        return batch;
    const size_t separator = batch.find_last_of(L"\\/");
    if (separator == std::wstring::npos)
        return {};
    const std::wstring name = batch.substr(separator + 1);
    if (name.find(L'%') != std::wstring::npos ||
        LowerCase(batch.substr(0, separator)) != LowerCase(CurrentDirectory()))
        return {};
    return L".\\" + name;
}

}  // namespace

DWORD WaitKeepingWindowsAlive(HANDLE handle, DWORD timeoutMs) {
    // Waking at least this often keeps Windows from calling the window "Not Responding" even
    // when nothing needs painting.
    constexpr DWORD WakeIntervalMs = 250;
    const ULONGLONG start = GetTickCount64();
    const DWORD handleCount = handle ? 1 : 0;
    for (;;) {
        // PeekMessageW answers the messages other threads and processes sent to this one
        // before it looks at the paint messages it removes.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT))
            DispatchMessageW(&msg);
        DWORD slice = WakeIntervalMs;
        if (timeoutMs != INFINITE) {
            const ULONGLONG elapsed = GetTickCount64() - start;
            if (elapsed >= timeoutMs)
                return handle && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0 ? WAIT_OBJECT_0
                                                                                 : WAIT_TIMEOUT;
            slice = static_cast<DWORD>(std::min<ULONGLONG>(slice, timeoutMs - elapsed));
        }
        const DWORD woken = MsgWaitForMultipleObjects(handleCount, &handle, FALSE, slice,
                                                      QS_PAINT | QS_SENDMESSAGE);
        if (handle && woken == WAIT_OBJECT_0)
            return WAIT_OBJECT_0;
        if (woken == WAIT_FAILED)
            return WAIT_FAILED;
    }
}

DWORD StartProgram(const std::wstring& application, const std::wstring& commandLine,
                   const TStartOptions& options, KernelHandle& process) {
    process.reset();
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = static_cast<WORD>(options.Hidden ? SW_HIDE : SW_SHOWNORMAL);
    DWORD flags = options.Hidden ? CREATE_NO_WINDOW : 0;
    // The attribute list names the one handle to inherit: a handle this process made
    // inheritable for any other purpose stays here.
    std::vector<BYTE> attributeBytes;
    struct AttributeListDeleter {
        void operator()(LPPROC_THREAD_ATTRIBUTE_LIST list) const {
            DeleteProcThreadAttributeList(list);
        }
    };
    std::unique_ptr<std::remove_pointer_t<LPPROC_THREAD_ATTRIBUTE_LIST>, AttributeListDeleter>
        attributes;
    HANDLE inherited = options.Inherit;
    if (inherited) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributeBytes.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBytes.data());
        if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size))
            return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
        attributes.reset(list);
        if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &inherited,
                                       sizeof(inherited), nullptr, nullptr))
            return LastErrorOr(ERROR_INVALID_PARAMETER);
        startup.lpAttributeList = list;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
        if (options.InheritAsOutput) {
            startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
            startup.StartupInfo.hStdOutput = inherited;
            startup.StartupInfo.hStdError = inherited;
        }
    }
    // CreateProcessW may write into the command line, so it gets a private copy.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, inherited != nullptr,
                        flags, nullptr,
                        options.Directory.empty() ? nullptr : options.Directory.c_str(),
                        &startup.StartupInfo, &info))
        return LastErrorOr(ERROR_FILE_NOT_FOUND);
    process.reset(info.hProcess);
    const KernelHandle thread(info.hThread);
    return 0;
}

DWORD RunHidden(const std::wstring& application, const std::wstring& commandLine,
                const TRunOptions& options, TRunResult& result) {
    result = TRunResult{};
    // The output file goes to the program as an inheritable duplicate.
    KernelHandle output;
    TStartOptions start;
    if (options.Output) {
        const HANDLE self = GetCurrentProcess();
        if (!DuplicateHandle(self, options.Output, self, output.put(), 0, TRUE,
                             DUPLICATE_SAME_ACCESS))
            return LastErrorOr(ERROR_INVALID_HANDLE);
        start.Inherit = output.get();
        start.InheritAsOutput = true;
    }
    KernelHandle process;
    if (const DWORD error = StartProgram(application, commandLine, start, process))
        return error;
    output.reset();  // the program holds its own copy now
    const DWORD waited = options.KeepWindowsAlive
                             ? WaitKeepingWindowsAlive(process.get(), options.TimeoutMs)
                             : WaitForSingleObject(process.get(), options.TimeoutMs);
    result.Ended = waited == WAIT_OBJECT_0 && GetExitCodeProcess(process.get(), &result.ExitCode);
    return 0;
}

DWORD RunAndWait(const std::wstring& program, const std::wstring& params, bool keepWindowsAlive) {
    std::wstring application;
    std::wstring commandLine;
    if (IsBatchFile(program)) {
        // A batch file runs through the system's own cmd.exe, named by full path so no other
        // cmd.exe on the search path can stand in; /s makes cmd strip exactly the outer quotes.
        std::wstring systemDir = BaseDir(dcSystem);
        if (systemDir.empty())
            return LastErrorOr(ERROR_PATH_NOT_FOUND);
        const std::wstring batch = BatchNameForCmd(program);
        if (batch.empty())
            return ERROR_INVALID_NAME;
        application = JoinPath(systemDir, L"cmd.exe");
        commandLine = L"\"" + application + L"\" /s /c \"\"" + batch + L"\"";
        if (!params.empty())
            commandLine += L" " + params;
        commandLine += L"\"";
    } else {
        application = program;
        commandLine = QuotedIfBlank(program);
        if (!params.empty())
            commandLine += L" " + params;
    }
    TRunOptions options;
    options.KeepWindowsAlive = keepWindowsAlive;
    TRunResult ignored;
    return RunHidden(application, commandLine, options, ignored);
}

DWORD GetOsPlatform() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = GetVersionExW(&version);
#pragma GCC diagnostic pop
    if (!ok)
        return 0;
    OsPlatformId = version.dwPlatformId;
    return OsPlatformId;
}

std::wstring SystemErrorText(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    LocalMemory owner(text);
    if (length == 0 || !text)
        return {};
    std::wstring result(text, length);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r'))
        result.pop_back();
    return result;
}
