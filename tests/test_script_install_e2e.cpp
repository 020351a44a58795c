// A whole installation of the product's own table into a machine with four test IDEs (C++Builder
// 6, RAD Studio 2009, RAD Studio XE10.4 without and RAD Studio 11 with the 64-bit compiler),
// whose build tools are the stand-ins; then a second installation, then the uninstaller that the
// Windows uninstall entry names. The uninstaller and the build tools are processes of their own,
// so this program runs in a fresh copy of the test prefix and works on its real registry.
#include "product/UConst.h"
#include "product/UProducts.h"
#include "product/UUtils.h"
#include "script/UScript.h"
#include "support/UHandles.h"
#include "tests/IdeTestSupport.h"
#include "tests/TestIdeMachine.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace vktest;

namespace {

using TSnapshot = std::map<std::wstring, std::string>;

const std::wstring UninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";
constexpr wchar_t Description[] = L"Standard Edition of Velkora v4.07";

// ---- Snapshots: every key and value, every file and directory, compared entry by entry ----

void SnapKey(HKEY root, const std::wstring& rootName, const std::wstring& path, TSnapshot& out) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return;
    const handles::RegKey key(opened);
    const std::wstring name = rootName + L"\\" + path;
    out[name] = "<key>";
    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxValue = 0;
    if (RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values,
                         &maxValueName, &maxValue, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<wchar_t> valueName(maxValueName + 2);
    std::vector<BYTE> data(maxValue + 2);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameLength = static_cast<DWORD>(valueName.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(opened, i, valueName.data(), &nameLength, nullptr, &type, data.data(),
                          &dataLength) == ERROR_SUCCESS)
            out[name + L" : " + std::wstring(valueName.data(), nameLength)] =
                std::to_string(type) + ":" +
                std::string(reinterpret_cast<const char*>(data.data()), dataLength);
    }
    std::vector<std::wstring> children;
    std::vector<wchar_t> child(maxSubKey + 2);
    for (DWORD i = 0; i < subKeys; ++i) {
        DWORD length = static_cast<DWORD>(child.size());
        if (RegEnumKeyExW(opened, i, child.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS)
            children.emplace_back(child.data(), length);
    }
    for (const std::wstring& c : children)
        SnapKey(root, rootName, path.empty() ? c : path + L"\\" + c, out);
}

// Every file with its content and every directory below dir (recursive), or only the entries
// of dir itself with size and time (for the system's own directories).
void SnapFiles(const std::wstring& dir, bool recursive, TSnapshot& out) {
    WIN32_FIND_DATAW entry;
    handles::FindHandle search(FindFirstFileW((dir + L"\\*").c_str(), &entry));
    if (!search)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = dir + L"\\" + name;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            out[path] = "<dir>";
            if (recursive)
                SnapFiles(path, true, out);
        } else if (recursive) {
            out[path] = ReadFileBytes(path);
        } else {
            out[path] = std::to_string(entry.nFileSizeLow) + "@" +
                        std::to_string(entry.ftLastWriteTime.dwLowDateTime);
        }
    } while (FindNextFileW(search.get(), &entry));
}

std::vector<std::wstring> Differences(const TSnapshot& before, const TSnapshot& after) {
    std::vector<std::wstring> differences;
    for (const auto& [name, value] : before) {
        const auto found = after.find(name);
        if (found == after.end())
            differences.push_back(L"removed " + name);
        else if (found->second != value)
            differences.push_back(L"changed " + name);
    }
    for (const auto& [name, value] : after)
        if (!before.count(name))
            differences.push_back(L"added " + name);
    return differences;
}

std::string Joined(const std::vector<std::wstring>& lines) {
    std::string text;
    for (const std::wstring& line : lines)
        text += ToAnsi(line) + "\n";
    return text;
}

// ---- Processes ----

