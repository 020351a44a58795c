#include "script/UExtract.h"

#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "script/UScriptItems.h"

#include <windows.h>

namespace {

// The table lists each directory after its parent, so one call usually makes it; the full walk
// from the drive down, one call per ancestor, is needed only when the parent is missing.
void CreateExtractDirectory(const std::wstring& path) {
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() == ERROR_PATH_NOT_FOUND)
        CreateDirectoryPath(path);
}

}  // namespace

void ExtractAll() {
    InstallDir = CurrentDirectory();
    for (int row = 0; row < ScriptItemRows; ++row) {
        const TScriptItem& item = ScriptItems[row];
        if ((item.ItemType & siFileOrControlBits) == 0)
            continue;
        const std::wstring name = item.Name ? item.Name : L"";
        if (item.ItemType == siCreateDir)
            CreateExtractDirectory(ItemPath(item.DirCode, name));
        else if (item.ItemType == siExtractFile)
            ExtractResourceFile(static_cast<int>(item.Code), ItemPath(item.DirCode, name));
    }
}
