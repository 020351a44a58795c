// setup.exe and unbrm.exe as users and scripts start them; each case in a fresh prefix of its own
// (the programs write the registry, the setup lock is machine-wide), Wine preferring planted DLLs.
#include "product/UCommandLine.h"
#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/URegistry.h"
#include "product/USingleInstance.h"
#include "script/UScriptItems.h"
#include "support/UText.h"
#include "tests/TestSupport.h"
#include "script/UUninstLog.h"
#include "wizard/UPage.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace vktest;

namespace {

const wchar_t* const UninstallCaption = L"Velkora Uninstall";
constexpr DWORD StartMs = 30000;  // a program's first window or its end, on a loaded machine
constexpr DWORD RunMs = 120000;   // a whole installation

class Programs : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        Install = TempPath(L"Velkora Lib");
        Log = Install + L"\\uninst.log";
    }
    void Start(ChildProcess& child, const std::wstring& program, const std::wstring& arguments,
               const std::wstring& directory = L"") {
        StartProcess(child, program, arguments, directory.empty() ? TempDir : directory);
        ASSERT_TRUE(child) << child.StartError;
    }
    static DWORD Ended(ChildProcess& child) {
        DWORD code = STILL_ACTIVE;
        EXPECT_TRUE(child.Wait(StartMs, code)) << "the program did not end";
        return code;
    }
    static HWND Box(const ChildProcess& child, const wchar_t* caption, DWORD timeoutMs = StartMs) {
        return WaitForWindow(L"#32770", caption, child.Info.dwProcessId, timeoutMs);
    }
    // The busy box and no other window; closed, the program ends with exitCode.
    static void ExpectBusy(ChildProcess& child, DWORD exitCode) {
        HWND box = Box(child, sInstallCaption);
        ASSERT_NE(box, nullptr) << "no busy box";
        EXPECT_TRUE(HasText(box, SetupBusyText()));
        EXPECT_EQ(Box(child, WizardCaption, 0), nullptr);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(Ended(child), exitCode);
    }
    // Ends a wizard that has not started its run: Cancel, then Yes.
    static void CancelWizard(HWND wizard, ChildProcess& child) {
        Click(wizard, idcCancel);
        HWND confirm = Box(child, sInstallCaption);
        ASSERT_NE(confirm, nullptr);
        PostMessageW(confirm, WM_COMMAND, IDYES, 0);
        EXPECT_EQ(Ended(child), 0u);
    }
    // A small installation in Install (Source\a.pas, unbrm.exe unless planted, the product's key)
    // with the log that undoes it.
    void MakeInstallation(bool copyUnbrm = true) {
        ASSERT_EQ(CreateDirectoryPath(Install + L"\\Source"), 0u);
        ASSERT_TRUE(!copyUnbrm || CopyFileW((BuildDir() + L"\\unbrm.exe").c_str(),
                                            (Install + L"\\unbrm.exe").c_str(), FALSE));
        ASSERT_TRUE(WriteFileBytes(Install + L"\\Source\\a.pas", "unit a;"));
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, sProductRegKey, L"Version", L"4.07"));
        ASSERT_TRUE(WriteFileBytes(Log, LogText()));
    }
    std::string LogText(const std::string& extra = {}) const {
        std::string log(UninstLogMagic, UninstMagicSize);
        const std::pair<uint32_t, std::wstring> header[] = {
            {1, sProductName},   {2, sProductVersion},     {3, sProductType}, {4, Install},
            {5, sProductRegKey}, {7, sUninstallEntryName}, {6, L""}};
        for (const auto& [code, text] : header)
            log += Record(siProductInfo, code, 0, text);
        log += Record(siCreateDir, 0, dcInstall, L"") +
               Record(siCreateDir, 0, dcInstall, L"Source") +
               Record(siExtractFile, 0, dcInstall, L"Source\\a.pas") +
               Record(siExtractFileIfNewer, 0, dcInstall, L"unbrm.exe");
        return log + Record(siCreateRegKey, 0x80000002, 0, sProductRegKey) + extra;
    }
    static std::string Record(uint32_t kind, uint32_t code, int32_t dirCode,
                              const std::wstring& text) {
        return EncodeUninstRecord(kind | 0x10000, code, dirCode, ToUtf8(text));
    }
    DWORD RemoveSilently(const std::wstring& log) {
        ChildProcess unbrm;
        Start(unbrm, Install + L"\\unbrm.exe", L"/S \"" + log + L"\"", Install);
        return Ended(unbrm);
    }
    bool Untouched() const {
        return PathExists(Install + L"\\Source\\a.pas") && PathExists(Install + L"\\unbrm.exe") &&
               KeyExists(HKEY_LOCAL_MACHINE, sProductRegKey);
    }
    bool Removed() const {
        return !PathExists(Install) && !KeyExists(HKEY_LOCAL_MACHINE, sProductRegKey);
    }

    const std::wstring Setup = BuildDir() + L"\\setup.exe";
    std::wstring Install, Log;
};

}  // namespace

