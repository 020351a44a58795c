#include "entry/USilentSetup.h"

#include "product/UCommandLine.h"
#include "product/UConst.h"
#include "product/UPaths.h"
#include "product/UProducts.h"
#include "product/URunningIdes.h"
#include "product/USingleInstance.h"
#include "script/UInstallDir.h"
#include "script/UScript.h"
#include "support/UHandles.h"
#include "support/UText.h"
#include "uninstall/URemovePrevious.h"
#include "wizard/UPage.h"

#include <windows.h>

namespace {

constexpr wchar_t SetupResultName[] = L"VelkoraSetup.txt";

// One step's outcome: exInstalled to go on, else the exit code and why.
struct TStepResult {
    int Code = exInstalled;
    std::wstring Reason;
    bool Failed() const { return Code != exInstalled; }
};

// Steps 1 to 3: the previous record, the IDEs, the selection. As the selection page's first
// showing does it, then as it is left.
TStepResult ResolveSelection() {
    std::wstring refused;
    PresetSelection(refused);
    if (!refused.empty())
        return {exBadCommandLine, L"/SELECT= names what is not installed here: " + refused + L"."};
    TChoiceRows checked{};
    for (int row = 0; row < InstallChoiceCount; ++row)
        checked[static_cast<size_t>(row)] = InstallChoices[row].Checked;
    StoreChoiceChecks(checked);
    if (InstallItems == 0)
        return {exBadCommandLine,
                L"Nothing is selected to install: name the IDEs, help or demos with /SELECT=."};
    return {};
}

// The directory as the directory page proposes it, under the page's rules: a folder the
// installation cannot use ends the run, an accepted one is kept normalised.
TStepResult ResolveDirectory() {
    std::wstring normalized;
    const TDirVerdict verdict =
        CheckInstallDir(DirectoryFromEdit(StartDirectory(ReadPrevInstallPath())), normalized);
    if (verdict != TDirVerdict::Accepted)
        return {exDirRefused, DirRefusalText(verdict)};
    InstallDir = normalized;
    return {};
}

// The ready page's check without its box: a running IDE the run would change ends the run.
TStepResult RefuseRunningIdes() {
    const std::vector<TRunningIde> running = FindRunningIdes(IdesChangedByRun());
    if (running.empty())
        return {};
    return {exIdeRunning, RunningIdeText(running.front())};
}

// The progress page's run without its window: an item error goes to install.log with the text of
// the wizard's error box, and the run goes on. Answers the number of failed items.
int RunScript() {
    TScript script;
    script.SetPreviousRemover(RemovePreviousInstallation);
    script.Start();
    for (; script.Current() < script.Count(); script.SetCurrent(script.Current() + 1)) {
        const int error = script.ItemDoScript();
        if (error != 0)
            script.WriteLog(script.ItemErrorText(error));
    }
    return script.FailedItemCount();
}

// The finish page without its window, then the outcome.
TStepResult FinishInstallation(int failedItems) {
    WriteInstallRecord();
    WriteUninstallSize();
    const std::wstring log = JoinPath(InstallDir, L"install.log");
    if (failedItems > 0)
        return {exItemsFailed, L"Installed into " + InstallDir + L", but " +
                                   std::to_wstring(failedItems) +
                                   L" items failed; their lines are in " + log + L"."};
    return {exInstalled, L"Installed into " + InstallDir + L"; every item succeeded."};
}

TStepResult InstallSilently() {
    TStepResult result = ResolveSelection();
    if (result.Failed())
        return result;
    result = ResolveDirectory();
    if (result.Failed())
        return result;
    result = RefuseRunningIdes();
    if (result.Failed())
        return result;
    return FinishInstallation(RunScript());
}

}  // namespace

std::wstring SetupResultPath() {
    return JoinPath(BaseDir(dcTemp), SetupResultName);
}

bool WriteSetupResult(int code, const std::wstring& reason) {
    const std::string text = std::to_string(code) + "\r\n" + ToUtf8(reason) + "\r\n";
    const handles::FileHandle file(CreateFileW(SetupResultPath().c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

int RefuseBusyMachine(bool silent) {
    WriteSetupResult(exSetupRunning, L"Another setup or uninstaller is running.");
    if (!silent)
        ShowSetupBusy();
    return exSetupRunning;
}

int RefuseCommandLine(const std::wstring& reason, bool silent) {
    WriteSetupResult(exBadCommandLine, reason);
    if (!silent)
        MessageBoxW(nullptr, reason.c_str(), L"Error", MB_OK | MB_ICONERROR);
    return exBadCommandLine;
}

int RunSilentSetup() {
    const TStepResult result = InstallSilently();
    WriteSetupResult(result.Code, result.Reason);
    return result.Code;
}
