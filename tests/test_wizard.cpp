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
#include <thread>

using namespace vktest;

namespace {

const int RadStudio11 = 28, CBuilder5 = 6;  // list rows 0 and 19
const int ContextHelpRow = 21, DemosRow = 22;
const wchar_t* const ChooseText =
    L"Which versions of Delphi and/or CBuilder will you be installing Velkora to ?";

class WizardTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        RegisterLabelClass();
        // What detection, the pages and the command line leave process-wide: each case starts
        // clean.
        DetectProducts();
        PreselectProducts(0);
        StoreChoiceChecks({});
        SetupOptions = TSetupOptions{};
        InstallDir.clear();
    }
    void TearDown() override {
        if (Dialog)
            DestroyWindow(Dialog);
        FreePages();
        SandboxTest::TearDown();
    }
    // Opens the wizard and clicks Next `nexts` times.
    void Open(int nexts) {
        CreatePages();
        Dialog = CreateWizardWindow();
        ASSERT_NE(Dialog, nullptr);
        ShowWindow(Dialog, SW_SHOW);
        while (nexts-- > 0)
            Command(idcNext);
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
    // The page shown: its number, its text, which page controls are visible, Back and Next.
    void ExpectPage(int page, const std::wstring& text, std::initializer_list<int> shown) {
        SCOPED_TRACE(page);
        EXPECT_EQ(CurrentPage, page);
        EXPECT_EQ(Text(idcPageText), text);
        for (int id : {idcPageText, idcProductList, idcCustomize, idcBrowse, idcDirectoryEdit,
                       idcDestinationFrame, idcProgressBar, idcProgressFrame, idcItemText})
            EXPECT_EQ(Visible(id), std::ranges::count(shown, id) == 1) << id;
        EXPECT_TRUE(Enabled(idcNext) && Enabled(idcBack) == (page > 1));
        EXPECT_EQ(Text(idcNext), page == 4 ? L"Start" : L"&Next >");
    }
    // Sends command while a second thread answers with button the box captioned "Install" that
    // it may open (a modal loop in this thread); the box's texts, empty when none came.
    std::vector<std::wstring> AnsweringBox(int command, int button = IDOK) {
        std::vector<std::wstring> texts;
        std::atomic<bool> done = false;
        std::thread answerer([&] {
            HWND box = nullptr;
            while (!done && !box)
                box = WaitForWindow(L"#32770", L"Install", GetCurrentProcessId(), 20);
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
    // Toggles rows as the user does: select one, press space.
    void Toggle(std::initializer_list<int> rows) {
        for (int row : rows) {
            SendMessageW(GetDlgItem(Dialog, idcProductList), LB_SETCURSEL, WPARAM(row), 0);
            SendMessageW(GetDlgItem(Dialog, idcProductList), WM_CHAR, L' ', 0);
        }
    }

    HWND Dialog = nullptr;
};

}  // namespace

// One walk as the user makes it: the maker's name, pages 1 to 4 with their texts and controls, the
// check marks Next needs, the directory page's refusals, Back to page 1 (and no further), Cancel.
TEST_F(WizardTest, AWalkThroughThePages) {
    InstallIde(RadStudio11, TempPath(L"Studio\\22.0"));
    static int makerPageOpenings = 0;
    OpenMakerPage = [] { ++makerPageOpenings; };
    Open(0);
    EXPECT_EQ(WindowText(Dialog), L"Installation Wizard for Velkora v4.07");
    const HWND label = FindWindowExW(Dialog, nullptr, L"VK_ILABEL", nullptr);
    EXPECT_EQ(WindowText(label), L"Brightmoss");
    POINT inside{2, 2};
    MapWindowPoints(label, Dialog, &inside, 1);
    // Beside the name, on it, on it again at once: the openings so far.
    for (const auto& [dy, opened] : {std::pair{-40L, 0}, {0L, 1}, {0L, 1}}) {
        SendMessageW(Dialog, WM_PARENTNOTIFY, WM_LBUTTONDOWN, MAKELPARAM(inside.x, inside.y + dy));
        EXPECT_EQ(makerPageOpenings, opened) << dy;
    }

    ExpectPage(1,
               L"Welcome to the Velkora Setup program. This program will install Standard Edition "
               L"of Velkora v4.07 on you computer.\r\n\r\nVelkora - collection of components for "
               L"working with the application settings.\r\n\r\nIt is strongly recommended that "
               L"you exit all version of Delphi and CBuilder before running this Setup program."
               L"\r\n\r\nClick Next to continue with the Setup program.",
               {idcPageText});
    Command(idcNext);
    ExpectPage(2, ChooseText, {idcPageText, idcProductList});
    EXPECT_EQ(ListRows(Dialog), "x--------------------xx") << "the detected IDE, help, demos";
    Command(idcNext);
    EXPECT_EQ(InstallItems, 0x20000000u | HelpChoiceMask | DemosChoiceMask);
    Command(idcBack);
    Toggle({0, DemosRow, ContextHelpRow});
    EXPECT_FALSE(Enabled(idcNext)) << "nothing checked";
    Command(idcNext);  // e.g. Enter on a disabled default button
    ASSERT_EQ(CurrentPage, 2) << "at once: a later Next would start the installation";
    Toggle({ContextHelpRow});
    Command(idcNext);
    EXPECT_EQ(InstallVersions + InstallItems, HelpChoiceMask);
    ExpectPage(3,
               L"Setup will install Velkora into following folder, click Browse, and select "
               L"another folder.\r\n\r\nYou can choose not to install Velkora by clicking Cancel "
               L"to exit Setup.",
               {idcPageText, idcBrowse, idcDirectoryEdit, idcDestinationFrame});
    EXPECT_EQ(Text(idcDirectoryEdit), TempPath(L"Studio\\Velkora")) << "beside the chosen IDE";

    // Each unusable folder: its refusal captioned "Install", the page and the text stay, nothing
    // changes on disk or in the registry.
    ASSERT_TRUE(CreateDirectoryW(TempPath(L"Work").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"Work\\ReadMe.txt"), "the user's own"));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"file.txt"), "a file"));
    const std::wstring windows = EnvironmentValue(L"SystemRoot");
    const std::wstring profile = EnvironmentValue(L"USERPROFILE");
    ASSERT_FALSE(windows.empty() || profile.empty());
    const std::pair<std::wstring, TDirVerdict> refused[] = {
        {L"", TDirVerdict::Empty},
        {L"C:Velkora", TDirVerdict::Relative},
        {L"C:\\vk;lib", TDirVerdict::BadCharacter},
        {windows + L"\\system32\\..", TDirVerdict::Protected},
        {profile, TDirVerdict::Protected},
        {TempPath(L"Work"), TDirVerdict::NotEmpty},
        {TempPath(L"file.txt"), TDirVerdict::NotAFolder}};
    const auto snapshot = [&] {
        TSnapshot machine;
        SnapFiles(TempDir, true, machine);
        SnapFiles(L"C:", false, machine);
        SnapKey(HKEY_LOCAL_MACHINE, L"HKLM", L"", machine);
        SnapKey(HKEY_CURRENT_USER, L"HKCU", L"", machine);
        return machine;
    };
    // Wine's shell writes its folder keys into the empty roots on the first look-up: done first.
    std::wstring ignored;
    CheckInstallDir(profile, ignored);
    const TSnapshot before = snapshot();
    ASSERT_EQ(CurrentPage, 3);
    for (const auto& [typed, verdict] : refused) {
        SCOPED_TRACE(ToAnsi(typed));
        SetDlgItemTextW(Dialog, idcDirectoryEdit, typed.c_str());
        EXPECT_EQ(std::ranges::count(AnsweringBox(idcNext), DirRefusalText(verdict)), 1);
        // At once: on the next page a further Next would start the installation.
        ASSERT_EQ(CurrentPage, 3);
        EXPECT_EQ(Text(idcDirectoryEdit), typed) << "the text stays for correction";
    }
    EXPECT_EQ(Differences(before, snapshot()), std::set<std::string>{});
    EXPECT_FALSE(PathExists(L"C:\\vk;lib"));
    // A new folder goes on, normalised and not yet made.
    SetDlgItemTextW(Dialog, idcDirectoryEdit, (TempPath(L"New") + L"/Velkora\\").c_str());
    EXPECT_EQ(AnsweringBox(idcNext), std::vector<std::wstring>{}) << "no box";
    EXPECT_EQ(InstallDir, TempPath(L"New\\Velkora"));
    EXPECT_FALSE(PathExists(TempPath(L"New")));

    ExpectPage(4,
               L"You are now ready to install Standard Edition of Velkora v4.07 on you computer."
               L"\r\n\r\nPress the Start button to begin the installation or the Back button to "
               L"reenter the installation information.",
               {idcPageText});
    Command(idcBack);
    EXPECT_EQ(Text(idcNext), L"&Next >");
    EXPECT_EQ(Text(idcDirectoryEdit), TempPath(L"New\\Velkora")) << "the edit is kept";
    Command(idcBack);
    EXPECT_EQ(ListRows(Dialog), "o--------------------xo") << "the user's checks, not the preset";
    Command(idcBack);
    Command(idcBack);  // disabled on page 1
    EXPECT_EQ(ChangePage(-1) + ChangePage(PageCount), 0) << "no page beyond the ends";
    EXPECT_EQ(CurrentPage, 1);
    for (const int button : {IDNO, IDYES}) {
        EXPECT_EQ(std::ranges::count(AnsweringBox(IDCANCEL, button),
                                     L"Are you sure you want to cancel the install?"),
                  1);
        EXPECT_EQ(WizardResult, button == IDYES ? IDCANCEL : -1);
    }
}

