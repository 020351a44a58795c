#include "product/UFiles.h"
#include "product/UProducts.h"
#include "tests/ScriptProbe.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// The selection-list row of an IDE (every offered IDE has exactly one).
TInstallChoice& RowOf(int index) {
    for (TInstallChoice& choice : InstallChoices)
        if (choice.Versions == BorlandProducts[index].InternalId)
            return choice;
    ADD_FAILURE() << "no row for IDE " << index;
    return InstallChoices[0];
}

// What a fake IDE directory holds: its command-line tool.
const wchar_t* const Dcc32 = L"bin\\dcc32.exe";
const wchar_t* const Make = L"bin\\make.exe";

// Detection and preselection recompute every IDE's fields; the fixture gives them back after.
class ProductsTest : public InstallStateTest {
protected:
    // A fake IDE directory below the temp dir holding the file entry (empty: only the directory).
    std::wstring MakeIde(const std::wstring& name, const wchar_t* entry) {
        const std::wstring root = TempPath(name);
        const std::wstring path = root + L"\\" + entry;
        EXPECT_EQ(CreateDirectoryPath(path.substr(0, path.rfind(L'\\'))), 0u);
        EXPECT_TRUE(!*entry || WriteFileBytes(path, "")) << path.c_str();
        return root;
    }
    // Installs and registers a Delphi-type IDE under HKEY_LOCAL_MACHINE.
    void InstallDelphi(int index) {
        SetRaw(HKEY_LOCAL_MACHINE, BorlandProducts[index].RegKey, L"RootDir", REG_SZ,
               MakeIde(BorlandProducts[index].Name, Dcc32));
    }
};

// "$" in a row's values stands for the IDE's directory.
std::wstring Expand(const wchar_t* pattern, const std::wstring& dir) {
    std::wstring text = pattern;
    const size_t at = text.find(L'$');
    return at == std::wstring::npos ? text : text.replace(at, 1, dir);
}

}  // namespace

TEST_F(ProductsTest, DetectionReadsRootDirAndNeedsTheIdesTool) {
    constexpr DWORD NoRootDir = REG_NONE;  // the machine key exists, but without "RootDir"
    const struct {
        int Index;
        const wchar_t* Tool;
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
        {13, Dcc32, L"$\\\\", REG_SZ, nullptr, true, L"$"},  // every trailing backslash goes
        {15, Make, L"$", REG_SZ, nullptr, false, L"$"},      // make.exe makes no Delphi
        {CBuilder6, Make, nullptr, REG_SZ, L"$", true, L"$"},
        {17, L"", L"$", REG_SZ, nullptr, false, L"$"},          // no bin directory
        {21, Dcc32, L"$", REG_EXPAND_SZ, nullptr, false, L""},  // counts as no value
    };
    for (const auto& row : rows) {
        const std::wstring dir = MakeIde(L"IDE" + std::to_wstring(row.Index), row.Tool);
        const wchar_t* key = BorlandProducts[row.Index].RegKey;
        if (row.Machine)
            SetRaw(HKEY_LOCAL_MACHINE, key, row.MachineType == NoRootDir ? L"Other" : L"RootDir",
                   row.MachineType == NoRootDir ? REG_SZ : row.MachineType,
                   Expand(row.Machine, dir));
        if (row.User)
            SetRaw(HKEY_CURRENT_USER, key, L"RootDir", REG_SZ, Expand(row.User, dir));
    }

    DetectProducts();

    for (const auto& row : rows) {
        const TBorlandProduct& product = BorlandProducts[row.Index];
        EXPECT_EQ(product.Exists, row.Exists) << product.Name;
        EXPECT_EQ(product.RootDir,
                  Expand(row.RootDir, TempPath(L"IDE" + std::to_wstring(row.Index))))
            << product.Name;
    }
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
    EXPECT_TRUE(BorlandProducts[Delphi7].Selected);
    EXPECT_FALSE(BorlandProducts[Delphi2007].Selected);
}

// The record's versions decide which detected IDEs are selected; its items decide the rows they
// name by detection and leave the other rows as they are.
TEST_F(ProductsTest, PreviousChoicesDecideTheirRowsByDetectionAndLeaveTheOthers) {
    InstallDelphi(BDS2006);
    InstallDelphi(Delphi2007);
    DetectProducts();
    auto expectChecked = [](std::initializer_list<const TInstallChoice*> rows) {
        for (const TInstallChoice& choice : InstallChoices)
            EXPECT_EQ(choice.Checked, std::find(rows.begin(), rows.end(), &choice) != rows.end())
                << choice.Caption;
    };
    const TInstallChoice* contextHelp = &InstallChoices[InstallChoiceCount - 2];
    const TInstallChoice* demos = &InstallChoices[InstallChoiceCount - 1];
    ASSERT_EQ(contextHelp->Mask, ContextHelpMask);
    ASSERT_EQ(demos->Mask, DemosMask);

    // "InstallVersions" 0 with "InstallItems" set: every detected IDE is selected, and only the
    // rows the items name are checked.
    for (TInstallChoice& choice : InstallChoices)
        choice.Checked = false;
    PreselectProducts(0);
    EXPECT_TRUE(BorlandProducts[BDS2006].Selected && BorlandProducts[Delphi2007].Selected);
    InitChoiceChecks(static_cast<int32_t>(RowOf(BDS2006).Mask | ContextHelpMask));
    expectChecked({&RowOf(BDS2006), contextHelp});

    // A previously chosen IDE that is gone: neither selected, nor checked, nor enabled.
    RowOf(RADStudio22).Checked = true;  // outside the previous items, as is context help
    PreselectProducts(static_cast<int32_t>(BorlandProducts[BDS2006].InternalId |
                                           BorlandProducts[RADStudio9].InternalId));
    EXPECT_TRUE(BorlandProducts[BDS2006].Selected);
    EXPECT_FALSE(BorlandProducts[Delphi2007].Selected) << "not chosen last time";
    EXPECT_FALSE(BorlandProducts[RADStudio9].Selected) << "chosen last time, but gone";
    // Delphi 2007's row was checked, its IDE not among the versions: the row follows detection.
    InitChoiceChecks(static_cast<int32_t>(RowOf(BDS2006).Mask | RowOf(RADStudio9).Mask |
                                          RowOf(Delphi2007).Mask | DemosMask));
    expectChecked({&RowOf(BDS2006), &RowOf(Delphi2007), &RowOf(RADStudio22), contextHelp, demos});
    EXPECT_FALSE(IsChoiceEnabled(RowOf(RADStudio9))) << "chosen last time, but gone";
    EXPECT_TRUE(IsChoiceEnabled(*contextHelp) && IsChoiceEnabled(*demos));
}
