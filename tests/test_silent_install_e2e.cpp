// setup.exe /SILENT as a build server runs it, with four test IDEs and the stand-in tools, then
// the uninstall entry's quiet command; in a fresh prefix, on its real registry.
#include "script/UInstallDir.h"
#include "tests/MachineSnapshot.h"
#include "tests/TestIdeMachine.h"

using namespace vktest;

namespace {

const std::wstring UninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";
const std::wstring ProductKey = L"Software\\Brightmoss\\Velkora";
constexpr DWORD RunLimitMs = 240000;
// Wine's shell records the users folder when the target-folder rules first ask for a known
// folder: a change of Wine's, not of the installation.
const std::string WineShellUsersValue =
    "added HKLM\\Software\\Microsoft\\Windows\\CurrentVersion : Users";

std::wstring Value(const std::wstring& key, const std::wstring& name,
                   HKEY root = HKEY_LOCAL_MACHINE) {
    std::wstring text;
    EXPECT_TRUE(ReadRegString(root, key, name, text)) << ToAnsi(key + L" : " + name);
    return text;
}

DWORD Dword(const std::wstring& key, const std::wstring& name) {
    DWORD value = 0;
    EXPECT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, key, name, value)) << ToAnsi(name);
    return value;
}

std::wstring Utf16File(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

class SilentInstallEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring temp = BaseDir(dcTemp), unique = std::to_wstring(GetCurrentProcessId());
        ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey)) << "a run before left its entry";
        ASSERT_TRUE(Machine.Create(temp + L"vksilent-" + unique,
                                   BuildDir() + L"\\fixtures\\standin_tool_0.exe"));
        Listing = temp + L"vksilent-list-" + unique + L".txt";
        wchar_t tempPath[MAX_PATH];
        const DWORD length = GetTempPathW(MAX_PATH, tempPath);
        ASSERT_TRUE(length > 0 && length < MAX_PATH);
        ResultFile = std::wstring(tempPath, length) + L"VelkoraSetup.txt";
    }
    void TearDown() override {
        SetCurrentDirectoryW(BaseDir(dcTemp).c_str());
        RemoveTree(Machine.Root);
        DeleteFileW(Listing.c_str());
    }

    // Runs setup.exe with arguments to its end; counts the visible windows it showed meanwhile.
    DWORD RunSetup(const std::wstring& arguments) {
        DeleteFileW(ResultFile.c_str());
        ChildProcess setup;
        StartProcess(setup, BuildDir() + L"\\setup.exe", arguments, Machine.Root);
        EXPECT_TRUE(setup) << setup.StartError;
        if (!setup)
            return STILL_ACTIVE;
        std::pair<DWORD, int> shown{setup.Info.dwProcessId, 0};  // process, its visible windows
        const auto count = [](HWND wnd, LPARAM data) -> BOOL {
            auto* shown = reinterpret_cast<std::pair<DWORD, int>*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(wnd, &owner);
            shown->second += owner == shown->first && IsWindowVisible(wnd);
            return TRUE;
        };
        DWORD exitCode = STILL_ACTIVE;
        const ULONGLONG deadline = GetTickCount64() + RunLimitMs;
        while (!setup.Wait(10, exitCode) && GetTickCount64() < deadline)
            EnumWindows(count, reinterpret_cast<LPARAM>(&shown));
        EXPECT_EQ(shown.second, 0) << "a window was shown: " << ToAnsi(arguments);
        EXPECT_NE(exitCode, STILL_ACTIVE) << "setup.exe did not end";
        return exitCode;
    }
    // The result file's lines: the exit code, then the reason.
    std::string Result() const { return ReadFileBytes(ResultFile); }
    TSnapshot Snapshot() const { return SnapMachine(Machine.Root); }
    bool Listed() const { return ListedByWine(Listing); }
    // The exit code of the uninstall entry's quiet command run through cmd as a script does.
    DWORD RunQuietUninstall() {
        const std::wstring command = Value(UninstallKey, L"QuietUninstallString");
        ChildProcess cmd;
        StartProcess(cmd, BaseDir(dcSystem) + L"\\cmd.exe", L"/c \"" + command + L"\"",
                     Machine.Root);
        DWORD exitCode = STILL_ACTIVE;
        EXPECT_TRUE(cmd && cmd.Wait(RunLimitMs, exitCode)) << "no removal: " << cmd.StartError;
        return exitCode;
    }

    TIdeMachine Machine;
    std::wstring Listing, ResultFile;
};