// Started together, one setup gets the machine and the other says so and ends without a trace;
// /C /X and /? are no installations and run beside it. The first then installs help and demos
// through the six pages, and the installed uninstaller removes it all silently.
TEST_F(Programs, TwoSetupsRunOneWizardThatInstallsAndTheUninstallerRemovesIt) {
    ChildProcess one, two;
    Start(one, Setup, L"");
    Start(two, Setup, L"");
    ChildProcess* busy = nullptr;
    ASSERT_TRUE(Eventually(
        [&] {
            for (ChildProcess* child : {&one, &two})
                if (Box(*child, sInstallCaption, 0))
                    busy = child;
            return busy != nullptr;
        },
        StartMs))
        << "neither setup says that the other runs";
    ChildProcess& setup = busy == &one ? two : one;
    HWND wizard = Box(setup, WizardCaption);
    ASSERT_NE(wizard, nullptr);
    ExpectBusy(*busy, exSetupRunning);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, sProductRegKey));

    ChildProcess extract, params;
    ASSERT_TRUE(CreateDirectoryW(TempPath(L"extract").c_str(), nullptr));
    Start(extract, Setup, L"/C /X", TempPath(L"extract"));
    EXPECT_EQ(Ended(extract), 0u);
    EXPECT_TRUE(PathExists(TempPath(L"extract\\Source"))) << "the last switch, /X, extracts";
    Start(params, Setup, L"-h");
    HWND box = Box(params, L"Parameters description");
    ASSERT_NE(box, nullptr) << "/? runs beside the wizard";
    EXPECT_TRUE(
        HasText(box, L"Brightmoss setup parameters description:\r\n"
                     L"  /C - Copy files only. No package,help registration;\r\n"
                     L"  /E - Enable controls even if previous version installed;\r\n"
                     L"  /X - Extract files to the current directory. No dialog. No package,help "
                     L"registration;\r\n  /? - Parameters description."));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(Ended(params), 0u);

    // No IDE here: only the two optional rows can be and are checked.
    const std::wstring target = TempPath(L"Program Files\\Velkora Lib");
    EXPECT_EQ(WalkToReadyPage(wizard, target + L"\\", StartMs), "---------------------xx");
    Click(wizard, idcNext);
    ASSERT_TRUE(Eventually(
        [&] {
            if (HWND error = Box(setup, L"Error", 0)) {
                ADD_FAILURE() << "an error box";
                PostMessageW(error, WM_COMMAND, IDOK, 0);
            }
            return WindowText(GetDlgItem(wizard, idcCancel)) == L"Finish";
        },
        RunMs));
    for (int id : {idcNext, idcBack})
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(wizard, id))) << id;
    Click(wizard, idcCancel);
    EXPECT_EQ(Ended(setup), 0u);

    for (const wchar_t* dir : {L"\\Source", L"\\Help", L"\\Demos"})
        EXPECT_TRUE(DirectoryExists(target + dir)) << ToAnsi(dir);
    const std::string log = ReadFileBytes(target + L"\\install.log");
    ASSERT_GE(log.size(), 2u);
    EXPECT_TRUE(log[0] != '\xFF' && log[1] == '\0') << "UTF-16LE text without a byte-order mark";
    EXPECT_EQ(ReadFileBytes(target + L"\\uninst.log").substr(0, 7), "UNBRM02");
    const std::pair<const wchar_t*, DWORD> dwords[] = {
        {L"InstallItems", 0x280}, {L"InstallVersions", 0}, {L"CustomizeItems", 5}};
    for (const auto& [name, expected] : dwords) {
        DWORD value = 0xBAD;
        EXPECT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, name, value));
        EXPECT_EQ(value, expected) << ToAnsi(name);
    }
    std::wstring rootDir;
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, sProductRegKey, L"RootDir", rootDir));
    EXPECT_EQ(rootDir, target) << "one trailing separator dropped";

    ChildProcess unbrm;
    Start(unbrm, target + L"\\unbrm.exe", L"/S \"" + target + L"\\uninst.log\"");
    EXPECT_EQ(Ended(unbrm), 0u);
    EXPECT_TRUE(Eventually([&] { return !PathExists(target); }, StartMs));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, sProductRegKey));
}

