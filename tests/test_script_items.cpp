// The install script table against the rules the interpreter, the uninstaller and the wizard rely
// on, read from the compiled table, the product tables and setup.exe's resources. The rows
// themselves are guarded by the regeneration check (tools/check-generated.py).
#include "product/UFiles.h"
#include "product/UProducts.h"
#include "product/UVersion.h"
#include "script/UScriptItems.h"
#include "support/UHandles.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using namespace vktest;

namespace {

BOOL CALLBACK CollectId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::set<int>*>(param)->insert(
            static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// The selection-list row that offers the IDE with this InternalId; nullptr when none does.
const TInstallChoice* ChoiceOf(uint32_t internalId) {
    for (const TInstallChoice& choice : InstallChoices)
        if (choice.Versions == internalId)
            return &choice;
    return nullptr;
}

}  // namespace

TEST(ScriptTableTest, HeaderFirstBlocksNestedAndEachOfferedIdeRunsOneBlockOfItsOwn) {
    // The uninstall log's header: the product-information rows, each logged, the end mark last.
    std::set<uint32_t> codes;
    int row = 0;
    for (; ScriptItems[row].ItemType == siProductInfo; ++row) {
        EXPECT_EQ(ScriptItems[row].Flags, ifLogUninstall) << "row " << row;
        EXPECT_TRUE(codes.insert(ScriptItems[row].Code).second) << "row " << row;
    }
    EXPECT_EQ(codes,
              (std::set<uint32_t>{piProductName, piProductVersion, piProductType, piInstallDir,
                                  piProductRegKey, piHeaderEnd, piUninstallEntryName}));
    EXPECT_EQ(ScriptItems[row - 1].Code, piHeaderEnd);

    // Open blocks: type, key, row. The interpreter ends a skip at the next end row of its type
    // and key, so no block may hold another of the same key and an end row closes the innermost.
    std::vector<std::tuple<uint16_t, uint32_t, int>> open;
    int ide = 0;  // the IDE of the block being walked
    std::wstring ideDir;
    std::set<int> blockIdes;
    for (; row < ScriptItemCount; ++row) {
        const TScriptItem& item = ScriptItems[row];
        SCOPED_TRACE("row " + std::to_string(row));
        EXPECT_NE(item.ItemType, siProductInfo);
        if (item.ItemType == siIfItems || item.ItemType == siIfFileExists) {
            for (const auto& [type, key, opened] : open)
                EXPECT_NE(key, item.Code) << "nested in the block of row " << opened;
            open.emplace_back(item.ItemType, item.Code, row);
        } else if (item.ItemType == siEndIfItems || item.ItemType == siEndIfFileExists) {
            ASSERT_FALSE(open.empty()) << "an end row without a block";
            const auto [type, key, opened] = open.back();
            EXPECT_EQ(item.ItemType, type + 1) << "ends the block of row " << opened;
            EXPECT_EQ(item.Code, key) << "ends the block of row " << opened;
            open.pop_back();
        } else if (item.ItemType == siSetIde && ide == 0) {
            // An IDE block opens with a logged siSetIde right inside the siIfItems block of the
            // IDE's selection row and closes with the same row (the backward walk of the
            // uninstall log meets it first), right before that block's end.
            ide = static_cast<int>(item.Code);
            ideDir = item.Name;
            ASSERT_TRUE(IsValidProductIndex(ide));
            EXPECT_TRUE(blockIdes.insert(ide).second) << "a second block of IDE " << ide;
            const TInstallChoice* choice = ChoiceOf(BorlandProducts[ide].InternalId);
            ASSERT_NE(choice, nullptr) << "IDE " << ide << " is not offered";
            EXPECT_EQ(ScriptItems[row - 1].ItemType, siIfItems);
            EXPECT_EQ(ScriptItems[row - 1].Code, choice->Mask);
            EXPECT_EQ(item.Flags, ifLogUninstall);
        } else if (item.ItemType == siSetIde) {
            EXPECT_EQ(static_cast<int>(item.Code), ide);
            EXPECT_EQ(item.Name, ideDir);
            EXPECT_EQ(item.Flags, ifLogUninstall);
            EXPECT_EQ(ScriptItems[row + 1].ItemType, siEndIfItems);
            ide = 0;
        } else if (item.ItemType == siCompilePackage) {
            // The compiler is the one of the lowest bit of Code: the block's own IDE.
            ASSERT_NE(ide, 0) << "a build outside an IDE block";
            EXPECT_EQ(item.Code, BorlandProducts[ide].InternalId);
            EXPECT_TRUE(item.Platform != plDcc64 || BorlandProducts[ide].Is32and64);
        } else if (item.ItemType == siModifyHelpFile) {
            // Code names one of the IDE's help files; a row naming none would do nothing.
            ASSERT_NE(ide, 0) << "a help row outside an IDE block";
            ASSERT_TRUE(item.Code >= 1 && item.Code <= 3);
            EXPECT_NE(*BorlandProducts[ide].HelpStr[item.Code - 1], L'\0');
        }
    }
    EXPECT_TRUE(open.empty());
    EXPECT_EQ(ide, 0) << "an IDE block left open";
    std::set<int> offered;
    for (int index = 1; index <= BorlandProductCount; ++index)
        if (ChoiceOf(BorlandProducts[index].InternalId))
            offered.insert(index);
    EXPECT_EQ(blockIdes, offered);
}

TEST(ScriptTableTest, CopiesAndExtractionsNameTheirOwnDestinationAndPayloadResource) {
    handles::ModuleHandle setup(
        LoadLibraryExW((BuildDir() + L"\\setup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(setup);
    std::set<int> payload, extracted;
    EnumResourceNamesW(setup.get(), L"VKLIB", CollectId, reinterpret_cast<LONG_PTR>(&payload));
    std::set<const TPackageFile*> copied;
    for (int row = 0; row < ScriptItemCount; ++row) {
        const TScriptItem& item = ScriptItems[row];
        SCOPED_TRACE("row " + std::to_string(row));
        if (item.ItemType == siCopyFileTo) {
            // The IDE's built run-time package goes to the entry of the same name, once.
            ASSERT_TRUE(item.Dest >= PackageFiles && item.Dest < PackageFiles + PackageFileCount);
            EXPECT_TRUE(
                std::wstring(item.Name).ends_with(std::wstring(L"\\") + item.Dest->FileName));
            EXPECT_TRUE(copied.insert(item.Dest).second) << item.Dest->FileName << " copied twice";
        } else if (item.ItemType == siExtractFile || item.ItemType == siExtractFileIfAbsent ||
                   item.ItemType == siExtractFileIfNewer) {
            const int id = static_cast<int>(item.Code);
            EXPECT_EQ(payload.count(id), 1u) << "no payload resource " << id;
            EXPECT_TRUE(extracted.insert(id).second) << id << " extracted twice";
        }
    }
    EXPECT_EQ(copied.size(), static_cast<size_t>(PackageFileCount));
}

TEST(PayloadProgramsTest, TheUninstallerCarriesTheProductVersion) {
    // The extract-if-newer row compares it with the installed uninstaller's.
    DWORD high = 0, low = 0;
    ASSERT_TRUE(GetFileProductVersion(BuildDir() + L"\\unbrm.exe", high, low));
    EXPECT_EQ(high, static_cast<DWORD>(MAKELONG(VK_VERSION_MINOR, VK_VERSION_MAJOR)));
    EXPECT_EQ(low, static_cast<DWORD>(MAKELONG(0, VK_VERSION_RELEASE)));
}
