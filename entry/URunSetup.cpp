#include "entry/URunSetup.h"

#include "entry/USilentSetup.h"
#include "product/UCommandLine.h"
#include "product/USingleInstance.h"
#include "script/UExtract.h"
#include "wizard/UPage.h"
#include "wizard/UbrmCheckListBox.h"

#include <windows.h>

int RunSetup() {
    if (!CommandLineError.empty())
        return RefuseCommandLine(CommandLineError, SetupOptions.Silent);
    if (ShowParams)
        MessageBoxW(nullptr, ParamsText, ParamsCaption, MB_OK);
    else if (ExtractOnly)
        ExtractAll();
    else {
        // The parameter box and the extraction run touch no installation; an installation needs
        // the machine to itself.
        TSetupInstanceLock lock;
        if (!lock.Acquire())
            return RefuseBusyMachine(SetupOptions.Silent);
        if (SetupOptions.Silent)
            return RunSilentSetup();
        // Only the wizard draws check boxes. Measuring the bitmap needs the screen, and under
        // Wine the screen's first use starts a desktop process: the windowless runs keep clear.
        InitCheckMetrics();
        RunWizard();
    }
    return 0;
}
