#include "script/UUninstLog.h"

#include "product/UConst.h"
#include "script/UScriptItems.h"
#include "support/UText.h"

#include <algorithm>

namespace {

uint16_t Get16(TLogBytes log, size_t at) {
    return static_cast<uint16_t>(log[at] | (log[at + 1] << 8));
}

uint32_t Get32(TLogBytes log, size_t at) {
    return static_cast<uint32_t>(log[at]) | (static_cast<uint32_t>(log[at + 1]) << 8) |
           (static_cast<uint32_t>(log[at + 2]) << 16) | (static_cast<uint32_t>(log[at + 3]) << 24);
}

void Put16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void Put32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// The record of length bytes at offset, which the caller has checked lies inside the log and
// is at least the fixed part long. Damaged unless its two length fields agree.
TRecordRead DecodeRecord(TLogBytes log, size_t offset, size_t length, TUninstRecord& record) {
    const size_t textLength = Get16(log, offset + 12);
    if (textLength + UninstRecordOverhead != length || Get16(log, offset + length - 2) != length)
        return TRecordRead::Damaged;
    record.Kind = Get32(log, offset);
    record.Code = Get32(log, offset + 4);
    record.DirCode = static_cast<int32_t>(Get32(log, offset + 8));
    record.Text =
        std::string_view(reinterpret_cast<const char*>(log.data()) + offset + 14, textLength);
    record.Offset = offset;
    record.Length = length;
    return TRecordRead::Ok;
}

constexpr unsigned CodeBit(uint32_t code) {
    return 1u << code;
}

constexpr unsigned RequiredCodes =
    CodeBit(1) | CodeBit(2) | CodeBit(3) | CodeBit(4) | CodeBit(5) | CodeBit(7);

}  // namespace

std::string EncodeUninstRecord(uint32_t kind, uint32_t code, int32_t dirCode,
                               std::string_view text) {
    if (text.size() > UninstMaxTextBytes)
        return {};
    std::string out;
    out.reserve(text.size() + UninstRecordOverhead);
    Put32(out, kind);
    Put32(out, code);
    Put32(out, static_cast<uint32_t>(dirCode));
    Put16(out, static_cast<uint16_t>(text.size()));
    out.append(text);
    Put16(out, static_cast<uint16_t>(text.size() + UninstRecordOverhead));
    return out;
}

TRecordRead ReadRecordForward(TLogBytes log, size_t& pos, size_t end, TUninstRecord& record) {
    end = std::min(end, log.size());
    if (pos >= end)
        return TRecordRead::End;
    if (end - pos < UninstRecordOverhead)
        return TRecordRead::Damaged;
    const size_t length = Get16(log, pos + 12) + UninstRecordOverhead;
    if (length > end - pos)
        return TRecordRead::Damaged;
    const TRecordRead result = DecodeRecord(log, pos, length, record);
    if (result == TRecordRead::Ok)
        pos += length;
    return result;
}

TRecordRead ReadRecordBackward(TLogBytes log, size_t& pos, size_t stop, TUninstRecord& record) {
    if (pos > log.size() || stop > pos)
        return TRecordRead::Damaged;
    if (pos - stop < 2)
        return pos == stop ? TRecordRead::End : TRecordRead::Damaged;
    const size_t length = Get16(log, pos - 2);
    if (length < UninstRecordOverhead || length > pos - stop)
        return TRecordRead::Damaged;
    const TRecordRead result = DecodeRecord(log, pos - length, length, record);
    if (result == TRecordRead::Ok)
        pos -= length;
    return result;
}

int CheckUninstMagic(TLogBytes log, std::string& version) {
    version.clear();
    if (log.size() < UninstMagicSize)
        return ulBadMagic;
    for (size_t i = 0; i < 5; ++i)
        if (log[i] != static_cast<uint8_t>(UninstLogMagic[i]))
            return ulBadMagic;
    for (size_t i = 5; i < UninstMagicSize; ++i)
        if (log[i] < '0' || log[i] > '9')
            return ulBadMagic;
    version.assign(reinterpret_cast<const char*>(log.data()) + 5, 2);
    return ulOk;
}

bool TUninstHeader::Complete() const {
    return (CodesSeen & RequiredCodes) == RequiredCodes && !InstallDir.empty();
}

bool NamesThisProduct(const std::wstring& productName, const std::wstring& entryName) {
    return LowerCase(productName) == LowerCase(sProductName) &&
           LowerCase(entryName) == LowerCase(sUninstallEntryName);
}

TUninstHeader ParseUninstHeader(TLogBytes log) {
    TUninstHeader header;
    size_t pos = std::min(UninstMagicSize, log.size());
    header.WalkBegin = pos;
    header.WalkEnd = log.size();
    TUninstRecord record;
    for (;;) {
        const size_t start = pos;
        if (ReadRecordForward(log, pos, log.size(), record) != TRecordRead::Ok)
            break;
        if (record.ItemType() != siProductInfo) {
            // The first record of another type is the first one the forward walk undoes.
            header.WalkBegin = start;
            break;
        }
        header.WalkBegin = pos;
        if (record.Code < 32)
            header.CodesSeen |= CodeBit(record.Code);
        const std::wstring text = FromUtf8(std::string(record.Text));
        switch (record.Code) {
        case piProductName: header.ProductName = text; break;
        case piProductVersion: header.ProductVersion = text; break;
        case piProductType: header.ProductType = text; break;
        case piInstallDir: header.InstallDir = text; break;
        case piProductRegKey: header.ProductRegKey = text; break;
        case piUninstallEntryName: header.ProductIntName = text; break;
        case piHeaderEnd:
            header.ReadBackward = true;
            header.WalkBegin = log.size();
            header.WalkEnd = pos;
            return header;
        default: break;
        }
    }
    return header;
}

int ValidateUninstLog(TLogBytes log) {
    std::string version;
    if (CheckUninstMagic(log, version) != ulOk)
        return ulBadMagic;
    size_t pos = UninstMagicSize;
    TUninstRecord record;
    TRecordRead read;
    while ((read = ReadRecordForward(log, pos, log.size(), record)) == TRecordRead::Ok) {
    }
    if (read != TRecordRead::End)
        return ulDamaged;
    return ParseUninstHeader(log).Complete() ? ulOk : ulDamaged;
}
