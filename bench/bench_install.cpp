// Prints the time of a full installation of the product's table into a machine with four test
// IDEs whose packages the stand-in build tools build, of a second installation (which first
// removes the first), and of the in-process removal of that second one. Works on the real
// registry: tools/bench-script.sh runs it in a fresh copy of the test prefix.
// Usage: bench_install.exe <stand-in build tool>
#include "bench/BenchTiming.h"
#include "product/UPaths.h"
#include "product/UProcess.h"
#include "tests/TestIdeMachine.h"
#include "uninstall/URemovePrevious.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    GetOsPlatform();
    if (argc < 2) {
        fprintf(stderr, "usage: bench_install <stand-in build tool>\n");
        return 2;
    }
    std::wstring root = BaseDir(dcTemp) + L"vkbench-" + std::to_wstring(GetCurrentProcessId());
    vktest::TIdeMachine machine;
    if (!machine.Create(root, argv[1])) {
        fprintf(stderr, "bench_install: cannot create the test IDEs\n");
        return 1;
    }
    size_t errors = 0;
    const double first = TimedMs([&] { errors += machine.RunInstallation().size(); });
    const double second = TimedMs([&] { errors += machine.RunInstallation().size(); });
    const double removal = TimedMs([] { RemovePreviousInstallation(); });
    printf("full installation, 4 test IDEs, 9 package builds by the stand-in tools: %.0f ms\n",
           first);
    printf("second installation, removing the first before it:                   %.0f ms\n",
           second);
    printf("removal of the installation from its uninstall log:                   %.0f ms\n",
           removal);
    if (errors != 0)
        printf("item errors: %u (expected none)\n", static_cast<unsigned>(errors));
    SetCurrentDirectoryW(BaseDir(dcTemp).c_str());
    DeleteTree(root, false);
    return errors == 0 ? 0 : 1;
}
