// The IDE versions the library supports, their detection, and the IDE selection list.
#pragma once

#include "product/UConst.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

constexpr int BorlandProductCount = 28;

struct TBorlandProduct {
    const wchar_t* Name;        // short tag, written to the install log's list of chosen IDEs
    uint32_t InternalId;        // 1 shl (index - 1): the IDE's bit in every version mask
    std::wstring RootDir;       // installation directory without trailing backslash (detection)
    bool Exists;                // found on this machine (detection)
    bool Selected;              // preselected for installation
    const wchar_t* RegKey;      // the IDE's key below HKEY_CURRENT_USER / HKEY_LOCAL_MACHINE
    const wchar_t* HelpStr[3];  // IDE files the file-modifying items extend; empty slots ""
    bool IsDelphi;              // has bin\dcc32.exe (false: C++Builder, recognised by make.exe)
    bool Is32and64;             // keeps separate Win32 and Win64 output folders
};

// Indexed 1..BorlandProductCount as the script items and uninstall records number them;
// entry 0 is an unused blank so that the index is the IDE's number everywhere.
extern TBorlandProduct BorlandProducts[BorlandProductCount + 1];

// The IDE that the script block or uninstall block being executed concerns (1..28; any other
// value means none), and its sub-directory inside the installation directory.
extern int CurrentProduct;
extern std::wstring CurrentProductDir;

// True when 1 <= index <= BorlandProductCount.
inline bool IsValidProductIndex(int index) {
    return index >= 1 && index <= BorlandProductCount;
}

// The name of an IDE's library search path value: Delphi 3, the first IDE of the table, spells
// it without a blank.
inline const wchar_t* SearchPathValueName(int productIndex) {
    return productIndex == 1 ? L"SearchPath" : L"Search Path";
}

// Sub-keys below an IDE's RegKey that the IDE registration items use.
inline constexpr wchar_t sKnownPackagesKey[] = L"\\Known Packages";
inline constexpr wchar_t sLibraryKey[] = L"\\Library";
inline constexpr wchar_t sGlobalsKey[] = L"\\Globals";

// Fills RootDir (without trailing backslashes, kept even when not found) and Exists of every
// product from its "RootDir" value (HKEY_LOCAL_MACHINE, else HKEY_CURRENT_USER) and its bin tools.
void DetectProducts();

// The first product whose InternalId equals id; nullptr when none does (always for 0).
TBorlandProduct* FindBorlandProduct(uint32_t id);

// Preselects every product: Selected = Exists, restricted to the previous installation's IDEs
// when prevInstallVersions (the record's "InstallVersions") is above 0.
void PreselectProducts(int32_t prevInstallVersions);

// One row of the IDE selection list.
struct TInstallChoice {
    uint32_t Mask;           // the row's bit in InstallItems
    const wchar_t* Caption;  // text of the row
    bool Checked;            // the row's check mark, carried across visits of the page
    uint32_t Versions;       // InternalId of the row's IDE; 0 for a row that needs no IDE
};

constexpr int InstallChoiceCount = 23;

// The rows of the IDE selection list, in display order.
extern TInstallChoice InstallChoices[InstallChoiceCount];

// Sets the initial check marks after PreselectProducts. Without a previous installation
// (prevInstallItems below 1) a row is checked when it needs no IDE or its IDE is Selected;
// otherwise the rows of prevInstallItems are checked when they need no IDE or it Exists, and the
// other rows keep their mark.
void InitChoiceChecks(int32_t prevInstallItems);

// True when the row can be checked: it needs no IDE or its IDE Exists.
bool IsChoiceEnabled(const TInstallChoice& choice);

// The two masks that the checked rows stand for.
struct TChoiceMasks {
    uint32_t Versions;  // OR of the checked rows' Versions: the InstallVersions value
    uint32_t Items;     // OR of the checked rows' Mask: the InstallItems value
};

// The masks of the rows whose Checked is set.
TChoiceMasks CheckedChoiceMasks();

// Takes the rows' check marks (list order) as the user left them: stores them in the rows and
// sets InstallVersions and InstallItems from them.
void StoreChoiceChecks(const std::array<bool, InstallChoiceCount>& checked);

// The masks of the two rows that need no IDE.
constexpr uint32_t HelpChoiceMask = 0x80;
constexpr uint32_t DemosChoiceMask = 0x200;

// The first showing of the selection list, without a window: reads the previous installation's
// choices, detects the IDEs, preselects the products and sets the rows' initial check marks.
// Answers the previous choices.
TPrevInstall PresetInstallChoices();

// Check marks by list row, in list order.
using TChoiceRows = std::array<bool, InstallChoiceCount>;
// The name a row answers to on the command line: its IDE's Name (as the install log lists the
// chosen IDEs), "help" or "demos".
std::wstring ChoiceName(const TInstallChoice& choice);
// The rows a comma-separated list of names (any case) stands for. False, with the name that
// matches no row in `bad`, when a name is unknown or empty.
bool ChoiceRowsFromNames(std::wstring_view list, TChoiceRows& rows, std::wstring& bad);
// Checks exactly those of `rows` that can be checked (IsChoiceEnabled) and unchecks every other
// row. Answers the names of the given rows that cannot be checked, comma-separated; empty when
// every given row was checked.
std::wstring CheckChoiceRows(const TChoiceRows& rows);
