// Confinement of an uninstall log: a log whose records would undo anything outside the places an
// installation of this product writes is not walked at all.
#pragma once

#include "script/UUninstLog.h"

#include <string>

// True when every record after the header stays where an installation writes: below the
// installation folder that the header names, when the log lies in that folder and it is not a
// protected one; elsewhere only the files, folders, help texts, WinHelp values and keys that rows
// of the item table name (and the run-time packages' destinations); IDE values below the IDE's
// own key; the product's own uninstall entry. For a log that ValidateUninstLog accepted.
bool IsLogConfined(TLogBytes log, const std::wstring& logPath);
