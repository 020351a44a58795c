// The IDEs an installation changes must not run meanwhile: an IDE keeps its settings in memory and
// writes them back when it closes, over the packages and paths the installation added.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A running program inside an IDE's root folder.
struct TRunningIde {
    int ProductIndex;          // 1..28 in BorlandProducts
    std::wstring ProgramFile;  // full path of the running program
};

// The IDEs of versionMask (InternalId bits) whose detected root folder holds the program file of
// a running process, in table order, one entry per running program. Empty when the processes
// cannot be listed.
std::vector<TRunningIde> FindRunningIdes(uint32_t versionMask);
// The text of the box that asks to close a running IDE: the IDE as the selection list names it,
// the program file, and what Retry and Cancel do.
std::wstring RunningIdeText(const TRunningIde& ide);
// The IDEs a run changes: the chosen ones (InstallVersions) and those of the previous
// installation, which the run removes first.
uint32_t IdesChangedByRun();
