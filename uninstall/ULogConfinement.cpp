#include "uninstall/ULogConfinement.h"

#include "product/UConst.h"
#include "product/UPaths.h"
#include "script/UScriptItems.h"
#include "support/UText.h"
#include "uninstall/UDeinstall.h"

#include <compare>
#include <set>

namespace {

// What undoing a record acts on, as far as places go.
enum class TReach {
    Nothing,         // siSetIde, header records, types without an undo
    File,            // the file at the record path
    Tree,            // the folder at the record path with everything in it
    IdeEntry,        // an IDE's package and search-path entries naming the record path
    HelpText,        // a text taken out of one of the IDE's own help files
    WinHelpValue,    // a value below the Windows help key
    RegKey,          // a key tree
    IdeValue,        // a value below the IDE's key
    HelpBatch,       // the installation folder's help unregistration batch
    UninstallEntry,  // the Windows uninstall entry that the header names
};

TReach ReachOf(uint16_t itemType) {
    switch (itemType) {
    case siDeleteFile:
    case siExtractFile:
    case siExtractFileIfAbsent:
    case siExtractFileIfNewer:
    case siCopyFileTo: return TReach::File;
    case siCreateDir: return TReach::Tree;
    case siRegisterPackage:
    case siAddSearchPath: return TReach::IdeEntry;
    case siModifyHelpFile:
    case ukModifyHelpFileAlias: return TReach::HelpText;
    case siRegisterWinHelp: return TReach::WinHelpValue;
    case siCreateRegKey: return TReach::RegKey;
    case siAddIdePath: return TReach::IdeValue;
    case siRegisterHelp: return TReach::HelpBatch;
    case siRegisterUninstall: return TReach::UninstallEntry;
    default: return TReach::Nothing;
    }
}

// A place outside the installation folder that a row of the item table names: Where is the
// directory code, or the root key of a key; Name is lower-cased.
struct TPlace {
    TReach Reach;
    uint32_t Where;
    std::wstring Name;
    auto operator<=>(const TPlace&) const = default;
};

// Every place outside the installation folder that the item table reaches: the one list of them.
const std::set<TPlace>& TablePlaces() {
    static const std::set<TPlace> places = [] {
        std::set<TPlace> result;
        for (int i = 0; i < ScriptItemRows; ++i) {
            const TScriptItem& row = ScriptItems[i];
            const TReach reach = ReachOf(row.ItemType);
            const std::wstring name = LowerCase(row.Name ? row.Name : L"");
            switch (reach) {
            case TReach::File:
            case TReach::Tree:
            case TReach::IdeEntry:
                // A copy's record names its destination: a run-time package's place.
                if (row.ItemType == siCopyFileTo && row.Dest)
                    result.insert({reach, static_cast<uint32_t>(row.Dest->DirCode),
                                   LowerCase(row.Dest->FileName)});
                else if (row.DirCode != dcInstall)
                    result.insert({reach, static_cast<uint32_t>(row.DirCode), name});
                break;
            case TReach::HelpText:
            case TReach::WinHelpValue: result.insert({reach, 0, name}); break;
            case TReach::RegKey: result.insert({reach, row.Code, name}); break;
            default: break;
            }
        }
        return result;
    }();
    return places;
}

bool IsTablePlace(TReach reach, uint32_t where, const std::wstring& text) {
    return TablePlaces().count({reach, where, LowerCase(text)}) > 0;
}

// The installation folder the records may reach: the header's, when the log lies in it (the
// Windows uninstall entry names the log, the log names the folder) and it is no protected
// folder; empty when the log may reach no folder at all.
std::wstring InstallationArea(const std::wstring& installDir, const std::wstring& logPath) {
    const std::wstring log = NormalizePath(logPath);
    const size_t separator = log.rfind(L'\\');
    if (!IsAbsolutePath(installDir) || separator == std::wstring::npos ||
        IsProtectedDirectory(installDir) || !IsSamePath(installDir, log.substr(0, separator + 1)))
        return {};
    return NormalizePath(installDir);
}

bool IsConfined(const TUninstRecord& record, const TUninstHeader& header,
                const std::wstring& installArea) {
    const TReach reach = ReachOf(record.ItemType());
    const std::wstring text = FromUtf8(std::string(record.Text));
    switch (reach) {
    case TReach::Nothing: return true;
    case TReach::File:
    case TReach::Tree:
    case TReach::IdeEntry:
        if (record.DirCode == dcInstall)
            return !installArea.empty() &&
                   IsSameOrBelowPath(JoinPath(header.InstallDir, text), installArea);
        return IsTablePlace(reach, static_cast<uint32_t>(record.DirCode), text);
    case TReach::HelpText:
        // The file is one of the IDE's own, chosen from the IDE table by the record's code.
        return (record.DirCode == dcIdeRoot || record.DirCode == dcIdeHelp) &&
               IsTablePlace(reach, 0, text);
    case TReach::WinHelpValue: return IsTablePlace(reach, 0, text);
    case TReach::RegKey: return IsTablePlace(reach, record.Code, text);
    case TReach::IdeValue:
        // The key is the IDE's key followed by the text: only a leading separator keeps it below.
        return text.size() > 1 && text[0] == L'\\';
    case TReach::HelpBatch: return !installArea.empty();
    case TReach::UninstallEntry:
        return LowerCase(header.ProductIntName) == LowerCase(sUninstallEntryName);
    }
    return false;
}

}  // namespace

bool IsLogConfined(TLogBytes log, const std::wstring& logPath) {
    const TUninstHeader header = ParseUninstHeader(log);
    const std::wstring installArea = InstallationArea(header.InstallDir, logPath);
    // The records that the walk undoes, read in file order.
    size_t pos = header.ReadBackward ? header.WalkEnd : header.WalkBegin;
    TUninstRecord record;
    TRecordRead read;
    while ((read = ReadRecordForward(log, pos, log.size(), record)) == TRecordRead::Ok)
        if (!IsConfined(record, header, installArea))
            return false;
    return read == TRecordRead::End;
}
