#include "product/UConst.h"

std::wstring InstallDir;
uint32_t InstallVersions = 0;
uint32_t InstallItems = 0;
uint32_t CustomizeItems = 5;
