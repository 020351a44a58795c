// The install script table and the payload that setup.exe carries: the shape the interpreter
// and the uninstaller rely on, read from the compiled table and from setup.exe's resources.
#include "product/UProducts.h"
#include "product/UUtils.h"
#include "script/UScriptItems.h"
#include "support/UHandles.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Block openers; each one's end row type is its own + 1.
const std::set<uint16_t> Openers = {siIfVersions, siIfItems, siIfCustomize, siIfNotCustomize,
                                    siIfFileExists};

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

} // namespace

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
        if (Openers.count(item.ItemType)) {
            for (const Open& outer : open)
                EXPECT_NE(outer.Key, item.Code) << "nested in the block of row " << outer.Row;
            open.push_back({item.ItemType, item.Code, i});
            ++blocks;
        } else if (Openers.count(item.ItemType - 1)) {
            ASSERT_FALSE(open.empty()) << "an end row without a block";
            // The interpreter closes a block at the next end row of its type and key, so the
            // innermost open block must be the one this row ends.
            // An end row's type is its opener's + 1.
            EXPECT_EQ(open.back().Type + 1, item.ItemType);
            EXPECT_EQ(open.back().Key, item.Code) << "ends the block of row " << open.back().Row;
            open.pop_back();
        }
    }
    EXPECT_TRUE(open.empty());
    EXPECT_EQ(blocks, 33);
}

TEST(ScriptTableTest, EachIdeBlockIsKeyedByItsChoiceAndBeginsAndEndsWithItsIde) {
    // Block: siIfItems with the mask of the IDE's choice, siSetIde, ..., the same siSetIde, the
    // end row.
    std::set<int> ides;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const TScriptItem& item = ScriptItems[i];
        if (item.ItemType != siSetIde)
            continue;
        SCOPED_TRACE("row " + std::to_string(i));
        const int ide = static_cast<int>(item.Code);
        ASSERT_TRUE(ide > 0 && ide <= BorlandProductCount);
        ASSERT_EQ(ScriptItems[i - 1].ItemType, siIfItems);
        const uint32_t key = ScriptItems[i - 1].Code;
        const TInstallChoice* choice =
            std::find_if(InstallChoices, InstallChoices + InstallChoiceCount,
                         [key](const TInstallChoice& c) { return c.Mask == key; });
        ASSERT_NE(choice, InstallChoices + InstallChoiceCount) << "no choice for key " << key;
        EXPECT_EQ(choice->Versions, BorlandProducts[ide].InternalId);
        EXPECT_TRUE(ides.insert(ide).second) << "a second block for IDE " << ide;
        int end = i + 1;
        while (end < ScriptItemCount &&
               !(ScriptItems[end].ItemType == siEndIfItems && ScriptItems[end].Code == key))
            ++end;
        ASSERT_LT(end, ScriptItemCount);
        EXPECT_EQ(ScriptItems[end - 1].ItemType, siSetIde);
        EXPECT_EQ(ScriptItems[end - 1].Code, item.Code);
        EXPECT_EQ(Text(ScriptItems[end - 1].Name), Text(item.Name));
        i = end;
    }
    EXPECT_EQ(ides.size(), static_cast<size_t>(std::count_if(
                               InstallChoices, InstallChoices + InstallChoiceCount,
                               [](const TInstallChoice& c) { return c.Versions != 0; })));
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

TEST(ScriptTableTest, EachTypeCarriesItsUninstallFlags) {
    // 1: logged for the uninstaller, 3: also skipped by a partial removal, 0: not logged. Types
    // whose rows all carry one value; siCreateDir is mixed (52 of 59 logged).
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

TEST(ScriptTableTest, EachPackageFileIsCopiedFromItsCheckedBuild) {
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
        EXPECT_EQ(item.Dest->DirCode, dcSystem);
        const std::wstring name = Text(item.Name);
        const std::wstring file = item.Dest->FileName;
        EXPECT_EQ(name.substr(name.size() - file.size()), file);
        EXPECT_EQ(name[name.size() - file.size() - 1], L'\\');
        EXPECT_EQ(ScriptItems[i - 1].ItemType, siCheckFile);
        EXPECT_EQ(Text(ScriptItems[i - 1].Name), name);
    }
    EXPECT_EQ(used.size(), static_cast<size_t>(PackageFileCount));
    EXPECT_EQ(ScriptItemRows, ScriptItemCount);
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
