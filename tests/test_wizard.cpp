#include "product/UConst.h"
#include "product/UProducts.h"
#include "product/UUtils.h"
#include "tests/TestSupport.h"
#include "wizard/UPage.h"
#include "wizard/UbrmCheckListBox.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace vktest;

namespace {

// Answers the next message box with the given caption by pressing a button, from a second
// thread (the box runs its own modal loop in the test's thread).
class BoxAnswerer {
public:
    BoxAnswerer(const wchar_t* caption, int button) {
        FThread = std::thread([this, caption, button] {
            HWND box = WaitForWindow(L"#32770", caption, GetCurrentProcessId(), 10000);
            if (box) {
                FText = ChildTexts(box);
                FAnswered = true;
                PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
            }
        });
    }
    ~BoxAnswerer() { Join(); }
    void Join() {
        if (FThread.joinable())
            FThread.join();
    }
    bool Answered() {
        Join();
        return FAnswered;
    }
    std::vector<std::wstring> Texts() {
        Join();
        return FText;
    }

private:
    std::thread FThread;
    std::atomic<bool> FAnswered{false};
    std::vector<std::wstring> FText;
};

class WizardTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        InitCheckMetrics();
        RegisterLabelClass();
        OpenMakerPage = [this] { ++MakerPageOpenings; };
    }
    void TearDown() override {
        if (Dialog)
            DestroyWindow(Dialog);
        FreePages();
        SandboxTest::TearDown();
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
        ASSERT_TRUE(WriteFileBytes(dir + (product.IsDelphi ? L"\\bin\\dcc32.exe" : L"\\bin\\make.exe"), ""));
    }
    void Command(int id) { SendMessageW(Dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    std::wstring Text(int id) { return WindowText(GetDlgItem(Dialog, id)); }
    bool Visible(int id) { return IsWindowVisible(GetDlgItem(Dialog, id)) != FALSE; }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(Dialog, id)) != FALSE; }
    HWND List() { return GetDlgItem(Dialog, idcProductList); }
    bool RowChecked(int row) { return SendMessageW(List(), LB_GETITEMDATA, row, 0) & csChecked; }
    bool RowEnabled(int row) { return !(SendMessageW(List(), LB_GETITEMDATA, row, 0) & csDisabled); }
    // Toggles a row as the user does: select it, press space.
    void Toggle(int row) {
        SendMessageW(List(), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
        SendMessageW(List(), WM_CHAR, L' ', 0);
    }

    HWND Dialog = nullptr;
    int MakerPageOpenings = 0;
};

BOOL CALLBACK MatchOwnedDialog(HWND wnd, LPARAM param) {
    auto* search = reinterpret_cast<std::pair<HWND, HWND>*>(param);
    wchar_t className[16];
    if (GetWindow(wnd, GW_OWNER) == search->first && GetClassNameW(wnd, className, 16) &&
        wcscmp(className, L"#32770") == 0) {
        search->second = wnd;
        return FALSE;
    }
    return TRUE;
}

