#include "tests/TestSupport.h"

#include "product/UProducts.h"
#include "product/UResourceIds.h"
#include "wizard/UbrmCheckListBox.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

namespace vktest {

static void RestoreRoots() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
}

void SandboxTest::SetUp() {
    RestoreRoots();  // an override a crashed earlier test might have left in this process
    static unsigned counter = 0;
    const std::wstring number =
        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    FScratchKey = L"Software\\VelkoraTests\\" + number;
    RegDeleteTreeW(HKEY_CURRENT_USER, FScratchKey.c_str());
    // Both scratch keys live below the real HKEY_CURRENT_USER, so that root is mapped last.
    for (auto [scratch, root, name] : {std::tuple{&FScratchMachine, HKEY_LOCAL_MACHINE, L"\\HKLM"},
                                       std::tuple{&FScratchUser, HKEY_CURRENT_USER, L"\\HKCU"}}) {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (FScratchKey + name).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, scratch->put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(root, scratch->get()), ERROR_SUCCESS);
    }
    wchar_t buffer[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, buffer);
    ASSERT_GT(length, 0u);
    // Wine reuses process ids quickly; the tick count keeps a crashed run's leftovers apart.
    TempDir = std::wstring(buffer, length) + L"vktest-" + number + L"-" +
              std::to_wstring(GetTickCount64());
    RemoveTree(TempDir);
    ASSERT_TRUE(CreateDirectoryW(TempDir.c_str(), nullptr)) << GetLastError();
    length = GetCurrentDirectoryW(MAX_PATH, buffer);
    FPreviousDir.assign(buffer, length);
}

void SandboxTest::TearDown() {
    RestoreRoots();
    FScratchMachine.reset();
    FScratchUser.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, FScratchKey.c_str());
    if (!FPreviousDir.empty())
        SetCurrentDirectoryW(FPreviousDir.c_str());
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

// Works through "\\?\" paths (entries beyond MAX_PATH too); never descends through a link.
void RemoveTree(const std::wstring& directory) {
    if (directory.empty())
        return;
    const std::wstring path =
        directory.rfind(L"\\\\?\\", 0) == 0 ? directory : L"\\\\?\\" + directory;
    WIN32_FIND_DATAW entry;
    handles::FindHandle search(FindFirstFileW((path + L"\\*").c_str(), &entry));
    for (bool more = bool(search); more; more = FindNextFileW(search.get(), &entry)) {
        const std::wstring name = entry.cFileName, child = path + L"\\" + name;
        if (name == L"." || name == L"..")
            continue;
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW(child.c_str());
        else if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            RemoveDirectoryW(child.c_str());
        else
            RemoveTree(child);
    }
    search.reset();
    RemoveDirectoryW(path.c_str());
}

bool KeyExists(HKEY root, const std::wstring& key) {
    handles::RegKey opened;
    return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

std::wstring EnvironmentValue(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length == 0 || length >= 1024 ? std::wstring() : std::wstring(buffer, length);
}

std::wstring BuildDir() {
    return EnvironmentValue(L"VELKORA_BUILD_DIR");
}

static std::wstring HostPath(const std::wstring& unixPath) {
    std::wstring path = L"\\\\?\\unix" + unixPath;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring SourceDir() {
    std::wstring dir = EnvironmentValue(L"VELKORA_SOURCE_DIR");
    std::replace(dir.begin(), dir.end(), L'/', L'\\');
    return dir;
}

ChildProcess::~ChildProcess() {
    // Owners that close both handles as they go.
    const handles::KernelHandle process(Info.hProcess), thread(Info.hThread);
}

bool ChildProcess::Wait(DWORD timeoutMs, DWORD& exitCode) {
    exitCode = STILL_ACTIVE;
    return Info.hProcess && WaitForSingleObject(Info.hProcess, timeoutMs) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(Info.hProcess, &exitCode);
}

void StartProcess(ChildProcess& child, const std::wstring& program, const std::wstring& arguments,
                  const std::wstring& directory) {
    std::wstring line = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &child.Info)) {
        child.StartError = GetLastError();
        child.Info = PROCESS_INFORMATION{};
    }
}

namespace {
BOOL CALLBACK CollectText(HWND wnd, LPARAM param) {
    reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(WindowText(wnd));
    return TRUE;
}
}  // namespace

HWND WaitForWindow(const wchar_t* className, const wchar_t* caption, DWORD processId,
                   DWORD timeoutMs) {
    HWND found = nullptr;
    // FindWindowExW compares captions without case: the exact text decides.
    Eventually(
        [&] {
            for (found = FindWindowExW(nullptr, nullptr, className, caption); found;
                 found = FindWindowExW(nullptr, found, className, caption)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(found, &owner);
                if ((processId == 0 || owner == processId) &&
                    (!caption || WindowText(found) == caption))
                    return true;
            }
            return false;
        },
        timeoutMs);
    return found;
}

std::wstring WindowText(HWND wnd) {
    wchar_t buffer[2048];
    const LRESULT length = SendMessageW(wnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer));
    return length <= 0 ? std::wstring() : std::wstring(buffer, static_cast<size_t>(length));
}

std::vector<std::wstring> ChildTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool HasText(HWND box, const std::wstring& text) {
    return std::ranges::count(ChildTexts(box), text) == 1;
}

void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string ListRows(HWND wizard) {
    const HWND list = GetDlgItem(wizard, idcProductList);
    std::string rows;
    for (LRESULT row = 0; row < SendMessageW(list, LB_GETCOUNT, 0, 0); ++row) {
        const LRESULT state = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
        rows += "ox-#"[(state & csChecked ? 1 : 0) + (state & csDisabled ? 2 : 0)];
    }
    return rows;
}

std::string WalkToReadyPage(HWND wizard, const std::wstring& dir, DWORD timeoutMs) {
    const auto shown = [&](int id) { return IsWindowVisible(GetDlgItem(wizard, id)) != FALSE; };
    std::string rows;
    if (!Eventually([&] { return shown(idcPageText); }, timeoutMs))
        return "";
    Click(wizard, idcNext);
    if (!Eventually([&] { return (rows = ListRows(wizard)).size() == size_t{InstallChoiceCount}; },
                    timeoutMs))
        return "";
    Click(wizard, idcNext);
    if (!Eventually([&] { return shown(idcDirectoryEdit); }, timeoutMs))
        return "";
    SetDlgItemTextW(wizard, idcDirectoryEdit, dir.c_str());
    Click(wizard, idcNext);
    return Eventually([&] { return WindowText(GetDlgItem(wizard, idcNext)) == L"Start"; },
                      timeoutMs)
               ? rows
               : "";
}

bool MakeDirectoryLink(const std::wstring& dir, const std::wstring& name,
                       const std::wstring& target) {
    // Wine starts a Unix process without a handle to wait on: the link is watched for instead.
    ChildProcess link;
    StartProcess(link, HostPath(L"/bin/ln"), L"-s " + target + L" " + name, dir);
    const std::wstring path = dir + L"\\" + name;
    return link.StartError == 0 &&
           Eventually(
               [&] {
                   return GetFileAttributesW(path.c_str()) ==
                          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
               },
               10000);
}

}  // namespace vktest
