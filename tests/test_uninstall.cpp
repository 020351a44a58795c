// The uninstall log from the writer to the walk: its bytes, damaged logs, the undo of every
// record kind, the logs refused whole, links, and the removal of a previous installation.
#include "tests/ScriptProbe.h"
#include "uninstall/UDeinstall.h"
#include "uninstall/URemovePrevious.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace vktest;

namespace {

const wchar_t* const Rad9Key = L"Software\\Embarcadero\\BDS\\9.0";
const wchar_t* const UninstallEntry =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";
const wchar_t* const HelpKey = L"Software\\Microsoft\\Windows\\Help";
const wchar_t* const ProductKey = L"Software\\Brightmoss\\Velkora";

// A record field by field: Kind, Code, DirCode, TextLen, Text, RecLen, little-endian.
std::string RecordBytes(uint32_t kind, uint32_t code, uint32_t dirCode, const std::string& text) {
    std::string out;
    auto put = [&out](size_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    put(kind, 4), put(code, 4), put(dirCode, 4), put(text.size(), 2);
    out += text;
    put(text.size() + 16, 2);
    return out;
}

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

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::wstring Value(HKEY root, const std::wstring& key, const std::wstring& name) {
    std::wstring text;
    return ReadRegString(root, key, name, text) ? text : L"<missing>";
}

void MakeFile(const std::wstring& path, const std::string& content = "x") {
    CreateDirectoryPath(path.substr(0, path.rfind(L'\\')));
    ASSERT_TRUE(WriteFileBytes(path, content)) << ToAnsi(path);
}

void InstallIde(int index, const std::wstring& rootDir) {
    const TBorlandProduct& product = BorlandProducts[index];
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, product.RegKey, L"RootDir", rootDir));
    MakeFile(rootDir + (product.IsDelphi ? L"\\bin\\dcc32.exe" : L"\\bin\\make.exe"));
}

int Walk(const std::wstring& logPath, bool partial = false) {
    TDeinstall deinstall;
    deinstall.flPartialUninstall = partial;
    int result = deinstall.PrepareUninstFile(logPath);
    if (result == 0)
        result = deinstall.PrepareDeinstall();
    return result != 0 ? result : deinstall.DoDeinstall();
}

std::wstring LogOf(std::initializer_list<TScriptItem> records) {
    std::vector<TScriptItem> items = HeaderItems();
    items.insert(items.end(), records);
    return WriteUninstLog(items);
}

class Uninstall : public InstallStateTest {
protected:
    void SetUp() override {
        InstallStateTest::SetUp();
        InstallDir = TempPath(L"Lib Inst");
        CurrentProduct = 0;
        CurrentProductDir.clear();
    }
};

}  // namespace

// Two runs into one folder: the uninstall log is byte-exact (the folder's accented letters as
// UTF-8), the install log UTF-16LE with CR LF naming only the chosen, selected IDEs; the second
// run replaces both files.
TEST_F(Uninstall, TwoRunsWriteByteExactLogsAndTheSecondReplacesBoth) {
    const std::wstring dir = TempPath(L"Lib Dir");
    const TPackageFile dest{L"vkl40.bpl", dcSystem};
    InstallVersions = BorlandProducts[5].InternalId | BorlandProducts[11].InternalId |
                      BorlandProducts[12].InternalId;
    for (int i = 1; i <= BorlandProductCount; ++i)
        BorlandProducts[i].Selected = i == 5 || i == 11 || i == 28;
    std::vector<TScriptItem> items = HeaderItems();
    items.push_back(Item(siExtractFile, L"Source\\a.pas", dcInstall, 0, 0x0003));
    items.push_back(Item(siCreateDir, nullptr, dcInstall));
    TScriptItem copy = Item(siCopyFileTo, L"RADStudio9\\vkl40.bpl", dcInstall);
    copy.Dest = &dest;
    items.push_back(copy);
    auto run = [&dir](const std::vector<TScriptItem>& table, const std::wstring& recordedDir) {
        InstallDir = dir;
        TScriptProbe script(table.data(), static_cast<int>(table.size()));
        script.Start();
        script.WriteLog(L"line");
        InstallDir = recordedDir;
        script.RecordAll();
    };
    const std::wstring head =
        L"Start installation for Standard Edition of Velkora v4.07\r\nRootPath: " + dir +
        L"\r\nBorland products: ";
    run(items, TempPath(L"B\u00e9b\u00e9 \u00c5ngstr\u00f6m"));
    EXPECT_EQ(
        ReadFileBytes(dir + L"\\uninst.log"),
        LogHeaderBytes(ToAnsi(TempDir) + "\\B\xC3\xA9"
                                         "b\xC3\xA9 \xC3\x85ngstr\xC3\xB6m") +
            RecordBytes(0x30000 | siExtractFile, 0, dcInstall, "Source\\a.pas") +
            RecordBytes(0x10000 | siCreateDir, 0, dcInstall, "") +
            RecordBytes(0x10000 | siCopyFileTo, 0, dcSystem, "vkl40.bpl"));  // the destination
    EXPECT_EQ(ReadFileBytes(dir + L"\\install.log"),
              Utf16Bytes(head + L"CBuilder4,BDS2006\r\nline\r\n"));
    InstallVersions = 0;
    run(HeaderItems(), dir);
    EXPECT_EQ(ReadFileBytes(dir + L"\\uninst.log"), LogHeaderBytes(ToAnsi(dir)));
    EXPECT_EQ(ReadFileBytes(dir + L"\\install.log"), Utf16Bytes(head + L"\r\nline\r\n"));
    EXPECT_EQ(EncodeUninstRecord(1, 2, 3, std::string(UninstMaxTextBytes, 'x')).size(), 0xFFFFu);
    EXPECT_TRUE(EncodeUninstRecord(1, 2, 3, std::string(UninstMaxTextBytes + 1, 'x')).empty());
}

