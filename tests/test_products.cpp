#include "product/UConst.h"
#include "product/UProducts.h"
#include "product/UUtils.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace vktest;

namespace {

constexpr int Delphi7 = 9;
constexpr int CBuilder4 = 5;
constexpr int CBuilder5 = 6;
constexpr int CBuilder6 = 8;
constexpr int BDS2006 = 11;
constexpr int Delphi2007 = 12;
constexpr int RADStudio9 = 16;
constexpr int RADStudio22 = 28;

constexpr uint32_t ContextHelpMask = 0x80;
constexpr uint32_t DemosMask = 0x200;

void SetRaw(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type,
            const std::wstring& text) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(handle, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

void RegisterIde(HKEY root, int index, const std::wstring& rootDir, DWORD type = REG_SZ) {
    SetRaw(root, BorlandProducts[index].RegKey, L"RootDir", type, rootDir);
}

// The selection-list row of an IDE (every offered IDE has exactly one).
TInstallChoice& RowOf(int index) {
    for (TInstallChoice& choice : InstallChoices) {
        if (choice.Versions == BorlandProducts[index].InternalId)
            return choice;
    }
    ADD_FAILURE() << "no row for IDE " << index;
    return InstallChoices[0];
}

TInstallChoice& RowWithMask(uint32_t mask) {
    for (TInstallChoice& choice : InstallChoices) {
        if (choice.Mask == mask)
            return choice;
    }
    ADD_FAILURE() << "no row with mask " << mask;
    return InstallChoices[0];
}

class ProductsTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        ResetState();
    }
    void TearDown() override {
        ResetState();
        SandboxTest::TearDown();
    }

    static void ResetState() {
        for (TBorlandProduct& product : BorlandProducts) {
            product.RootDir.clear();
            product.Exists = false;
            product.Selected = false;
        }
        for (TInstallChoice& choice : InstallChoices)
            choice.Checked = false;
        InstallVersions = 0;
        InstallItems = 0;
    }

    // A fake IDE installation below the temp dir: RootDir\bin with the chosen empty tools.
    std::wstring MakeIde(const std::wstring& name, bool dcc32, bool make) {
        const std::wstring root = TempPath(name);
        EXPECT_EQ(CreateDirectoryPath(root + L"\\bin"), 0u);
        if (dcc32) {
            EXPECT_TRUE(WriteFileBytes(root + L"\\bin\\dcc32.exe", ""));
        }
        if (make) {
            EXPECT_TRUE(WriteFileBytes(root + L"\\bin\\make.exe", ""));
        }
        return root;
    }

    // Installs and registers a Delphi-type IDE under HKEY_LOCAL_MACHINE.
    std::wstring InstallDelphi(int index) {
        const std::wstring root = MakeIde(BorlandProducts[index].Name, true, false);
        RegisterIde(HKEY_LOCAL_MACHINE, index, root);
        return root;
    }
};

}  // namespace

TEST_F(ProductsTest, TablesKeepTheirIdentities) {
    std::set<std::wstring> names;
    for (int index = 1; index <= BorlandProductCount; ++index) {
        EXPECT_EQ(BorlandProducts[index].InternalId, 1u << (index - 1)) << index;
        EXPECT_EQ(FindBorlandProduct(1u << (index - 1)), &BorlandProducts[index]) << index;
        names.insert(BorlandProducts[index].Name);
    }
    EXPECT_EQ(names.size(), 28u);
    EXPECT_EQ(FindBorlandProduct(0), nullptr);
    EXPECT_EQ(FindBorlandProduct(0x10000000), nullptr) << "28 bits, not 32";
    EXPECT_EQ(FindBorlandProduct(0x3), nullptr) << "a key of two bits names no IDE";

    // Masks are distinct bits; every offered IDE is one of the list's IDEs, none offered twice.
    const std::set<int> notOffered = {1, 2, 3, 4, 7, 9, 10};
    uint32_t masks = 0;
    uint32_t versions = 0;
    for (const TInstallChoice& choice : InstallChoices) {
        EXPECT_EQ(choice.Mask & (choice.Mask - 1), 0u) << choice.Caption;
        EXPECT_EQ(masks & choice.Mask, 0u) << choice.Caption;
        masks |= choice.Mask;
        EXPECT_EQ(versions & choice.Versions, 0u) << choice.Caption;
        versions |= choice.Versions;
        if (choice.Versions != 0) {
            const TBorlandProduct* product = FindBorlandProduct(choice.Versions);
            ASSERT_NE(product, nullptr) << choice.Caption;
            EXPECT_EQ(notOffered.count(static_cast<int>(product - BorlandProducts)), 0u)
                << choice.Caption;
        }
    }
    EXPECT_EQ(std::wstring(InstallChoices[0].Caption), L"RAD Studio 11");
    EXPECT_EQ(InstallChoices[0].Versions, BorlandProducts[RADStudio22].InternalId);
    EXPECT_EQ(std::wstring(InstallChoices[22].Caption), L"C++Builder demo projects");
}

