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
#include <thread>
#include <vector>

using namespace vktest;

namespace {

std::wstring Text(const wchar_t* text) {
    return text ? text : L"(nil)";
}

bool IsOpener(uint16_t type) {
    return type == siIfVersions || type == siIfItems || type == siIfCustomize ||
           type == siIfNotCustomize || type == siIfFileExists;
}

// The end type of each block opener (the end code is the opener's code + 1).
uint16_t CloserOf(uint16_t opener) {
    return static_cast<uint16_t>(opener + 1);
}

bool IsCloser(uint16_t type) {
    return type == siEndIfVersions || type == siEndIfItems || type == siEndIfCustomize ||
           type == siEndIfNotCustomize || type == siEndIfFileExists;
}

BOOL CALLBACK CollectId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::set<int>*>(param)->insert(
            static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// Ids of the VKLIB resources of a module loaded as data.
std::set<int> PayloadIds(HMODULE module) {
    std::set<int> ids;
    EnumResourceNamesW(module, L"VKLIB", CollectId, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

// Rows of one type between each pair of siSetIde rows, keyed by the IDE index.
std::map<int, std::vector<const TScriptItem*>> RowsPerIde(uint16_t type) {
    std::map<int, std::vector<const TScriptItem*>> rows;
    int ide = 0;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        if (item.ItemType == siSetIde)
            ide = static_cast<int>(item.Code);
        else if (item.ItemType == type)
            rows[ide].push_back(&item);
    }
    return rows;
}

void ExpectRow(int row, uint16_t type, uint16_t flags, const wchar_t* name, uint32_t code,
               int32_t dirCode, int32_t platform = 0) {
    SCOPED_TRACE("row " + std::to_string(row));
    const TScriptItem& item = ScriptItems[row];
    EXPECT_EQ(item.ItemType, type);
    EXPECT_EQ(item.Flags, flags);
    if (name)
        EXPECT_EQ(Text(item.Name), name);
    else
        EXPECT_EQ(item.Name, nullptr);
    EXPECT_EQ(item.Code, code);
    EXPECT_EQ(item.DirCode, dirCode);
    EXPECT_EQ(item.Text1, nullptr);
    EXPECT_EQ(item.Text2, nullptr);
    EXPECT_EQ(item.DestDirCode, 0);
    EXPECT_EQ(item.Platform, platform);
    EXPECT_EQ(item.Dest, nullptr);
}

} // namespace

TEST(ScriptTableTest, HasTheNumberOfRowsOfEachType) {
    const std::map<uint16_t, int> expected = {
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
    std::map<uint16_t, int> counted;
    for (int i = 0; i < ScriptItemCount; ++i)
        ++counted[ScriptItems[i].ItemType];
    EXPECT_EQ(counted, expected);
    EXPECT_EQ(ScriptItemRows, ScriptItemCount);
}

TEST(ScriptTableTest, EveryBlockClosesWithItsKeyAndNestedBlocksHaveOtherKeys) {
    struct Open {
        uint16_t Type;
        uint32_t Key;
        int Row;
    };
    std::vector<Open> open;
    int blocks = 0;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        SCOPED_TRACE("row " + std::to_string(i));
        if (IsOpener(item.ItemType)) {
            for (const Open& outer : open)
                EXPECT_NE(outer.Key, item.Code) << "nested in the block of row " << outer.Row;
            open.push_back({item.ItemType, item.Code, i});
            ++blocks;
        } else if (IsCloser(item.ItemType)) {
            ASSERT_FALSE(open.empty()) << "an end row without a block";
            // The interpreter closes a block at the next end row of its type and key, so the
            // innermost open block must be the one this row ends.
            EXPECT_EQ(CloserOf(open.back().Type), item.ItemType);
            EXPECT_EQ(open.back().Key, item.Code) << "ends the block of row " << open.back().Row;
            open.pop_back();
        }
    }
    EXPECT_TRUE(open.empty());
    EXPECT_EQ(blocks, 33);
}

TEST(ScriptTableTest, TheExampleRowsStandAtTheirRowNumbers) {
    const uint32_t codes[] = {1, 2, 3, 4, 5, 7, 6};
    for (int row = 0; row < 7; ++row)
        ExpectRow(row, siProductInfo, 1, nullptr, codes[row], 0);
    ExpectRow(7, siCreateDir, 1, L"", 0, dcInstall);
    ExpectRow(8, siCreateDir, 1, L"Source", 0, dcInstall);
    ExpectRow(47, siIfItems, 0, nullptr, 0x80, 0);
    ExpectRow(76, siSetIde, 1, L"BDS2006", 11, 0);
    ExpectRow(81, siExtractFile, 0, L"BDS2006\\vkl2006.dpk", 1002, dcInstall);
    ExpectRow(87, siSetCurrentDir, 0, L"BDS2006", 0, dcInstall);
    ExpectRow(88, siCompilePackage, 0, L"vkl2006.dpk", 0x400, 0);
    ExpectRow(89, siCheckFile, 0, L"BDS2006\\vkl2006.bpl", 0, dcInstall);
    ExpectRow(93, siRegisterPackage, 1, L"BDS2006\\dclvkl2006.bpl", 0, dcInstall);
    ExpectRow(96, siAddIdePath, 1, L"\\CppPaths\\SearchPath", 2, dcInstall);
    ExpectRow(98, siEndIfItems, 0, nullptr, 0x1000, 0);
    ExpectRow(591, siIfFileExists, 0, L"bin\\dcc64.exe", 0x02000001, dcIdeRoot);
    ExpectRow(592, siCompilePackage, 0, L"vkl240.dpk", 0x800000, 0, 1);
    ExpectRow(742, siCreateRegKey, 3, L"Software\\Brightmoss\\Velkora", 0x80000002, 0);
}

TEST(ScriptTableTest, IdeBlocksStandInOrderAndBeginAndEndWithTheirIde) {
    // Each IDE block: its siIfItems key, then two siSetIde rows with the same values.
    const std::vector<std::pair<int, uint32_t>> ides = {
        {11, 0x1000},    {12, 0x2000},    {13, 0x4000},    {14, 0x8000},    {15, 0x10000},
        {16, 0x20000},   {17, 0x40000},   {18, 0x80000},   {19, 0x100000},  {20, 0x200000},
        {21, 0x400000},  {22, 0x800000},  {23, 0x1000000}, {5, 0x10},       {6, 0x20},
        {8, 0x40},       {24, 0x2000000}, {25, 0x4000000}, {26, 0x8000000}, {27, 0x10000000},
        {28, 0x20000000}};
    std::vector<std::pair<int, uint32_t>> found;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        if (item.ItemType != siSetIde)
            continue;
        SCOPED_TRACE("row " + std::to_string(i));
        ASSERT_GT(i, 0);
        EXPECT_EQ(ScriptItems[i - 1].ItemType, siIfItems);
        found.push_back({static_cast<int>(item.Code), ScriptItems[i - 1].Code});
        // The closing siSetIde is the row before the block's end.
        int end = i + 1;
        while (end < ScriptItemCount && !(ScriptItems[end].ItemType == siEndIfItems &&
                                          ScriptItems[end].Code == ScriptItems[i - 1].Code))
            ++end;
        ASSERT_LT(end, ScriptItemCount);
        EXPECT_EQ(ScriptItems[end - 1].ItemType, siSetIde);
        EXPECT_EQ(ScriptItems[end - 1].Code, item.Code);
        EXPECT_EQ(Text(ScriptItems[end - 1].Name), Text(item.Name));
        found.push_back(found.back());
        i = end;
    }
    std::vector<std::pair<int, uint32_t>> expected;
    for (const auto& ide : ides) {
        expected.push_back(ide);
        expected.push_back(ide);
    }
    EXPECT_EQ(found, expected);
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

TEST(ScriptTableTest, IdePathsAreThoseOfEachIde) {
    using Paths = std::vector<std::pair<std::wstring, uint32_t>>;
    const Paths cpp = {{L"\\C++\\Paths\\SearchPath", 2}, {L"\\C++\\Paths\\LibraryPath", 2}};
    const Paths win64 = {{L"\\Library\\Win64\\Search Path", 4},
                         {L"\\C++\\Paths\\Win64\\LibraryPath", 4},
                         {L"\\C++\\Paths\\Win32\\LibraryPath", 3},
                         {L"\\Library\\Win32\\Search Path", 3}};
    std::map<int, Paths> expected = {{11, {{L"\\CppPaths\\SearchPath", 2}}},
                                     {12, cpp},
                                     {13, cpp},
                                     {14, cpp},
                                     {15, {cpp[0], cpp[1], {L"\\Library\\Search Path", 2}}},
                                     {16, {win64[0], win64[2], win64[3]}},
                                     {17, {win64[0], win64[2], win64[3]}}};
    for (int ide = 18; ide <= 28; ++ide)
        expected[ide] = win64;
    std::map<int, Paths> found;
    for (const auto& [ide, rows] : RowsPerIde(siAddIdePath))
        for (const TScriptItem* item : rows) {
            EXPECT_EQ(item->Flags, 1);
            found[ide].push_back({Text(item->Name), item->Code});
        }
    EXPECT_EQ(found, expected);
}

TEST(ScriptTableTest, HelpRowsOfTheCBuildersAppendTheIndexAndLinkLines) {
    const std::wstring index = L"\r\n:Index Velkora components=vklib.hlp";
    const std::wstring link = L"\r\n:Link vklib.hlp";
    using Lines = std::vector<std::pair<std::wstring, uint32_t>>;
    const std::map<int, Lines> expected = {{5, {{link, 1}, {index, 2}, {link, 3}}},
                                           {6, {{index, 1}, {link, 2}}},
                                           {8, {{index, 1}, {link, 2}}}};
    std::map<int, Lines> found;
    for (const auto& [ide, rows] : RowsPerIde(siModifyHelpFile))
        for (const TScriptItem* item : rows) {
            EXPECT_EQ(item->Flags, 1);
            EXPECT_EQ(item->DirCode, dcIdeHelp);
            found[ide].push_back({Text(item->Name), item->Code});
        }
    EXPECT_EQ(found, expected);
    for (const auto& [ide, rows] : RowsPerIde(siAddSearchPath)) {
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(Text(rows[0]->Name), L"Source");
        EXPECT_EQ(rows[0]->DirCode, dcInstall);
        EXPECT_EQ(rows[0]->Text1, nullptr);
        EXPECT_EQ(rows[0]->Text2, nullptr);
    }
}

TEST(ScriptTableTest, FlagsAreThoseOfEachType) {
    // Types whose rows all carry one value; siCreateDir is mixed (52 of 59 logged).
    const std::map<uint16_t, uint16_t> flags = {
        {siProductInfo, 1},       {siSetIde, 1},          {siRegisterPackage, 1},
        {siAddSearchPath, 1},     {siAddIdePath, 1},      {siModifyHelpFile, 1},
        {siDeleteFile, 1},        {siRegisterWinHelp, 1}, {siRegisterHelp, 1},
        {siRegisterUninstall, 1}, {siCreateRegKey, 3},    {siExtractFileIfAbsent, 3},
        {siSetHelpDir, 0},        {siCompilePackage, 0},  {siCheckFile, 0},
        {siCopyFileTo, 0},        {siExtractFile, 0},     {siExtractFileIfNewer, 0},
        {siClearDir, 0},          {siSetCurrentDir, 0},   {siCopyFiles, 0},
        {siDeleteFiles, 0},       {siMergeFiles, 0},      {siIfItems, 0},
        {siEndIfItems, 0},        {siIfFileExists, 0},    {siEndIfFileExists, 0}};
    int loggedDirs = 0;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        SCOPED_TRACE("row " + std::to_string(i));
        if (item.ItemType == siCreateDir) {
            EXPECT_LE(item.Flags, 1);
            loggedDirs += item.Flags;
        } else {
            ASSERT_EQ(flags.count(item.ItemType), 1u);
            EXPECT_EQ(item.Flags, flags.at(item.ItemType));
        }
    }
    EXPECT_EQ(loggedDirs, 52);
}

TEST(ScriptTableTest, PackageFilesAreTheRunTimePackagesInTheirOrder) {
    const wchar_t* const suffixes[] = {L"40",  L"50",  L"60",  L"2006", L"2007", L"2009", L"2010",
                                       L"150", L"160", L"170", L"180",  L"190",  L"200",  L"210",
                                       L"220", L"230", L"240", L"250",  L"260",  L"270",  L"280"};
    for (int i = 0; i < PackageFileCount; ++i) {
        EXPECT_EQ(Text(PackageFiles[i].FileName), std::wstring(L"vkl") + suffixes[i] + L".bpl");
        EXPECT_EQ(PackageFiles[i].DirCode, dcSystem);
    }
    // Each copy row copies its IDE's built run-time package to that package's entry.
    std::set<const TPackageFile*> used;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        if (item.ItemType != siCopyFileTo)
            continue;
        SCOPED_TRACE("row " + std::to_string(i));
        ASSERT_GE(item.Dest, &PackageFiles[0]);
        ASSERT_LT(item.Dest, &PackageFiles[0] + PackageFileCount);
        used.insert(item.Dest);
        const std::wstring name = Text(item.Name);
        const std::wstring file = item.Dest->FileName;
        EXPECT_EQ(name.substr(name.size() - file.size()), file);
        EXPECT_EQ(name[name.size() - file.size() - 1], L'\\');
        EXPECT_EQ(ScriptItems[i - 1].ItemType, siCheckFile);
        EXPECT_EQ(Text(ScriptItems[i - 1].Name), name);
    }
    EXPECT_EQ(used.size(), static_cast<size_t>(PackageFileCount));
}