namespace {

// A log placed against an inaccessible page: a read before or after it faults.
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
    TLogBytes Place(const std::vector<uint8_t>& bytes, bool atEnd) {
        uint8_t* start = FBase + FPage + (atEnd ? FData - bytes.size() : 0);
        std::copy(bytes.begin(), bytes.end(), start);
        return TLogBytes(start, bytes.size());
    }

private:
    uint8_t* FBase = nullptr;
    size_t FPage = 0, FData = 0;
    bool FGuarded = false;
};

// Validates one log and walks an accepted one as the uninstaller does; answers a failure or "".
std::string CheckOne(TLogBytes log, bool& accepted) {
    const TUninstHeader header = ParseUninstHeader(log);
    const int verdict = ValidateUninstLog(log);
    if (!(accepted = verdict == ulOk))
        return verdict == ulDamaged || verdict == ulBadMagic ? "" : "unknown verdict";
    if (!header.Complete() || header.WalkBegin > log.size() || header.WalkEnd > log.size())
        return "an accepted log has a bad header";
    size_t pos = header.WalkBegin, records = 0;
    TUninstRecord record;
    TRecordRead read;
    while ((read = header.ReadBackward ? ReadRecordBackward(log, pos, header.WalkEnd, record)
                                       : ReadRecordForward(log, pos, header.WalkEnd, record)) ==
           TRecordRead::Ok) {
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

// Every truncation, every flipped bit, every length field at its extremes and random damage.
TEST_F(Uninstall, DamagedLogsAreRejectedOrReadWithinTheirBuffer) {
    const std::string real = ReadFileBytes(LogOf(
        {Item(siCreateDir, L"", dcInstall), Item(siSetIde, L"RADStudio9", 0, 16),
         Item(siExtractFile, L"RADStudio9\\dclvkl.bpl", dcInstall),
         Item(siExtractFile, L"Source\\a.pas", dcInstall), Item(siSetIde, L"RADStudio9", 0, 16)}));
    const std::vector<uint8_t> base(real.begin(), real.end());
    ASSERT_EQ(ValidateUninstLog(base), ulOk);
    GuardedBuffer buffer(real.size() + 64);
    ASSERT_TRUE(buffer.Ready());
    long tried = 0, accepted = 0;
    std::string failure;
    auto check = [&](const std::vector<uint8_t>& bytes) {
        ++tried;
        for (bool atEnd : {false, true}) {
            bool sound = false;
            if (const std::string f = CheckOne(buffer.Place(bytes, atEnd), sound); !f.empty())
                failure = f;
            accepted += sound && atEnd;
        }
    };
    for (size_t length = 0; length < base.size(); ++length)
        check(std::vector<uint8_t>(base.begin(), base.begin() + length));
    for (size_t bit = 0; bit < base.size() * 8; ++bit) {
        std::vector<uint8_t> bytes = base;
        bytes[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        check(bytes);
    }
    for (size_t at = 7; at + 16 <= base.size(); at += base[at + 12] + (base[at + 13] << 8) + 16u)
        for (size_t field : {at + 12, at + base[at + 12] + (base[at + 13] << 8) + 14u})
            for (size_t value : {size_t{0}, size_t{0xFFFF}, base.size() - field + 1}) {
                std::vector<uint8_t> bytes = base;
                bytes[field] = static_cast<uint8_t>(value & 0xFF);
                bytes[field + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
                check(bytes);
            }
    std::mt19937 random(20261207);
    while (tried < 40000) {
        std::vector<uint8_t> bytes = base;
        for (int i = 1 + int(random() % 8); i > 0; --i)
            bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
        if (random() % 4 == 0)
            bytes.resize(7 + random() % (bytes.size() - 7));
        check(bytes);
    }
    EXPECT_EQ(failure, "");
    EXPECT_GT(accepted, 0) << "truncations at record boundaries are sound shorter logs";
}

TEST_F(Uninstall, AFullLogIsUndoneRecordByRecord) {
    const std::wstring inst = InstallDir, bcb4 = TempPath(L"BCB4");
    InstallIde(16, TempPath(L"RAD9"));
    InstallIde(5, bcb4);
    TScriptItem copy = Item(siCopyFileTo, L"RADStudio9\\vkl.bpl", dcInstall);
    copy.Dest = &PackageFiles[8];
    const std::wstring log = LogOf(
        {Item(siCreateDir, L"", dcInstall), Item(siCreateDir, L"Source", dcInstall),
         Item(siExtractFile, L"Source\\a.pas", dcInstall),
         Item(siExtractFileIfAbsent, L"settings.ini", dcInstall, 0, 3),
         Item(siSetIde, L"RADStudio9", 0, 16),
         Item(siRegisterPackage, L"RADStudio9\\dclvkl.bpl", dcInstall),
         Item(siAddSearchPath, L"Source", dcInstall),
         Item(siAddIdePath, L"\\C++\\Paths\\Win32\\LibraryPath", 0, sfIdeWin32),
         Item(siSetIde, L"RADStudio9", 0, 16), Item(siSetIde, L"CBuilder4", 0, 5),
         Item(siModifyHelpFile, L"\r\n:Index Velkora components=vklib.hlp", dcIdeHelp, 2),
         Item(siModifyHelpFile, L"\r\n:Link vklib.hlp", dcIdeHelp, 3),
         Item(siDeleteFile, L"Help\\bcb4.gid", dcIdeRoot), Item(siSetIde, L"CBuilder4", 0, 5), copy,
         Item(siRegisterWinHelp, L"vklib.hlp", 0), Item(siRegisterHelp, L"help\\help_reg.bat", 0),
         Item(siRegisterUninstall, L"unbrm.exe", 0),
         Item(siCreateRegKey, ProductKey, 0, 0x80000002, 3)});
    for (const wchar_t* name : {L"Source\\a.pas", L"settings.ini", L"RADStudio9\\dclvkl.bpl"})
        MakeFile(inst + L"\\" + name);
    MakeFile(inst + L"\\help\\help_unreg.bat", "@echo unregistered> ..\\..\\unreg-ran.txt\r\n");
    const std::wstring copied = JoinPath(BaseDir(dcSystem), PackageFiles[8].FileName);
    MakeFile(copied);
    const std::wstring rad9 = Rad9Key, known = rad9 + L"\\Known Packages",
                       library = rad9 + L"\\Library";
    const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
    // Before and after: only whole entries of this installation go, in any letter case.
    const std::tuple<HKEY, std::wstring, std::wstring, std::wstring, std::wstring> values[] = {
        {user, known, inst + L"\\RADStudio9\\dclvkl.bpl", L"Velkora", L"<missing>"},
        {user, library, L"Search Path", L"C:\\Keep", L"C:\\Keep"},
        {user, library + L"\\Win32", L"Search Path", L"C:\\Keep32;" + inst + L"\\RADStudio9",
         L"C:\\Keep32"},
        {user, library + L"\\Win64", L"Search Path",
         inst + L"\\Source2;" + LowerCase(inst) + L"\\source;C:\\Keep64",
         inst + L"\\Source2;C:\\Keep64"},
        {user, rad9 + L"\\C++\\Paths\\Win32", L"LibraryPath",
         L"C:\\CppLib;" + inst + L"\\RADStudio9\\Win32", L"C:\\CppLib"},
        {machine, HelpKey, L"vklib.hlp", inst + L"\\Help", L"<missing>"},
        {machine, HelpKey, L"other.hlp", L"C:\\Other", L"C:\\Other"},
        {machine, UninstallEntry, L"DisplayName", L"Velkora", L"<missing>"},
        {machine, ProductKey, L"Version", L"4.07", L"<missing>"},
        {machine, L"Software\\Keep", L"Value", L"1", L"1"}};
    for (const auto& [root, key, name, before, after] : values)
        ASSERT_TRUE(WriteRegString(root, key, name, before));
    const std::string index = "a\r\n:Index Other=other.hlp\r\n";  // the line went by hand
    MakeFile(bcb4 + L"\\Help\\bcb4.ohi", index);
    MakeFile(bcb4 + L"\\Help\\bcb4.ohl",
             "a\r\n:LINK VKLIB.HLP\r\n:Link other.hlp\r\n:Link vklib.hlp\r\n");
    MakeFile(bcb4 + L"\\Help\\bcb4.gid");

    InstallDir = L"C:\\Elsewhere";
    EXPECT_EQ(Walk(log), 0);
    EXPECT_EQ(InstallDir, inst) << "the header's folder";
    EXPECT_FALSE(PathExists(inst) || PathExists(copied) || PathExists(bcb4 + L"\\Help\\bcb4.gid"));
    EXPECT_TRUE(PathExists(TempPath(L"unreg-ran.txt"))) << "the help unregistration ran";
    for (const auto& [root, key, name, before, after] : values)
        EXPECT_EQ(Value(root, key, name), after) << ToAnsi(key + L" " + name);
    EXPECT_EQ(ReadFileBytes(bcb4 + L"\\Help\\bcb4.ohi"), index);
    EXPECT_EQ(ReadFileBytes(bcb4 + L"\\Help\\bcb4.ohl"),
              "a\r\n:Link other.hlp\r\n:Link vklib.hlp\r\n");
    EXPECT_FALSE(KeyExists(machine, UninstallEntry) || KeyExists(machine, L"Software\\Brightmoss"));
    EXPECT_EQ(CurrentProduct, 16) << "the walk ends on the first IDE block's opening record";
}

// A log that cannot be loaded or validated is rejected whole: nothing is undone, not even the
// sound records a backward walk would reach first. A header alone, or a forward log of an older
// writer (no turning mark), is sound; a partial walk keeps the marked records.
TEST_F(Uninstall, LogsAreRejectedWholeOrWalkedForwardBackwardOrPartially) {
    const std::string headerOnly = ReadFileBytes(WriteUninstLog(HeaderItems()));
    const std::string sound = ReadFileBytes(LogOf(
        {Item(siExtractFile, L"a.pas", dcInstall), Item(siExtractFile, L"b.pas", dcInstall)}));
    std::string textLength = sound, recordLength = sound;
    textLength[sound.find("a.pas") - 2] = 4;
    recordLength[sound.size() - 2] = static_cast<char>(0xF0);
    std::vector<TScriptItem> noDir = HeaderItems(), forward = HeaderItems();
    noDir.erase(noDir.begin() + 4);  // the product key: an incomplete header
    forward.pop_back();              // the turning mark
    for (auto* items : {&noDir, &forward})
        items->push_back(Item(siExtractFile, L"a.pas", dcInstall)),
            items->push_back(Item(siExtractFile, L"b.pas", dcInstall));
    const std::tuple<const wchar_t*, std::string, int> rows[] = {
        {L"header.log", headerOnly, 0},
        {L"missing.log", "", ulCannotOpen},
        {L"empty.log", "", ulEmpty},
        {L"short.log", "UNBRM0", ulBadMagic},
        {L"other.log", "UNBRX02" + sound.substr(7), ulBadMagic},
        {L"textlength.log", textLength, ulDamaged},
        {L"recordlength.log", recordLength, ulDamaged},
        {L"truncated.log", sound.substr(0, sound.size() - 1), ulDamaged},
        {L"trailing.log", sound + "x", ulDamaged}};
    MakeFile(InstallDir + L"\\a.pas");
    MakeFile(InstallDir + L"\\b.pas");
    for (const auto& [name, bytes, result] : rows) {
        if (std::wstring(name) != L"missing.log")
            MakeFile(TempPath(name), bytes);
        EXPECT_EQ(Walk(TempPath(name)), result) << ToAnsi(name);
        EXPECT_TRUE(PathExists(InstallDir + L"\\a.pas") && PathExists(InstallDir + L"\\b.pas"))
            << ToAnsi(name);
    }
    EXPECT_EQ(Walk(WriteUninstLog(noDir)), ulDamaged) << "in its own folder, yet incomplete";
    EXPECT_TRUE(PathExists(InstallDir + L"\\a.pas") && PathExists(InstallDir + L"\\b.pas"));
    EXPECT_EQ(Walk(WriteUninstLog(forward)), 0);
    EXPECT_FALSE(PathExists(InstallDir + L"\\a.pas") || PathExists(InstallDir + L"\\b.pas"));

    MakeFile(InstallDir + L"\\a.pas");
    MakeFile(InstallDir + L"\\settings.ini");
    WriteRegString(HKEY_LOCAL_MACHINE, ProductKey, L"Version", L"4.07");
    EXPECT_EQ(Walk(LogOf({Item(siExtractFile, L"a.pas", dcInstall),
                          Item(siExtractFile, L"settings.ini", dcInstall, 0, 3),
                          Item(siCreateRegKey, ProductKey, 0, 0x80000002, 3)}),
                   true),
              0);
    EXPECT_FALSE(PathExists(InstallDir + L"\\a.pas"));
    EXPECT_TRUE(PathExists(InstallDir + L"\\settings.ini") &&
                KeyExists(HKEY_LOCAL_MACHINE, ProductKey));
}

// What the walk tells the uninstaller's window: the page text and the span first, one status per
// record it acts on ("Skipping" for what a partial walk keeps), record lengths that fill the
// span exactly, and the end.
TEST_F(Uninstall, TheWalkReportsEveryRecordToItsProgress) {
    struct TRecorder final : IDeinstallProgress {
        std::vector<std::wstring> Events;
        size_t Span = 0, Walked = 0;
        void WalkStarted(const std::wstring& page, size_t span) override {
            Events.push_back(page);
            Span = span;
        }
        void RecordStatus(const std::wstring& status) override { Events.push_back(status); }
        void RecordWalked(size_t length) override { Walked += length; }
        void WalkEnded() override { Events.push_back(L"end"); }
    } progress;
    MakeFile(InstallDir + L"\\a.pas");
    MakeFile(InstallDir + L"\\kept.ini");
    TDeinstall deinstall;
    deinstall.flPartialUninstall = true;
    deinstall.sProductText = L"Velkora";
    deinstall.SetProgress(&progress);
    ASSERT_EQ(
        deinstall.PrepareUninstFile(LogOf({Item(siExtractFile, L"a.pas", dcInstall),
                                           Item(siExtractFile, L"kept.ini", dcInstall, 0, 3)})),
        0);
    ASSERT_EQ(deinstall.PrepareDeinstall(), 0);
    deinstall.DoDeinstall();
    EXPECT_EQ(progress.Events,
              (std::vector<std::wstring>{L"Performing uninstall of the \"Velkora\"...", L"Skipping",
                                         L"Removing file", L"end"}));
    EXPECT_GT(progress.Span, 0u);
    EXPECT_EQ(progress.Walked, progress.Span);
    EXPECT_TRUE(PathExists(InstallDir + L"\\kept.ini"));
}

// A log is walked only when every record stays where an installation writes: one record that
// reaches anything else, or a log away from the folder it names, refuses the whole log as
// damaged, and even its sound record (a.pas) is not undone.
TEST_F(Uninstall, ALogThatReachesOutsideTheInstallationIsRefusedWhole) {
    const std::wstring bcb4 = TempPath(L"BCB4"), work = TempPath(L"work");
    InstallIde(16, TempPath(L"RAD9"));
    InstallIde(5, bcb4);
    MakeFile(work + L"\\victim\\file.txt");
    const std::wstring tempVictim =
        L"vktest-victim-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    MakeFile(BaseDir(dcTemp) + tempVictim);
    MakeFile(InstallDir + L"\\a.pas");
    MakeFile(InstallDir + L"\\help\\help_unreg.bat", "@echo ran> ..\\..\\unreg-ran.txt\r\n");
    MakeFile(bcb4 + L"\\Help\\bcb4.ohl", "a\r\n:Link other.hlp\r\n");
    const std::wstring known = std::wstring(Rad9Key) + L"\\Known Packages";
    WriteRegString(HKEY_CURRENT_USER, known, L"C:\\Other\\other.bpl", L"Other");
    WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\Keep", L"Value", L"1");
    WriteRegString(HKEY_LOCAL_MACHINE, HelpKey, L"other.hlp", L"C:\\Other");
    const std::wstring foreignEntry =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLiX";
    WriteRegString(HKEY_LOCAL_MACHINE, foreignEntry, L"DisplayName", L"Other");
    SetCurrentDirectoryW(work.c_str());
    const auto log = [](std::initializer_list<TScriptItem> records) {
        std::vector<TScriptItem> items = HeaderItems();
        items.push_back(Item(siExtractFile, L"a.pas", dcInstall));
        items.insert(items.end(), records);
        return ReadFileBytes(WriteUninstLog(items));
    };
    std::string foreignUninstall = log({Item(siRegisterUninstall, L"unbrm.exe", 0)});
    foreignUninstall.replace(foreignUninstall.find("vklLib"), 6, "vklLiX");
    const std::tuple<const char*, std::string, bool> rows[] = {
        // case, bytes, moved away
        {"relative folder", log({Item(siCreateDir, L"victim", 0)}), false},
        {"empty folder", log({Item(siCreateDir, L"", 0)}), false},
        {"up and out", log({Item(siExtractFile, L"..\\work\\victim\\file.txt", dcInstall)}), false},
        {"a file no row names", log({Item(siDeleteFile, tempVictim.c_str(), dcTemp)}), false},
        {"foreign package",
         log({Item(siSetIde, L"RADStudio9", 0, 16),
              Item(siRegisterPackage, L"C:\\Other\\other.bpl", 0),
              Item(siSetIde, L"RADStudio9", 0, 16)}),
         false},
        {"foreign key", log({Item(siCreateRegKey, L"Software\\Keep", 0, 0x80000002)}), false},
        {"top-level key", log({Item(siCreateRegKey, L"Software", 0, 0x80000002)}), false},
        {"unknown root", log({Item(siCreateRegKey, ProductKey, 0, 0x12345)}), false},
        {"foreign WinHelp value", log({Item(siRegisterWinHelp, L"other.hlp", 0)}), false},
        {"foreign help text",
         log({Item(siSetIde, L"CBuilder4", 0, 5),
              Item(siModifyHelpFile, L"\r\n:Link other.hlp", dcIdeHelp, 3),
              Item(siSetIde, L"CBuilder4", 0, 5)}),
         false},
        {"IDE value beside the IDE key", log({Item(siAddIdePath, L"x\\Search Path", 0, sfInstall)}),
         false},
        {"foreign uninstall entry", foreignUninstall, false},
        {"moved log", log({}), true},
        {"moved log with the help batch", log({Item(siRegisterHelp, L"help\\help_reg.bat", 0)}),
         true}};
    for (const auto& [name, bytes, moved] : rows) {
        const std::wstring path = moved ? TempPath(L"moved.log") : InstallDir + L"\\uninst.log";
        MakeFile(path, bytes);
        EXPECT_EQ(Walk(path), ulDamaged) << name;
        EXPECT_TRUE(PathExists(InstallDir + L"\\a.pas")) << name;
    }
    SetCurrentDirectoryW(TempDir.c_str());
    EXPECT_TRUE(PathExists(work + L"\\victim\\file.txt"));
    EXPECT_TRUE(DeleteFileW((BaseDir(dcTemp) + tempVictim).c_str()));
    EXPECT_FALSE(PathExists(TempPath(L"unreg-ran.txt")));
    EXPECT_EQ(ReadFileBytes(bcb4 + L"\\Help\\bcb4.ohl"), "a\r\n:Link other.hlp\r\n");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, known, L"C:\\Other\\other.bpl") +
                  Value(HKEY_LOCAL_MACHINE, L"Software\\Keep", L"Value") +
                  Value(HKEY_LOCAL_MACHINE, HelpKey, L"other.hlp"),
              L"Other1C:\\Other");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, foreignEntry));
    MakeFile(InstallDir + L"\\uninst.log", log({}));
    EXPECT_EQ(Walk(InstallDir + L"\\uninst.log"), 0) << "the sound log in its place is walked";
    EXPECT_FALSE(PathExists(InstallDir + L"\\a.pas"));
}

