#include "product/UProducts.h"

#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/URegistry.h"

namespace {
constexpr uint32_t Bit(int index) {
    return uint32_t{1} << (index - 1);
}
}  // namespace

// clang-format off
TBorlandProduct BorlandProducts[BorlandProductCount + 1] = {
    {L"", 0, {}, false, false, L"", {L"", L"", L""}, false, false},
    {L"Delphi3",     Bit(1),  {}, false, false, L"Software\\Borland\\Delphi\\3.0",      {L"delphi3.cfg", L"",            L""},            true,  false},
    {L"Delphi4",     Bit(2),  {}, false, false, L"Software\\Borland\\Delphi\\4.0",      {L"delphi4.cfg", L"delphi4.ohi", L"delphi4.ohl"}, true,  false},
    {L"Delphi5",     Bit(3),  {}, false, false, L"Software\\Borland\\Delphi\\5.0",      {L"delphi5.ohi", L"delphi5.ohl", L""},            true,  false},
    {L"CBuilder3",   Bit(4),  {}, false, false, L"Software\\Borland\\C++Builder\\3.0",  {L"",            L"",            L""},            false, false},
    {L"CBuilder4",   Bit(5),  {}, false, false, L"Software\\Borland\\C++Builder\\4.0",  {L"bcb4.cfg",    L"bcb4.ohi",    L"bcb4.ohl"},    false, false},
    {L"CBuilder5",   Bit(6),  {}, false, false, L"Software\\Borland\\C++Builder\\5.0",  {L"bcb5.ohi",    L"bcb5.ohl",    L""},            false, false},
    {L"Delphi6",     Bit(7),  {}, false, false, L"Software\\Borland\\Delphi\\6.0",      {L"delphi6.ohi", L"delphi6.ohl", L"delphi6.als"}, true,  false},
    {L"CBuilder6",   Bit(8),  {}, false, false, L"Software\\Borland\\C++Builder\\6.0",  {L"bcb6.ohi",    L"bcb6.ohl",    L"bcb6.als"},    false, false},
    {L"Delphi7",     Bit(9),  {}, false, false, L"Software\\Borland\\Delphi\\7.0",      {L"d7.ohi",      L"d7.ohl",      L"d7.als"},      true,  false},
    {L"Delphi9",     Bit(10), {}, false, false, L"Software\\Borland\\BDS\\3.0",         {L"", L"", L""}, true, false},
    {L"BDS2006",     Bit(11), {}, false, false, L"Software\\Borland\\BDS\\4.0",         {L"", L"", L""}, true, false},
    {L"Delphi2007",  Bit(12), {}, false, false, L"Software\\Borland\\BDS\\5.0",         {L"", L"", L""}, true, false},
    {L"BDS2009",     Bit(13), {}, false, false, L"Software\\CodeGear\\BDS\\6.0",        {L"", L"", L""}, true, false},
    {L"BDS2010",     Bit(14), {}, false, false, L"Software\\CodeGear\\BDS\\7.0",        {L"", L"", L""}, true, false},
    {L"RADStudio8",  Bit(15), {}, false, false, L"Software\\Embarcadero\\BDS\\8.0",     {L"", L"", L""}, true, false},
    {L"RADStudio9",  Bit(16), {}, false, false, L"Software\\Embarcadero\\BDS\\9.0",     {L"", L"", L""}, true, true},
    {L"RADStudio10", Bit(17), {}, false, false, L"Software\\Embarcadero\\BDS\\10.0",    {L"", L"", L""}, true, true},
    {L"RADStudio11", Bit(18), {}, false, false, L"Software\\Embarcadero\\BDS\\11.0",    {L"", L"", L""}, true, true},
    {L"RADStudio12", Bit(19), {}, false, false, L"Software\\Embarcadero\\BDS\\12.0",    {L"", L"", L""}, true, true},
    {L"RADStudio14", Bit(20), {}, false, false, L"Software\\Embarcadero\\BDS\\14.0",    {L"", L"", L""}, true, true},
    {L"RADStudio15", Bit(21), {}, false, false, L"Software\\Embarcadero\\BDS\\15.0",    {L"", L"", L""}, true, true},
    {L"RADStudio16", Bit(22), {}, false, false, L"Software\\Embarcadero\\BDS\\16.0",    {L"", L"", L""}, true, true},
    {L"RADStudio17", Bit(23), {}, false, false, L"Software\\Embarcadero\\BDS\\17.0",    {L"", L"", L""}, true, true},
    {L"RADStudio18", Bit(24), {}, false, false, L"Software\\Embarcadero\\BDS\\18.0",    {L"", L"", L""}, true, true},
    {L"RADStudio19", Bit(25), {}, false, false, L"Software\\Embarcadero\\BDS\\19.0",    {L"", L"", L""}, true, true},
    {L"RADStudio20", Bit(26), {}, false, false, L"Software\\Embarcadero\\BDS\\20.0",    {L"", L"", L""}, true, true},
    {L"RADStudio21", Bit(27), {}, false, false, L"Software\\Embarcadero\\BDS\\21.0",    {L"", L"", L""}, true, true},
    {L"RADStudio22", Bit(28), {}, false, false, L"Software\\Embarcadero\\BDS\\22.0",    {L"", L"", L""}, true, true},
};
// clang-format on