TEST(ScriptTableTest, ExtractionRowsWriteBelowTheInstallationDirectory) {
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        if (item.ItemType == siCreateDir || item.ItemType == siExtractFile) {
            EXPECT_EQ(item.DirCode, dcInstall) << "row " << i;
            ASSERT_NE(item.Name, nullptr) << "row " << i;
            EXPECT_EQ(std::wstring(item.Name).find(L".."), std::wstring::npos) << "row " << i;
        }
    }
}

TEST(ScriptTableTest, EveryExtractingRowNamesItsOwnPayloadResource) {
    handles::ModuleHandle setup(
        LoadLibraryExW((BuildDir() + L"\\setup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(setup);
    const std::set<int> ids = PayloadIds(setup.get());
    EXPECT_EQ(ids.size(), 310u);
    EXPECT_EQ(*ids.begin(), 1);
    EXPECT_EQ(*ids.rbegin(), 2707);

    std::set<int> referenced;
    int extracting = 0;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        if (item.ItemType != siExtractFile && item.ItemType != siExtractFileIfAbsent &&
            item.ItemType != siExtractFileIfNewer)
            continue;
        SCOPED_TRACE("row " + std::to_string(i));
        ++extracting;
        const int id = static_cast<int>(item.Code);
        EXPECT_EQ(ids.count(id), 1u) << "no payload resource " << id;
        EXPECT_TRUE(referenced.insert(id).second) << "resource " << id << " named twice";
    }
    EXPECT_EQ(extracting, 268);
    EXPECT_EQ(referenced.size(), 268u);

    // The package projects of BDS 2006 and later: ids 1000..1007, 1100..1107, ... 2700..2707.
    std::set<int> projectIds;
    for (int base = 1000; base <= 2700; base += 100)
        for (int id = base; id < base + 8; ++id)
            projectIds.insert(id);
    std::set<int> high(ids.lower_bound(1000), ids.end());
    EXPECT_EQ(high, projectIds);
    for (int id : projectIds)
        EXPECT_EQ(referenced.count(id), 1u) << id;
}

TEST(PayloadProgramsTest, UninstallerAndAboutBoxCarryTheProductVersion) {
    for (const wchar_t* file : {L"\\unbrm.exe", L"\\vkabout.dll"}) {
        SCOPED_TRACE(file);
        DWORD high = 0;
        DWORD low = 0;
        ASSERT_TRUE(GetFileProductVersion(BuildDir() + file, high, low));
        EXPECT_EQ(high, 0x00040000u);
        EXPECT_EQ(low, 0x00070000u);
    }
}

TEST(PayloadProgramsTest, TheAboutBoxLibraryShowsItsDialog) {
    handles::ModuleHandle about(LoadLibraryW((BuildDir() + L"\\vkabout.dll").c_str()));
    ASSERT_TRUE(about);
    using ShowAbout = int(__stdcall*)(HWND);
    auto show = reinterpret_cast<ShowAbout>(
        reinterpret_cast<void*>(GetProcAddress(about.get(), "VkShowAbout")));
    ASSERT_NE(show, nullptr);
    // The box is modal: a second thread closes it once it is there.
    std::thread closer([] {
        HWND box = WaitForWindow(L"#32770", L"About Velkora", GetCurrentProcessId(), 10000);
        if (box)
            PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    const int shown = show(nullptr);
    closer.join();
    EXPECT_EQ(shown, 1);
}
