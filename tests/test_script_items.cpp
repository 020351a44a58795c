// The install script table and the payload that setup.exe carries: the shape the interpreter
// and the uninstaller rely on, read from the compiled table and from setup.exe's resources.
#include "product/UUtils.h"
#include "script/UScriptItems.h"
#include "support/UHandles.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace vktest;

namespace {

std::wstring Text(const wchar_t* text) {
    return text ? text : L"(nil)";
}

BOOL CALLBACK CollectId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::set<int>*>(param)->insert(
            static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// Rows of one type between each pair of siSetIde rows, keyed by the IDE index.
std::map<int, std::vector<const TScriptItem*>> RowsPerIde(uint16_t type) {
    std::map<int, std::vector<const TScriptItem*>> rows;
    int ide = 0;
    for (int i = 0; i < ScriptItemCount; ++i) {
        if (ScriptItems[i].ItemType == siSetIde)
            ide = static_cast<int>(ScriptItems[i].Code);
        else if (ScriptItems[i].ItemType == type)
            rows[ide].push_back(&ScriptItems[i]);
    }
    return rows;
}

}  // namespace

TEST(ScriptTableTest, RowCountsFlagsAndBlocksOfEachType) {
    const std::map<uint16_t, int> rows = {
        {siCompilePackage, 55},     {siRegisterPackage, 21},   {siModifyHelpFile, 7},
        {siDeleteFile, 20},         {siRegisterWinHelp, 2},    {siSetHelpDir, 1},
        {siCreateRegKey, 1},        {siCheckFile, 55},         {siAddSearchPath, 3},
        {siCopyFiles, 5},           {siDeleteFiles, 5},        {siMergeFiles, 1},
        {siRegisterHelp, 1},        {siAddIdePath, 60},        {siSetIde, 42},
        {siProductInfo, 7},         {siIfItems, 28},           {siEndIfItems, 28},
        {siIfFileExists, 5},        {siEndIfFileExists, 5},    {siCreateDir, 59},
        {siExtractFile, 266},       {siClearDir, 21},          {siSetCurrentDir, 21},
        {siExtractFileIfAbsent, 1}, {siExtractFileIfNewer, 1}, {siRegisterUninstall, 1},
        {siCopyFileTo, 21}};
    // The Flags all rows of a type carry; siCreateDir is mixed (52 of 59 logged).
    std::map<uint16_t, int> flags;
    for (const auto& [type, count] : rows)
        flags[type] = type == siCreateDir ? -1 : 0;
    for (uint16_t type :
         {siProductInfo, siSetIde, siRegisterPackage, siAddSearchPath, siAddIdePath,
          siModifyHelpFile, siDeleteFile, siRegisterWinHelp, siRegisterHelp, siRegisterUninstall})
        flags[type] = 1;
    flags[siCreateRegKey] = flags[siExtractFileIfAbsent] = 3;
    std::map<uint16_t, int> foundRows, foundFlags;
    int loggedDirs = 0;
    // Open blocks: type, key, row. The interpreter ends a skip at the next end row of its type
    // and key, so the innermost open block must be the one an end row closes.
    std::vector<std::tuple<uint16_t, uint32_t, int>> open;
    int blocks = 0;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        SCOPED_TRACE("row " + std::to_string(i));
        if (foundRows[item.ItemType]++ == 0)
            foundFlags[item.ItemType] = item.Flags;
        else if (foundFlags[item.ItemType] != item.Flags)
            foundFlags[item.ItemType] = -1;
        if (item.ItemType == siCreateDir)
            loggedDirs += item.Flags & ifLogUninstall;
        if (item.ItemType == siIfItems || item.ItemType == siIfFileExists) {
            for (const auto& [type, key, row] : open)
                EXPECT_NE(key, item.Code) << "nested in the block of row " << row;
            open.emplace_back(item.ItemType, item.Code, i);
            ++blocks;
        } else if (item.ItemType == siEndIfItems || item.ItemType == siEndIfFileExists) {
            ASSERT_FALSE(open.empty()) << "an end row without a block";
            const auto [type, key, row] = open.back();
            EXPECT_EQ(item.ItemType, type + 1) << "ends the block of row " << row;
            EXPECT_EQ(item.Code, key) << "ends the block of row " << row;
            open.pop_back();
        }
    }
    EXPECT_EQ(foundRows, rows);
    EXPECT_EQ(foundFlags, flags);
    EXPECT_EQ(loggedDirs, 52);
    EXPECT_TRUE(open.empty());
    EXPECT_EQ(blocks, 33);
    EXPECT_EQ(ScriptItemRows, ScriptItemCount);
}