// A dialog window that owner owns (a message box or the folder browser), or null.
HWND OwnedDialog(HWND owner) {
    std::pair<HWND, HWND> search{owner, nullptr};
    EnumWindows(MatchOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

const int RadStudio11 = 28;   // list row 0
const int CBuilder5 = 6;      // list row 19
const int ContextHelpRow = 21;
const int DemosRow = 22;

}  // namespace

TEST_F(WizardTest, StartsOnTheWelcomePageWithItsCaptionTextAndButtons) {
    Open();
    EXPECT_EQ(WindowText(Dialog), L"Installation Wizard for Velkora v4.07");
    EXPECT_EQ(CurrentPage, 1);
    EXPECT_TRUE(Visible(idcPageText));
    EXPECT_EQ(Text(idcPageText),
              L"Welcome to the Velkora Setup program. This program will install Standard Edition "
              L"of Velkora v4.07 on you computer.\r\n\r\nVelkora - collection of components for "
              L"working with the application settings.\r\n\r\nIt is strongly recommended that you "
              L"exit all version of Delphi and CBuilder before running this Setup program.\r\n\r\n"
              L"Click Next to continue with the Setup program.");
    EXPECT_FALSE(Enabled(idcBack));
    EXPECT_TRUE(Enabled(idcNext));
    for (int hidden : {idcProductList, idcCustomize, idcBrowse, idcDirectoryEdit, idcProgressBar})
        EXPECT_FALSE(Visible(hidden)) << hidden;
    RECT picture{}, text{};
    GetClientRect(GetDlgItem(Dialog, idcPicture), &picture);
    GetWindowRect(GetDlgItem(Dialog, idcPageText), &text);
    EXPECT_EQ(text.bottom - text.top, picture.bottom - picture.top) << "full picture height";
    HWND label = FindWindowExW(Dialog, nullptr, L"VK_ILABEL", nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(WindowText(label), L"Brightmoss");
}

TEST_F(WizardTest, NextAndBackWalkThePagesWithTheirControls) {
    Open();
    Command(idcNext);
    EXPECT_EQ(CurrentPage, 2);
    EXPECT_TRUE(Visible(idcProductList));
    EXPECT_FALSE(Visible(idcCustomize));
    EXPECT_EQ(SendMessageW(List(), LB_GETCOUNT, 0, 0), InstallChoiceCount);
    EXPECT_TRUE(Enabled(idcBack));
    Command(idcNext);  // the two optional rows are checked on a first installation
    EXPECT_EQ(CurrentPage, 3);
    EXPECT_FALSE(Visible(idcProductList));
    for (int id : {idcBrowse, idcDirectoryEdit, idcDestinationFrame, idcPageText})
        EXPECT_TRUE(Visible(id)) << id;
    EXPECT_EQ(Text(idcPageText),
              L"Setup will install Velkora into following folder, click Browse, and select another "
              L"folder.\r\n\r\nYou can choose not to install Velkora by clicking Cancel to exit "
              L"Setup.");
    Command(idcNext);
    EXPECT_EQ(CurrentPage, 4);
    EXPECT_FALSE(Visible(idcDirectoryEdit));
    EXPECT_EQ(Text(idcNext), L"Start");
    EXPECT_EQ(Text(idcPageText),
              L"You are now ready to install Standard Edition of Velkora v4.07 on you computer.\r\n"
              L"\r\nPress the Start button to begin the installation or the Back button to reenter "
              L"the installation information.");
    Command(idcBack);
    EXPECT_EQ(CurrentPage, 3);
    EXPECT_EQ(Text(idcNext), L"&Next >");
    Command(idcBack);
    Command(idcBack);
    EXPECT_EQ(CurrentPage, 1);
    EXPECT_FALSE(Enabled(idcBack));
}

TEST_F(WizardTest, NoCommandMovesThePageOutsideOneToSix) {
    Open();
    EXPECT_EQ(ChangePage(-1), 0);
    EXPECT_EQ(CurrentPage, 1);
    Command(idcBack);  // disabled on page 1
    EXPECT_EQ(CurrentPage, 1);
    Command(idcNext);
    for (int row = 0; row < InstallChoiceCount; ++row)
        if (RowChecked(row))
            Toggle(row);
    ASSERT_FALSE(Enabled(idcNext));
    Command(idcNext);  // e.g. Enter on a disabled default button
    EXPECT_EQ(CurrentPage, 2);
}

TEST_F(WizardTest, CancelAsksAndNoKeepsThePage) {
    Open();
    Command(idcNext);
    {
        BoxAnswerer answer(L"Install", IDNO);
        SendMessageW(Dialog, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(answer.Answered());
        const auto texts = answer.Texts();
        EXPECT_NE(std::find(texts.begin(), texts.end(), L"Are you sure you want to cancel the install?"),
                  texts.end());
    }
    EXPECT_EQ(WizardResult, -1);
    EXPECT_EQ(CurrentPage, 2);
    {
        // The close box arrives as a posted Cancel: the test's own loop delivers it.
        BoxAnswerer answer(L"Install", IDNO);
        SendMessageW(Dialog, WM_CLOSE, 0, 0);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_EQ(WizardResult, -1);
    {
        BoxAnswerer answer(L"Install", IDYES);
        SendMessageW(Dialog, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_EQ(WizardResult, IDCANCEL);
}

TEST_F(WizardTest, FirstInstallationChecksDetectedIdesAndTheOptionalParts) {
    InstallIde(RadStudio11, TempPath(L"Studio\\22.0"));
    Open();
    Command(idcNext);
    EXPECT_EQ(Text(idcPageText), L"Which versions of Delphi and/or CBuilder will you be installing "
                                 L"Velkora to ?");
    EXPECT_TRUE(RowEnabled(0));
    EXPECT_TRUE(RowChecked(0));
    for (int row = 1; row <= 20; ++row) {
        EXPECT_FALSE(RowEnabled(row)) << row;
        EXPECT_FALSE(RowChecked(row)) << row;
    }
    for (int row : {ContextHelpRow, DemosRow}) {
        EXPECT_TRUE(RowEnabled(row));
        EXPECT_TRUE(RowChecked(row));
    }
    Toggle(1);  // a disabled row does not toggle
    EXPECT_FALSE(RowChecked(1));
    Command(idcNext);
    EXPECT_EQ(InstallVersions, 0x8000000u);
    EXPECT_EQ(InstallItems, 0x20000000u | 0x80u | 0x200u);
}

TEST_F(WizardTest, APreviousInstallationIsAnnouncedAndItsRowsChecked) {
    InstallIde(RadStudio11, TempPath(L"Studio\\22.0"));
    InstallIde(CBuilder5, TempPath(L"CBuilder5"));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, L"InstallVersions", 0x20));
    // C++Builder 5, context help, and RAD Studio XE10.4, which is gone now.
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, L"InstallItems",
                              0x20 | 0x80 | 0x10000000));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, sProductRegKey, L"CustomizeItems", 0));
    Open();
    Command(idcNext);
    EXPECT_EQ(Text(idcPageText), L"The previous version of Velkora was found. Click to \"Next\" "
                                 L"button for update it.");
    EXPECT_TRUE(RowChecked(19)) << "C++Builder 5";
    EXPECT_TRUE(RowChecked(ContextHelpRow));
    EXPECT_FALSE(RowChecked(DemosRow)) << "not in the previous items";
    EXPECT_FALSE(RowChecked(0)) << "installed, but not chosen before";
    EXPECT_TRUE(RowEnabled(0));
    EXPECT_FALSE(RowChecked(1)) << "chosen before, but no longer installed";
    EXPECT_FALSE(RowEnabled(1));
    EXPECT_EQ(CustomizeItems, 0u);
}