TEST_F(ProductsTest, DetectsFromTheMachineKeyThenFromTheUserKey) {
    const std::wstring bds = InstallDelphi(BDS2006);
    const std::wstring xe2 = MakeIde(L"XE2", true, false);
    RegisterIde(HKEY_CURRENT_USER, RADStudio9, xe2);
    // Both roots name an installation: the machine's wins.
    const std::wstring machine = InstallDelphi(Delphi2007);
    RegisterIde(HKEY_CURRENT_USER, Delphi2007, MakeIde(L"UserCopy", true, false));
    // The machine key exists but has no "RootDir": the user's value is taken.
    SetRaw(HKEY_LOCAL_MACHINE, BorlandProducts[RADStudio22].RegKey, L"Other", REG_SZ, L"x");
    const std::wstring alexandria = MakeIde(L"Alexandria", true, false);
    RegisterIde(HKEY_CURRENT_USER, RADStudio22, alexandria);

    DetectProducts();

    EXPECT_TRUE(BorlandProducts[BDS2006].Exists);
    EXPECT_EQ(BorlandProducts[BDS2006].RootDir, bds);
    EXPECT_TRUE(BorlandProducts[RADStudio9].Exists);
    EXPECT_EQ(BorlandProducts[RADStudio9].RootDir, xe2);
    EXPECT_TRUE(BorlandProducts[Delphi2007].Exists);
    EXPECT_EQ(BorlandProducts[Delphi2007].RootDir, machine);
    EXPECT_TRUE(BorlandProducts[RADStudio22].Exists);
    EXPECT_EQ(BorlandProducts[RADStudio22].RootDir, alexandria);
    int found = 0;
    for (int index = 1; index <= BorlandProductCount; ++index)
        found += BorlandProducts[index].Exists ? 1 : 0;
    EXPECT_EQ(found, 4) << "nothing else is registered";
    EXPECT_TRUE(BorlandProducts[Delphi7].RootDir.empty());
}

TEST_F(ProductsTest, RemovesEveryTrailingBackslashFromRootDir) {
    const std::wstring root = MakeIde(L"IDE", true, false);
    RegisterIde(HKEY_LOCAL_MACHINE, BDS2006, root + L"\\\\");
    RegisterIde(HKEY_LOCAL_MACHINE, Delphi2007, L"\\\\\\");
    DetectProducts();
    EXPECT_EQ(BorlandProducts[BDS2006].RootDir, root);
    EXPECT_TRUE(BorlandProducts[BDS2006].Exists);
    EXPECT_EQ(BorlandProducts[Delphi2007].RootDir, L"") << "nothing but backslashes";
    EXPECT_FALSE(BorlandProducts[Delphi2007].Exists);
}

