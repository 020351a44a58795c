// unbrm.exe: the uninstaller that the Windows uninstall entry runs.
//
//   unbrm.exe <log>                 asks, then removes the installation with a progress window
//   unbrm.exe /S <log>              without question and window, ending when the removal is done
//   unbrm.exe /R <pid> /L <handle> <log>
//                                   the temporary copy at work (started by the program itself),
//                                   with the setup lock's inherited handle
//
// A running program cannot delete its own file, and the installation directory holds unbrm.exe.
// So the interactive program checks the log, asks, copies itself into a new temporary directory,
// starts the copy and ends; the copy waits for it to be gone, walks the log, and leaves a small
// batch file behind that deletes the copy and its directory once the copy has ended. The setup
// lock (one setup or uninstaller at a time) passes from the program to its copy without a gap.
// A script waits for the silent run itself: it walks the log in its own process, holding the
// lock, and the batch file then removes only its own file and the installation directory that
// held it.
#include "product/UProcess.h"
#include "unbrm/UUnbrmRun.h"

#include <windows.h>

#include <exception>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        // The registry tree deletion needs the platform id, read once at start-up.
        GetOsPlatform();
        return RunUnbrm(GetCommandLineW());
    } catch (const std::exception&) {
        return ueFailed;
    }
}
