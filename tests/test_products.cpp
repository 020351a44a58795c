#include "product/UConst.h"
#include "product/UProducts.h"
#include "product/UUtils.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace vktest;

namespace {

constexpr int Delphi7 = 9;
constexpr int CBuilder6 = 8;
constexpr int BDS2006 = 11;
constexpr int Delphi2007 = 12;
constexpr int RADStudio9 = 16;
constexpr int RADStudio22 = 28;

constexpr uint32_t ContextHelpMask = 0x80;
constexpr uint32_t DemosMask = 0x200;

void SetRaw(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type,
            const std::wstring& text) {
    ASSERT_EQ(RegSetKeyValueW(root, key, name, type, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// The selection-list row of an IDE (every offered IDE has exactly one), or of a row without IDE.
TInstallChoice& RowWhere(bool (*matches)(const TInstallChoice&, uint32_t), uint32_t key) {
    for (TInstallChoice& choice : InstallChoices)
        if (matches(choice, key))
            return choice;
    ADD_FAILURE() << "no row for " << key;
    return InstallChoices[0];
}
TInstallChoice& RowOf(int index) {
    return RowWhere([](const TInstallChoice& c, uint32_t id) { return c.Versions == id; },
                    BorlandProducts[index].InternalId);
}
TInstallChoice& RowWithMask(uint32_t mask) {
    return RowWhere([](const TInstallChoice& c, uint32_t m) { return c.Mask == m; }, mask);
}

// What a fake IDE directory holds: its command-line tool.
const wchar_t* const Dcc32 = L"bin\\dcc32.exe";
const wchar_t* const Make = L"bin\\make.exe";

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

    // A fake IDE directory below the temp dir holding entry (a file, or a directory when it ends
    // in a backslash); for nullptr no directory at all.
    std::wstring MakeIde(const std::wstring& name, const wchar_t* entry) {
        const std::wstring root = TempPath(name);
        if (entry) {
            const std::wstring path = root + L"\\" + entry;
            EXPECT_EQ(CreateDirectoryPath(path.substr(0, path.rfind(L'\\'))), 0u);
            if (path.back() != L'\\') {
                EXPECT_TRUE(WriteFileBytes(path, ""));
            }
        }
        return root;
    }

    // Installs and registers a Delphi-type IDE under HKEY_LOCAL_MACHINE.
    std::wstring InstallDelphi(int index) {
        const std::wstring root = MakeIde(BorlandProducts[index].Name, Dcc32);
        SetRaw(HKEY_LOCAL_MACHINE, BorlandProducts[index].RegKey, L"RootDir", REG_SZ, root);
        return root;
    }
};

// "$" in a row's values stands for the IDE's directory.
std::wstring Expand(const wchar_t* pattern, const std::wstring& dir) {
    std::wstring text = pattern;
    const size_t at = text.find(L'$');
    return at == std::wstring::npos ? text : text.replace(at, 1, dir);
}

}  // namespace

TEST_F(ProductsTest, TablesKeepTheirIdentities) {
    std::set<std::wstring> names;
    for (int index = 1; index <= BorlandProductCount; ++index) {
        EXPECT_EQ(FindBorlandProduct(1u << (index - 1)), &BorlandProducts[index]) << index;
        names.insert(BorlandProducts[index].Name);
    }
    EXPECT_EQ(names.size(), 28u);
    EXPECT_EQ(FindBorlandProduct(0), nullptr);
    EXPECT_EQ(FindBorlandProduct(0x10000000), nullptr) << "28 bits, not 32";
    EXPECT_EQ(FindBorlandProduct(0x3), nullptr) << "a key of two bits names no IDE";

    // Masks are distinct bits; every offered IDE is one of the list's IDEs, none offered twice.
    uint32_t masks = 0;
    uint32_t versions = 0;
    for (const TInstallChoice& choice : InstallChoices) {
        EXPECT_EQ(choice.Mask & (choice.Mask - 1), 0u) << choice.Caption;
        EXPECT_EQ(masks & choice.Mask, 0u) << choice.Caption;
        EXPECT_EQ(versions & choice.Versions, 0u) << choice.Caption;
        EXPECT_TRUE(choice.Versions == 0 || FindBorlandProduct(choice.Versions)) << choice.Caption;
        masks |= choice.Mask;
        versions |= choice.Versions;
    }
}

// One detection over IDEs registered in every way; then detecting again recomputes both fields.
TEST_F(ProductsTest, DetectionReadsRootDirAndNeedsTheIdesTool) {
    constexpr DWORD NoRootDir = REG_NONE;  // the machine key exists, but without "RootDir"
    const struct {
        int Index;
        const wchar_t* Tools;
        const wchar_t* Machine;  // nullptr: no machine key
        DWORD MachineType;
        const wchar_t* User;  // nullptr: no user key
        bool Exists;
        const wchar_t* RootDir;
    } rows[] = {
        {BDS2006, Dcc32, L"$", REG_SZ, nullptr, true, L"$"},
        {RADStudio9, Dcc32, nullptr, REG_SZ, L"$", true, L"$"},
        {Delphi2007, Dcc32, L"$", REG_SZ, L"C:\\UserCopy", true, L"$"},  // machine wins
        {RADStudio22, Dcc32, L"$", NoRootDir, L"$", true, L"$"},
        {13, Dcc32, L"$\\\\", REG_SZ, nullptr, true, L"$"},  // every backslash goes
        {14, Dcc32, L"\\\\\\", REG_SZ, nullptr, false, L""},
        {15, Make, L"$", REG_SZ, nullptr, false, L"$"},  // make.exe makes no Delphi
        {CBuilder6, Make, nullptr, REG_SZ, L"$", true, L"$"},
        {4, Dcc32, L"$", REG_SZ, nullptr, false, L"$"},     // dcc32.exe makes no C++Builder
        {17, L"", L"$", REG_SZ, nullptr, false, L"$"},      // no bin directory
        {18, nullptr, L"$", REG_SZ, nullptr, false, L"$"},  // the directory is gone
        {19, L"bin", L"$", REG_SZ, nullptr, false, L"$"},   // bin is a file
        {20, L"bin\\dcc32.exe\\", L"$", REG_SZ, nullptr, false, L"$"},  // the tool is a directory
        {21, Dcc32, L"$", REG_EXPAND_SZ, nullptr, false, L""},          // counts as no value
        {22, Dcc32, L"$", REG_EXPAND_SZ, L"$", true, L"$"},
    };
    std::set<int> registered;
    for (const auto& row : rows) {
        const std::wstring dir = MakeIde(L"IDE" + std::to_wstring(row.Index), row.Tools);
        const wchar_t* key = BorlandProducts[row.Index].RegKey;
        if (row.Machine)
            SetRaw(HKEY_LOCAL_MACHINE, key, row.MachineType == NoRootDir ? L"Other" : L"RootDir",
                   row.MachineType == NoRootDir ? REG_SZ : row.MachineType,
                   Expand(row.Machine, dir));
        if (row.User)
            SetRaw(HKEY_CURRENT_USER, key, L"RootDir", REG_SZ, Expand(row.User, dir));
        registered.insert(row.Index);
    }

    DetectProducts();

    for (const auto& row : rows) {
        const TBorlandProduct& product = BorlandProducts[row.Index];
        const std::wstring dir = TempPath(L"IDE" + std::to_wstring(row.Index));
        EXPECT_EQ(product.Exists, row.Exists) << product.Name;
        EXPECT_EQ(product.RootDir, Expand(row.RootDir, dir)) << product.Name;
    }
    for (int index = 1; index <= BorlandProductCount; ++index) {
        if (registered.count(index) == 0) {
            EXPECT_FALSE(BorlandProducts[index].Exists) << index << ": nothing is registered";
            EXPECT_EQ(BorlandProducts[index].RootDir, L"") << index;
        }
    }

    const std::wstring bds = TempPath(L"IDE11");
    ASSERT_TRUE(DeleteFileW((bds + L"\\bin\\dcc32.exe").c_str()));
    DetectProducts();
    EXPECT_FALSE(BorlandProducts[BDS2006].Exists);
    EXPECT_EQ(BorlandProducts[BDS2006].RootDir, bds);
    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, BorlandProducts[BDS2006].RegKey), ERROR_SUCCESS);
    DetectProducts();
    EXPECT_FALSE(BorlandProducts[BDS2006].Exists);
    EXPECT_EQ(BorlandProducts[BDS2006].RootDir, L"");
}