TEST_F(ProductsTest, DelphiNeedsDcc32AndCBuilderNeedsMake) {
    const std::wstring makeOnly = MakeIde(L"MakeOnly", false, true);
    RegisterIde(HKEY_LOCAL_MACHINE, RADStudio22, makeOnly);
    RegisterIde(HKEY_LOCAL_MACHINE, CBuilder4, MakeIde(L"BCB4", false, true));
    RegisterIde(HKEY_LOCAL_MACHINE, CBuilder5, MakeIde(L"BCB5", false, true));
    RegisterIde(HKEY_CURRENT_USER, CBuilder6, MakeIde(L"BCB6", false, true));
    const std::wstring dccOnly = MakeIde(L"DccOnly", true, false);
    RegisterIde(HKEY_LOCAL_MACHINE, 4, dccOnly);  // C++Builder 3

    DetectProducts();

    EXPECT_FALSE(BorlandProducts[RADStudio22].Exists) << "make.exe does not make a Delphi";
    EXPECT_EQ(BorlandProducts[RADStudio22].RootDir, makeOnly) << "RootDir is kept";
    EXPECT_TRUE(BorlandProducts[CBuilder4].Exists);
    EXPECT_TRUE(BorlandProducts[CBuilder5].Exists);
    EXPECT_TRUE(BorlandProducts[CBuilder6].Exists);
    EXPECT_FALSE(BorlandProducts[4].Exists) << "dcc32.exe does not make a C++Builder";
    EXPECT_EQ(BorlandProducts[4].RootDir, dccOnly);
}

TEST_F(ProductsTest, MissingDirectoriesOrToolsLeaveTheIdeUndetectedWithItsRootDir) {
    const std::wstring noBin = TempPath(L"NoBin");
    ASSERT_TRUE(CreateDirectoryW(noBin.c_str(), nullptr));
    RegisterIde(HKEY_LOCAL_MACHINE, BDS2006, noBin);
    const std::wstring gone = TempPath(L"Uninstalled");
    RegisterIde(HKEY_LOCAL_MACHINE, Delphi2007, gone);
    // "bin" is a file, not a directory.
    const std::wstring binFile = TempPath(L"BinFile");
    ASSERT_TRUE(CreateDirectoryW(binFile.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(binFile + L"\\bin", ""));
    RegisterIde(HKEY_LOCAL_MACHINE, RADStudio9, binFile);
    // The tool is a directory, not a file.
    const std::wstring toolDir = MakeIde(L"ToolDir", false, false);
    ASSERT_TRUE(CreateDirectoryW((toolDir + L"\\bin\\dcc32.exe").c_str(), nullptr));
    RegisterIde(HKEY_LOCAL_MACHINE, RADStudio22, toolDir);

    DetectProducts();

    for (int index : {BDS2006, Delphi2007, RADStudio9, RADStudio22})
        EXPECT_FALSE(BorlandProducts[index].Exists) << index;
    EXPECT_EQ(BorlandProducts[BDS2006].RootDir, noBin);
    EXPECT_EQ(BorlandProducts[Delphi2007].RootDir, gone);
    EXPECT_EQ(BorlandProducts[RADStudio9].RootDir, binFile);
    EXPECT_EQ(BorlandProducts[RADStudio22].RootDir, toolDir);
}

TEST_F(ProductsTest, ExpandableRootDirIsNotRead) {
    const std::wstring root = MakeIde(L"IDE", true, false);
    RegisterIde(HKEY_LOCAL_MACHINE, BDS2006, root, REG_EXPAND_SZ);
    // An expandable machine value counts as no value: the user's REG_SZ is taken.
    const std::wstring user = MakeIde(L"UserIDE", true, false);
    RegisterIde(HKEY_LOCAL_MACHINE, Delphi2007, root, REG_EXPAND_SZ);
    RegisterIde(HKEY_CURRENT_USER, Delphi2007, user);

    DetectProducts();

    EXPECT_FALSE(BorlandProducts[BDS2006].Exists);
    EXPECT_EQ(BorlandProducts[BDS2006].RootDir, L"");
    EXPECT_TRUE(BorlandProducts[Delphi2007].Exists);
    EXPECT_EQ(BorlandProducts[Delphi2007].RootDir, user);
}

TEST_F(ProductsTest, DetectingAgainRecomputesBothFields) {
    const std::wstring root = InstallDelphi(BDS2006);
    DetectProducts();
    ASSERT_TRUE(BorlandProducts[BDS2006].Exists);

    ASSERT_TRUE(DeleteFileW((root + L"\\bin\\dcc32.exe").c_str()));
    DetectProducts();
    EXPECT_FALSE(BorlandProducts[BDS2006].Exists);
    EXPECT_EQ(BorlandProducts[BDS2006].RootDir, root);

    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, BorlandProducts[BDS2006].RegKey), ERROR_SUCCESS);
    DetectProducts();
    EXPECT_FALSE(BorlandProducts[BDS2006].Exists);
    EXPECT_EQ(BorlandProducts[BDS2006].RootDir, L"");
}

