// setup.exe /SILENT as a build server runs it, with four test IDEs and the stand-in tools: its
// refusals, a copy-only run, a failing one, an installation and its update, then the uninstall
// entry's quiet command; in a fresh prefix, on its real registry.
#include "script/UInstallDir.h"
#include "tests/MachineSnapshot.h"
#include "tests/TestIdeMachine.h"

using namespace vktest;

namespace {

const std::wstring UninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";
constexpr DWORD RunLimitMs = 240000;
// Wine's shell records the users folder when the target-folder rules first ask for a known
// folder: a change of Wine's, not of the installation.
const std::string WineShellUsersValue =
    "added HKLM\\Software\\Microsoft\\Windows\\CurrentVersion : Users";

std::wstring Utf16File(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// Runs setup.exe with arguments to its end in dir, failing when it shows a window: its exit code,
// a blank and its result file (the exit code and the reason, a line each).
std::string RunSetup(const std::wstring& dir, const std::wstring& arguments) {
    const std::wstring resultFile = BaseDir(dcTemp) + L"VelkoraSetup.txt";
    DeleteFileW(resultFile.c_str());
    ChildProcess setup;
    StartProcess(setup, BuildDir() + L"\\setup.exe", arguments, dir);
    DWORD exitCode = STILL_ACTIVE, owner = 0;
    bool shown = false;
    for (const ULONGLONG end = GetTickCount64() + RunLimitMs;
         setup && !setup.Wait(10, exitCode) && GetTickCount64() < end;)
        for (HWND wnd = nullptr; (wnd = FindWindowExW(nullptr, wnd, nullptr, nullptr));)
            shown |= GetWindowThreadProcessId(wnd, &owner) && owner == setup.Info.dwProcessId &&
                     IsWindowVisible(wnd);
    EXPECT_FALSE(shown) << "a window was shown: " << ToAnsi(arguments);
    return std::to_string(exitCode) + " " + ReadFileBytes(resultFile);
}

}  // namespace

TEST(SilentInstallEndToEnd, RefusalsCopyOnlyAFailureAnInstallationItsUpdateAndTheQuietRemoval) {
    TIdeMachine machine;
    const std::wstring tool = BuildDir() + L"\\fixtures\\standin_tool_";
    ASSERT_TRUE(machine.Create(
        BaseDir(dcTemp) + L"vksilent-" + std::to_wstring(GetCurrentProcessId()), tool + L"0.exe"));
    const std::wstring &root = machine.Root, &install = machine.Install,
                       rad = root + L"\\Embarcadero\\Studio\\22.0\\bin\\",
                       listing = root + L"-list.txt";
    // RAD Studio 11's own program: a never-ending stand-in, started below.
    ASSERT_TRUE(CopyFileW((tool + L"2.exe").c_str(), (rad + L"bds.exe").c_str(), FALSE));
    const TSnapshot before = SnapMachine(root);

    // Exit codes 1, 2, 3 and 5: a bad command line and each check of the machine end the run
    // before anything changes, the result file saying why.
    const auto expectRefused = [&](const std::wstring& arguments, DWORD code,
                                   const std::wstring& reasonPart) {
        SCOPED_TRACE(ToAnsi(arguments));
        const std::string run = RunSetup(root, arguments), codes = std::to_string(code);
        EXPECT_TRUE(run.starts_with(codes + " " + codes + "\r\n")) << run;
        EXPECT_NE(run.find(ToUtf8(reasonPart)), std::string::npos) << run;
        std::set<std::string> changed = Differences(before, SnapMachine(root));
        changed.erase(WineShellUsersValue);
        EXPECT_EQ(changed, std::set<std::string>{});
    };
    expectRefused(L"/SILENT /SELECT=BDS2006,help", 1, L"BDS2006");  // known, not installed here
    expectRefused(L"/silent /DIR=C:\\Lib /Silent", 1, L"more than once");
    expectRefused(L"/SILENT /DIR=", 2, DirRefusalText(TDirVerdict::Empty));
    expectRefused(L"/SILENT \"/DIR=" + BaseDir(dcWindows) + L"\\Velkora\"", 2,
                  DirRefusalText(TDirVerdict::Protected));
    ChildProcess ide, wizard;
    StartProcess(ide, rad + L"bds.exe", L"");
    ASSERT_TRUE(ide) << ide.StartError;
    expectRefused(L"/SILENT", 3, L"bds.exe");
    TerminateProcess(ide.Info.hProcess, 0);
    DWORD exitCode = STILL_ACTIVE;
    ide.Wait(RunLimitMs, exitCode);
    // A wizard left open holds the machine.
    StartProcess(wizard, BuildDir() + L"\\setup.exe", L"", root);
    HWND dialog = WaitForWindow(L"#32770", WizardCaption, wizard.Info.dwProcessId, RunLimitMs);
    ASSERT_NE(dialog, nullptr);
    expectRefused(L"/SILENT", 5, L"Another setup or uninstaller is running.");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    HWND confirm = WaitForWindow(L"#32770", L"Install", wizard.Info.dwProcessId, RunLimitMs);
    ASSERT_NE(confirm, nullptr);
    PostMessageW(confirm, WM_COMMAND, IDYES, 0);
    EXPECT_TRUE(wizard.Wait(RunLimitMs, exitCode));

    // Every detected IDE with help and demos into a folder with a blank; then an update, the
    // selection named: the previous installation goes first (so every IDE entry is there once)
    // and its folder is proposed.
    const std::wstring release = L"$(BDSLIB)\\$(Platform)\\release",
                       description = L"Standard Edition of Velkora v4.07",
                       bcb = L"Software\\Borland\\C++Builder\\6.0\\",
                       bds = L"Software\\CodeGear\\BDS\\6.0\\",
                       rad11 = L"Software\\Embarcadero\\BDS\\22.0\\",
                       help = L"Software\\Microsoft\\Windows\\Help",
                       product = L"Software\\Brightmoss\\Velkora",
                       exe = L"\"" + install + L"\\unbrm.exe\"",
                       uninstLog = L"\"" + install + L"\\uninst.log\"";
    wchar_t date[16];
    GetDateFormatW(LOCALE_INVARIANT, 0, nullptr, L"yyyyMMdd", date, 16);
    const HKEY user = HKEY_CURRENT_USER, local = HKEY_LOCAL_MACHINE;
    const struct {
        HKEY Root;
        std::wstring Key, Name, Expected;
    } values[] = {
        {user, bcb + L"Known Packages", install + L"\\CBuilder6\\dclvkl60.bpl", description},
        {user, rad11 + L"Known Packages", install + L"\\RADStudio22\\Win32\\dclvkl280.bpl",
         description},
        {user, bcb + L"Library", L"Search Path",
         L"$(BCB)\\Lib;$(BCB)\\Lib\\Obj;" + install + L"\\CBuilder6;" + install + L"\\Source"},
        {user, bds + L"Library", L"Search Path",
         release + L";$(BDS)\\Imports;" + install + L"\\BDS2009"},
        {user, bds + L"Globals", L"ForceEnvOptionsUpdate", L"1"},
        {user, rad11 + L"Library\\Win64", L"Search Path",
         release + L";" + install + L"\\RADStudio22\\Win64"},
        // Without its 64-bit compiler XE10.4 gets no 64-bit path.
        {user, L"Software\\Embarcadero\\BDS\\21.0\\Library\\Win64", L"Search Path", release},
        {local, help, L"vklib.hlp", install + L"\\Help"},
        {local, help, L"vklib.cnt", install + L"\\Help"},
        {local, product, L"RootDir", install},
        {local, UninstallKey, L"DisplayName", L"Brightmoss Velkora v4.07"},
        {local, UninstallKey, L"UninstallString", exe + L" " + uninstLog},
        {local, UninstallKey, L"QuietUninstallString", exe + L" /S " + uninstLog},
        {local, UninstallKey, L"DisplayVersion", L"4.07"},
        {local, UninstallKey, L"Publisher", L"Brightmoss"},
        {local, UninstallKey, L"InstallLocation", install},
        {local, UninstallKey, L"DisplayIcon", install + L"\\unbrm.exe"},
        {local, UninstallKey, L"InstallDate", date},
        {local, UninstallKey, L"URLInfoAbout", L"https://www.brightmoss.com/"}};
    const std::wstring cb6Help = machine.Cb6 + L"\\Help\\bcb6.";
    const auto expectInstalled = [&](const std::wstring& arguments) {
        SCOPED_TRACE(ToAnsi(arguments));
        const std::string run = RunSetup(root, arguments);
        EXPECT_TRUE(run.starts_with("0 0\r\n")) << run;
        const std::wstring log = Utf16File(install + L"\\install.log");
        EXPECT_NE(log.find(L"\r\nRootPath: " + install +
                           L"\r\nBorland products: CBuilder6,BDS2009,RADStudio21,RADStudio22\r\n"),
                  std::wstring::npos);
        const size_t error = log.find(L"Error in ScriptItem");
        EXPECT_EQ(error, std::wstring::npos) << ToAnsi(log.substr(error == log.npos ? 0 : error));
        EXPECT_EQ(ReadFileBytes(install + L"\\uninst.log").substr(0, 7), "UNBRM02");
        // Every package built in its folder by the IDE's tool, checked, and copied; XE10.4 has no
        // 64-bit compiler, so no 64-bit package.
        for (const wchar_t* package :
             {L"CBuilder6\\vkl60.bpl", L"CBuilder6\\dclvkl60.bpl", L"BDS2009\\vkl2009.bpl",
              L"BDS2009\\dclvkl2009.bpl", L"RADStudio21\\Win32\\vkl270.bpl",
              L"RADStudio21\\Win32\\dclvkl270.bpl", L"RADStudio22\\Win32\\vkl280.bpl",
              L"RADStudio22\\Win32\\dclvkl280.bpl", L"RADStudio22\\Win64\\vkl280.bpl"})
            EXPECT_NE(log.find(L"\r\nCheck file: " + install + L"\\" + package + L"...Success\r\n"),
                      std::wstring::npos)
                << ToAnsi(package);
        EXPECT_FALSE(PathExists(install + L"\\RADStudio21\\Win64\\vkl270.bpl"));
        EXPECT_EQ(ReadFileBytes(BaseDir(dcSystem) + L"\\vkl280.bpl"),
                  ReadFileBytes(install + L"\\RADStudio22\\Win32\\vkl280.bpl"));
        for (const auto& row : values) {
            std::wstring text;
            EXPECT_TRUE(ReadRegString(row.Root, row.Key, row.Name, text) && text == row.Expected)
                << ToAnsi(row.Key + L" : " + row.Name + L" = " + text);
        }
        TSnapshot files;
        SnapFiles(install, true, files);
        DWORD bytes = 0, value = 0;
        for (const auto& [path, content] : files)
            bytes += content == "<dir>" ? 0 : static_cast<DWORD>(content.size());
        const std::tuple<std::wstring, const wchar_t*, DWORD> dwords[] = {
            {product, L"InstallVersions", TIdeMachine::Versions},
            {product, L"InstallItems", TIdeMachine::Items},
            {UninstallKey, L"NoModify", 1},
            {UninstallKey, L"NoRepair", 1},
            {UninstallKey, L"EstimatedSize", (bytes + 1023) / 1024}};
        for (const auto& [key, name, expected] : dwords)
            EXPECT_TRUE(ReadRegDword(local, key, name, value) && value == expected)
                << ToAnsi(name) << " = " << value;
        // Help index files extended once, keyword file merged.
        EXPECT_EQ(ReadFileBytes(cb6Help + L"ohi"),
                  ":Index C++Builder=bcb6.hlp\r\n:Index Velkora components=vklib.hlp\r\n");
        EXPECT_EQ(ReadFileBytes(cb6Help + L"ohl"),
                  ":Link bcb6.hlp\r\n:Link bcb6vcl.hlp\r\n:Link vklib.hlp\r\n");
        const std::string als = ReadFileBytes(cb6Help + L"als");
        EXPECT_TRUE(als.find("TForm=TForm") != als.npos && als.find("TVkIniStore=") != als.npos);
        EXPECT_TRUE(ListedByWine(listing));
    };
    expectInstalled(L"/SILENT /DIR=\"" + install + L"\"");
    ASSERT_TRUE(WriteFileBytes(install + L"\\Source\\left-over.txt", "from the first run"));
    expectInstalled(L"/SILENT /select=CBuilder6,BDS2009,RADStudio21,radstudio22,help,demos");
    EXPECT_FALSE(PathExists(install + L"\\Source\\left-over.txt"));

    // /C copies only: no help registered, no package built, no error. Without /C a 64-bit
    // compiler that builds nothing fails one item: the run ends with 4, installed nonetheless.
    ASSERT_TRUE(CopyFileW((tool + L"1.exe").c_str(), (rad + L"dcc64.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(rad + L"standin.log", ""));
    std::string run =
        RunSetup(root, L"/C /SILENT /SELECT=RADStudio22,help,demos \"/DIR=" + install + L"\"");
    EXPECT_TRUE(run.starts_with("0 0\r\n")) << run;
    EXPECT_EQ(ReadFileBytes(rad + L"standin.log"), "") << "no compiler ran";
    EXPECT_TRUE(PathExists(install + L"\\Help\\vklib.hlp") &&
                PathExists(install + L"\\RADStudio22\\vkl280.dpk"));
    EXPECT_FALSE(PathExists(install + L"\\RADStudio22\\vkl280.dpk.log"));
    EXPECT_EQ(Utf16File(install + L"\\install.log").find(L"Error in ScriptItem"),
              std::wstring::npos);
    std::wstring ignored;
    EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, help, L"vklib.hlp", ignored));
    run = RunSetup(root, L"/SILENT /SELECT=RADStudio22");
    EXPECT_TRUE(run.starts_with("4 4\r\n") && run.find("install.log") != run.npos) << run;
    const std::wstring failed = Utf16File(install + L"\\install.log"),
                       error = L"\r\nError in ScriptItem=";
    EXPECT_TRUE(failed.find(error) != failed.npos && failed.find(error) == failed.rfind(error));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    ASSERT_TRUE(CopyFileW((tool + L"0.exe").c_str(), (rad + L"dcc64.exe").c_str(), FALSE));
    ASSERT_TRUE(DeleteFileW((rad + L"standin.log").c_str()));

    // The quiet command run through cmd as a script does returns with all gone but the
    // uninstaller's file and folder, which follow with its copy in the temporary folder; that
    // folder's name holds what cmd would expand.
    const std::wstring temp = root + L"-100% %OS%", userTemp = BaseDir(dcTemp);
    ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
    for (const wchar_t* name : {L"TMP", L"TEMP"})  // GetTempPathW reads them in this order
        SetEnvironmentVariableW(name, temp.c_str());
    ChildProcess cmd;
    StartProcess(cmd, BaseDir(dcSystem) + L"\\cmd.exe",
                 L"/c \"" + exe + L" /S " + uninstLog + L"\"", root);
    EXPECT_TRUE(cmd && cmd.Wait(RunLimitMs, exitCode) && exitCode == 0) << exitCode;
    std::set<std::string> left = Differences(before, SnapMachine(root));
    left.erase("added " + ToAnsi(install));
    left.erase("added " + ToAnsi(install + L"\\unbrm.exe"));
    std::set<std::string> expected = LeftByDesign(machine.Cb6);
    expected.insert(WineShellUsersValue);
    EXPECT_EQ(left, expected);
    EXPECT_TRUE(Eventually([&] { return !PathExists(install) && TempEntries().empty(); },
                           RunLimitMs))
        << TempEntries().size();
    for (const wchar_t* name : {L"TMP", L"TEMP"})
        SetEnvironmentVariableW(name, userTemp.c_str());
    RemoveDirectoryW(temp.c_str());
    EXPECT_FALSE(ListedByWine(listing));
    SetCurrentDirectoryW(BaseDir(dcTemp).c_str());
    RemoveTree(root);
    DeleteFileW(listing.c_str());
}