// A folder replaced by a link: nothing is undone through it, what it points to stays whole and
// the rest goes. A vanished IDE's records touch nothing in the current folder. An IDE-bound
// record needs its block's IDE. A folder below a drive root goes while it is the current one.
TEST_F(Uninstall, TheUndoNeverActsThroughALinkAVanishedIdeOrAnEarlierBlock) {
    const std::wstring outside = TempPath(L"Outside");
    for (const wchar_t* name : {L"a.pas", L"b.pas", L"Design\\c.pas"})
        MakeFile(outside + L"\\" + name);
    MakeFile(InstallDir + L"\\ReadMe.txt");
    ASSERT_TRUE(MakeDirectoryLink(InstallDir, L"Source", L"../Outside"));
    EXPECT_EQ(
        Walk(LogOf({Item(siCreateDir, L"", dcInstall), Item(siCreateDir, L"Source", dcInstall),
                    Item(siExtractFile, L"Source\\a.pas", dcInstall),
                    Item(siCreateDir, L"Source\\Design", dcInstall),
                    Item(siExtractFile, L"Source\\Design\\c.pas", dcInstall),
                    Item(siDeleteFile, L"Source\\b.pas", dcInstall),
                    Item(siExtractFile, L"ReadMe.txt", dcInstall)})),
        0);
    EXPECT_FALSE(PathExists(InstallDir + L"\\ReadMe.txt"));
    EXPECT_EQ(DirectoryEntries(outside),
              (std::vector<std::wstring>{L"Design", L"a.pas", L"b.pas"}));
    EXPECT_TRUE(PathExists(outside + L"\\Design\\c.pas"));

    const std::wstring work = TempPath(L"work");
    MakeFile(work + L"\\Help\\bcb6.gid", "keep");
    MakeFile(work + L"\\bcb6.als", "keep\r\n:Link vklib.hlp");
    InstallIde(16, TempPath(L"RAD9"));
    const std::wstring known = std::wstring(Rad9Key) + L"\\Known Packages",
                       package = InstallDir + L"\\RADStudio9\\dclvkl.bpl";
    WriteRegString(HKEY_CURRENT_USER, known, package, L"Velkora");
    ASSERT_TRUE(SetCurrentDirectoryW(work.c_str()));
    CurrentProduct = 16;
    EXPECT_EQ(Walk(LogOf({Item(siSetIde, L"CBuilder6", 0, 8),  // C++Builder 6 is not there
                          Item(siDeleteFile, L"Help\\bcb6.gid", dcIdeRoot),
                          Item(siModifyHelpFile, L"\r\n:Link vklib.hlp", dcIdeRoot, 3),
                          Item(siSetIde, L"CBuilder6", 0, 8), Item(siSetIde, L"", 0, 0),
                          Item(siRegisterPackage, L"RADStudio9\\dclvkl.bpl", dcInstall),
                          Item(siSetIde, L"", 0, 0)})),
              0);
    EXPECT_EQ(ReadFileBytes(work + L"\\Help\\bcb6.gid"), "keep");
    EXPECT_EQ(ReadFileBytes(work + L"\\bcb6.als"), "keep\r\n:Link vklib.hlp");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, known, package), L"Velkora");

    InstallDir = L"C:\\vktest-root-" + std::to_wstring(GetCurrentProcessId());
    MakeFile(InstallDir + L"\\Source\\a.pas");
    ASSERT_TRUE(SetCurrentDirectoryW(InstallDir.c_str()));
    EXPECT_EQ(Walk(LogOf({Item(siCreateDir, L"", dcInstall)})), 0);
    EXPECT_FALSE(PathExists(InstallDir));
    SetCurrentDirectoryW(TempDir.c_str());
    RemoveTree(InstallDir);
}