TEST_F(ProductsTest, FirstInstallationChecksTheDetectedIdesAndTheRowsWithoutIde) {
    InstallDelphi(BDS2006);
    InstallDelphi(RADStudio22);
    RegisterIde(HKEY_LOCAL_MACHINE, CBuilder6, MakeIde(L"BCB6", false, true));
    DetectProducts();
    PreselectProducts(0);
    InitChoiceChecks(0);

    for (const TInstallChoice& choice : InstallChoices) {
        const bool detected = choice.Versions == BorlandProducts[BDS2006].InternalId ||
                              choice.Versions == BorlandProducts[RADStudio22].InternalId ||
                              choice.Versions == BorlandProducts[CBuilder6].InternalId;
        const bool withoutIde = choice.Versions == 0;
        EXPECT_EQ(choice.Checked, detected || withoutIde) << choice.Caption;
        EXPECT_EQ(IsChoiceEnabled(choice), detected || withoutIde) << choice.Caption;
    }
    EXPECT_TRUE(RowWithMask(ContextHelpMask).Checked);
    EXPECT_TRUE(RowWithMask(DemosMask).Checked);
    EXPECT_TRUE(BorlandProducts[BDS2006].Selected);
    EXPECT_FALSE(BorlandProducts[Delphi2007].Selected);
}

TEST_F(ProductsTest, ADetectedIdeWithoutRowIsSelectedButNeverOffered) {
    InstallDelphi(Delphi7);
    DetectProducts();
    PreselectProducts(0);
    InitChoiceChecks(0);
    EXPECT_TRUE(BorlandProducts[Delphi7].Selected);
    const TChoiceMasks masks = CheckedChoiceMasks();
    EXPECT_EQ(masks.Versions, 0u);
    EXPECT_EQ(masks.Items, ContextHelpMask | DemosMask);
}

TEST_F(ProductsTest, PreselectionFollowsThePreviousIdes) {
    InstallDelphi(BDS2006);
    InstallDelphi(Delphi2007);
    DetectProducts();
    const uint32_t bds = BorlandProducts[BDS2006].InternalId;
    const uint32_t notInstalled = BorlandProducts[RADStudio9].InternalId;

    PreselectProducts(static_cast<int32_t>(bds | notInstalled));
    EXPECT_TRUE(BorlandProducts[BDS2006].Selected);
    EXPECT_FALSE(BorlandProducts[Delphi2007].Selected) << "not chosen last time";
    EXPECT_FALSE(BorlandProducts[RADStudio9].Selected) << "chosen last time, but gone";

    // A record value with the sign bit set is below 1: as on a first installation.
    PreselectProducts(static_cast<int32_t>(0x80000000u | bds));
    EXPECT_TRUE(BorlandProducts[BDS2006].Selected);
    EXPECT_TRUE(BorlandProducts[Delphi2007].Selected);
    EXPECT_FALSE(BorlandProducts[RADStudio9].Selected);
}

