#include "product/UCommandLine.h"
#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProducts.h"
#include "product/URegistry.h"
#include "script/UInstallDir.h"
#include "script/UScript.h"
#include "support/UText.h"
#include "tests/MachineSnapshot.h"
#include "tests/TestSupport.h"
#include "wizard/UPage.h"
#include "wizard/UbrmCheckListBox.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

using namespace vktest;

namespace {

const int RadStudio11 = 28;  // list row 0
const int CBuilder5 = 6;     // list row 19
const int ContextHelpRow = 21, DemosRow = 22;

class WizardTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        InitCheckMetrics();
        RegisterLabelClass();
        ResetState();
    }
    void TearDown() override {
        ResetState();
        if (Dialog)
            DestroyWindow(Dialog);
        FreePages();
        SandboxTest::TearDown();
    }
    // What detection, the pages and the command line leave process-wide: each case starts clean.
    static void ResetState() {
        for (TBorlandProduct& product : BorlandProducts) {
            product.RootDir.clear();
            product.Exists = product.Selected = false;
        }
        for (TInstallChoice& choice : InstallChoices)
            choice.Checked = false;
        SetupOptions = TSetupOptions{};
        InstallDir.clear();
        InstallVersions = InstallItems = 0;
    }
    void Open() {
        CreatePages();
        Dialog = CreateWizardWindow();
        ASSERT_NE(Dialog, nullptr);
        ShowWindow(Dialog, SW_SHOW);
    }
    // A fake IDE: its registry key with "RootDir" and the tool that detection looks for.
    void InstallIde(int index, const std::wstring& dir) {
        const TBorlandProduct& product = BorlandProducts[index];
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, product.RegKey, L"RootDir", dir));
        ASSERT_EQ(CreateDirectoryPath(dir + L"\\bin"), 0u);
        ASSERT_TRUE(WriteFileBytes(
            dir + (product.IsDelphi ? L"\\bin\\dcc32.exe" : L"\\bin\\make.exe"), ""));
    }
    void Command(int id) { SendMessageW(Dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    std::wstring Text(int id) { return WindowText(GetDlgItem(Dialog, id)); }
    bool Visible(int id) { return IsWindowVisible(GetDlgItem(Dialog, id)) != FALSE; }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(Dialog, id)) != FALSE; }
    HWND List() { return GetDlgItem(Dialog, idcProductList); }
    // Sends command while a second thread answers with button the box captioned "Install" that
    // it may open (a modal loop in this thread); the box's texts, empty when none came.
    std::vector<std::wstring> AnsweringBox(int command, int button = IDOK) {
        std::vector<std::wstring> texts;
        std::atomic<bool> done = false;
        std::thread answerer([&] {
            HWND box = nullptr;
            Eventually(
                [&] {
                    return done ||
                           (box = WaitForWindow(L"#32770", L"Install", GetCurrentProcessId(), 0));
                },
                10000);
            if (box) {
                texts = ChildTexts(box);
                PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
            }
        });
        Command(command);
        done = true;
        answerer.join();
        return texts;
    }
    // Toggles a row as the user does: select it, press space.
    void Toggle(int row) {
        SendMessageW(List(), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
        SendMessageW(List(), WM_CHAR, L' ', 0);
    }

    HWND Dialog = nullptr;
};

}  // namespace

