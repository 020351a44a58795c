// setup.exe and unbrm.exe as users and scripts start them, in a fresh prefix (the programs write
// the registry, the setup lock is machine-wide), with a marker DLL beside each program under every
// name of VELKORA_PLANTED_DLLS, which Wine is told to prefer as Windows would: none may load.
#include "product/UCommandLine.h"
#include "product/UFiles.h"
#include "product/URegistry.h"
#include "product/UResourceIds.h"
#include "script/UUninstLog.h"
#include "tests/MachineSnapshot.h"

#include <sstream>

using namespace vktest;

namespace {

const wchar_t* const UninstallCaption = L"Velkora Uninstall";
constexpr DWORD StartMs = 30000;  // a program's first window or its end, on a loaded machine
constexpr DWORD RunMs = 120000;   // a whole installation

DWORD Ended(ChildProcess& child) {
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(child.Wait(StartMs, code)) << "the program did not end";
    return code;
}

HWND Box(const ChildProcess& child, const wchar_t* caption, DWORD timeoutMs = StartMs) {
    return WaitForWindow(L"#32770", caption, child.Info.dwProcessId, timeoutMs);
}

// The busy box and no other window; closed, the program ends with exitCode.
void ExpectBusy(ChildProcess& child, DWORD exitCode) {
    HWND box = Box(child, sInstallCaption);
    ASSERT_NE(box, nullptr) << "no busy box";
    EXPECT_TRUE(HasText(box, L"Another setup or uninstaller of Velkora is running.\r\n\r\nWait "
                             L"until it has finished, then start this program again."));
    EXPECT_EQ(Box(child, WizardCaption, 0), nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(Ended(child), exitCode);
}

// Ends a wizard that has not started its run: Cancel, then Yes.
void CancelWizard(HWND wizard, ChildProcess& child) {
    Click(wizard, idcCancel);
    HWND confirm = Box(child, sInstallCaption);
    ASSERT_NE(confirm, nullptr);
    PostMessageW(confirm, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(Ended(child), 0u);
}

}  // namespace

// Two setups started together: one gets the machine, the other says so and ends without a trace;
// /C /X and /? run beside it. The wizard installs help and demos. Its uninstaller refuses bad
// logs and, while setup runs, the machine; on its own it asks, and holds the lock from its
// question until its temporary copy, which shows the walk and its end, is gone.
TEST(Programs, SetupAndTheUninstallerTakeTurnsAndLoadNoPlantedDll) {
    std::vector<std::wstring> names;
    std::wistringstream list(EnvironmentValue(L"VELKORA_PLANTED_DLLS"));
    for (std::wstring name; std::getline(list, name, L',');)
        names.push_back(name);
    ASSERT_FALSE(names.empty()) << "VELKORA_PLANTED_DLLS is not set";
    const std::wstring root = BaseDir(dcTemp) + L"vkprograms-" +
                              std::to_wstring(GetCurrentProcessId()),
                       downloads = root + L"\\Downloads", setup = downloads + L"\\setup.exe",
                       target = root + L"\\Program Files\\Velkora Lib",
                       unbrm = target + L"\\unbrm.exe";
    const auto plantBeside = [&](const std::wstring& dir) {
        for (const std::wstring& name : names)
            ASSERT_TRUE(CopyFileW((BuildDir() + L"\\fixtures\\planted_marker.dll").c_str(),
                                  (dir + L"\\" + name + L".dll").c_str(), FALSE));
    };
    ASSERT_EQ(CreateDirectoryPath(downloads), 0u);
    ASSERT_TRUE(CopyFileW((BuildDir() + L"\\setup.exe").c_str(), setup.c_str(), FALSE));
    plantBeside(downloads);

    ChildProcess one, two, extract, params;
    StartProcess(one, setup, L"", root);
    StartProcess(two, setup, L"", root);
    ChildProcess* busy = nullptr;
    ASSERT_TRUE(Eventually(
        [&] {
            for (ChildProcess* child : {&one, &two})
                busy = Box(*child, sInstallCaption, 0) ? child : busy;
            return busy != nullptr;
        },
        StartMs))
        << "neither setup says that the other runs";
    ChildProcess& installer = busy == &one ? two : one;
    HWND wizard = Box(installer, WizardCaption);
    ASSERT_NE(wizard, nullptr);
    ExpectBusy(*busy, exSetupRunning);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, sProductRegKey));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\extract").c_str(), nullptr));
    StartProcess(extract, setup, L"/C /X", root + L"\\extract");
    EXPECT_EQ(Ended(extract), 0u);
    EXPECT_TRUE(FileExists(root + L"\\extract\\Source\\Velkora.inc")) << "the last, /X, extracts";
    StartProcess(params, setup, L"-h", root);
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
    EXPECT_EQ(WalkToReadyPage(wizard, target + L"\\", StartMs), "---------------------xx");
    Click(wizard, idcNext);
    ASSERT_TRUE(Eventually(
        [&] {
            if (HWND error = Box(installer, L"Error", 0)) {
                ADD_FAILURE() << "an error box";
                PostMessageW(error, WM_COMMAND, IDOK, 0);
            }
            return WindowText(GetDlgItem(wizard, idcCancel)) == L"Finish";
        },
        RunMs));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(wizard, idcNext)) ||
                 IsWindowVisible(GetDlgItem(wizard, idcBack)));
    Click(wizard, idcCancel);
    EXPECT_EQ(Ended(installer), 0u);
    for (const wchar_t* dir : {L"\\Source", L"\\Help", L"\\Demos"})
        EXPECT_TRUE(DirectoryExists(target + dir)) << ToAnsi(dir);
    const std::string installLog = ReadFileBytes(target + L"\\install.log");
    EXPECT_TRUE(installLog.size() > 2 && installLog[0] != '\xFF' && installLog[1] == '\0')
        << "UTF-16LE text without a byte-order mark";
    DWORD items = 0, versions = 1, customize = 0;
    std::wstring rootDir;
    EXPECT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, L"InstallItems", items) &&
                ReadRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, L"InstallVersions", versions) &&
                ReadRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, L"CustomizeItems", customize) &&
                ReadRegString(HKEY_LOCAL_MACHINE, sProductRegKey, L"RootDir", rootDir));
    EXPECT_EQ(std::tuple(items, versions, customize, rootDir),
              std::tuple(0x280ul, 0ul, 5ul, target))
        << "RootDir: one trailing separator dropped";

    // unbrm /S needs no window: a damaged log, or one with a record that reaches outside what an
    // installation writes, fails with 2 and removes nothing.
    plantBeside(target);
    const std::wstring log = target + L"\\uninst.log", outside = root + L"\\user.txt",
                       foreignKey = L"Software\\Other\\Product";
    const std::string goodLog = ReadFileBytes(log);
    ASSERT_EQ(goodLog.substr(0, UninstMagicSize), UninstLogMagic);
    ASSERT_TRUE(WriteFileBytes(outside, "the user's own"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, foreignKey, L"Version", L"1"));
    const auto untouched = [&] {
        return PathExists(target + L"\\Source") && PathExists(unbrm) &&
               KeyExists(HKEY_LOCAL_MACHINE, sProductRegKey) &&
               ReadFileBytes(outside) == "the user's own" &&
               KeyExists(HKEY_LOCAL_MACHINE, foreignKey);
    };
    const auto record = [](uint32_t kind, uint32_t code, const std::wstring& text) {
        return EncodeUninstRecord(kind | ifLogUninstall << 16, code, dcInstall, ToUtf8(text));
    };
    std::string damaged = goodLog;
    damaged.back() = '\x7F';  // the last RecLen now reaches far before the file's start
    for (const std::string& bad : {damaged, goodLog + record(siExtractFile, 0, L"..\\user.txt"),
                                   goodLog + record(siCreateRegKey, 0x80000002, foreignKey)}) {
        ChildProcess refusing;
        ASSERT_TRUE(WriteFileBytes(log, bad));
        StartProcess(refusing, unbrm, L"/S \"" + log + L"\"", target);
        EXPECT_EQ(Ended(refusing), 2u);
        EXPECT_TRUE(untouched());
    }
    ASSERT_TRUE(WriteFileBytes(log, goodLog));
    // A switch that wants a value and has none is a log path like any other word: no log there.
    // No log named at all ends with 1.
    for (const auto& [arguments, code] : {std::pair{L"/S /R", 2u}, {L"/S -L", 2u}, {L"/S", 1u}}) {
        ChildProcess refusing;
        StartProcess(refusing, unbrm, arguments, target);
        EXPECT_EQ(Ended(refusing), code) << ToAnsi(arguments);
        EXPECT_TRUE(untouched());
    }
    // Without /S each refusal is a box with its reason; closed, the program ends with its code.
    const auto answered = [&](const std::wstring& arguments, const std::wstring& text,
                              WPARAM button) {
        ChildProcess child;
        StartProcess(child, unbrm, arguments, target);
        const HWND box = Box(child, UninstallCaption);
        EXPECT_TRUE(box && HasText(box, text)) << ToAnsi(arguments);
        PostMessageW(box, WM_COMMAND, button, 0);
        return Ended(child);
    };
    const std::wstring nothingRemoved = L". Nothing was removed.";
    EXPECT_EQ(answered(L"", L"Usage: unbrm.exe [/S] <uninstall log>", IDOK), 1u);
    EXPECT_EQ(answered(L"gone.log",
                       L"The uninstall log\r\n" + target +
                           L"\\gone.log\r\ncannot be used: it cannot be opened" + nothingRemoved,
                       IDOK),
              2u);
    ASSERT_TRUE(WriteFileBytes(log, damaged));
    EXPECT_EQ(answered(L"uninst.log",
                       L"The uninstall log\r\n" + log + L"\r\ncannot be used: it is damaged" +
                           nothingRemoved,
                       IDOK),
              2u);
    ASSERT_TRUE(WriteFileBytes(log, goodLog));
    EXPECT_EQ(answered(L"uninst.log",
                       L"Do you want to completely remove \"Standard Edition of Velkora v4.07\" "
                       L"and all of its components?",
                       IDNO),
              3u);
    EXPECT_TRUE(untouched());

    // While setup runs, unbrm ends with 5: silently with /S, else after the busy box.
    ChildProcess running, silent, asking, original, whileAsking, whileCopyRuns, after;
    StartProcess(running, setup, L"", root);
    wizard = Box(running, WizardCaption);
    ASSERT_NE(wizard, nullptr);
    StartProcess(silent, unbrm, L"/S uninst.log", target);
    EXPECT_EQ(Ended(silent), 5u) << "busy, without a box";
    StartProcess(asking, unbrm, L"uninst.log", target);
    ExpectBusy(asking, 5);
    EXPECT_TRUE(untouched());
    CancelWizard(wizard, running);

    // The temporary folder but setup's result file, which each setup run writes.
    const auto temp = [] {
        TSnapshot entries = TempEntries();
        entries.erase(BaseDir(dcTemp) + L"VelkoraSetup.txt");
        return entries;
    };
    const TSnapshot tempBefore = temp();
    StartProcess(original, unbrm, L"uninst.log", target);  // named relatively
    HWND question = Box(original, UninstallCaption);
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(HasText(question, L"Do you want to completely remove \"Standard Edition of "
                                  L"Velkora v4.07\" and all of its components?"));
    StartProcess(whileAsking, setup, L"", root);
    ExpectBusy(whileAsking, exSetupRunning);
    EXPECT_TRUE(untouched());
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(Ended(original), 0u);
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
    EXPECT_EQ(WindowText(GetDlgItem(progress, idcPageText)),
              L"Performing uninstall of the \"Standard Edition of Velkora v4.07\"...");
    // All of the installation is gone; the planted files keep its folder.
    TSnapshot left;
    SnapFiles(target, false, left);
    for (const std::wstring& name : names)
        left.erase(target + L"\\" + name + L".dll");
    EXPECT_EQ(left, TSnapshot{});
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, sProductRegKey));
    StartProcess(whileCopyRuns, setup, L"", root);
    ExpectBusy(whileCopyRuns, exSetupRunning);
    PostMessageW(closing, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Eventually([&] { return temp() == tempBefore; }, StartMs)) << "the copy stayed";
    StartProcess(after, setup, L"", root);
    HWND free = Box(after, WizardCaption);
    ASSERT_NE(free, nullptr) << "the lock went with the copy";
    CancelWizard(free, after);
    for (const std::wstring& dir : {downloads, target})
        for (const std::wstring& name : names)
            EXPECT_FALSE(PathExists(dir + L"\\" + name + L".dll.ran")) << ToAnsi(name);
}
