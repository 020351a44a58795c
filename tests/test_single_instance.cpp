// One setup or uninstaller at a time, between the real programs. Each case runs in a fresh
// copy of the Wine prefix of its own (tools/in-fresh-prefix.sh): the lock is machine-wide, and
// setup.exe writes the machine's registry.
#include "entry/UCommandLine.h"
#include "product/UConst.h"
#include "product/USingleInstance.h"
#include "product/UUtils.h"
#include "script/UScriptItems.h"
#include "tests/TestSupport.h"
#include "uninstall/UUninstLog.h"
#include "product/UResourceIds.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vktest;

namespace {

const wchar_t* const UninstallCaption = L"Velkora Uninstall";
constexpr DWORD StartMs = 30000;  // a program's first window, under a loaded machine

bool HasText(HWND box, const std::wstring& text) {
    const std::vector<std::wstring> texts = ChildTexts(box);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

DWORD Pid(const ChildProcess& child) {
    return child.Info.dwProcessId;
}

class SingleInstance : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        // The programs write this fresh prefix's registry: the test reads the same.
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    }
    void Start(ChildProcess& child, const std::wstring& program, const std::wstring& arguments,
               const std::wstring& directory = L"") {
        StartProcess(child, program, arguments, directory.empty() ? TempDir : directory);
        ASSERT_TRUE(child) << child.StartError;
    }
    // The program shows the busy box and, once it is closed, ends with exitCode, having shown
    // no other window.
    void ExpectBusy(ChildProcess& child, DWORD exitCode) {
        HWND box = WaitForWindow(L"#32770", sInstallCaption, Pid(child), StartMs);
        ASSERT_NE(box, nullptr) << "no busy box";
        EXPECT_TRUE(HasText(box, SetupBusyText()));
        EXPECT_EQ(WaitForWindow(L"#32770", WizardCaption, Pid(child), 0), nullptr);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        DWORD code = STILL_ACTIVE;
        EXPECT_TRUE(child.Wait(StartMs, code));
        EXPECT_EQ(code, exitCode);
    }
    // Ends a wizard that has not started its run: Cancel, then Yes.
    static void CancelWizard(HWND wizard, ChildProcess& child) {
        Click(wizard, idcCancel);
        HWND confirm = WaitForWindow(L"#32770", sInstallCaption, Pid(child), StartMs);
        ASSERT_NE(confirm, nullptr);
        PostMessageW(confirm, WM_COMMAND, IDYES, 0);
        DWORD code = STILL_ACTIVE;
        EXPECT_TRUE(child.Wait(StartMs, code));
    }
    const std::wstring Setup = BuildDir() + L"\\setup.exe";
};

// The wizard through its pages into target, to the finish page, and closed.
void InstallWith(HWND wizard, ChildProcess& setup, const std::wstring& target) {
    const auto shown = [&](int id) { return IsWindowVisible(GetDlgItem(wizard, id)) != FALSE; };
    Click(wizard, idcNext);
    ASSERT_TRUE(Eventually([&] { return shown(idcProductList); }, StartMs));
    Click(wizard, idcNext);
    ASSERT_TRUE(Eventually([&] { return shown(idcDirectoryEdit); }, StartMs));
    SendMessageW(GetDlgItem(wizard, idcDirectoryEdit), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(target.c_str()));
    Click(wizard, idcNext);
    ASSERT_TRUE(
        Eventually([&] { return WindowText(GetDlgItem(wizard, idcNext)) == L"Start"; }, StartMs));
    Click(wizard, idcNext);
    const bool finished = Eventually(
        [&] {
            if (HWND box = WaitForWindow(L"#32770", L"Error", Pid(setup), 0)) {
                ADD_FAILURE() << "an error box";
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
            return WindowText(GetDlgItem(wizard, idcCancel)) == L"Finish";
        },
        120000);
    ASSERT_TRUE(finished);
    Click(wizard, idcCancel);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(setup.Wait(StartMs, code));
    EXPECT_EQ(code, 0u);
}

std::string HeaderOnlyLog(const std::wstring& installDir) {
    std::string log = UninstLogMagic;
    const std::pair<uint32_t, std::wstring> header[] = {
        {1, sProductName},   {2, sProductVersion},     {3, sProductType}, {4, installDir},
        {5, sProductRegKey}, {7, sUninstallEntryName}, {6, L""}};
    for (const auto& [code, text] : header)
        log += EncodeUninstRecord(siProductInfo | 0x10000, code, 0, ToUtf8(text));
    // Undoing the folder's creation removes it: the sign that the walk ran.
    return log + EncodeUninstRecord(siCreateDir | 0x10000, 0, dcInstall, "");
}

}  // namespace

