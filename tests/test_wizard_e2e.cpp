// The whole program as a user runs it: setup.exe's six pages walked by this driver (the
// uninstaller's run of such an installation is ScriptInstallEndToEnd's). Runs in a fresh copy of
// the Wine prefix of its own (see tools/in-fresh-prefix.sh), since setup.exe writes the machine's
// registry.
#include "product/UUtils.h"
#include "tests/TestSupport.h"
#include "wizard/UPage.h"

#include <gtest/gtest.h>

using namespace vktest;

namespace {

const wchar_t* const WizardCaption = L"Installation Wizard for Velkora v4.07";
const wchar_t* const ProductKey = L"Software\\Brightmoss\\Velkora";

bool ItemVisible(HWND dialog, int id) {
    return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE;
}

void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

} // namespace

class WizardEndToEnd : public SandboxTest {};

TEST_F(WizardEndToEnd, InstallsHelpAndDemosThroughTheSixPages) {
    // The registry of this fresh prefix is what setup.exe writes: no mapping here.
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    const std::wstring target = TempPath(L"Program Files\\Velkora Lib");

    ChildProcess setup;
    StartProcess(setup, BuildDir() + L"\\setup.exe", L"", TempDir);
    ASSERT_TRUE(setup) << setup.StartError;
    const DWORD pid = setup.Info.dwProcessId;
    HWND wizard = WaitForWindow(L"#32770", WizardCaption, pid, 30000);
    ASSERT_NE(wizard, nullptr);

    // 1 Welcome.
    ASSERT_TRUE(Eventually([&] { return ItemVisible(wizard, idcPageText); }, 10000));
    Click(wizard, idcNext);
    // 2 IDE selection: no IDE here, so only the two optional rows are checked (the record below
    // shows them; WizardTest the rows' states).
    HWND list = GetDlgItem(wizard, idcProductList);
    ASSERT_TRUE(Eventually([&] { return ItemVisible(wizard, idcProductList); }, 10000));
    ASSERT_TRUE(Eventually([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == 23; }, 10000));
    Click(wizard, idcNext);
    // 3 Directory.
    ASSERT_TRUE(Eventually([&] { return ItemVisible(wizard, idcDirectoryEdit); }, 10000));
    SendMessageW(GetDlgItem(wizard, idcDirectoryEdit), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>((target + L"\\").c_str()));
    Click(wizard, idcNext);
    // 4 Ready.
    ASSERT_TRUE(
        Eventually([&] { return WindowText(GetDlgItem(wizard, idcNext)) == L"Start"; }, 10000));
    Click(wizard, idcNext);
    // 5 Progress, then 6 Finish. Every error box is a failure; it is closed.
    HWND cancel = GetDlgItem(wizard, idcCancel);
    ASSERT_TRUE(Eventually(
        [&] {
            if (HWND box = WaitForWindow(L"#32770", L"Error", pid, 0)) {
                for (const std::wstring& text : ChildTexts(box))
                    if (text.starts_with(L"Error in ScriptItem"))
                        ADD_FAILURE() << "error box: " << ToAnsi(text);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                Sleep(50);
            }
            return WindowText(cancel) == L"Finish";
        },
        120000));
    EXPECT_FALSE(ItemVisible(wizard, idcNext));
    EXPECT_FALSE(ItemVisible(wizard, idcBack));
    Click(wizard, idcCancel);
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(setup.Wait(30000, exitCode));
    EXPECT_EQ(exitCode, 0u);

    // The installed files, the log and the record.
    for (const wchar_t* dir : {L"\\Source", L"\\Help", L"\\Demos"})
        EXPECT_TRUE(DirectoryExists(target + dir)) << ToAnsi(dir);
    EXPECT_TRUE(FileExists(target + L"\\unbrm.exe"));
    const std::string log = ReadFileBytes(target + L"\\install.log");
    ASSERT_GE(log.size(), 2u);
    EXPECT_NE(log.substr(0, 2), "\xFF\xFE") << "no byte-order mark";
    EXPECT_EQ(log[1], '\0') << "UTF-16LE text";
    for (const auto& [name, expected] :
         {std::pair{L"InstallItems", 0x280u}, {L"InstallVersions", 0u}, {L"CustomizeItems", 5u}}) {
        DWORD value = ~expected;
        EXPECT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, ProductKey, name, value)) << ToAnsi(name);
        EXPECT_EQ(value, expected) << ToAnsi(name);
    }
    std::wstring rootDir, version;
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, ProductKey, L"RootDir", rootDir));
    EXPECT_EQ(rootDir, target) << "one trailing separator dropped";
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, ProductKey, L"Version", version));
    EXPECT_EQ(version, L"4.07");
}