// Runs a command line hidden with its standard output in a file; the output, or "" on failure.
std::string RunCaptured(const std::wstring& program, const std::wstring& arguments,
                        const std::wstring& outputFile) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    handles::FileHandle output(CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                           &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                           nullptr));
    if (!output)
        return {};
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
    std::wstring line = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &info))
        return {};
    const handles::KernelHandle process(info.hProcess);
    const handles::KernelHandle thread(info.hThread);
    WaitForSingleObject(process.get(), 60000);
    output.reset();
    return ReadFileBytes(outputFile);
}

bool ProcessRunning(const wchar_t* exeName) {
    const handles::KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (_wcsicmp(entry.szExeFile, exeName) == 0)
            return true;
    return false;
}

// ---- The machine ----

std::wstring Value(HKEY root, const std::wstring& key, const std::wstring& name) {
    std::wstring text;
    EXPECT_TRUE(ReadRegString(root, key, name, text)) << ToAnsi(key + L" : " + name);
    return text;
}

std::vector<std::wstring> InstallLogLines(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool HasLine(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class InstallEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        const DWORD length = GetTempPathW(MAX_PATH, temp);
        ASSERT_GT(length, 0u);
        const std::wstring unique = std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(Machine.Create(std::wstring(temp, length) + L"vke2e-" + unique,
                                   BuildDir() + L"\\fixtures\\standin_tool_0.exe"));
        Listing = std::wstring(temp, length) + L"vke2e-list-" + unique + L".txt";
    }

    void TearDown() override {
        SetCurrentDirectoryW(BaseDir(dcTemp).c_str());
        RemoveTree(Machine.Root);
        DeleteFileW(Listing.c_str());
    }

    TSnapshot Snapshot() const {
        TSnapshot snapshot;
        SnapKey(HKEY_LOCAL_MACHINE, L"HKLM", L"", snapshot);
        SnapKey(HKEY_CURRENT_USER, L"HKCU", L"", snapshot);
        SnapFiles(Machine.Root, true, snapshot);
        SnapFiles(BaseDir(dcWindows), false, snapshot);
        SnapFiles(BaseDir(dcSystem), false, snapshot);
        return snapshot;
    }

    // The entries directly in the temporary directory.
    static TSnapshot TempEntries() {
        TSnapshot entries;
        std::wstring temp = BaseDir(dcTemp);
        if (!temp.empty() && temp.back() == L'\\')
            temp.pop_back();
        SnapFiles(temp, false, entries);
        return entries;
    }

    TIdeMachine Machine;
    std::wstring Listing; // outside the compared directories
};