// Started together, one setup gets the machine and the other says so and ends without a trace;
// /X and /? are no installations and run beside it. The first then installs to the end.
TEST_F(SingleInstance, TwoSetupsStartedTogetherRunOneWizard) {
    ChildProcess one, two;
    Start(one, Setup, L"");
    Start(two, Setup, L"");
    ChildProcess* busy = nullptr;
    ASSERT_TRUE(Eventually(
        [&] {
            for (ChildProcess* child : {&one, &two})
                if (WaitForWindow(L"#32770", sInstallCaption, Pid(*child), 0))
                    busy = child;
            return busy != nullptr;
        },
        StartMs))
        << "neither setup says that the other runs";
    ChildProcess& running = busy == &one ? two : one;
    HWND wizard = WaitForWindow(L"#32770", WizardCaption, Pid(running), StartMs);
    ASSERT_NE(wizard, nullptr);
    ExpectBusy(*busy, exSetupRunning);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, sProductRegKey));

    ChildProcess extract;
    ASSERT_TRUE(CreateDirectoryW(TempPath(L"extract").c_str(), nullptr));
    Start(extract, Setup, L"/X", TempPath(L"extract"));
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(extract.Wait(StartMs, code));
    EXPECT_TRUE(PathExists(TempPath(L"extract\\ReadMe.txt"))) << "/X runs beside the wizard";
    ChildProcess params;
    Start(params, Setup, L"/?");
    HWND box = WaitForWindow(L"#32770", L"Parameters description", Pid(params), StartMs);
    ASSERT_NE(box, nullptr) << "/? runs beside the wizard";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(params.Wait(StartMs, code));

    const std::wstring target = TempPath(L"Velkora");
    InstallWith(wizard, running, target);
    std::wstring rootDir;
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, sProductRegKey, L"RootDir", rootDir));
    EXPECT_EQ(rootDir, target);
    EXPECT_TRUE(PathExists(target + L"\\uninst.log"));
}

// unbrm.exe refuses while setup runs (silently with /S). Run on its own, it holds the lock from
// its question until its temporary copy has ended: setup started meanwhile is refused, also
// after the original has handed over to the copy, and runs once the copy is gone.
TEST_F(SingleInstance, TheUninstallerWaitsItsTurnAndHandsTheLockToItsCopy) {
    const std::wstring install = TempPath(L"Velkora Lib");
    const std::wstring unbrm = install + L"\\unbrm.exe";
    const std::wstring log = install + L"\\uninst.log";
    ASSERT_EQ(CreateDirectoryPath(install), 0u);
    ASSERT_TRUE(CopyFileW((BuildDir() + L"\\unbrm.exe").c_str(), unbrm.c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(log, HeaderOnlyLog(install)));
    const std::wstring logArgument = L"\"" + log + L"\"";

    ChildProcess setup;
    Start(setup, Setup, L"");
    HWND wizard = WaitForWindow(L"#32770", WizardCaption, Pid(setup), StartMs);
    ASSERT_NE(wizard, nullptr);
    ChildProcess silent;
    Start(silent, unbrm, L"/S " + logArgument);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(silent.Wait(StartMs, code));
    EXPECT_EQ(code, 5u) << "busy, without a box";
    ChildProcess asking;
    Start(asking, unbrm, logArgument);
    ExpectBusy(asking, 5);
    EXPECT_TRUE(PathExists(log)) << "nothing removed";
    CancelWizard(wizard, setup);

    ChildProcess original;
    Start(original, unbrm, logArgument);
    HWND question = WaitForWindow(L"#32770", UninstallCaption, Pid(original), StartMs);
    ASSERT_NE(question, nullptr);
    ChildProcess whileAsking;
    Start(whileAsking, Setup, L"");
    ExpectBusy(whileAsking, exSetupRunning);
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    EXPECT_TRUE(original.Wait(StartMs, code));
    EXPECT_EQ(code, 0u);

    // The copy's closing message: the walk is done, the copy still runs.
    HWND closing = nullptr;
    ASSERT_TRUE(Eventually(
        [&] {
            closing = WaitForWindow(L"#32770", UninstallCaption, 0, 0);
            const std::vector<std::wstring> texts =
                closing ? ChildTexts(closing) : std::vector<std::wstring>{};
            return std::any_of(texts.begin(), texts.end(), [](const std::wstring& text) {
                return text.find(L"successfully removed") != std::wstring::npos;
            });
        },
        60000));
    EXPECT_FALSE(PathExists(log)) << "the copy walked the log";
    ChildProcess whileCopyRuns;
    Start(whileCopyRuns, Setup, L"");
    ExpectBusy(whileCopyRuns, exSetupRunning);
    DWORD copyId = 0;
    GetWindowThreadProcessId(closing, &copyId);
    const handles::KernelHandle copy(OpenProcess(SYNCHRONIZE, FALSE, copyId));
    ASSERT_TRUE(copy);
    PostMessageW(closing, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(WaitForSingleObject(copy.get(), StartMs), WAIT_OBJECT_0);

    ChildProcess after;
    Start(after, Setup, L"");
    HWND free = WaitForWindow(L"#32770", WizardCaption, Pid(after), StartMs);
    ASSERT_NE(free, nullptr) << "the lock went with the copy";
    CancelWizard(free, after);
}