TEST_F(WizardTest, NextFollowsTheCheckMarksAndTheChecksSurviveBack) {
    Open();
    Command(idcNext);
    Toggle(DemosRow);
    EXPECT_TRUE(Enabled(idcNext));
    Toggle(ContextHelpRow);
    EXPECT_FALSE(Enabled(idcNext)) << "nothing checked";
    Toggle(ContextHelpRow);
    EXPECT_TRUE(Enabled(idcNext));
    Command(idcBack);
    EXPECT_EQ(InstallVersions, 0u);
    EXPECT_EQ(InstallItems, 0x80u);
    Command(idcNext);
    EXPECT_TRUE(RowChecked(ContextHelpRow));
    EXPECT_FALSE(RowChecked(DemosRow)) << "the user's last checks, not the preset";
}

TEST_F(WizardTest, TheDirectoryPageProposesProgramFilesAndStoresTheEditedPath) {
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion",
                               L"ProgramFilesDir", L"C:\\Program Files"));
    Open();
    Command(idcNext);
    Command(idcNext);
    EXPECT_EQ(Text(idcDirectoryEdit), L"C:\\Program Files\\Velkora");
    SetDlgItemTextW(Dialog, idcDirectoryEdit, L"D:\\Libraries\\Velkora\\");
    Command(idcNext);
    EXPECT_EQ(InstallDir, L"D:\\Libraries\\Velkora");
    Command(idcBack);
    EXPECT_EQ(Text(idcDirectoryEdit), L"D:\\Libraries\\Velkora") << "the edit is kept";
    SetDlgItemTextW(Dialog, idcDirectoryEdit, L"");
    Command(idcNext);
    EXPECT_EQ(InstallDir, L"") << "an empty directory is accepted";
}

TEST_F(WizardTest, DirectoryProposalRules) {
    EXPECT_EQ(ProposeDirectory(L""), L"") << "no IDE, no Program Files value";
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion",
                               L"ProgramFilesDir", L"C:\\Program Files\\"));
    EXPECT_EQ(ProposeDirectory(L""), L"C:\\Program Files\\Velkora");
    EXPECT_EQ(ProposeDirectory(L"E:\\Old place"), L"E:\\Old place") << "verbatim";
    BorlandProducts[27].Selected = true;
    BorlandProducts[27].RootDir = L"C:\\Program Files\\Embarcadero\\Studio\\21.0\\";
    BorlandProducts[28].Selected = true;
    BorlandProducts[28].RootDir = L"C:\\Other\\22.0";
    EXPECT_EQ(ProposeDirectory(L""), L"C:\\Program Files\\Embarcadero\\Studio\\Velkora")
        << "the first selected IDE's parent directory";
    BorlandProducts[27].RootDir = L"Studio";
    EXPECT_EQ(ProposeDirectory(L""), L"Studio\\Velkora") << "no backslash: kept whole";
}