// Pages 1 to 4 forwards and back (nothing moves before page 1 or past the last); then Cancel.
TEST_F(WizardTest, NextBackAndCancelWalkThePagesWithTheirTextsAndControls) {
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion",
                               L"ProgramFilesDir", L"C:\\Program Files"));
    Open();
    EXPECT_EQ(WindowText(Dialog), L"Installation Wizard for Velkora v4.07");
    const struct {
        const wchar_t* Text;  // null: tested with the selection rules
        std::vector<int> Shown;
    } pages[] = {
        {L"Welcome to the Velkora Setup program. This program will install Standard Edition of "
         L"Velkora v4.07 on you computer.\r\n\r\nVelkora - collection of components for working "
         L"with the application settings.\r\n\r\nIt is strongly recommended that you exit all "
         L"version of Delphi and CBuilder before running this Setup program.\r\n\r\nClick Next "
         L"to continue with the Setup program.",
         {idcPageText}},
        {nullptr, {idcPageText, idcProductList}},
        {L"Setup will install Velkora into following folder, click Browse, and select another "
         L"folder.\r\n\r\nYou can choose not to install Velkora by clicking Cancel to exit Setup.",
         {idcPageText, idcBrowse, idcDirectoryEdit, idcDestinationFrame}},
        {L"You are now ready to install Standard Edition of Velkora v4.07 on you computer.\r\n\r\n"
         L"Press the Start button to begin the installation or the Back button to reenter the "
         L"installation information.",
         {idcPageText}},
    };
    for (int page = 1; page <= 4; ++page) {
        SCOPED_TRACE(page);
        if (page > 1)
            Command(idcNext);
        const auto& expected = pages[page - 1];
        EXPECT_EQ(CurrentPage, page);
        EXPECT_EQ(Text(idcPageText), expected.Text ? expected.Text : Text(idcPageText));
        for (int id : {idcPageText, idcProductList, idcCustomize, idcBrowse, idcDirectoryEdit,
                       idcDestinationFrame, idcProgressBar, idcProgressFrame, idcItemText})
            EXPECT_EQ(Visible(id), std::ranges::count(expected.Shown, id) == 1) << id;
        EXPECT_EQ(Enabled(idcBack), page > 1);
        EXPECT_TRUE(Enabled(idcNext));
        EXPECT_EQ(Text(idcNext), page == 4 ? L"Start" : L"&Next >");
        if (page == 3) {
            EXPECT_EQ(Text(idcDirectoryEdit), L"C:\\Program Files\\Velkora");
            SetDlgItemTextW(Dialog, idcDirectoryEdit, L"D:\\Libraries\\Velkora\\");
        }
    }
    EXPECT_EQ(InstallDir, L"D:\\Libraries\\Velkora");
    for (int page = 3; page >= 1; --page) {
        Command(idcBack);
        EXPECT_EQ(CurrentPage, page);
        EXPECT_EQ(Text(idcNext), L"&Next >");
    }
    EXPECT_EQ(Text(idcDirectoryEdit), L"D:\\Libraries\\Velkora") << "the edit is kept";
    Command(idcBack);  // disabled on page 1
    EXPECT_EQ(ChangePage(-1), 0);
    EXPECT_EQ(ChangePage(PageCount), 0) << "no page past the last";
    EXPECT_EQ(CurrentPage, 1);

    const auto cancel = [this](int button) {
        return std::ranges::count(AnsweringBox(IDCANCEL, button),
                                  L"Are you sure you want to cancel the install?") == 1;
    };
    EXPECT_TRUE(cancel(IDNO));
    EXPECT_EQ(WizardResult, -1);
    EXPECT_EQ(CurrentPage, 1);
    EXPECT_TRUE(cancel(IDYES));
    EXPECT_EQ(WizardResult, IDCANCEL);
}

TEST_F(WizardTest, FirstInstallationChecksDetectedIdesAndNextFollowsTheCheckMarks) {
    InstallIde(RadStudio11, TempPath(L"Studio\\22.0"));
    Open();
    Command(idcNext);
    EXPECT_EQ(Text(idcPageText), L"Which versions of Delphi and/or CBuilder will you be installing "
                                 L"Velkora to ?");
    EXPECT_EQ(ListRows(Dialog), "x--------------------xx");
    Command(idcNext);
    EXPECT_EQ(InstallVersions, 0x8000000u);
    EXPECT_EQ(InstallItems, 0x20000000u | 0x80u | 0x200u);
    Command(idcBack);
    Toggle(0);
    Toggle(DemosRow);
    Toggle(ContextHelpRow);
    EXPECT_FALSE(Enabled(idcNext)) << "nothing checked";
    Command(idcNext);  // e.g. Enter on a disabled default button
    EXPECT_EQ(CurrentPage, 2);
    Toggle(ContextHelpRow);
    EXPECT_TRUE(Enabled(idcNext));
    Command(idcBack);
    EXPECT_EQ(InstallVersions, 0u);
    EXPECT_EQ(InstallItems, 0x80u);
    Command(idcNext);
    EXPECT_EQ(ListRows(Dialog), "o--------------------xo")
        << "the user's last checks, not the preset";
}

TEST_F(WizardTest, APreviousInstallationIsAnnouncedAndItsRowsChecked) {
    InstallIde(RadStudio11, TempPath(L"Studio\\22.0"));
    InstallIde(CBuilder5, TempPath(L"CBuilder5"));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, L"InstallVersions", 0x20));
    // C++Builder 5, context help, and RAD Studio XE10.4, which is gone now.
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, L"InstallItems",
                              0x20 | 0x80 | 0x10000000));
    Open();
    Command(idcNext);
    EXPECT_EQ(Text(idcPageText), L"The previous version of Velkora was found. Click to \"Next\" "
                                 L"button for update it.");
    // RAD Studio 11 installed but not chosen before, XE10.4 chosen before but gone, C++Builder
    // 5 (row 19) and context help chosen, the demos not.
    EXPECT_EQ(ListRows(Dialog), "o------------------x-xo");
}

