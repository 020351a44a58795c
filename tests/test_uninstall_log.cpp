#include "product/UConst.h"
#include "product/UPaths.h"
#include "script/UUninstLog.h"
#include "tests/ScriptProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

using namespace vktest;

namespace {

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// A record spelled out field by field: Kind, Code, DirCode, TextLen, Text, RecLen, little-endian.
std::string RecordBytes(uint32_t kind, uint32_t code, uint32_t dirCode, const std::string& text) {
    std::string out;
    auto put = [&out](size_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    put(kind, 4);
    put(code, 4);
    put(dirCode, 4);
    put(text.size(), 2);
    out += text;
    put(text.size() + 16, 2);
    return out;
}

// The magic and the seven product-information records for an installation directory.
std::string LogHeaderBytes(const std::string& installDir) {
    std::string out = "UNBRM02";
    const std::pair<uint32_t, std::string> header[] = {{1, "Velkora"},
                                                       {2, "4.07"},
                                                       {3, "Standard Edition"},
                                                       {4, installDir},
                                                       {5, "Software\\Brightmoss\\Velkora"},
                                                       {7, "vklLib"},
                                                       {6, ""}};
    for (const auto& [code, text] : header)
        out += RecordBytes(0x10000 | siProductInfo, code, 0, text);
    return out;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

const TPackageFile CopyDestination{L"vkl40.bpl", dcSystem};

}  // namespace

using InstallLogTest = InstallStateTest;

// Two runs into one directory. The uninstall log is byte-exact: while its records go out the
// installation directory has accented letters, so its record carries their UTF-8 length. The
// install log is UTF-16LE without byte-order mark, ends its lines in CR LF and names only the
// chosen IDEs that are selected. The second run replaces both files.
TEST_F(InstallLogTest, TwoRunsWriteByteExactLogsAndTheSecondReplacesBoth) {
    // The tests' C locale cannot name files outside ASCII, so the logs live in an ASCII directory
    // and the accented name is only what the installation directory reads during the records.
    const std::wstring dir = TempPath(L"Lib Dir");
    InstallVersions = BorlandProducts[5].InternalId | BorlandProducts[11].InternalId |
                      BorlandProducts[12].InternalId;
    for (int i = 1; i <= BorlandProductCount; ++i)
        BorlandProducts[i].Selected = i == 5 || i == 11 || i == 28;  // 28: not among the versions
    std::vector<TScriptItem> items = HeaderItems();
    items.push_back(Item(siExtractFile, L"Source\\a.pas", dcInstall, 0, 0x0003));
    items.push_back(Item(siCreateDir, nullptr, dcInstall));
    TScriptItem copy = Item(siCopyFileTo, L"RADStudio9\\vkl40.bpl", dcInstall);
    copy.Dest = &CopyDestination;
    items.push_back(copy);
    auto run = [&dir](const std::vector<TScriptItem>& table, const std::wstring& recordedDir) {
        InstallDir = dir;
        TScriptProbe script(table.data(), static_cast<int>(table.size()));
        script.Start();
        script.WriteLog(L"Creating directory: x...Success");
        InstallDir = recordedDir;
        script.RecordAll();
    };
    const std::wstring logHead =
        L"Start installation for Standard Edition of Velkora v4.07\r\nRootPath: " + dir +
        L"\r\nBorland products: ";
    const std::string dirText(dir.begin(), dir.end()), tempText(TempDir.begin(), TempDir.end());

    run(items, TempPath(L"B\u00e9b\u00e9 \u00c5ngstr\u00f6m"));
    EXPECT_EQ(ReadFileBytes(dir + L"\\uninst.log"),
              LogHeaderBytes(tempText + "\\B\xC3\xA9"
                                        "b\xC3\xA9 \xC3\x85ngstr\xC3\xB6m") +
                  RecordBytes(0x30000 | siExtractFile, 0, dcInstall, "Source\\a.pas") +
                  RecordBytes(0x10000 | siCreateDir, 0, dcInstall, "") +
                  // The copy names its destination, with the destination's directory code.
                  RecordBytes(0x10000 | siCopyFileTo, 0, dcSystem, "vkl40.bpl"));
    EXPECT_EQ(ReadFileBytes(dir + L"\\install.log"),
              Utf16Bytes(logHead + L"CBuilder4,BDS2006\r\nCreating directory: x...Success\r\n"));

    InstallVersions = 0;
    run(HeaderItems(), dir);
    EXPECT_EQ(ReadFileBytes(dir + L"\\uninst.log"), LogHeaderBytes(dirText));
    EXPECT_EQ(ReadFileBytes(dir + L"\\install.log"),
              Utf16Bytes(logHead + L"\r\nCreating directory: x...Success\r\n"));
}

TEST(UninstRecordTest, ATextTooLongForARecordGivesNoRecord) {
    EXPECT_EQ(EncodeUninstRecord(1, 2, 3, std::string(UninstMaxTextBytes, 'x')).size(), 0xFFFFu);
    EXPECT_TRUE(EncodeUninstRecord(1, 2, 3, std::string(UninstMaxTextBytes + 1, 'x')).empty());
}

// ---- Validation of damaged logs ----

namespace {

// Room for a log between two inaccessible pages. A log placed against either of them makes any
// read before its first or after its last byte fault instead of passing unnoticed.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t capacity) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        FPage = info.dwPageSize;
        FData = (capacity + FPage - 1) / FPage * FPage;
        FBase = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, FData + 2 * FPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old = 0;
        FGuarded = FBase && VirtualProtect(FBase, FPage, PAGE_NOACCESS, &old) &&
                   VirtualProtect(FBase + FPage + FData, FPage, PAGE_NOACCESS, &old);
    }
    ~GuardedBuffer() { VirtualFree(FBase, 0, MEM_RELEASE); }
    bool Ready() const { return FGuarded; }
    // The bytes, placed right after the front guard or right before the back guard.
    TLogBytes Place(const std::vector<uint8_t>& bytes, bool atEnd) {
        uint8_t* start = FBase + FPage + (atEnd ? FData - bytes.size() : 0);
        std::copy(bytes.begin(), bytes.end(), start);
        return TLogBytes(start, bytes.size());
    }

private:
    uint8_t* FBase = nullptr;
    size_t FPage = 0;
    size_t FData = 0;
    bool FGuarded = false;
};

// Validates one log and walks an accepted one as the uninstaller does; answers a failure
// description or nothing. Every record's text must lie inside its record, inside the log; an
// accepted log must be read to its end.
std::string CheckOne(TLogBytes log, bool& accepted) {
    const TUninstHeader header = ParseUninstHeader(log);
    const int verdict = ValidateUninstLog(log);
    accepted = verdict == ulOk;
    if (!accepted)
        return verdict == ulDamaged || verdict == ulBadMagic ? "" : "unknown verdict";
    if (!header.Complete() || header.WalkBegin > log.size() || header.WalkEnd > log.size())
        return "an accepted log has a bad header";
    size_t pos = header.WalkBegin;
    TUninstRecord record;
    TRecordRead read;
    for (size_t records = 0;
         (read = header.ReadBackward
                     ? ReadRecordBackward(log, pos, header.WalkEnd, record)
                     : ReadRecordForward(log, pos, header.WalkEnd, record)) == TRecordRead::Ok;) {
        const auto* text = reinterpret_cast<const uint8_t*>(record.Text.data());
        if (record.Offset + record.Length > log.size() || text < log.data() + record.Offset ||
            text + record.Text.size() > log.data() + record.Offset + record.Length)
            return "text outside its record";
        if (++records > log.size())
            return "the walk does not end";
    }
    return read == TRecordRead::End ? "" : "an accepted log has a damaged record";
}

}  // namespace

