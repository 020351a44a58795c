#include "product/UUtils.h"
#include "tests/ScriptProbe.h"
#include "uninstall/UUninstLog.h"

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

std::string Ascii(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

LONGLONG FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

const TPackageFile CopyDestination{L"vkl40.bpl", dcSystem};

}  // namespace

using InstallLogTest = InstallStateTest;

// Both logs reach their files with every write; a second run replaces them. The install log's
// lines are UTF-16 without byte-order mark, end in CR LF, and name only the chosen IDEs that are
// selected (none: the line keeps its blank).
TEST_F(InstallLogTest, EveryWriteReachesTheFileAtOnceAndASecondRunReplacesBothLogs) {
    InstallDir = TempPath(L"Lib Dir");
    const std::wstring installLog = InstallDir + L"\\install.log";
    const std::wstring uninstLog = InstallDir + L"\\uninst.log";
    InstallVersions = BorlandProducts[5].InternalId | BorlandProducts[11].InternalId |
                      BorlandProducts[12].InternalId;
    for (int i = 1; i <= BorlandProductCount; ++i)
        BorlandProducts[i].Selected = i == 5 || i == 11 || i == 28;  // 28: not among the versions
    std::vector<TScriptItem> items = HeaderItems();
    for (int i = 0; i < 5; ++i)
        items.push_back(Item(siExtractFile, L"Source\\file.pas", dcInstall));
    const std::wstring header = std::wstring(L"Start installation for ") + sProductType +
                                L" of Velkora v4.07\r\nRootPath: " + InstallDir +
                                L"\r\nBorland products: ";
    const std::wstring first = header + L"CBuilder4,BDS2006\r\nCreating directory: x...Success\r\n";
    {
        TScriptProbe script(items.data(), static_cast<int>(items.size()));
        EXPECT_EQ(script.Start(), 0);
        script.WriteLog(L"Creating directory: x...Success");
        EXPECT_EQ(FileSize(installLog), static_cast<LONGLONG>(first.size() * sizeof(wchar_t)));
        EXPECT_EQ(FileSize(uninstLog), 7);
        script.RecordAll();
    }
    EXPECT_TRUE(ReadFileBytes(installLog) == Utf16Bytes(first));

    InstallVersions = 0;
    const std::vector<TScriptItem> headerOnly = HeaderItems();
    {
        TScriptProbe script(headerOnly.data(), static_cast<int>(headerOnly.size()));
        script.Start();
        script.RecordAll();
    }
    EXPECT_TRUE(ReadFileBytes(installLog) == Utf16Bytes(header + L"\r\n"));
    const std::string uninst = ReadFileBytes(uninstLog);
    EXPECT_EQ(ValidateUninstLog(Bytes(uninst)), ulOk);
    EXPECT_EQ(uninst.find("file.pas"), std::string::npos);
}

TEST_F(InstallLogTest, AnUninstallLogThatCannotBeCreatedIsReportedInTheInstallLog) {
    InstallDir = TempPath(L"Inst");
    ASSERT_TRUE(CreateDirectoryW(InstallDir.c_str(), nullptr));
    // A directory of that name makes the creation fail with the system's own error.
    const std::wstring blocker = InstallDir + L"\\uninst.log";
    ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr));
    HANDLE probe = CreateFileW(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_EQ(probe, INVALID_HANDLE_VALUE);
    const DWORD error = GetLastError();
    {
        TScriptProbe script(nullptr, 0);
        script.Start();
        EXPECT_EQ(script.LogString(), SystemErrorText(error));
    }
    const std::string log = ReadFileBytes(InstallDir + L"\\install.log");
    const std::string line = Utf16Bytes(L"\r\n" + SystemErrorText(error) + L"\r\n");
    ASSERT_GE(log.size(), line.size());
    EXPECT_TRUE(log.compare(log.size() - line.size(), line.size(), line) == 0);
}

// With the install log switched off only the uninstall log is written.
TEST_F(InstallLogTest, RecordsAreByteExact) {
    // The tests' C locale cannot name files outside ASCII, so the log lives in an ASCII directory
    // and the accented name is what the installation directory reads while the records go out.
    InstallDir = TempPath(L"Inst");
    const std::wstring logPath = InstallDir + L"\\uninst.log";
    std::vector<TScriptItem> items = HeaderItems();
    items.push_back(Item(siExtractFile, L"Source\\a.pas", dcInstall, 0, 0x0003));
    items.push_back(Item(siCreateDir, nullptr, dcInstall));
    TScriptItem copy = Item(siCopyFileTo, L"RADStudio9\\vkl40.bpl", dcInstall);
    copy.Dest = &CopyDestination;
    items.push_back(copy);
    {
        TScriptProbe script(items.data(), static_cast<int>(items.size()));
        script.SetLogEnable(false);
        script.Start();
        script.WriteLog(L"lost");
        InstallDir = TempPath(L"B\u00e9b\u00e9 \u00c5ngstr\u00f6m");
        script.RecordAll();
    }
    const std::string dirUtf8 = Ascii(TempDir) + "\\B\xC3\xA9"
                                                 "b\xC3\xA9 \xC3\x85ngstr\xC3\xB6m";
    std::string expected = "UNBRM02";
    const std::pair<uint32_t, std::string> header[] = {{1, Ascii(sProductName)},
                                                       {2, Ascii(sProductVersion)},
                                                       {3, Ascii(sProductType)},
                                                       {4, dirUtf8},
                                                       {5, Ascii(sProductRegKey)},
                                                       {7, Ascii(sUninstallEntryName)},
                                                       {6, ""}};
    for (const auto& [code, text] : header)
        expected += RecordBytes(0x10000 | siProductInfo, code, 0, text);
    expected += RecordBytes(0x30000 | siExtractFile, 0, dcInstall, "Source\\a.pas");  // flags high
    expected += RecordBytes(0x10000 | siCreateDir, 0, dcInstall, "");
    // The copy names its destination, with the destination's directory code.
    expected += RecordBytes(0x10000 | siCopyFileTo, 0, dcSystem, "vkl40.bpl");
    EXPECT_EQ(ReadFileBytes(logPath), expected);
    EXPECT_FALSE(PathExists(TempPath(L"Inst\\install.log")));
}