// unbrm.exe refuses while setup runs (silently with /S). Run on its own, it asks, and holds the
// lock from its question until its temporary copy, which shows the walk and its end, is gone:
// setup started meanwhile is refused, also after the hand-over to the copy.
TEST_F(Programs, TheUninstallerWaitsItsTurnAndHandsTheLockToItsCopy) {
    MakeInstallation();
    const std::wstring unbrm = Install + L"\\unbrm.exe", logArgument = L"\"" + Log + L"\"";
    ChildProcess setup, silent, asking;
    Start(setup, Setup, L"");
    HWND wizard = Box(setup, WizardCaption);
    ASSERT_NE(wizard, nullptr);
    Start(silent, unbrm, L"/S " + logArgument);
    EXPECT_EQ(Ended(silent), 5u) << "busy, without a box";
    Start(asking, unbrm, logArgument);
    ExpectBusy(asking, 5);
    EXPECT_TRUE(Untouched());
    CancelWizard(wizard, setup);

    ChildProcess original, whileAsking;
    Start(original, unbrm, logArgument);
    HWND question = Box(original, UninstallCaption);
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(HasText(question, L"Do you want to completely remove \"Standard Edition of "
                                  L"Velkora v4.07\" and all of its components?"));
    Start(whileAsking, Setup, L"");
    ExpectBusy(whileAsking, exSetupRunning);
    EXPECT_TRUE(Untouched());
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(Ended(original), 0u);

    // The copy shows the walk in the wizard's window and then says that it is done.
    HWND closing = nullptr;
    ASSERT_TRUE(Eventually(
        [&] {
            closing = WaitForWindow(L"#32770", UninstallCaption, 0, 0);
            return closing && HasText(closing, L"\"Standard Edition of Velkora v4.07\" was "
                                               L"successfully removed from your computer.");
        },
        StartMs));
    HWND progress = GetWindow(closing, GW_OWNER);
    EXPECT_EQ(WindowText(progress), L"Uninstalling Velkora");
    EXPECT_EQ(WindowText(GetDlgItem(progress, 256)),
              L"Performing uninstall of the \"Standard Edition of Velkora v4.07\"...");
    EXPECT_TRUE(Removed());
    ChildProcess whileCopyRuns, after;
    Start(whileCopyRuns, Setup, L"");
    ExpectBusy(whileCopyRuns, exSetupRunning);
    DWORD copyId = 0;
    GetWindowThreadProcessId(closing, &copyId);
    const handles::KernelHandle copy(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, copyId));
    ASSERT_TRUE(copy);
    wchar_t copyPath[MAX_PATH];
    DWORD length = MAX_PATH;
    ASSERT_TRUE(QueryFullProcessImageNameW(copy.get(), 0, copyPath, &length));
    PostMessageW(closing, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(WaitForSingleObject(copy.get(), StartMs), WAIT_OBJECT_0);
    EXPECT_TRUE(Eventually([&] { return !PathExists(copyPath); }, StartMs)) << "the copy stayed";

    Start(after, Setup, L"");
    HWND free = Box(after, WizardCaption);
    ASSERT_NE(free, nullptr) << "the lock went with the copy";
    CancelWizard(free, after);
}