TEST_F(InstallEndToEnd, InstallTwiceThenTheUninstallerLeavesTheMachineAsItWas) {
    const std::wstring& Install = Machine.Install;
    const std::wstring& Cb6 = Machine.Cb6;
    const TSnapshot before = Snapshot();
    ASSERT_GT(before.size(), 100u);

    // The 64-bit build of XE10.4 is skipped, not failed: no item reports an error.
    EXPECT_EQ(Joined(Machine.RunInstallation()), "");
    const std::wstring system = BaseDir(dcSystem);
    const std::vector<std::wstring> lines = InstallLogLines(Install + L"\\install.log");

    // Every package built in its directory by the IDE's tool, checked, and copied.
    for (const wchar_t* package :
         {L"CBuilder6\\vkl60.bpl", L"CBuilder6\\dclvkl60.bpl", L"BDS2009\\vkl2009.bpl",
          L"BDS2009\\dclvkl2009.bpl", L"RADStudio21\\Win32\\vkl270.bpl",
          L"RADStudio21\\Win32\\dclvkl270.bpl", L"RADStudio22\\Win32\\vkl280.bpl",
          L"RADStudio22\\Win32\\dclvkl280.bpl", L"RADStudio22\\Win64\\vkl280.bpl"})
        EXPECT_TRUE(HasLine(lines, L"Check file: " + Install + L"\\" + package + L"...Success"))
            << ToAnsi(package);
    EXPECT_FALSE(FileExists(Install + L"\\RADStudio21\\Win64\\vkl270.bpl"));
    EXPECT_TRUE(HasLine(lines, L"Check file: " + Machine.Xe104 + L"\\bin\\dcc64.exe...Fail"));
    for (const wchar_t* copy : {L"vkl60.bpl", L"vkl2009.bpl", L"vkl270.bpl", L"vkl280.bpl"})
        EXPECT_TRUE(FileExists(system + L"\\" + copy)) << ToAnsi(copy);
    EXPECT_EQ(ReadFileBytes(system + L"\\vkl280.bpl"),
              ReadFileBytes(Install + L"\\RADStudio22\\Win32\\vkl280.bpl"));
    // BDS 2009 wrote its C++ headers into Source; they now lie beside its packages.
    EXPECT_TRUE(FileExists(Install + L"\\BDS2009\\VklConsts.hpp"));
    EXPECT_FALSE(FileExists(Install + L"\\Source\\VklConsts.hpp"));

    const HKEY user = HKEY_CURRENT_USER;
    const auto checkRegistration = [&] {
        EXPECT_EQ(Value(user, L"Software\\Borland\\C++Builder\\6.0\\Known Packages",
                        Install + L"\\CBuilder6\\dclvkl60.bpl"),
                  Description);
        EXPECT_EQ(Value(user, L"Software\\CodeGear\\BDS\\6.0\\Known Packages",
                        Install + L"\\BDS2009\\dclvkl2009.bpl"),
                  Description);
        EXPECT_EQ(Value(user, L"Software\\Embarcadero\\BDS\\22.0\\Known Packages",
                        Install + L"\\RADStudio22\\Win32\\dclvkl280.bpl"),
                  Description);
        EXPECT_EQ(Value(user, L"Software\\Borland\\C++Builder\\6.0\\Library", L"Search Path"),
                  L"$(BCB)\\Lib;$(BCB)\\Lib\\Obj;" + Install + L"\\CBuilder6;" + Install +
                      L"\\Source");
        EXPECT_EQ(Value(user, L"Software\\CodeGear\\BDS\\6.0\\Library", L"Search Path"),
                  L"$(BDSLIB)\\$(Platform)\\release;$(BDS)\\Imports;" + Install + L"\\BDS2009");
        EXPECT_EQ(Value(user, L"Software\\CodeGear\\BDS\\6.0\\C++\\Paths", L"SearchPath"),
                  L"$(BDS)\\include;" + Install + L"\\BDS2009");
        EXPECT_EQ(Value(user, L"Software\\CodeGear\\BDS\\6.0\\Globals", L"ForceEnvOptionsUpdate"),
                  L"1");
        const std::wstring release = L"$(BDSLIB)\\$(Platform)\\release;";
        EXPECT_EQ(Value(user, L"Software\\Embarcadero\\BDS\\22.0\\Library\\Win32", L"Search Path"),
                  release + Install + L"\\RADStudio22\\Win32");
        EXPECT_EQ(Value(user, L"Software\\Embarcadero\\BDS\\22.0\\Library\\Win64", L"Search Path"),
                  release + Install + L"\\RADStudio22\\Win64");
        EXPECT_EQ(
            Value(user, L"Software\\Embarcadero\\BDS\\22.0\\C++\\Paths\\Win64", L"LibraryPath"),
            release + Install + L"\\RADStudio22\\Win64");
        // Without its 64-bit compiler XE10.4 gets only its 32-bit paths.
        EXPECT_EQ(
            Value(user, L"Software\\Embarcadero\\BDS\\21.0\\C++\\Paths\\Win32", L"LibraryPath"),
            release + Install + L"\\RADStudio21\\Win32");
        EXPECT_EQ(Value(user, L"Software\\Embarcadero\\BDS\\21.0\\Library\\Win64", L"Search Path"),
                  L"$(BDSLIB)\\$(Platform)\\release");
        // Help index files extended once, keyword file merged, WinHelp, the uninstall entry.
        EXPECT_EQ(ReadFileBytes(Cb6 + L"\\Help\\bcb6.ohi"),
                  ":Index C++Builder=bcb6.hlp\r\n:Index Velkora components=vklib.hlp\r\n");
        EXPECT_EQ(ReadFileBytes(Cb6 + L"\\Help\\bcb6.ohl"),
                  ":Link bcb6.hlp\r\n:Link bcb6vcl.hlp\r\n:Link vklib.hlp\r\n");
        const std::string als = ReadFileBytes(Cb6 + L"\\Help\\bcb6.als");
        EXPECT_NE(als.find("TForm=TForm"), std::string::npos);
        EXPECT_NE(als.find("TVkIniStore=TVkIniStore"), std::string::npos);
        EXPECT_FALSE(PathExists(Cb6 + L"\\Help\\bcb6.gid"));
        EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\Help", L"vklib.hlp"),
                  Install + L"\\Help");
        EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\Help", L"vklib.cnt"),
                  Install + L"\\Help");
        EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, UninstallKey, L"DisplayName"),
                  L"Brightmoss Velkora v4.07");
        EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, UninstallKey, L"UninstallString"),
                  L"\"" + Install + L"\\unbrm.exe\" \"" + Install + L"\\uninst.log\"");
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss\\Velkora"));
    };
    checkRegistration();
    // Wine's own list of installed programs shows the product.
    const std::wstring uninstaller = system + L"\\uninstaller.exe";
    EXPECT_NE(RunCaptured(uninstaller, L"--list", Listing).find("Brightmoss Velkora v4.07"),
              std::string::npos);

    // The second installation first removes the first (its directory with everything in it),
    // then adds nothing twice.
    ASSERT_TRUE(WriteFileBytes(Install + L"\\Source\\left-over.txt", "from the first run"));
    EXPECT_EQ(Joined(Machine.RunInstallation()), "");
    EXPECT_FALSE(PathExists(Install + L"\\Source\\left-over.txt"));
    checkRegistration();

    // The uninstaller as Windows starts it, silently: it hands the work to a copy of itself in
    // the temporary directory, which a batch file removes once the copy has ended.
    const std::wstring command = Value(HKEY_LOCAL_MACHINE, UninstallKey, L"UninstallString");
    const std::wstring exe = Install + L"\\unbrm.exe";
    ASSERT_TRUE(command.starts_with(L"\"" + exe + L"\" "));
    const TSnapshot tempBefore = TempEntries();
    ChildProcess child;
    StartProcess(child, exe, L"/S " + command.substr(exe.size() + 3));
    ASSERT_TRUE(child) << child.StartError;
    DWORD exitCode = 0;
    ASSERT_TRUE(child.Wait(30000, exitCode));
    EXPECT_TRUE(Eventually(
        [&] {
            return !PathExists(Install) && !ProcessRunning(L"unbrm.exe") &&
                   TempEntries() == tempBefore;
        },
        60000));

    std::vector<std::wstring> differences = Differences(before, Snapshot());
    std::sort(differences.begin(), differences.end());
    const std::wstring cb6Help = Cb6 + L"\\Help\\";
    std::vector<std::wstring> expected{
        // Left as the item definitions make them, none of which has an undo record: the
        // run-time packages copied to the system directory (no siCopyFileTo row is logged), the
        // keyword file keeps the merged keywords (siMergeFiles), the IDE's help cache stays
        // deleted (the IDE rebuilds it), BDS 2009 keeps its request to reload its options, and
        // the Windows help key that the first WinHelp value created stays (the undo removes
        // values only).
        L"added " + system + L"\\vkl60.bpl", L"added " + system + L"\\vkl2009.bpl",
        L"added " + system + L"\\vkl270.bpl", L"added " + system + L"\\vkl280.bpl",
        L"changed " + cb6Help + L"bcb6.als", L"removed " + cb6Help + L"bcb6.gid",
        L"added HKCU\\Software\\CodeGear\\BDS\\6.0\\Globals : ForceEnvOptionsUpdate",
        L"added HKLM\\Software\\Microsoft\\Windows\\Help"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Joined(differences), Joined(expected));

    EXPECT_EQ(RunCaptured(uninstaller, L"--list", Listing).find("Brightmoss Velkora"),
              std::string::npos);
}

} // namespace