TEST_F(SilentInstallEndToEnd, InstallsUpdatesAndIsRemovedByTheQuietUninstallCommand) {
    const std::wstring& Install = Machine.Install;
    const TSnapshot before = Snapshot();

    // First installation: every detected IDE with help and demos, into a folder with a blank.
    EXPECT_EQ(RunSetup(L"/SILENT /DIR=\"" + Install + L"\""), 0u);
    EXPECT_EQ(Result().substr(0, 3), "0\r\n") << Result();
    const std::wstring log = Utf16File(Install + L"\\install.log");
    EXPECT_NE(log.find(L"\r\nRootPath: " + Install +
                       L"\r\nBorland products: "
                       L"CBuilder6,BDS2009,RADStudio21,RADStudio22\r\n"),
              std::wstring::npos);
    EXPECT_EQ(log.find(L"Error in ScriptItem"), std::wstring::npos);
    EXPECT_EQ(ReadFileBytes(Install + L"\\uninst.log").substr(0, 7), "UNBRM02");
    EXPECT_EQ(Dword(ProductKey, L"InstallVersions"), TIdeMachine::Versions);
    EXPECT_EQ(Dword(ProductKey, L"InstallItems"), TIdeMachine::Items);
    EXPECT_EQ(Value(ProductKey, L"RootDir"), Install);

    const std::wstring release = L"$(BDSLIB)\\$(Platform)\\release;",
                       description = L"Standard Edition of Velkora v4.07",
                       bcb = L"Software\\Borland\\C++Builder\\6.0\\",
                       bds = L"Software\\CodeGear\\BDS\\6.0\\",
                       rad = L"Software\\Embarcadero\\BDS\\22.0\\";
    const struct {
        std::wstring Key, Name, Expected;
    } ideValues[] = {
        {bcb + L"Known Packages", Install + L"\\CBuilder6\\dclvkl60.bpl", description},
        {rad + L"Known Packages", Install + L"\\RADStudio22\\Win32\\dclvkl280.bpl", description},
        {bcb + L"Library", L"Search Path",
         L"$(BCB)\\Lib;$(BCB)\\Lib\\Obj;" + Install + L"\\CBuilder6;" + Install + L"\\Source"},
        {bds + L"Library", L"Search Path", release + L"$(BDS)\\Imports;" + Install + L"\\BDS2009"},
        {rad + L"Library\\Win64", L"Search Path", release + Install + L"\\RADStudio22\\Win64"}};
    const auto checkIdes = [&] {
        for (const auto& row : ideValues)
            EXPECT_EQ(Value(row.Key, row.Name, HKEY_CURRENT_USER), row.Expected) << ToAnsi(row.Key);
    };
    checkIdes();

    const std::wstring exe = L"\"" + Install + L"\\unbrm.exe\"",
                       uninstLog = L"\"" + Install + L"\\uninst.log\"";
    SYSTEMTIME today{};
    GetLocalTime(&today);
    wchar_t date[16];
    swprintf(date, 16, L"%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
    const std::pair<const wchar_t*, std::wstring> entry[] = {
        {L"DisplayName", L"Brightmoss Velkora v4.07"},
        {L"UninstallString", exe + L" " + uninstLog},
        {L"QuietUninstallString", exe + L" /S " + uninstLog},
        {L"DisplayVersion", L"4.07"},
        {L"Publisher", L"Brightmoss"},
        {L"InstallLocation", Install},
        {L"DisplayIcon", Install + L"\\unbrm.exe"},
        {L"InstallDate", date},
        {L"URLInfoAbout", L"https://www.brightmoss.com/"}};
    for (const auto& [name, expected] : entry)
        EXPECT_EQ(Value(UninstallKey, name), expected) << ToAnsi(name);
    EXPECT_EQ(Dword(UninstallKey, L"NoModify"), 1u);
    EXPECT_EQ(Dword(UninstallKey, L"NoRepair"), 1u);
    TSnapshot files;
    SnapFiles(Install, true, files);
    uint64_t bytes = 0;
    for (const auto& [path, content] : files)
        if (content != "<dir>")
            bytes += content.size();
    EXPECT_EQ(Dword(UninstallKey, L"EstimatedSize"), (bytes + 1023) / 1024);
    EXPECT_GT(bytes, 100000u);
    EXPECT_TRUE(Listed());

    // An update, the selection named: the previous installation goes first, so every IDE entry
    // is there once.
    EXPECT_EQ(RunSetup(L"/SILENT /select=CBuilder6,BDS2009,RADStudio21,radstudio22,help,demos"),
              0u);
    EXPECT_EQ(Value(ProductKey, L"RootDir"), Install) << "the previous folder is proposed";
    checkIdes();

    // The quiet command returns with all gone but the uninstaller's file and folder, which follow.
    EXPECT_EQ(RunQuietUninstall(), 0u);
    std::set<std::string> left = Differences(before, Snapshot());
    left.erase("added " + ToAnsi(Install));
    left.erase("added " + ToAnsi(Install + L"\\unbrm.exe"));
    std::set<std::string> expected = LeftByDesign(Machine.Cb6);
    expected.insert(WineShellUsersValue);
    EXPECT_EQ(left, expected);
    EXPECT_TRUE(Eventually([&] { return !PathExists(Install); }, 20000));
    EXPECT_FALSE(Listed());
}

// /C /SILENT copies only (no help registered, no package built, no error); without /C, a
// compiler that builds nothing ends the run with 4.
TEST_F(SilentInstallEndToEnd, CopyOnlyBuildsNothingAndFailedItemsEndWithFour) {
    const std::wstring& Install = Machine.Install;
    const std::wstring rad = Machine.Root + L"\\Embarcadero\\Studio\\22.0\\bin\\";
    for (const wchar_t* tool : {L"dcc32.exe", L"dcc64.exe"})
        ASSERT_TRUE(CopyFileW((BuildDir() + L"\\fixtures\\standin_tool_1.exe").c_str(),
                              (rad + tool).c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(rad + L"standin.log", ""));
    EXPECT_EQ(RunSetup(L"/C /SILENT /SELECT=RADStudio22,help,demos \"/DIR=" + Install + L"\""), 0u);
    EXPECT_EQ(ReadFileBytes(rad + L"standin.log"), "") << "no compiler ran";
    EXPECT_TRUE(PathExists(Install + L"\\Help\\vklib.hlp"));
    EXPECT_TRUE(PathExists(Install + L"\\RADStudio22\\vkl280.dpk"));
    EXPECT_FALSE(PathExists(Install + L"\\RADStudio22\\vkl280.dpk.log"));
    EXPECT_EQ(Utf16File(Install + L"\\install.log").find(L"Error in ScriptItem"),
              std::wstring::npos);
    std::wstring ignored;
    EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\Help",
                               L"vklib.hlp", ignored));

    EXPECT_EQ(RunSetup(L"/SILENT /SELECT=RADStudio22"), 4u);
    const std::string result = Result();
    EXPECT_EQ(result.substr(0, 3), "4\r\n");
    EXPECT_NE(result.find("install.log"), std::string::npos) << result;
    const std::wstring log = Utf16File(Install + L"\\install.log");
    EXPECT_NE(log.find(L"\r\nError in ScriptItem="), std::wstring::npos);
    EXPECT_EQ(Value(ProductKey, L"RootDir"), Install) << "installed nonetheless";
    EXPECT_EQ(RunQuietUninstall(), 0u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    EXPECT_TRUE(Eventually([&] { return !PathExists(Install); }, 20000));
}

// Exit codes 1, 2, 3 and 5: a bad command line and each check of the machine end the run before
// anything changes, the result file saying why.
TEST_F(SilentInstallEndToEnd, ABadCommandLineARefusedFolderARunningIdeOrABusyMachineChangeNothing) {
    // RAD Studio 11's own program: a never-ending stand-in, started below.
    const std::wstring ideProgram = Machine.Root + L"\\Embarcadero\\Studio\\22.0\\bin\\bds.exe";
    ASSERT_TRUE(CopyFileW((BuildDir() + L"\\fixtures\\standin_tool_2.exe").c_str(),
                          ideProgram.c_str(), FALSE));
    const TSnapshot before = Snapshot();
    const auto expectRefused = [&](const std::wstring& arguments, DWORD code,
                                   const std::wstring& reasonPart) {
        SCOPED_TRACE(ToAnsi(arguments));
        EXPECT_EQ(RunSetup(arguments), code);
        const std::string result = Result();
        EXPECT_EQ(result.substr(0, 3), std::to_string(code) + "\r\n");
        EXPECT_NE(result.find(ToUtf8(reasonPart)), std::string::npos) << result;
        std::set<std::string> changed = Differences(before, Snapshot());
        changed.erase(WineShellUsersValue);
        EXPECT_EQ(changed, std::set<std::string>{});
    };
    expectRefused(L"/SILENT /SELECT=BDS2006,help", 1, L"BDS2006");  // known, not installed here
    expectRefused(L"/silent /DIR=C:\\Lib /Silent", 1, L"more than once");
    expectRefused(L"/SILENT /DIR=", 2, DirRefusalText(TDirVerdict::Empty));
    expectRefused(L"/SILENT \"/DIR=" + BaseDir(dcWindows) + L"\\Velkora\"", 2,
                  DirRefusalText(TDirVerdict::Protected));

    {
        ChildProcess ide;
        StartProcess(ide, ideProgram, L"");
        ASSERT_TRUE(ide) << ide.StartError;
        expectRefused(L"/SILENT", 3, L"bds.exe");
        TerminateProcess(ide.Info.hProcess, 0);
        DWORD ignored = 0;
        ide.Wait(RunLimitMs, ignored);
    }

    // A wizard left open holds the machine.
    ChildProcess wizard;
    StartProcess(wizard, BuildDir() + L"\\setup.exe", L"", Machine.Root);
    ASSERT_TRUE(wizard) << wizard.StartError;
    const DWORD pid = wizard.Info.dwProcessId;
    HWND dialog = WaitForWindow(L"#32770", WizardCaption, pid, RunLimitMs);
    ASSERT_NE(dialog, nullptr);
    expectRefused(L"/SILENT", 5, L"Another setup or uninstaller is running.");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    HWND confirm = WaitForWindow(L"#32770", L"Install", pid, RunLimitMs);
    ASSERT_NE(confirm, nullptr);
    PostMessageW(confirm, WM_COMMAND, IDYES, 0);
    DWORD exitCode = STILL_ACTIVE;
    EXPECT_TRUE(wizard.Wait(RunLimitMs, exitCode));
}

}  // namespace
