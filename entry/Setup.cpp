// setup.exe: reads the command line, then shows the parameters, extracts, or runs the wizard.
#include "entry/URunSetup.h"
#include "product/UCommandLine.h"
#include "product/UProcess.h"

#include <windows.h>

#include <exception>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        GetOsPlatform();
        ParseCommandLine();
        return RunSetup();
    } catch (const std::exception&) {
        // Out of memory is the only thing that can throw here; the process still ends with 0.
        return 0;
    }
}
