#include "tests/TestSupport.h"

#include "support/UHandles.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace vktest {

namespace {

unsigned NextSandboxNumber() {
    static unsigned counter = 0;
    return ++counter;
}

HKEY CreateScratch(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

}  // namespace

void SandboxTest::SetUp() {
    // Undo any override a crashed earlier test might have left in this process.
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);

    const unsigned number = NextSandboxNumber();
    FScratchKey = L"Software\\VelkoraTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(number);
    RegDeleteTreeW(HKEY_CURRENT_USER, FScratchKey.c_str());
    FScratchMachine = CreateScratch(FScratchKey + L"\\HKLM");
    FScratchUser = CreateScratch(FScratchKey + L"\\HKCU");
    ASSERT_NE(FScratchMachine, nullptr);
    ASSERT_NE(FScratchUser, nullptr);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, FScratchMachine), ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, FScratchUser), ERROR_SUCCESS);

    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    ASSERT_GT(length, 0u);
    // Wine reuses process ids quickly; the tick count keeps a crashed run's leftovers apart.
    TempDir = std::wstring(temp, length) + L"vktest-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::to_wstring(number) + L"-" + std::to_wstring(GetTickCount64());
    RemoveTree(TempDir);
    ASSERT_TRUE(CreateDirectoryW(TempDir.c_str(), nullptr)) << GetLastError();

    wchar_t current[MAX_PATH];
    length = GetCurrentDirectoryW(MAX_PATH, current);
    FPreviousDir.assign(current, length);
}

void SandboxTest::TearDown() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (FScratchMachine)
        RegCloseKey(FScratchMachine);
    if (FScratchUser)
        RegCloseKey(FScratchUser);
    FScratchMachine = FScratchUser = nullptr;
    RegDeleteTreeW(HKEY_CURRENT_USER, FScratchKey.c_str());
    if (!FPreviousDir.empty())
        SetCurrentDirectoryW(FPreviousDir.c_str());
    if (!TempDir.empty())
        RemoveTree(TempDir);
}

std::wstring SandboxTest::TempPath(const std::wstring& relative) const {
    return relative.empty() ? TempDir : TempDir + L"\\" + relative;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {
// Removes a tree through "\\?\" paths, so entries longer than MAX_PATH go too.
void RemoveLongTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveLongTree(child);
            else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(child.c_str());
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}
}  // namespace

void RemoveTree(const std::wstring& directory) {
    if (directory.empty())
        return;
    RemoveLongTree(directory.rfind(L"\\\\?\\", 0) == 0 ? directory : L"\\\\?\\" + directory);
}

bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY opened = nullptr;
    const LSTATUS status = RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened);
    const handles::RegKey owner(opened);
    return status == ERROR_SUCCESS;
}

std::wstring EnvironmentValue(const wchar_t* name) {
    wchar_t buffer[1024];
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    if (length == 0 || length >= 1024)
        return {};
    return std::wstring(buffer, length);
}

std::wstring BuildDir() {
    return EnvironmentValue(L"VELKORA_BUILD_DIR");
}

std::wstring SourceDir() {
    std::wstring dir = EnvironmentValue(L"VELKORA_SOURCE_DIR");
    for (auto& c : dir)
        if (c == L'/')
            c = L'\\';
    return dir;
}

ChildProcess::~ChildProcess() {
    if (Info.hProcess)
        CloseHandle(Info.hProcess);
    if (Info.hThread)
        CloseHandle(Info.hThread);
}

bool ChildProcess::Wait(DWORD timeoutMs, DWORD& exitCode) {
    exitCode = STILL_ACTIVE;
    if (!Info.hProcess || WaitForSingleObject(Info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(Info.hProcess, &exitCode) != FALSE;
}

void StartProcess(ChildProcess& child, const std::wstring& program, const std::wstring& arguments,
                  const std::wstring& directory) {
    std::wstring line = L"\"" + program + L"\"";
    if (!arguments.empty())
        line += L" " + arguments;
    std::vector<wchar_t> mutableLine(line.begin(), line.end());
    mutableLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &child.Info)) {
        child.StartError = GetLastError();
        child.Info = PROCESS_INFORMATION{};
    }
}

namespace {
struct WindowSearch {
    const wchar_t* ClassName;
    const wchar_t* Caption;
    DWORD ProcessId;
    HWND Found;
};

BOOL CALLBACK MatchWindow(HWND wnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(wnd, &owner);
    if (search->ProcessId != 0 && owner != search->ProcessId)
        return TRUE;
    wchar_t className[256];
    if (!GetClassNameW(wnd, className, 256) || wcscmp(className, search->ClassName) != 0)
        return TRUE;
    if (search->Caption && WindowText(wnd) != search->Caption)
        return TRUE;
    search->Found = wnd;
    return FALSE;
}

BOOL CALLBACK CollectText(HWND wnd, LPARAM param) {
    reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(WindowText(wnd));
    return TRUE;
}
}  // namespace

HWND WaitForWindow(const wchar_t* className, const wchar_t* caption, DWORD processId,
                   DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        WindowSearch search{className, caption, processId, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.Found)
            return search.Found;
        Sleep(20);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

std::wstring WindowText(HWND wnd) {
    wchar_t buffer[2048];
    LRESULT length = SendMessageW(wnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer));
    if (length <= 0)
        return {};
    return std::wstring(buffer, static_cast<size_t>(length));
}

std::vector<std::wstring> ChildTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

}  // namespace vktest
