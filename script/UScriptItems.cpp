// The install script table: the row shapes and the two tables. Their rows are generated, with the
// payload they refer to (the payload resource ids are the Code of the extracting rows), by
// resources/payload/generate.py into UScriptTable.inc and UPackageFiles.inc; change them there.
#include "script/UScriptItems.h"

#include "product/UPaths.h"

#include <iterator>

const TPackageFile PackageFiles[] = {
#include "script/UPackageFiles.inc"
};
static_assert(std::size(PackageFiles) == PackageFileCount,
              "PackageFileCount is the number of generated package destinations");

namespace {

// The row shapes of the table; unused fields are 0 or nil.
constexpr TScriptItem Row(uint16_t type, uint16_t flags, const wchar_t* name, uint32_t code,
                          int32_t dirCode) {
    return {type, flags, name, code, dirCode, nullptr, nullptr, 0, 0, nullptr};
}

// siCopyFiles and siMergeFiles: source name and directory, destination name and directory.
constexpr TScriptItem Copy(uint16_t type, const wchar_t* name, int32_t dirCode, const wchar_t* dest,
                           int32_t destDirCode) {
    return {type, 0, name, 0, dirCode, nullptr, dest, destDirCode, 0, nullptr};
}

// The 64-bit build of a run-time package with the compiler of the IDE with bit ideBit.
constexpr TScriptItem Build64(const wchar_t* name, uint32_t ideBit) {
    return {siCompilePackage, 0, name, ideBit, 0, nullptr, nullptr, 0, plDcc64, nullptr};
}

// Copy of a built run-time package to its PackageFiles destination.
constexpr TScriptItem CopyTo(const wchar_t* name, int32_t dirCode, int package) {
    return {siCopyFileTo, 0, name, 0, dirCode, nullptr, nullptr, 0, 0, &PackageFiles[package]};
}

}  // namespace

const TScriptItem ScriptItems[] = {
#include "script/UScriptTable.inc"
};
static_assert(std::size(ScriptItems) == ScriptItemCount,
              "ScriptItemCount is the number of generated rows");

const int ScriptItemRows = ScriptItemCount;
