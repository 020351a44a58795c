// setup.exe's wizard with RAD Studio 2009 (a slow compiler) and RAD Studio 11 (a loud, failing
// one, its IDE running): Retry/Cancel, build logs, a window that answers, the finish page's count.
// It writes the real registry, so it runs in a fresh prefix of its own.
#include "product/UFiles.h"
#include "product/UProducts.h"
#include "product/URegistry.h"
#include "product/UResourceIds.h"
#include "support/UText.h"
#include "tests/IdeTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace vktest;

namespace {

const wchar_t* const ProductKey = L"Software\\Brightmoss\\Velkora";
const wchar_t* const UninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";
constexpr DWORD PageTimeoutMs = 10000;
constexpr DWORD RunTimeoutMs = 180000;
// What "answers" means for the driver: a reply within this time while a build runs.
constexpr UINT AnswerTimeoutMs = 1000;

// The text of a window of setup.exe, when it answers within AnswerTimeoutMs.
bool AnsweredText(HWND wnd, std::wstring& text) {
    wchar_t buffer[512] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(wnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, AnswerTimeoutMs, &length))
        return false;
    text.assign(buffer, std::min<size_t>(length, 511));
    return true;
}

std::wstring BoxText(HWND box) {
    std::wstring text;
    for (const std::wstring& child : ChildTexts(box))
        if (child.size() > text.size())
            text = child;
    return text;
}

class WizardIdesEndToEnd : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        Target = TempPath(L"Program Files\\Velkora");
        Rad2009 = TempPath(L"CodeGear\\RAD Studio\\6.0");
        Rad11 = TempPath(L"Embarcadero\\Studio\\22.0");
        Stop.reset(CreateEventW(nullptr, TRUE, FALSE, L"VelkoraStandinToolStop"));
        ASSERT_TRUE(Stop);
        for (auto [root, tool, ide] : {std::tuple{Rad2009, 4, 13}, std::tuple{Rad11, 3, 28}})
            ASSERT_TRUE(
                InstallStandinTools(root, tool, {L"dcc32.exe"}) &&
                WriteRegString(HKEY_LOCAL_MACHINE, BorlandProducts[ide].RegKey, L"RootDir", root));
    }
    void TearDown() override {
        SetEvent(Stop.get());
        // What an installation left in the registry would make the next run an update.
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, ProductKey);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, UninstallKey);
        SandboxTest::TearDown();
    }
    // Setup started to the ready page: both IDEs detected and preselected (rows 15 and 0).
    HWND WalkToReadyPage() {
        StartProcess(Setup, BuildDir() + L"\\setup.exe", L"", TempDir);
        HWND wizard = Box(WizardCaption, 30000);
        EXPECT_EQ(wizard ? vktest::WalkToReadyPage(wizard, Target, PageTimeoutMs).substr(0, 16)
                         : "",
                  "x--------------x");
        return wizard;
    }
    HWND Box(const wchar_t* caption, DWORD timeoutMs) const {
        return WaitForWindow(L"#32770", caption, Setup.Info.dwProcessId, timeoutMs);
    }

    std::wstring Target, Rad2009, Rad11;
    handles::KernelHandle Stop;
    ChildProcess Setup;
};