TEST_F(InstallLogTest, DamagedLogsAreRejectedOrReadWithinTheirBuffer) {
    // A real log, written by the installation's own writer.
    std::string real;
    {
        InstallDir = TempPath(L"Inst");
        std::vector<TScriptItem> items = HeaderItems();
        items.push_back(Item(siCreateDir, L"", dcInstall));
        items.push_back(Item(siSetIde, L"RADStudio9", 0, 16));
        for (const wchar_t* name : {L"RADStudio9\\dclvkl.bpl", L"Source\\a.pas", L"Source\\b.pas"})
            items.push_back(Item(siExtractFile, name, dcInstall));
        items.push_back(Item(siAddIdePath, L"\\Library\\Win32\\Search Path", 0, 3));
        items.push_back(Item(siSetIde, L"RADStudio9", 0, 16));
        items.push_back(Item(siCreateRegKey, L"Software\\Brightmoss\\Velkora", 0, 0x80000002, 3));
        real = ReadFileBytes(WriteUninstLog(items));
    }
    ASSERT_EQ(ValidateUninstLog(Bytes(real)), ulOk);

    GuardedBuffer buffer(real.size() + 64);
    ASSERT_TRUE(buffer.Ready());
    long tried = 0;
    long accepted = 0;
    std::vector<std::string> failures;
    auto check = [&](const std::vector<uint8_t>& bytes, const char* kind) {
        ++tried;
        for (bool atEnd : {false, true}) {
            bool sound = false;
            const std::string failure = CheckOne(buffer.Place(bytes, atEnd), sound);
            if (!failure.empty() && failures.size() < 10)
                failures.push_back(std::string(kind) + ": " + failure);
            accepted += sound && atEnd;
        }
    };
    const std::vector<uint8_t> base = Bytes(real);

    for (size_t length = 0; length < base.size(); ++length)
        check(std::vector<uint8_t>(base.begin(), base.begin() + length), "truncation");
    for (size_t bit = 0; bit < base.size() * 8; ++bit) {
        std::vector<uint8_t> bytes = base;
        bytes[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        check(bytes, "bit flip");
    }
    // Every length field: zero, the largest value, and just past the end of the file.
    std::vector<size_t> lengthFields;
    for (size_t at = 7; at + 16 <= base.size(); at += base[at + 12] + (base[at + 13] << 8) + 16u) {
        lengthFields.push_back(at + 12);
        lengthFields.push_back(at + base[at + 12] + (base[at + 13] << 8) + 14u);
    }
    for (size_t field : lengthFields) {
        for (size_t value : {size_t{0}, size_t{0xFFFF}, base.size() - field + 1, base.size() + 1}) {
            std::vector<uint8_t> bytes = base;
            bytes[field] = static_cast<uint8_t>(value & 0xFF);
            bytes[field + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
            check(bytes, "length field");
        }
    }
    std::mt19937 random(20261207);
    while (tried < 110000) {
        std::vector<uint8_t> bytes = base;
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < changes; ++i)
            bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
        if (random() % 4 == 0)
            bytes.resize(7 + random() % (bytes.size() - 7));
        check(bytes, "random bytes");
    }

    std::printf("Damaged logs tried: %ld, accepted as sound: %ld\n", tried, accepted);
    EXPECT_TRUE(failures.empty()) << failures.front();
    // Truncations at record boundaries after the header, for one, are sound shorter logs.
    EXPECT_GT(accepted, 0);
}