TEST(ProtectedDirectory, SystemFoldersRootsAndTheirAncestorsAreProtected) {
    const std::wstring windows = EnvironmentValue(L"SystemRoot"), system = windows + L"\\system32";
    const std::wstring programFiles = EnvironmentValue(L"ProgramFiles");
    const std::wstring profile = EnvironmentValue(L"USERPROFILE");
    ASSERT_FALSE(windows.empty() || programFiles.empty() || profile.empty());
    for (const std::wstring& dir :
         {std::wstring(), std::wstring(L"relative\\dir"), std::wstring(L"C:"),
          std::wstring(L"C:\\"), std::wstring(L"\\\\server\\share\\"),
          std::wstring(L"\\\\?\\UNC\\server\\share"), L"\\\\?\\" + windows,
          L"\\\\.\\" + system + L"\\..", windows + L"\\", LowerCase(system), programFiles, profile,
          profile.substr(0, profile.rfind(L'\\')),
          L"C:\\" + std::wstring(600, L'a') + L"\\..\\Windows"})  // too long to resolve
        EXPECT_TRUE(IsProtectedDirectory(dir)) << ToAnsi(dir);
    EXPECT_FALSE(IsProtectedDirectory(programFiles + L"\\Velkora") ||
                 IsProtectedDirectory(L"\\\\server\\share\\Velkora"));
}