// /DIR= and /SELECT= without /SILENT preset the pages; a missing IDE's row stays disabled.
TEST_F(WizardTest, TheCommandLinePresetsTheListAndTheDirectory) {
    InstallIde(RadStudio11, TempPath(L"Studio\\22.0"));
    std::wstring bad;
    ASSERT_TRUE(ChoiceRowsFromNames(L"radstudio22,CBuilder5,demos", SetupOptions.Selection, bad));
    SetupOptions.HasSelection = true;
    SetupOptions.HasDir = true;
    SetupOptions.Dir = L"E:\\Build Tools\\Velkora";
    Open();
    Command(idcNext);
    EXPECT_EQ(ListRows(Dialog), "x--------------------ox");
    Command(idcNext);
    EXPECT_EQ(InstallItems, 0x20000000u | 0x200u);
    EXPECT_EQ(Text(idcDirectoryEdit), L"E:\\Build Tools\\Velkora");
}

// Window-free rules: proposals, separators, the error text, the finish page's words, the logo's
// click guard (ticks given) and the folder browser's placement.
TEST_F(WizardTest, WindowFreeRulesOfThePages) {
    EXPECT_EQ(ProposeDirectory(L""), L"") << "no IDE, no Program Files value";
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion",
                               L"ProgramFilesDir", L"C:\\Program Files\\"));
    EXPECT_EQ(ProposeDirectory(L""), L"C:\\Program Files\\Velkora");
    EXPECT_EQ(ProposeDirectory(L"E:\\Old place"), L"E:\\Old place") << "verbatim";
    BorlandProducts[27].Selected = BorlandProducts[28].Selected = true;
    BorlandProducts[27].RootDir = L"C:\\Program Files\\Embarcadero\\Studio\\21.0\\";
    BorlandProducts[28].RootDir = L"C:\\Other\\22.0";
    EXPECT_EQ(ProposeDirectory(L""), L"C:\\Program Files\\Embarcadero\\Studio\\Velkora")
        << "the first selected IDE's parent directory";
    BorlandProducts[27].RootDir = L"Studio";
    EXPECT_EQ(ProposeDirectory(L""), L"Studio\\Velkora") << "no backslash: kept whole";
    EXPECT_EQ(DirectoryAfterBrowse(L"D:\\", L""), L"D:\\Velkora");
    EXPECT_EQ(DirectoryAfterBrowse(L"E:\\Old", L"E:\\Old"), L"E:\\Old") << "the previous folder";
    EXPECT_EQ(DirectoryFromEdit(L"D:/X/"), L"D:/X");
    EXPECT_EQ(DirectoryFromEdit(L"D:\\X\\\\"), L"D:\\X\\") << "only one separator goes";

    EXPECT_EQ(ScriptErrorText(12, 5, 0x18002, L"Copying file: C:\\V\\a.txt...Fail"),
              L"Error in ScriptItem=12, ErrorCode=5h ScriptItemId=18002 with text\r\nCopying file: "
              L"C:\\V\\a.txt...Fail");
    const std::wstring longText = ScriptErrorText(1, 1, 1, std::wstring(1000, L'q'));
    EXPECT_EQ(longText.size(), 260u) << "cut to the box's room";
    EXPECT_EQ(longText.substr(257), L"...");
    InstallDir = L"C:\\Program Files\\Velkora";
    EXPECT_EQ(FailureSummary(0), L"");
    EXPECT_EQ(FailureSummary(1), L"\r\n\r\n1 item failed. The install log lists every step:\r\n"
                                 L"C:\\Program Files\\Velkora\\install.log");
    EXPECT_EQ(FailureSummary(4).substr(0, 19), L"\r\n\r\n4 items failed.");

    // Clicks at these ticks, in turn: which open the maker's page.
    const std::pair<DWORD, bool> clicks[] = {
        {1000, true},        {1400, false},        {1500, false},  {1501, true},
        {0xFFFFFF00u, true}, {0xFFFFFFFFu, false}, {0xF0u, false}, {0xF5u, true}};
    DWORD last = 0;
    for (const auto& [now, accepted] : clicks)
        EXPECT_EQ(AcceptLogoClick(now, last), accepted) << now;

    // The browser (300 x 400) below a Browse button, pulled up to stay in the work area.
    const RECT window{0, 0, 300, 400}, work{0, 0, 1024, 768};
    POINT at = PlaceBelowButton({500, 100, 575, 125}, window, work);
    EXPECT_EQ(at.x, 275);
    EXPECT_EQ(at.y, 126);
    at = PlaceBelowButton({500, 600, 575, 625}, window, work);
    EXPECT_EQ(at.y, 368);
}