TEST(ScriptTableTest, TheExampleRowsStandAtTheirRowNumbers) {
    struct Expected {
        int Row;
        uint16_t Type, Flags;
        const wchar_t* Name;
        uint32_t Code;
        int32_t DirCode, Platform;
    };
    const Expected rows[] = {
        {0, siProductInfo, 1, nullptr, 1, 0, 0},
        {8, siCreateDir, 1, L"Source", 0, dcInstall, 0},
        {47, siIfItems, 0, nullptr, 0x80, 0, 0},
        {76, siSetIde, 1, L"BDS2006", 11, 0, 0},
        {81, siExtractFile, 0, L"BDS2006\\vkl2006.dpk", 1002, dcInstall, 0},
        {87, siSetCurrentDir, 0, L"BDS2006", 0, dcInstall, 0},
        {88, siCompilePackage, 0, L"vkl2006.dpk", 0x400, 0, 0},
        {89, siCheckFile, 0, L"BDS2006\\vkl2006.bpl", 0, dcInstall, 0},
        {93, siRegisterPackage, 1, L"BDS2006\\dclvkl2006.bpl", 0, dcInstall, 0},
        {96, siAddIdePath, 1, L"\\CppPaths\\SearchPath", 2, dcInstall, 0},
        {98, siEndIfItems, 0, nullptr, 0x1000, 0, 0},
        {591, siIfFileExists, 0, L"bin\\dcc64.exe", 0x02000001, dcIdeRoot, 0},
        {592, siCompilePackage, 0, L"vkl240.dpk", 0x800000, 0, 1},
        {742, siCreateRegKey, 3, L"Software\\Brightmoss\\Velkora", 0x80000002, 0, 0}};
    for (const Expected& row : rows) {
        SCOPED_TRACE("row " + std::to_string(row.Row));
        const TScriptItem& item = ScriptItems[row.Row];
        EXPECT_EQ(item.ItemType, row.Type);
        EXPECT_EQ(item.Flags, row.Flags);
        EXPECT_EQ(Text(item.Name), Text(row.Name));
        EXPECT_EQ(item.Code, row.Code);
        EXPECT_EQ(item.DirCode, row.DirCode);
        EXPECT_EQ(item.Platform, row.Platform);
        EXPECT_TRUE(!item.Text1 && !item.Text2 && !item.DestDirCode && !item.Dest);
    }
}

TEST(ScriptTableTest, IdeBlocksInOrderWithTheirPathAndHelpRows) {
    // Each IDE block: its siIfItems key, then siSetIde; the row before its end sets it again.
    const std::vector<std::pair<int, uint32_t>> ides = {
        {11, 0x1000},    {12, 0x2000},    {13, 0x4000},    {14, 0x8000},    {15, 0x10000},
        {16, 0x20000},   {17, 0x40000},   {18, 0x80000},   {19, 0x100000},  {20, 0x200000},
        {21, 0x400000},  {22, 0x800000},  {23, 0x1000000}, {5, 0x10},       {6, 0x20},
        {8, 0x40},       {24, 0x2000000}, {25, 0x4000000}, {26, 0x8000000}, {27, 0x10000000},
        {28, 0x20000000}};
    std::vector<std::pair<int, uint32_t>> expected, found;
    for (const auto& ide : ides)
        expected.insert(expected.end(), {ide, ide});
    for (int i = 1; i + 1 < ScriptItemCount; ++i) {
        const TScriptItem &item = ScriptItems[i], &before = ScriptItems[i - 1],
                          &after = ScriptItems[i + 1];
        if (item.ItemType == siSetIde)
            found.emplace_back(item.Code, before.ItemType == siIfItems     ? before.Code
                                          : after.ItemType == siEndIfItems ? after.Code
                                                                           : 0);
    }
    EXPECT_EQ(found, expected);

    using Paths = std::vector<std::pair<std::wstring, uint32_t>>;
    const Paths cpp = {{L"\\C++\\Paths\\SearchPath", 2}, {L"\\C++\\Paths\\LibraryPath", 2}};
    const Paths win64 = {{L"\\Library\\Win64\\Search Path", 4},
                         {L"\\C++\\Paths\\Win64\\LibraryPath", 4},
                         {L"\\C++\\Paths\\Win32\\LibraryPath", 3},
                         {L"\\Library\\Win32\\Search Path", 3}};
    std::map<int, Paths> paths = {{11, {{L"\\CppPaths\\SearchPath", 2}}},
                                  {15, {cpp[0], cpp[1], {L"\\Library\\Search Path", 2}}}};
    for (int ide : {12, 13, 14})
        paths[ide] = cpp;
    for (int ide : {16, 17})
        paths[ide] = {win64[0], win64[2], win64[3]};
    for (int ide = 18; ide <= 28; ++ide)
        paths[ide] = win64;
    // C++Builder 4 to 6 append the index and link lines to their OpenHelp files.
    const std::wstring index = L"\r\n:Index Velkora components=vklib.hlp";
    const std::wstring link = L"\r\n:Link vklib.hlp";
    const std::map<int, Paths> help = {{5, {{link, 1}, {index, 2}, {link, 3}}},
                                       {6, {{index, 1}, {link, 2}}},
                                       {8, {{index, 1}, {link, 2}}}};
    for (const auto& [type, expected] :
         {std::pair{siAddIdePath, paths}, std::pair{siModifyHelpFile, help}}) {
        std::map<int, Paths> rows;
        for (const auto& [ide, items] : RowsPerIde(type))
            for (const TScriptItem* item : items) {
                EXPECT_EQ(item->DirCode, type == siAddIdePath ? dcInstall : dcIdeHelp);
                rows[ide].emplace_back(Text(item->Name), item->Code);
            }
        EXPECT_EQ(rows, expected) << "type " << type;
    }
}

