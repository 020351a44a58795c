// The setup wizard: one modal dialog (resource 1) whose controls six pages share, the page
// protocol behind Back and Next, and the pages themselves.
#pragma once

#include "product/UResourceIds.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TbrmCheckListBox;
class TScript;
struct TPrevInstall;

constexpr int PageCount = 6;

// Answers of TPage::Show that ask the frame to move instead of showing the page: back, stay
// (show the same page again), on. The frame moves by the answer minus pmStay.
constexpr int pmBack = 9;
constexpr int pmStay = 10;
constexpr int pmNext = 11;

// Base of the six pages. Show makes the page's controls visible and returns 1 (pmBack, pmStay or
// pmNext ask the frame to move back, stay, or move on); Hide hides them again; DlgProc handles the
// page's own commands (non-zero: handled); CanGoNext decides whether Next may leave the page
// (a page that refuses has told the user why).
class TPage {
public:
    virtual ~TPage() = default;
    virtual int Show() = 0;
    virtual int Hide() = 0;
    virtual int DlgProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual bool CanGoNext();

    HWND DlgHandle = nullptr;
    std::wstring Name;

protected:
    HWND Item(int id) const { return GetDlgItem(DlgHandle, id); }
    void ShowItem(int id, bool visible) const;
    void EnableItem(int id, bool enabled) const;
    void SetItemText(int id, const std::wstring& text) const;
    // Sizes the page text (256) to 1/divisor of the picture's client height, keeping its width
    // and position, shows it and raises it above its siblings.
    void ResizePageText(int divisor) const;
};

class TPageWelcome : public TPage {
public:
    int Show() override;
    int Hide() override;
};

class TPageSelectDelphi : public TPage {
public:
    TPageSelectDelphi();
    ~TPageSelectDelphi() override;
    int Show() override;
    int Hide() override;
    int DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void CheckClick(TbrmCheckListBox* sender);

    int32_t FPrevInstallSelected = 0;
    int32_t FPrevInstallItems = 0;
    std::wstring FPrevVersion;
    bool FFirstShow = true;
    std::unique_ptr<TbrmCheckListBox> CLB;

private:
    void LoadPrevInstall();
    // Sum of 1 shl (row and 31) over the checked rows; only zero or non-zero matters.
    uint32_t GetCheckedMask() const;
    void UpdateNext() const;
};

class TPageSelectDirectory : public TPage {
public:
    int Show() override;
    int Hide() override;
    int DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Only a usable installation folder: otherwise a box says what is wrong and the page stays.
    bool CanGoNext() override;

    std::wstring FPrevInstallPath;
    bool FFirstShow = true;
    std::wstring Directory;

private:
    void UpdateDirectoryEdit();
    bool BrowseDirectory();
    // The whole text of the edit box.
    std::wstring EditText() const;
};

class TPageReadyForInstall : public TPage {
public:
    int Show() override;
    int Hide() override;
    // Start goes on only when no IDE that the run changes is running: a box per running IDE
    // asks to close it (Retry) or to stay on this page (Cancel).
    bool CanGoNext() override;
};

class TPageProgress : public TPage {
public:
    int Show() override;
    int Hide() override;
    void SetText(const std::wstring& value) const;
    int DoScript();
    // A Cancel during the run never stops it: always false.
    bool Terminate();
    bool InDoScript() const { return FInDoScript; }
    // Items of the last run that failed.
    int FailedItems() const { return FFailedItems; }

private:
    bool FInDoScript = false;
    int FFailedItems = 0;
};

class TPageFinish : public TPage {
public:
    int Show() override;
    int Hide() override;
};

// ---- Frame state (process-wide) ----

extern std::array<TPage*, PageCount + 1> Pages;  // [1..6]; [0] unused
extern int CurrentPage;
extern HWND WizardDlg;
extern TPageSelectDelphi* SelectDelphiPage;

// The maker's web page, opened by a click on the maker's name.
extern const wchar_t* const MakerWebAddress;
// Opens the maker's page; replaceable so that a test can count the openings.
extern std::function<void()> OpenMakerPage;

// Runs the modal setup wizard; returns when its dialog has ended.
void RunWizard();
// The dialog procedure of the wizard.
INT_PTR CALLBACK WizardDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// Moves CurrentPage by delta (-1, 0, +1) and shows that page; a move that would leave 1..6
// changes nothing and answers 0. Otherwise the value of the last Show.
int ChangePage(int delta);

// Pieces of the wizard that a test drives without the modal loop.
void RegisterLabelClass();
void CreatePages();
void FreePages();
// The wizard dialog created modeless (for tests); null when it cannot be created.
HWND CreateWizardWindow();
// The result the wizard ended with, or -1 while it runs.
extern INT_PTR WizardResult;

// ---- Window-free rules of the pages ----

// Whether a click at tick `now` opens the maker's page: not within 500 ms of the last accepted
// click (lastClick 0 = none). Updates lastClick when it accepts.
bool AcceptLogoClick(DWORD now, DWORD& lastClick);
// The directory proposed on the directory page's first showing.
std::wstring ProposeDirectory(const std::wstring& prevInstallPath);
// What the directory page shows first: the command line's /DIR= folder, else ProposeDirectory.
std::wstring StartDirectory(const std::wstring& prevInstallPath);
// The selection page's first showing without its window: PresetInstallChoices, the rows that the
// command line's /SELECT= names, then the previous Customize options. `refused` gets the named
// rows that cannot be checked (their IDE is not installed); empty when there are none.
TPrevInstall PresetSelection(std::wstring& refused);
// The folder the edit box shows after browsing to `chosen`.
std::wstring DirectoryAfterBrowse(const std::wstring& chosen, const std::wstring& prevInstallPath);
// The finish page's words after a run in which failedItems items failed: empty when none did,
// otherwise the count and the full path of the install log.
std::wstring FailureSummary(int failedItems);
// Where the folder browser goes: right edge under the Browse button's, just below it, pulled up
// to stay inside the work area.
POINT PlaceBelowButton(const RECT& button, const RECT& window, const RECT& workArea);