int CurrentProduct = 0;
std::wstring CurrentProductDir;

// clang-format off
TInstallChoice InstallChoices[InstallChoiceCount] = {
    {0x20000000, L"RAD Studio 11",                 false, 0x8000000},
    {0x10000000, L"RAD Studio XE10.4",             false, 0x4000000},
    {0x8000000,  L"RAD Studio XE10.3",             false, 0x2000000},
    {0x4000000,  L"RAD Studio XE10.2",             false, 0x1000000},
    {0x2000000,  L"RAD Studio XE10.1",             false, 0x800000},
    {0x1000000,  L"RAD Studio XE10",               false, 0x400000},
    {0x800000,   L"RAD Studio XE8",                false, 0x200000},
    {0x400000,   L"RAD Studio XE7",                false, 0x100000},
    {0x200000,   L"RAD Studio XE6",                false, 0x80000},
    {0x100000,   L"RAD Studio XE5",                false, 0x40000},
    {0x80000,    L"RAD Studio XE4",                false, 0x20000},
    {0x40000,    L"RAD Studio XE3",                false, 0x10000},
    {0x20000,    L"RAD Studio XE2",                false, 0x8000},
    {0x10000,    L"RAD Studio XE",                 false, 0x4000},
    {0x8000,     L"RAD Studio 2010",               false, 0x2000},
    {0x4000,     L"CodeGear RAD Studio 2009",      false, 0x1000},
    {0x2000,     L"CodeGear RAD Studio 2007",      false, 0x800},
    {0x1000,     L"Borland Developer Studio 2006", false, 0x400},
    {0x40,       L"C++Builder 6",                  false, 0x80},
    {0x20,       L"C++Builder 5",                  false, 0x20},
    {0x10,       L"C++Builder 4",                  false, 0x10},
    // Rows that need no IDE.
    {0x80,       L"Context help files",            false, 0},
    {0x200,      L"C++Builder demo projects",      false, 0},
};
// clang-format on

namespace {

// The "RootDir" value of the product's key, from HKEY_LOCAL_MACHINE or else HKEY_CURRENT_USER.
bool ReadProductRootDir(const TBorlandProduct& product, std::wstring& rootDir) {
    return ReadRegString(HKEY_LOCAL_MACHINE, product.RegKey, L"RootDir", rootDir) ||
           ReadRegString(HKEY_CURRENT_USER, product.RegKey, L"RootDir", rootDir);
}

// The IDE is really there: its directory, its bin directory and its command-line tool.
bool ProductInstalled(const TBorlandProduct& product) {
    const std::wstring bin = product.RootDir + L"\\bin";
    return DirectoryExists(product.RootDir) && DirectoryExists(bin) &&
           FileExists(bin + (product.IsDelphi ? L"\\dcc32.exe" : L"\\make.exe"));
}

}  // namespace

