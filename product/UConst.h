// Product constants and the shared installation state.
#pragma once

#include <cstdint>
#include <string>

// Shared installation state: one instance for the whole program.
extern std::wstring InstallDir;     // target directory, without trailing backslash
extern uint32_t InstallVersions;    // OR of the chosen IDEs' InternalId bits
extern uint32_t InstallItems;       // OR of the checked selection-list entries' Mask bits
extern uint32_t CustomizeItems;     // customize option bits (5 until a record says otherwise)