TEST(ScriptTableTest, SixtyFourBitBuildsOfTheNewestIdesDependOnTheirCompiler) {
    std::vector<uint32_t> keys;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        if (item.ItemType == siCompilePackage && item.Platform == 1) {
            // Bits of BDS 9.0 (index 16) to 22.0 (index 28).
            EXPECT_GE(item.Code, 0x8000u);
            EXPECT_LE(item.Code, 0x8000000u);
        }
        if (item.ItemType != siIfFileExists)
            continue;
        EXPECT_EQ(Text(item.Name), L"bin\\dcc64.exe");
        EXPECT_EQ(item.DirCode, dcIdeRoot);
        EXPECT_EQ(ScriptItems[i + 1].ItemType, siCompilePackage);
        EXPECT_EQ(ScriptItems[i + 1].Platform, 1);
        keys.push_back(item.Code);
    }
    EXPECT_EQ(keys,
              (std::vector<uint32_t>{0x02000001, 0x04000001, 0x04000001, 0x10000001, 0x20000001}));
}

TEST(ScriptTableTest, CopyRowsTargetThePackageFilesInTheirOrder) {
    const wchar_t* const suffixes[] = {L"40",  L"50",  L"60",  L"2006", L"2007", L"2009", L"2010",
                                       L"150", L"160", L"170", L"180",  L"190",  L"200",  L"210",
                                       L"220", L"230", L"240", L"250",  L"260",  L"270",  L"280"};
    ASSERT_EQ(PackageFileCount, 21);
    for (int i = 0; i < PackageFileCount; ++i) {
        EXPECT_EQ(Text(PackageFiles[i].FileName), std::wstring(L"vkl") + suffixes[i] + L".bpl");
        EXPECT_EQ(PackageFiles[i].DirCode, dcSystem);
    }
    std::set<const TPackageFile*> used;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        if (item.ItemType != siCopyFileTo)
            continue;
        ASSERT_TRUE(item.Dest >= PackageFiles && item.Dest < PackageFiles + PackageFileCount)
            << "row " << i;
        // The IDE's built run-time package goes to the entry of the same name.
        EXPECT_TRUE(Text(item.Name).ends_with(std::wstring(L"\\") + item.Dest->FileName))
            << "row " << i;
        used.insert(item.Dest);
    }
    EXPECT_EQ(used.size(), 21u);
}

TEST(ScriptTableTest, EveryExtractingRowNamesItsOwnPayloadResource) {
    handles::ModuleHandle setup(
        LoadLibraryExW((BuildDir() + L"\\setup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(setup);
    std::set<int> ids;
    EnumResourceNamesW(setup.get(), L"VKLIB", CollectId, reinterpret_cast<LONG_PTR>(&ids));
    EXPECT_EQ(ids.size(), 310u);

    std::set<int> referenced;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        if (item.ItemType != siExtractFile && item.ItemType != siExtractFileIfAbsent &&
            item.ItemType != siExtractFileIfNewer)
            continue;
        const int id = static_cast<int>(item.Code);
        EXPECT_EQ(ids.count(id), 1u) << "row " << i << ": no payload resource " << id;
        EXPECT_TRUE(referenced.insert(id).second) << "row " << i << ": " << id << " named twice";
    }
    EXPECT_EQ(referenced.size(), 268u);
}

TEST(PayloadProgramsTest, TheUninstallerCarriesTheProductVersion) {
    // The extract-if-newer row compares it with the installed uninstaller's.
    DWORD high = 0, low = 0;
    ASSERT_TRUE(GetFileProductVersion(BuildDir() + L"\\unbrm.exe", high, low));
    EXPECT_EQ(std::make_pair(high, low), std::make_pair(0x00040000ul, 0x00070000ul));
}