// RAD Studio 11 installed but not chosen before, XE10.4 chosen before but gone, C++Builder 5 (row
// 19) and context help chosen, the demos not.
TEST_F(WizardTest, APreviousInstallationIsAnnouncedAndItsRowsChecked) {
    InstallIde(RadStudio11, TempPath(L"Studio\\22.0"));
    InstallIde(CBuilder5, TempPath(L"CBuilder5"));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, L"InstallVersions", 0x20));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, L"InstallItems",
                              0x20 | HelpChoiceMask | 0x10000000));
    Open(1);
    EXPECT_EQ(Text(idcPageText), L"The previous version of Velkora was found. Click to \"Next\" "
                                 L"button for update it.");
    EXPECT_EQ(ListRows(Dialog), "o------------------x-xo");
}

// /DIR= and /SELECT= without /SILENT preset the pages; a missing IDE's row stays disabled.
TEST_F(WizardTest, TheCommandLinePresetsTheListAndTheDirectory) {
    InstallIde(RadStudio11, TempPath(L"Studio\\22.0"));
    std::wstring bad;
    ASSERT_TRUE(ChoiceRowsFromNames(L"radstudio22,CBuilder5,demos", SetupOptions.Selection, bad));
    SetupOptions.HasSelection = SetupOptions.HasDir = true;
    SetupOptions.Dir = L"E:\\Build Tools\\Velkora";
    Open(1);
    EXPECT_EQ(ListRows(Dialog), "x--------------------ox");
    Command(idcNext);
    EXPECT_EQ(InstallItems, 0x20000000u | DemosChoiceMask);
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
    EXPECT_EQ(ScriptErrorText(1, 1, 1, std::wstring(1000, L'q')).substr(256), L"q...")
        << "cut to the box's 260 characters";
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
    const POINT below = PlaceBelowButton({500, 100, 575, 125}, window, work);
    EXPECT_EQ(std::pair(below.x, below.y), std::pair(275L, 126L));
    EXPECT_EQ(PlaceBelowButton({500, 600, 575, 625}, window, work).y, 368);
}