namespace {

class RemovePrevious : public Uninstall {
protected:
    // A previous installation in dir: files, log, product key and uninstall entry.
    void InstallPrevious(const std::wstring& dir) {
        const std::wstring saved = InstallDir;
        InstallDir = dir;
        std::vector<TScriptItem> items = HeaderItems();
        items.insert(items.end(), {Item(siCreateDir, L"", dcInstall),
                                   Item(siExtractFile, L"Source\\a.pas", dcInstall),
                                   Item(siRegisterUninstall, L"unbrm.exe", 0),
                                   Item(siCreateRegKey, ProductKey, 0, 0x80000002, 3)});
        WriteUninstLog(items);
        InstallDir = saved;
        MakeFile(dir + L"\\Source\\a.pas", "unit a;");
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, ProductKey, L"Version", L"4.06"));
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"DisplayName", L"Old"));
        const std::wstring q = dir.find(L' ') == std::wstring::npos ? L"" : L"\"";
        ASSERT_TRUE(
            WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"UninstallString",
                           q + dir + L"\\unbrm.exe" + q + L" " + q + dir + L"\\uninst.log" + q));
    }
    // Start as the progress page calls it, then the new installation's records.
    void StartNew(const std::wstring& dir) {
        InstallDir = dir;
        const std::vector<TScriptItem> items = HeaderItems();
        TScriptProbe script(items.data(), static_cast<int>(items.size()));
        script.SetPreviousRemover(RemovePreviousInstallation);
        script.Start();
        script.RecordAll();
    }
};

}  // namespace