TEST_F(ProductsTest, FirstInstallationChecksTheDetectedIdesAndTheRowsWithoutIde) {
    InstallDelphi(BDS2006);
    InstallDelphi(RADStudio22);
    InstallDelphi(Delphi7);  // detected and selected, but without a row
    SetRaw(HKEY_LOCAL_MACHINE, BorlandProducts[CBuilder6].RegKey, L"RootDir", REG_SZ,
           MakeIde(L"BCB6", Make));
    DetectProducts();
    PreselectProducts(0);
    InitChoiceChecks(0);

    const uint32_t detected = BorlandProducts[BDS2006].InternalId |
                              BorlandProducts[RADStudio22].InternalId |
                              BorlandProducts[CBuilder6].InternalId;
    for (const TInstallChoice& choice : InstallChoices) {
        const bool expected = choice.Versions == 0 || (choice.Versions & detected) != 0;
        EXPECT_EQ(choice.Checked, expected) << choice.Caption;
        EXPECT_EQ(IsChoiceEnabled(choice), expected) << choice.Caption;
    }
    EXPECT_TRUE(BorlandProducts[BDS2006].Selected);
    EXPECT_TRUE(BorlandProducts[Delphi7].Selected);
    EXPECT_FALSE(BorlandProducts[Delphi2007].Selected);
}