void DetectProducts() {
    for (int index = 1; index <= BorlandProductCount; ++index) {
        TBorlandProduct& product = BorlandProducts[index];
        product.Exists = ReadProductRootDir(product, product.RootDir);
        while (!product.RootDir.empty() && product.RootDir.back() == L'\\')
            product.RootDir.pop_back();
        product.Exists = product.Exists && ProductInstalled(product);
    }
}

TBorlandProduct* FindBorlandProduct(uint32_t id) {
    if (id == 0)
        return nullptr;
    for (int index = 1; index <= BorlandProductCount; ++index) {
        if (BorlandProducts[index].InternalId == id)
            return &BorlandProducts[index];
    }
    return nullptr;
}

void PreselectProducts(int32_t prevInstallVersions) {
    for (int index = 1; index <= BorlandProductCount; ++index) {
        TBorlandProduct& product = BorlandProducts[index];
        product.Selected = product.Exists &&
                           (prevInstallVersions < 1 ||
                            (product.InternalId & static_cast<uint32_t>(prevInstallVersions)) != 0);
    }
}

void InitChoiceChecks(int32_t prevInstallItems) {
    for (TInstallChoice& choice : InstallChoices) {
        const TBorlandProduct* product = FindBorlandProduct(choice.Versions);
        if (prevInstallItems < 1)
            choice.Checked = product == nullptr || product->Selected;
        else if ((choice.Mask & static_cast<uint32_t>(prevInstallItems)) != 0)
            choice.Checked = product == nullptr || product->Exists;
    }
}

bool IsChoiceEnabled(const TInstallChoice& choice) {
    const TBorlandProduct* product = FindBorlandProduct(choice.Versions);
    return product == nullptr || product->Exists;
}

TChoiceMasks CheckedChoiceMasks() {
    TChoiceMasks masks{0, 0};
    for (const TInstallChoice& choice : InstallChoices) {
        if (choice.Checked) {
            masks.Versions |= choice.Versions;
            masks.Items |= choice.Mask;
        }
    }
    return masks;
}

void StoreChoiceChecks(const std::array<bool, InstallChoiceCount>& checked) {
    for (int row = 0; row < InstallChoiceCount; ++row)
        InstallChoices[row].Checked = checked[row];
    const TChoiceMasks masks = CheckedChoiceMasks();
    InstallVersions = masks.Versions;
    InstallItems = masks.Items;
}

TPrevInstall PresetInstallChoices() {
    const TPrevInstall previous = ReadPrevInstall();
    DetectProducts();
    PreselectProducts(previous.InstallSelected);
    InitChoiceChecks(previous.InstallItems);
    return previous;
}

std::wstring ChoiceName(const TInstallChoice& choice) {
    if (const TBorlandProduct* product = FindBorlandProduct(choice.Versions))
        return product->Name;
    return choice.Mask == HelpChoiceMask    ? L"help"
           : choice.Mask == DemosChoiceMask ? L"demos"
                                            : L"";
}

namespace {

// Names are plain ASCII words: folding A..Z is enough, and needs no system library.
bool SameName(std::wstring_view a, std::wstring_view b) {
    auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; };
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

}  // namespace

bool ChoiceRowsFromNames(std::wstring_view list, TChoiceRows& rows, std::wstring& bad) {
    rows.fill(false);
    for (;;) {
        const size_t comma = list.find(L',');
        const std::wstring_view name = list.substr(0, comma);
        int found = -1;
        for (int row = 0; row < InstallChoiceCount && !name.empty(); ++row)
            if (SameName(name, ChoiceName(InstallChoices[row])))
                found = row;
        if (found < 0) {
            bad = name;
            return false;
        }
        rows[static_cast<size_t>(found)] = true;
        if (comma == std::wstring_view::npos)
            return true;
        list.remove_prefix(comma + 1);
    }
}

std::wstring CheckChoiceRows(const TChoiceRows& rows) {
    std::wstring refused;
    for (int row = 0; row < InstallChoiceCount; ++row) {
        TInstallChoice& choice = InstallChoices[row];
        const bool wanted = rows[static_cast<size_t>(row)];
        choice.Checked = wanted && IsChoiceEnabled(choice);
        if (wanted && !choice.Checked)
            refused += (refused.empty() ? L"" : L",") + ChoiceName(choice);
    }
    return refused;
}
