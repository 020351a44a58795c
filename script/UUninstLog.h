// The binary uninstall log "uninst.log": its layout, the encoding of one record, and a reader and
// validator that work on the bytes alone and never look outside them.
//
// Layout: the 7 bytes "UNBRM02", then records back to back to the end of the file. A record is
// Kind (4), Code (4), DirCode (4), TextLen (2), Text (TextLen bytes of UTF-8), RecLen (2), all
// little-endian; RecLen = TextLen + 16 lets a reader step backward.
#pragma once

#include "script/UScriptItems.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

inline constexpr char UninstLogMagic[] = "UNBRM02";  // written without its terminator
constexpr size_t UninstMagicSize = 7;
constexpr size_t UninstRecordOverhead = 16;  // every field but the text
constexpr size_t UninstMaxTextBytes = 0xFFFF - UninstRecordOverhead;
// Kind bit: a partial uninstall keeps the record (the item's ifKeepOnPartial in the Kind's high
// word, where ItemIdOf puts the flags).
constexpr uint32_t ukKeepOnPartial = uint32_t{ifKeepOnPartial} << 16;
// An item type of no table row that older logs hold; undone as siModifyHelpFile.
constexpr uint16_t ukModifyHelpFileAlias = 0x0019;

inline constexpr wchar_t sInstallLogName[] = L"install.log";
inline constexpr wchar_t sUninstLogName[] = L"uninst.log";
inline constexpr wchar_t sUninstallerName[] = L"unbrm.exe";

// The Windows help index (HKEY_LOCAL_MACHINE): one value per help file, naming its folder.
inline constexpr wchar_t sWindowsHelpKey[] = L"Software\\Microsoft\\Windows\\Help";
// The product's entry below the Windows uninstall key (HKEY_LOCAL_MACHINE).
inline constexpr wchar_t sWindowsUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr wchar_t sUninstallEntryName[] = L"vklLib";

// Results of loading a log (TDeinstall::PrepareUninstFile).
constexpr int ulOk = 0;
constexpr int ulCannotOpen = -2;
constexpr int ulEmpty = -3;
constexpr int ulBadMagic = -4;
constexpr int ulDamaged = -5;  // records that do not tile the file, or an incomplete header

using TLogBytes = std::span<const uint8_t>;

struct TUninstRecord {
    uint32_t Kind = 0;
    uint32_t Code = 0;
    int32_t DirCode = 0;
    std::string_view Text;  // UTF-8, points into the log's bytes
    size_t Offset = 0;      // where the record begins in the log
    size_t Length = 0;      // the whole record, RecLen

    uint16_t ItemType() const { return static_cast<uint16_t>(Kind & 0xFFFF); }
};

// The record's bytes; empty when the text does not fit a record (over UninstMaxTextBytes), so a
// path is never recorded cut short.
std::string EncodeUninstRecord(uint32_t kind, uint32_t code, int32_t dirCode,
                               std::string_view text);

enum class TRecordRead { Ok, End, Damaged };

// Reads the record that begins at pos, if it ends at or before end; pos moves past it.
TRecordRead ReadRecordForward(TLogBytes log, size_t& pos, size_t end, TUninstRecord& record);
// Reads the record that ends at pos, if it begins at or after stop; pos moves to its start.
TRecordRead ReadRecordBackward(TLogBytes log, size_t& pos, size_t stop, TUninstRecord& record);

// ulOk with the two version digits, or ulBadMagic (shorter than 7 bytes, not "UNBRM", or the
// next two bytes not ASCII digits).
int CheckUninstMagic(TLogBytes log, std::string& version);

// What the header records say and where the walk over the other records runs.
struct TUninstHeader {
    std::wstring ProductName;     // code 1
    std::wstring ProductVersion;  // code 2
    std::wstring ProductType;     // code 3
    std::wstring InstallDir;      // code 4
    std::wstring ProductRegKey;   // code 5
    std::wstring ProductIntName;  // code 7
    unsigned CodesSeen = 0;       // bit n set when a code n record was read
    bool ReadBackward = false;    // the code 6 turning mark was met
    size_t WalkBegin = 0;         // where the walk starts (the end of the file when backward)
    size_t WalkEnd = 0;           // where it stops (just after the code 6 record when backward)

    // Every code the writer puts before the turning mark is there, with an installation
    // directory to resolve the records against.
    bool Complete() const;
};

// True when a header's product name (code 1) and uninstall entry name (code 7) are this
// product's, letter case aside: a log of another product is never walked in its place.
bool NamesThisProduct(const std::wstring& productName, const std::wstring& entryName);

// Reads the product-information records that follow the magic. Without a code 6 record the walk
// runs forward from the first record of another type to the end of the log.
TUninstHeader ParseUninstHeader(TLogBytes log);

// ulOk when the whole log can be walked safely: a good magic, records that tile the file
// exactly with TextLen and RecLen agreeing, and a complete header; otherwise ulBadMagic or
// ulDamaged. Nothing but the bytes is consulted.
int ValidateUninstLog(TLogBytes log);