// Start removes the previous installation (from another folder, quoted, and from the same one)
// before it opens the new logs; a missing entry or log, a log of another product or entry, or a
// relative log path (it would resolve against setup.exe's folder) removes nothing.
TEST_F(RemovePrevious, StartRemovesOnlyThisProductsPreviousInstallationByAnAbsolutePath) {
    for (const auto& [previous, now] : {std::pair{L"Old Lib", L"New Lib"}, {L"Lib", L"Lib"}}) {
        InstallPrevious(TempPath(previous));
        StartNew(TempPath(now));
        EXPECT_FALSE(PathExists(TempPath(previous) + L"\\Source")) << ToAnsi(previous);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallEntry));
        EXPECT_EQ(InstallDir, TempPath(now));
        EXPECT_EQ(ReadFileBytes(TempPath(now) + L"\\uninst.log").substr(0, 7), "UNBRM02");
        EXPECT_GT(ReadFileBytes(TempPath(now) + L"\\install.log").size(), 3u);
    }
    const std::wstring previous = TempPath(L"OldLib"), log = previous + L"\\uninst.log";
    const std::tuple<const char*, const char*, const wchar_t*> rows[] = {
        {"Velkora", "Velkorb", nullptr},
        {"vklLib", "vklLiX", nullptr},
        {"", "", L"unbrm.exe uninst.log"},
        {"", "", nullptr},
        {"", "", L""}};
    for (const auto& [from, to, uninstallString] : rows) {
        SCOPED_TRACE(testing::Message() << from << " " << (uninstallString ? "set" : "-"));
        InstallPrevious(previous);
        std::string bytes = ReadFileBytes(log);
        if (*from)
            bytes.replace(bytes.find(from), strlen(from), to);
        ASSERT_TRUE(WriteFileBytes(log, bytes));
        if (uninstallString && *uninstallString)
            WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"UninstallString", uninstallString);
        else if (uninstallString)
            DeleteRegKeyTree(HKEY_LOCAL_MACHINE, UninstallEntry);
        else if (!*from)
            DeleteFileW(log.c_str());
        ASSERT_TRUE(SetCurrentDirectoryW(previous.c_str()));  // where a relative path would lead
        StartNew(TempPath(L"NewLib"));
        SetCurrentDirectoryW(TempDir.c_str());
        EXPECT_TRUE(PathExists(previous + L"\\Source\\a.pas"));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ProductKey));
        EXPECT_EQ(InstallDir, TempPath(L"NewLib"));
        EXPECT_EQ(ReadFileBytes(InstallDir + L"\\uninst.log").substr(0, 7), "UNBRM02");
    }
    EXPECT_EQ(UninstallLogPathOf(L"unbrm.exe "), L"");
    EXPECT_EQ(UninstallLogPathOf(L"\""), L"");
    EXPECT_EQ(UninstallLogPathOf(L"a " + std::wstring(300, L'x')), std::wstring(255, L'x'));
}
