// The install script: one constant table of items that the interpreter runs in order, and the
// destinations of the built run-time packages.
#pragma once

#include <cstdint>

// Item type codes. $8xxx file items, $4xxx control items, below $4000 IDE-related items.
constexpr uint16_t siCompilePackage = 0x0006;
constexpr uint16_t siRegisterPackage = 0x0008;
constexpr uint16_t siModifyHelpFile = 0x000A;
constexpr uint16_t siDeleteFile = 0x000B;
constexpr uint16_t siRegisterWinHelp = 0x000C;
constexpr uint16_t siSetHelpDir = 0x000D;
constexpr uint16_t siCreateRegKey = 0x000F;
constexpr uint16_t siCheckFile = 0x0013;
constexpr uint16_t siAddSearchPath = 0x0015;
constexpr uint16_t siRemovePrevious = 0x0018;
constexpr uint16_t siCopyFiles = 0x001A;
constexpr uint16_t siDeleteFiles = 0x001B;
constexpr uint16_t siMergeFiles = 0x001C;
constexpr uint16_t siReplaceText = 0x001D;
constexpr uint16_t siRunFile = 0x0022;
constexpr uint16_t siRegisterHelp = 0x0023;
constexpr uint16_t siAddIdePath = 0x0026;
constexpr uint16_t siIfVersions = 0x4003;
constexpr uint16_t siEndIfVersions = 0x4004;
constexpr uint16_t siSetIde = 0x4009;
constexpr uint16_t siProductInfo = 0x400E;
constexpr uint16_t siIfItems = 0x4016;
constexpr uint16_t siEndIfItems = 0x4017;
constexpr uint16_t siIfCustomize = 0x401E;
constexpr uint16_t siEndIfCustomize = 0x401F;
constexpr uint16_t siIfNotCustomize = 0x4020;
constexpr uint16_t siEndIfNotCustomize = 0x4021;
constexpr uint16_t siIfFileExists = 0x4024;
constexpr uint16_t siEndIfFileExists = 0x4025;
constexpr uint16_t siCreateDir = 0x8001;
constexpr uint16_t siExtractFile = 0x8002;
constexpr uint16_t siClearDir = 0x8005;
constexpr uint16_t siSetCurrentDir = 0x8007;
constexpr uint16_t siExtractFileIfAbsent = 0x8010;
constexpr uint16_t siExtractFileIfNewer = 0x8011;
constexpr uint16_t siRegisterUninstall = 0x8012;
constexpr uint16_t siCopyFileTo = 0x8014;

// The two high bits of a file item ($8xxx) or a control item ($4xxx); an item type with neither
// is IDE-related.
constexpr uint16_t siFileOrControlBits = 0xC000;

// Flags bits.
constexpr uint16_t ifLogUninstall = 0x0001;   // append an uninstall-log record after the item
constexpr uint16_t ifKeepOnPartial = 0x0002;  // the uninstaller skips it on a partial uninstall

// Product information numbers: the Code of an siProductInfo item, which its uninstall-log record
// carries with the product string it stands for.
constexpr uint32_t piProductName = 1;
constexpr uint32_t piProductVersion = 2;
constexpr uint32_t piProductType = 3;
constexpr uint32_t piInstallDir = 4;
constexpr uint32_t piProductRegKey = 5;
constexpr uint32_t piHeaderEnd = 6;  // empty text: the last header record of the uninstall log
constexpr uint32_t piUninstallEntryName = 7;

// Platform values. siCompilePackage: plDcc64 selects the 64-bit compiler (any other value the
// 32-bit one). siRegisterPackage and siAddSearchPath: bits.
constexpr int32_t plDcc64 = 1;
constexpr int32_t plIgnoreMissingSearchPath = 0x1;  // an unreadable search-path value passes
constexpr int32_t plLibraryWin64 = 0x2;             // the IDE's Win64 library key, not Win32

// Destination of a built run-time package copied to the system directory.
struct TPackageFile {
    const wchar_t* FileName;
    int32_t DirCode;
};

struct TScriptItem {
    uint16_t ItemType;
    uint16_t Flags;
    const wchar_t* Name;  // nullptr when unused
    uint32_t Code;        // resource id, block key or mask, IDE index, root key, ...
    int32_t DirCode;      // directory code of Name (0: Name used unchanged)
    const wchar_t* Text1;
    const wchar_t* Text2;
    int32_t DestDirCode;  // directory code of Text2
    int32_t Platform;
    const TPackageFile* Dest;  // siCopyFileTo destination
};

// An item's identifier in error reports and the kind of its uninstall record: ItemType in the
// low word, Flags in the high word.
constexpr uint32_t ItemIdOf(const TScriptItem& item) {
    return item.ItemType | (static_cast<uint32_t>(item.Flags) << 16);
}

// The numbers of generated rows (resources/payload/generate.py); UScriptItems.cpp checks both.
constexpr int PackageFileCount = 21;
extern const TPackageFile PackageFiles[PackageFileCount];

constexpr int ScriptItemCount = 743;
extern const TScriptItem ScriptItems[];
// Rows actually present in ScriptItems (ScriptItemCount once the table is complete).
extern const int ScriptItemRows;