// A click beside the maker's name opens nothing, one on it its page, a second at once nothing.
TEST_F(WizardTest, TheMakersNameOpensItsPageOncePerClick) {
    int opened = 0;
    const std::function<void()> saved = OpenMakerPage;
    OpenMakerPage = [&] { ++opened; };
    Open();
    HWND label = FindWindowExW(Dialog, nullptr, L"VK_ILABEL", nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(WindowText(label), L"Brightmoss");
    RECT r{};
    GetWindowRect(label, &r);
    POINT inside{r.left + 2, r.top + 2};
    ScreenToClient(Dialog, &inside);
    const auto click = [&](POINT at) {
        SendMessageW(Dialog, WM_PARENTNOTIFY, WM_LBUTTONDOWN, MAKELPARAM(at.x, at.y));
    };
    click({inside.x, inside.y - 40});
    EXPECT_EQ(opened, 0) << "a click beside the name";
    click(inside);
    click(inside);
    OpenMakerPage = saved;
    EXPECT_EQ(opened, 1);
}

// Each unusable folder: Next shows its refusal captioned "Install", the page and the text stay,
// nothing changes on disk or in the registry. A new folder goes on, normalised and not yet made.
TEST_F(WizardTest, DirectoryPageRefusesUnusableFoldersAndAcceptsANewOne) {
    ASSERT_TRUE(CreateDirectoryW(TempPath(L"Work").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"Work\\ReadMe.txt"), "the user's own"));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"file.txt"), "a file"));
    const std::wstring windows = EnvironmentValue(L"SystemRoot");
    const std::wstring programFiles = EnvironmentValue(L"ProgramFiles");
    const std::wstring profile = EnvironmentValue(L"USERPROFILE");
    ASSERT_FALSE(windows.empty() || programFiles.empty() || profile.empty());
    const struct {
        std::wstring Typed;
        TDirVerdict Verdict;
    } refused[] = {
        {L"", TDirVerdict::Empty},
        {L"C:Velkora", TDirVerdict::Relative},
        {L"C:\\vk;lib", TDirVerdict::BadCharacter},
        {windows + L"\\system32\\..", TDirVerdict::Protected},
        {profile, TDirVerdict::Protected},
        {TempPath(L"Work"), TDirVerdict::NotEmpty},
        {TempPath(L"file.txt"), TDirVerdict::NotAFolder},
    };
    Open();
    Command(idcNext);
    Command(idcNext);
    ASSERT_EQ(CurrentPage, 3);
    const auto snapshot = [&] {
        TSnapshot machine;
        SnapFiles(TempDir, true, machine);
        for (const std::wstring& dir : {std::wstring(L"C:"), windows, programFiles, profile})
            SnapFiles(dir, false, machine);
        SnapKey(HKEY_LOCAL_MACHINE, L"HKLM", L"", machine);
        SnapKey(HKEY_CURRENT_USER, L"HKCU", L"", machine);
        return machine;
    };
    // Wine's shell writes its folder keys into the empty roots on the first look-up: done first.
    std::wstring ignored;
    CheckInstallDir(profile, ignored);
    const TSnapshot before = snapshot();
    for (const auto& [typed, verdict] : refused) {
        SCOPED_TRACE(ToAnsi(typed));
        SetDlgItemTextW(Dialog, idcDirectoryEdit, typed.c_str());
        const std::vector<std::wstring> box = AnsweringBox(idcNext);
        EXPECT_EQ(std::ranges::count(box, DirRefusalText(verdict)), 1) << "the refusal, shown";
        EXPECT_EQ(CurrentPage, 3);
        EXPECT_TRUE(Visible(idcDirectoryEdit));
        EXPECT_EQ(Text(idcDirectoryEdit), typed) << "the text stays for correction";
    }
    EXPECT_EQ(Differences(before, snapshot()), std::set<std::string>{});
    EXPECT_FALSE(PathExists(L"C:\\vk;lib"));

    SetDlgItemTextW(Dialog, idcDirectoryEdit, (TempPath(L"New") + L"/Velkora\\").c_str());
    EXPECT_EQ(AnsweringBox(idcNext), std::vector<std::wstring>{}) << "no box";
    EXPECT_EQ(CurrentPage, 4);
    EXPECT_EQ(InstallDir, TempPath(L"New\\Velkora"));
    EXPECT_FALSE(PathExists(TempPath(L"New")));
}