// A marker DLL beside setup.exe and unbrm.exe under each name of VELKORA_PLANTED_DLLS: /X, the
// wizard and unbrm /S (refusing bad logs, then removing) do their work, and none loads a marker.
TEST_F(Programs, DllsPlantedBesideTheProgramsAreNeverLoaded) {
    std::vector<std::wstring> names;
    std::wistringstream list(EnvironmentValue(L"VELKORA_PLANTED_DLLS"));
    for (std::wstring name; std::getline(list, name, L',');)
        names.push_back(name);
    ASSERT_FALSE(names.empty()) << "VELKORA_PLANTED_DLLS is not set";
    const auto plantBeside = [&](const wchar_t* program, const std::wstring& dir) {
        ASSERT_EQ(CreateDirectoryPath(dir), 0u);
        ASSERT_TRUE(CopyFileW((BuildDir() + L"\\" + program).c_str(),
                              (dir + L"\\" + program).c_str(), FALSE));
        for (const std::wstring& name : names)
            ASSERT_TRUE(CopyFileW((BuildDir() + L"\\fixtures\\planted_marker.dll").c_str(),
                                  (dir + L"\\" + name + L".dll").c_str(), FALSE));
    };
    const auto expectNoMarkerRan = [&](const std::wstring& dir) {
        for (const std::wstring& name : names)
            EXPECT_FALSE(PathExists(dir + L"\\" + name + L".dll.ran")) << ToAnsi(name);
    };
    const std::wstring downloads = TempPath(L"Downloads"), setup = downloads + L"\\setup.exe";
    plantBeside(L"setup.exe", downloads);
    ChildProcess extract, wizardRun;
    Start(extract, setup, L"/X", downloads);
    EXPECT_EQ(Ended(extract), 0u);
    EXPECT_TRUE(FileExists(downloads + L"\\Source\\Velkora.inc")) << "the extraction ran";
    Start(wizardRun, setup, L"", downloads);
    HWND wizard = Box(wizardRun, WizardCaption);
    ASSERT_NE(wizard, nullptr);
    CancelWizard(wizard, wizardRun);
    expectNoMarkerRan(downloads);

    // unbrm /S needs no window: a damaged log, or one with a record that reaches outside what an
    // installation writes, fails with 2 and removes nothing; a sound one named relatively removes.
    plantBeside(L"unbrm.exe", Install);
    MakeInstallation(false);
    const std::wstring outside = TempPath(L"user.txt"), foreignKey = L"Software\\Other\\Product";
    ASSERT_TRUE(WriteFileBytes(outside, "the user's own"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, foreignKey, L"Version", L"1"));
    std::string damaged = LogText();
    damaged.back() = '\x7F';  // the last RecLen now reaches far before the file's start
    for (const std::string& log :
         {damaged, LogText(Record(siExtractFile, 0, dcInstall, L"..\\user.txt")),
          LogText(Record(siCreateRegKey, 0x80000002, 0, foreignKey))}) {
        ASSERT_TRUE(WriteFileBytes(Log, log));
        EXPECT_EQ(RemoveSilently(Log), 2u);
        EXPECT_TRUE(Untouched());
        EXPECT_EQ(ReadFileBytes(outside), "the user's own");
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, foreignKey));
    }
    ASSERT_TRUE(WriteFileBytes(Log, LogText()));
    EXPECT_EQ(RemoveSilently(L"uninst.log"), 0u);
    // The planted files keep the directory itself.
    EXPECT_TRUE(Eventually([&] { return !PathExists(Install + L"\\Source"); }, StartMs));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, sProductRegKey));
    expectNoMarkerRan(Install);
}