TEST_F(ProductsTest, PreviousChoicesDecideTheirRowsByDetectionAndLeaveTheOthers) {
    InstallDelphi(BDS2006);
    InstallDelphi(Delphi2007);
    DetectProducts();
    const uint32_t bds = BorlandProducts[BDS2006].InternalId;
    // A record value with the sign bit set is below 1: as on a first installation.
    PreselectProducts(static_cast<int32_t>(0x80000000u | bds));
    EXPECT_TRUE(BorlandProducts[Delphi2007].Selected);
    EXPECT_FALSE(BorlandProducts[RADStudio9].Selected);

    PreselectProducts(static_cast<int32_t>(bds | BorlandProducts[RADStudio9].InternalId));
    EXPECT_TRUE(BorlandProducts[BDS2006].Selected);
    EXPECT_FALSE(BorlandProducts[Delphi2007].Selected) << "not chosen last time";
    EXPECT_FALSE(BorlandProducts[RADStudio9].Selected) << "chosen last time, but gone";
    RowOf(RADStudio22).Checked = true;  // outside the previous items: keeps its mark
    // Delphi 2007's row was checked, its IDE not among the versions: the row follows detection.
    InitChoiceChecks(static_cast<int32_t>(RowOf(BDS2006).Mask | RowOf(RADStudio9).Mask |
                                          RowOf(Delphi2007).Mask | DemosMask));
    for (const TInstallChoice& choice : InstallChoices) {
        const bool expected = &choice == &RowOf(BDS2006) || &choice == &RowOf(Delphi2007) ||
                              &choice == &RowOf(RADStudio22) || choice.Mask == DemosMask;
        EXPECT_EQ(choice.Checked, expected) << choice.Caption;
    }
    EXPECT_TRUE(IsChoiceEnabled(RowOf(BDS2006)));
    EXPECT_FALSE(IsChoiceEnabled(RowOf(RADStudio9))) << "chosen last time, but gone";
    EXPECT_TRUE(IsChoiceEnabled(RowWithMask(ContextHelpMask))) << "a row without IDE is enabled";
}

TEST_F(ProductsTest, LeavingTheListTurnsTheChecksIntoTheTwoMasks) {
    std::array<bool, InstallChoiceCount> checked{};
    for (const TInstallChoice* row :
         {&RowOf(RADStudio22), &RowOf(CBuilder6), &RowWithMask(DemosMask)})
        checked[row - InstallChoices] = true;
    RowWithMask(ContextHelpMask).Checked = true;
    InstallVersions = 0xFFFF;
    InstallItems = 0xFFFF;
    StoreChoiceChecks(checked);
    EXPECT_EQ(InstallVersions,
              BorlandProducts[RADStudio22].InternalId | BorlandProducts[CBuilder6].InternalId);
    EXPECT_EQ(InstallItems, RowOf(RADStudio22).Mask | RowOf(CBuilder6).Mask | DemosMask);
    EXPECT_FALSE(RowWithMask(ContextHelpMask).Checked) << "the rows carry the last choice";

    StoreChoiceChecks({});
    EXPECT_EQ(InstallVersions, 0u);
    EXPECT_EQ(InstallItems, 0u);
}