TEST_F(WizardIdesEndToEnd, RunningIdeFailingAndSlowBuildsAndTheFinishPage) {
    // RAD Studio 11's own program runs (a never-ending stand-in under the IDE's program name).
    const std::wstring ideProgram = Rad11 + L"\\bin\\bds.exe";
    ASSERT_TRUE(CopyFileW(StandinTool(2).c_str(), ideProgram.c_str(), FALSE));
    ChildProcess ide;
    StartProcess(ide, ideProgram, L"");
    ASSERT_TRUE(ide);
    HWND wizard = WalkToReadyPage();
    ASSERT_NE(wizard, nullptr);

    // Start: the box names the IDE as the list does and its program; Cancel stays on the page
    // and changes nothing.
    Click(wizard, idcNext);
    HWND box = Box(L"Install", PageTimeoutMs);
    ASSERT_NE(box, nullptr);
    const std::wstring text = BoxText(box);
    EXPECT_NE(text.find(L"RAD Studio 11"), std::wstring::npos) << ToAnsi(text);
    EXPECT_NE(LowerCase(text).find(LowerCase(ideProgram)), std::wstring::npos) << ToAnsi(text);
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(Eventually([&] { return !IsWindow(box); }, PageTimeoutMs));
    EXPECT_EQ(WindowText(GetDlgItem(wizard, idcNext)), L"Start");
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(wizard, idcNext)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(wizard, idcProgressBar)));
    EXPECT_FALSE(PathExists(Target));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ProductKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    // No compiler ran: RAD Studio 11's log holds only its running program's line.
    EXPECT_TRUE(StandinCalls(Rad2009).empty());
    EXPECT_EQ(StandinCalls(Rad11).size(), 1u);

    // Start again; the IDE is closed meanwhile, and Retry goes on.
    Click(wizard, idcNext);
    box = Box(L"Install", PageTimeoutMs);
    ASSERT_NE(box, nullptr);
    SetEvent(Stop.get());
    DWORD exitCode = 0;
    ASSERT_TRUE(ide.Wait(PageTimeoutMs, exitCode));
    ResetEvent(Stop.get());
    PostMessageW(box, WM_COMMAND, IDRETRY, 0);

    // The run: every error box is read and closed; while RAD Studio 2009's slow compiler runs,
    // the wizard answers and shows the item's text, and a click on Cancel reaches the wizard
    // between items (its question is answered No), before any error box's own message loop.
    std::vector<std::wstring> errors;
    bool probed = false, answered = false, askedBeforeErrors = false;
    std::wstring itemText, caption, question;
    const bool finished = Eventually(
        [&] {
            if (HWND error = Box(L"Error", 0)) {
                errors.push_back(BoxText(error));
                PostMessageW(error, WM_COMMAND, IDOK, 0);
                Eventually([&] { return !IsWindow(error); }, PageTimeoutMs);
            }
            if (HWND asked = Box(L"Install", 0)) {
                question = BoxText(asked);
                askedBeforeErrors = errors.empty();
                PostMessageW(asked, WM_COMMAND, IDNO, 0);
                Eventually([&] { return !IsWindow(asked); }, PageTimeoutMs);
            }
            if (!probed && !StandinCalls(Rad2009).empty()) {
                probed = true;
                answered = AnsweredText(wizard, caption) &&
                           AnsweredText(GetDlgItem(wizard, idcItemText), itemText);
                const HWND cancel = GetDlgItem(wizard, idcCancel);
                PostMessageW(cancel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
                PostMessageW(cancel, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            }
            return WindowText(GetDlgItem(wizard, idcCancel)) == L"Finish";
        },
        RunTimeoutMs);
    ASSERT_TRUE(finished);
    EXPECT_TRUE(probed);
    EXPECT_TRUE(answered) << "the wizard did not answer while a compiler ran";
    EXPECT_EQ(itemText, L"Compiling package");
    EXPECT_EQ(question, L"Are you sure you want to cancel the install?");
    EXPECT_TRUE(askedBeforeErrors);

    // RAD Studio 11's build failed: its check names the log, which holds the tool's account.
    const std::wstring log = Target + L"\\RADStudio22\\vkl280.dpk.log";
    const std::wstring check = L"Check file: " + Target + L"\\RADStudio22\\Win32\\vkl280.bpl";
    const auto named = std::find_if(errors.begin(), errors.end(), [&](const std::wstring& e) {
        return e.find(check) != std::wstring::npos;
    });
    ASSERT_NE(named, errors.end());
    EXPECT_NE(named->find(L"\r\nBuild log: " + log), std::wstring::npos) << ToAnsi(*named);
    EXPECT_NE(ReadFileBytes(log).find("not found in vkl280.dpk\r\nExit code: 7\r\n"),
              std::string::npos);
    // RAD Studio 2009's slow builds succeeded and left their logs too.
    EXPECT_TRUE(FileExists(Target + L"\\BDS2009\\vkl2009.bpl"));
    EXPECT_NE(ReadFileBytes(Target + L"\\BDS2009\\vkl2009.dpk.log").find("Exit code: 0\r\n"),
              std::string::npos);

    // The finish page counts the failed items and names the install log.
    const std::wstring finishText = WindowText(GetDlgItem(wizard, idcPageText));
    EXPECT_EQ(finishText.rfind(L"Setup has finished installing ", 0), 0u);
    EXPECT_NE(finishText.find(L"Click Finish to exit Setup.\r\n\r\n" +
                              std::to_wstring(errors.size()) + L" items failed."),
              std::wstring::npos)
        << ToAnsi(finishText);
    EXPECT_NE(finishText.find(Target + L"\\install.log"), std::wstring::npos);
    Click(wizard, idcCancel);
    ASSERT_TRUE(Setup.Wait(30000, exitCode));
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
