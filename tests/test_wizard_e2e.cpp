// The whole program as a user runs it: setup.exe's six pages walked by this driver, then the
// installed uninstaller. Runs in a fresh copy of the Wine prefix of its own (see
// tools/in-fresh-prefix.sh), since setup.exe writes the machine's registry.
#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/URegistry.h"
#include "tests/TestSupport.h"
#include "wizard/UPage.h"
#include "wizard/UbrmCheckListBox.h"

#include <gtest/gtest.h>

using namespace vktest;

namespace {

const wchar_t* const ProductKey = L"Software\\Brightmoss\\Velkora";

bool ItemVisible(HWND dialog, int id) {
    return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE;
}

void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace

class WizardEndToEnd : public SandboxTest {};

TEST_F(WizardEndToEnd, InstallsHelpAndDemosThroughTheSixPagesAndUninstallsAgain) {
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
    // 2 IDE selection: no IDE here, so only the two optional rows can be and are checked.
    HWND list = GetDlgItem(wizard, idcProductList);
    ASSERT_TRUE(Eventually([&] { return ItemVisible(wizard, idcProductList); }, 10000));
    ASSERT_TRUE(Eventually([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == 23; }, 10000));
    for (int row = 0; row < 21; ++row)
        EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, row, 0), csDisabled) << row;
    EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 21, 0), csChecked);
    EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 22, 0), csChecked);
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
    // 5 Progress, then 6 Finish. Every error box is recorded and closed.
    std::vector<std::wstring> errors;
    HWND cancel = GetDlgItem(wizard, idcCancel);
    const bool finished = Eventually(
        [&] {
            if (HWND box = WaitForWindow(L"#32770", L"Error", pid, 0)) {
                for (const std::wstring& text : ChildTexts(box))
                    if (text.rfind(L"Error in ScriptItem", 0) == 0)
                        errors.push_back(text);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                Sleep(50);
            }
            return WindowText(cancel) == L"Finish";
        },
        120000);
    ASSERT_TRUE(finished);
    for (const std::wstring& error : errors)
        ADD_FAILURE() << "error box: " << std::string(error.begin(), error.end());
    EXPECT_FALSE(ItemVisible(wizard, idcNext));
    EXPECT_FALSE(ItemVisible(wizard, idcBack));
    Click(wizard, idcCancel);
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(setup.Wait(30000, exitCode));
    EXPECT_EQ(exitCode, 0u);

    // The installed files, both logs and the record.
    EXPECT_TRUE(DirectoryExists(target + L"\\Source"));
    EXPECT_TRUE(DirectoryExists(target + L"\\Help"));
    EXPECT_TRUE(DirectoryExists(target + L"\\Demos"));
    EXPECT_TRUE(FileExists(target + L"\\unbrm.exe"));
    const std::string log = ReadFileBytes(target + L"\\install.log");
    ASSERT_GE(log.size(), 2u);
    EXPECT_NE(log.substr(0, 2), "\xFF\xFE") << "no byte-order mark";
    EXPECT_EQ(log[1], '\0') << "UTF-16LE text";
    EXPECT_EQ(ReadFileBytes(target + L"\\uninst.log").substr(0, 7), "UNBRM02");
    DWORD items = 0, versions = 1, customize = 0;
    std::wstring rootDir, version;
    EXPECT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, ProductKey, L"InstallItems", items));
    EXPECT_EQ(items, 0x280u);
    EXPECT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, ProductKey, L"InstallVersions", versions));
    EXPECT_EQ(versions, 0u);
    EXPECT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, ProductKey, L"CustomizeItems", customize));
    EXPECT_EQ(customize, 5u);
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, ProductKey, L"RootDir", rootDir));
    EXPECT_EQ(rootDir, target) << "one trailing separator dropped";
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, ProductKey, L"Version", version));
    EXPECT_EQ(version, L"4.07");

    // The uninstaller, silently, from its installed place.
    ChildProcess unbrm;
    StartProcess(unbrm, target + L"\\unbrm.exe", L"/S \"" + target + L"\\uninst.log\"", TempDir);
    ASSERT_TRUE(unbrm) << unbrm.StartError;
    ASSERT_TRUE(unbrm.Wait(60000, exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(Eventually([&] { return !PathExists(target); }, 20000)) << "the directory is gone";
    std::wstring ignored;
    EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, ProductKey, L"RootDir", ignored));
}