TEST(UninstRecordTest, ATextTooLongForARecordGivesNoRecord) {
    EXPECT_EQ(EncodeUninstRecord(1, 2, 3, std::string(UninstMaxTextBytes, 'x')).size(), 0xFFFFu);
    EXPECT_TRUE(EncodeUninstRecord(1, 2, 3, std::string(UninstMaxTextBytes + 1, 'x')).empty());
}

// ---- Validation of damaged logs ----

namespace {

std::string SoundLog() {
    std::string log(UninstLogMagic, 7);
    for (uint32_t code : {1u, 2u, 3u, 4u, 5u, 7u, 6u})
        log += EncodeUninstRecord(0x1400E, code, 0, code == 4 ? "C:\\Lib" : "");
    log += EncodeUninstRecord(0x18001, 0, 3, "");
    log += EncodeUninstRecord(0x18002, 0, 3, "Source\\a.pas");
    return log;
}

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

// Validates one log and walks it as the uninstaller does; answers a failure description or
// nothing. Every record the reader hands out must lie inside the log and inside the stretch the
// header gives the walk; an accepted log must be read to its end without a damaged record.
std::string CheckOne(TLogBytes log, bool& accepted) {
    const int verdict = ValidateUninstLog(log);
    const TUninstHeader header = ParseUninstHeader(log);
    if (header.WalkBegin > log.size() || header.WalkEnd > log.size())
        return "the walk lies outside the log";
    size_t pos = header.WalkBegin;
    TUninstRecord record;
    TRecordRead read;
    size_t records = 0;
    while ((read = header.ReadBackward
                       ? ReadRecordBackward(log, pos, header.WalkEnd, record)
                       : ReadRecordForward(log, pos, header.WalkEnd, record)) == TRecordRead::Ok) {
        if (record.Offset > log.size() || record.Length > log.size() - record.Offset)
            return "record outside the log";
        if (header.ReadBackward ? record.Offset < header.WalkEnd
                                : record.Offset + record.Length > header.WalkEnd)
            return "record outside the walk";
        const auto* text = reinterpret_cast<const uint8_t*>(record.Text.data());
        if (text < log.data() + record.Offset ||
            text + record.Text.size() > log.data() + record.Offset + record.Length)
            return "text outside its record";
        if (++records > log.size())
            return "the walk does not end";
    }
    accepted = verdict == ulOk;
    if (accepted && read != TRecordRead::End)
        return "an accepted log has a damaged record";
    if (accepted && !header.Complete())
        return "an accepted log has an incomplete header";
    if (!accepted && verdict != ulDamaged && verdict != ulBadMagic)
        return "unknown verdict";
    return {};
}

}  // namespace

TEST(UninstLogValidationTest, ASoundLogPassesAndEachDefectIsRejected) {
    const std::string sound = SoundLog();
    EXPECT_EQ(ValidateUninstLog(Bytes(sound)), ulOk);

    EXPECT_EQ(ValidateUninstLog(Bytes("UNBRM0")), ulBadMagic);
    EXPECT_EQ(ValidateUninstLog(Bytes("UNBRMx2" + sound.substr(7))), ulBadMagic);
    EXPECT_EQ(ValidateUninstLog(Bytes("UNBRM17" + sound.substr(7))), ulOk);  // any two digits
    EXPECT_EQ(ValidateUninstLog(Bytes(sound.substr(0, sound.size() - 1))), ulDamaged);
    EXPECT_EQ(ValidateUninstLog(Bytes(sound + "x")), ulDamaged);

    std::string lengthsDisagree = sound;
    lengthsDisagree[lengthsDisagree.size() - 2] = 17;  // RecLen of the last record
    EXPECT_EQ(ValidateUninstLog(Bytes(lengthsDisagree)), ulDamaged);

    // A header without the installation directory cannot be resolved.
    std::string noDir(UninstLogMagic, 7);
    for (uint32_t code : {1u, 2u, 3u, 5u, 7u, 6u})
        noDir += EncodeUninstRecord(0x1400E, code, 0, "x");
    EXPECT_EQ(ValidateUninstLog(Bytes(noDir)), ulDamaged);
    EXPECT_EQ(ValidateUninstLog(Bytes(std::string(UninstLogMagic, 7))), ulDamaged);
}

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
    for (int i = 0; i < 2000; ++i) {
        std::vector<uint8_t> bytes(Bytes(std::string(UninstLogMagic, 7)));
        bytes.resize(7 + random() % 300);
        for (size_t j = 7; j < bytes.size(); ++j)
            bytes[j] = static_cast<uint8_t>(random());
        check(bytes, "random log");
    }

    std::printf("Damaged logs tried: %ld, accepted as sound: %ld\n", tried, accepted);
    EXPECT_TRUE(failures.empty()) << failures.front();
    // Truncations at record boundaries after the header, for one, are sound shorter logs.
    EXPECT_GT(accepted, 0);
}