TEST_F(ProductsTest, NoPreviousIdesButPreviousItemsChecksExactlyThoseRows) {
    InstallDelphi(BDS2006);
    InstallDelphi(Delphi2007);
    DetectProducts();
    PreselectProducts(0);
    EXPECT_TRUE(BorlandProducts[BDS2006].Selected) << "versions 0 means first installation";
    EXPECT_TRUE(BorlandProducts[Delphi2007].Selected);

    InitChoiceChecks(static_cast<int32_t>(RowOf(Delphi2007).Mask | ContextHelpMask));
    for (const TInstallChoice& choice : InstallChoices) {
        const bool expected = &choice == &RowOf(Delphi2007) || choice.Mask == ContextHelpMask;
        EXPECT_EQ(choice.Checked, expected) << choice.Caption;
    }
}

TEST_F(ProductsTest, APreviouslyChosenIdeThatIsGoneComesUpUncheckedAndDisabled) {
    InstallDelphi(BDS2006);
    InstallDelphi(Delphi2007);
    DetectProducts();
    const int32_t previousVersions = static_cast<int32_t>(BorlandProducts[BDS2006].InternalId |
                                                          BorlandProducts[RADStudio9].InternalId);
    // Delphi 2007's row was checked, its IDE not among the versions: the row follows detection.
    const int32_t previousItems = static_cast<int32_t>(
        RowOf(BDS2006).Mask | RowOf(RADStudio9).Mask | RowOf(Delphi2007).Mask | DemosMask);
    PreselectProducts(previousVersions);
    InitChoiceChecks(previousItems);

    EXPECT_FALSE(BorlandProducts[Delphi2007].Selected);
    EXPECT_TRUE(RowOf(Delphi2007).Checked);
    EXPECT_TRUE(RowOf(BDS2006).Checked);
    EXPECT_TRUE(IsChoiceEnabled(RowOf(BDS2006)));
    EXPECT_FALSE(RowOf(RADStudio9).Checked);
    EXPECT_FALSE(IsChoiceEnabled(RowOf(RADStudio9)));
    EXPECT_TRUE(RowWithMask(DemosMask).Checked);
    EXPECT_FALSE(RowWithMask(ContextHelpMask).Checked) << "not chosen last time";
    EXPECT_TRUE(IsChoiceEnabled(RowWithMask(ContextHelpMask))) << "a row without IDE is enabled";
}

TEST_F(ProductsTest, RowsOutsideThePreviousItemsKeepTheirMark) {
    InstallDelphi(BDS2006);
    DetectProducts();
    RowOf(Delphi2007).Checked = true;
    InitChoiceChecks(static_cast<int32_t>(RowOf(BDS2006).Mask));
    EXPECT_TRUE(RowOf(BDS2006).Checked);
    EXPECT_TRUE(RowOf(Delphi2007).Checked) << "not in the previous items: left as it was";
}

TEST_F(ProductsTest, LeavingTheListTurnsTheChecksIntoTheTwoMasks) {
    std::array<bool, InstallChoiceCount> checked{};
    checked[21] = true;  // "Context help files" alone
    InstallVersions = 0xFFFF;
    InstallItems = 0xFFFF;
    StoreChoiceChecks(checked);
    EXPECT_EQ(InstallVersions, 0u);
    EXPECT_EQ(InstallItems, 0x80u);
    EXPECT_TRUE(InstallChoices[21].Checked);

    checked = {};
    checked[0] = true;   // RAD Studio 11
    checked[18] = true;  // C++Builder 6
    checked[22] = true;  // demos
    StoreChoiceChecks(checked);
    EXPECT_EQ(InstallVersions, 0x8000000u | 0x80u);
    EXPECT_EQ(InstallItems, 0x20000000u | 0x40u | 0x200u);
    EXPECT_FALSE(InstallChoices[21].Checked) << "the rows carry the last choice";
    const TChoiceMasks masks = CheckedChoiceMasks();
    EXPECT_EQ(masks.Versions, InstallVersions);
    EXPECT_EQ(masks.Items, InstallItems);

    StoreChoiceChecks({});
    EXPECT_EQ(InstallVersions, 0u);
    EXPECT_EQ(InstallItems, 0u);
}