TEST_F(WizardTest, BrowsingAndTrailingSeparatorRules) {
    EXPECT_EQ(DirectoryAfterBrowse(L"D:\\Tools", L""), L"D:\\Tools\\Velkora");
    EXPECT_EQ(DirectoryAfterBrowse(L"D:\\", L""), L"D:\\Velkora");
    EXPECT_EQ(DirectoryAfterBrowse(L"E:\\Old", L"E:\\Old"), L"E:\\Old") << "the previous folder";
    EXPECT_EQ(DirectoryAfterBrowse(L"e:\\old", L"E:\\Old"), L"e:\\old\\Velkora") << "exact compare";
    EXPECT_EQ(DirectoryFromEdit(L"D:\\X\\"), L"D:\\X");
    EXPECT_EQ(DirectoryFromEdit(L"D:/X/"), L"D:/X");
    EXPECT_EQ(DirectoryFromEdit(L"D:\\X\\\\"), L"D:\\X\\") << "only one separator goes";
    EXPECT_EQ(DirectoryFromEdit(L""), L"");
    const POINT below = PlaceBelowButton({500, 300, 560, 320}, {0, 0, 300, 400}, {0, 0, 1024, 768});
    EXPECT_EQ(below.x, 260);
    EXPECT_EQ(below.y, 321);
    const POINT pulledUp = PlaceBelowButton({500, 600, 560, 620}, {0, 0, 300, 400}, {0, 0, 1024, 768});
    EXPECT_EQ(pulledUp.y, 368);
}

TEST_F(WizardTest, CancellingTheFolderBrowserLeavesTheEditBoxAsItWas) {
    Open();
    Command(idcNext);
    Command(idcNext);
    SetDlgItemTextW(Dialog, idcDirectoryEdit, L"C:\\Typed");
    // The folder browser is a dialog owned by the wizard; it is cancelled from a second thread.
    const HWND wizard = Dialog;
    std::thread closer([wizard] {
        HWND browser = nullptr;
        Eventually(
            [&] {
                browser = OwnedDialog(wizard);
                return browser != nullptr;
            },
            30000);
        if (browser)
            PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    });
    Command(idcBrowse);
    closer.join();
    EXPECT_EQ(Text(idcDirectoryEdit), L"C:\\Typed");
}

TEST_F(WizardTest, ErrorBoxTextFormatAndItsRoom) {
    EXPECT_EQ(ScriptErrorText(12, 5, 0x18002, L"Copying file: C:\\V\\a.txt...Fail"),
              L"Error in ScriptItem=12, ErrorCode=5h ScriptItemId=18002 with text\r\nCopying file: "
              L"C:\\V\\a.txt...Fail");
    EXPECT_EQ(ScriptErrorText(3, -2, 6, L"x").substr(0, 47),
              L"Error in ScriptItem=3, ErrorCode=fffffffeh Scri");
    const std::wstring longText = ScriptErrorText(1, 1, 1, std::wstring(1000, L'q'));
    EXPECT_EQ(longText.size(), 260u);
    EXPECT_EQ(longText.substr(257), L"...");
}

TEST_F(WizardTest, TheMakersNameOpensItsPageOnceWithinHalfASecond) {
    Open();
    HWND label = FindWindowExW(Dialog, nullptr, L"VK_ILABEL", nullptr);
    ASSERT_NE(label, nullptr);
    RECT r{};
    GetWindowRect(label, &r);
    POINT center{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(Dialog, &center);
    const LPARAM at = MAKELPARAM(center.x, center.y);
    SendMessageW(Dialog, WM_PARENTNOTIFY, WM_LBUTTONDOWN, at);
    SendMessageW(Dialog, WM_PARENTNOTIFY, WM_LBUTTONDOWN, at);
    EXPECT_EQ(MakerPageOpenings, 1);
    RECT next{};
    GetWindowRect(GetDlgItem(Dialog, idcNext), &next);
    POINT onNext{next.left + 2, next.top + 2};
    ScreenToClient(Dialog, &onNext);
    SendMessageW(Dialog, WM_PARENTNOTIFY, WM_LBUTTONDOWN, MAKELPARAM(onNext.x, onNext.y));
    EXPECT_EQ(MakerPageOpenings, 1) << "a press elsewhere does nothing";
    HDC dc = GetDC(label);
    EXPECT_EQ(SendMessageW(Dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(label)),
              reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(GetTextColor(dc), 0xC00000u);
    ReleaseDC(label, dc);
}

TEST(LogoClickGuardTest, HalfASecondAfterTheAcceptedClick) {
    DWORD last = 0;
    EXPECT_TRUE(AcceptLogoClick(1000, last));
    EXPECT_FALSE(AcceptLogoClick(1400, last));
    EXPECT_FALSE(AcceptLogoClick(1500, last)) << "500 ms is still inside";
    EXPECT_TRUE(AcceptLogoClick(1501, last)) << "ignored clicks do not extend the interval";
    last = 0xFFFFFF00u;
    EXPECT_TRUE(AcceptLogoClick(0x100, last)) << "across the tick counter's wrap: 512 ms";
    EXPECT_FALSE(AcceptLogoClick(0x200, last));
}
