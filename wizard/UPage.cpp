#include "wizard/UPage.h"

#include <windows.h>

// The six wizard pages are not built yet; until they are, the program says so plainly instead
// of pretending to install anything.
void RunWizard() {
    MessageBoxW(nullptr, L"The Velkora setup wizard is not available in this build.\r\n"
                         L"Use /X to extract the files, or /? for the parameters.",
                L"Velkora Setup", MB_OK | MB_ICONINFORMATION);
}
