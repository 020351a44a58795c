// Removal of the previous installation that the Windows uninstall entry names.
#pragma once

#include <string>

// The uninstall log path of an "UninstallString" (uninstaller path, blank, log path; each
// quoted when it holds a blank); at most 255 characters; empty when there is none.
std::wstring UninstallLogPathOf(const std::wstring& uninstallString);

// Reads the product's Windows uninstall entry and undoes, without a window and without partial
// mode, the installation its log records. InstallDir is the same afterwards. Nothing is removed
// when the entry or its log is missing, the log path is not absolute, the log is rejected or its
// header names another product. Always 0.
int RemovePreviousInstallation();
