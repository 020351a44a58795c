// The uninstall log from the writer to the walk: its bytes, damaged and foreign logs refused whole,
// the undo of every record kind, links, and the removal of a previous installation.
#include "tests/ScriptProbe.h"
#include "uninstall/UDeinstall.h"
#include "uninstall/URemovePrevious.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

using namespace vktest;

namespace {

const wchar_t* const UninstallEntry =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";
const wchar_t* const ProductKey = L"Software\\Brightmoss\\Velkora";
const std::string ProductKeyA = "Software\\Brightmoss\\Velkora";

std::wstring Value(HKEY root, const std::wstring& key, const std::wstring& name) {
    std::wstring text;
    return ReadRegString(root, key, name, text) ? text : L"<missing>";
}

void MakeFile(const std::wstring& path, const std::string& content = "x") {
    CreateDirectoryPath(path.substr(0, path.rfind(L'\\')));
    ASSERT_TRUE(WriteFileBytes(path, content)) << ToAnsi(path);
}

// Loads, prepares and walks the log as the uninstaller does; the first non-zero result.
int Walk(const std::wstring& logPath, IDeinstallProgress* partialWith = nullptr) {
    TDeinstall deinstall;
    deinstall.flPartialUninstall = partialWith != nullptr;
    deinstall.sProductText = L"Velkora";
    deinstall.SetProgress(partialWith);
    const int result = deinstall.PrepareUninstFile(logPath);
    return result != 0 ? result : deinstall.PrepareDeinstall() != 0 ? -1 : deinstall.DoDeinstall();
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

class RemovePrevious : public Uninstall {};

}  // namespace

// Two runs into one folder: the uninstall log byte-exact (the folder's accented letters as UTF-8,
// a copy's destination), the install log UTF-16LE with CR LF naming only the chosen, selected
// IDEs; the second run replaces both files. A text too long for a record gives no record.
TEST_F(Uninstall, TwoRunsWriteByteExactLogsAndTheSecondReplacesBoth) {
    EXPECT_EQ(EncodeUninstRecord(0x30005, 0x0102, -2, "ab"),
              std::string("\5\0\3\0\2\1\0\0\xFE\xFF\xFF\xFF\2\0ab\x12\0", 18));
    EXPECT_EQ(EncodeUninstRecord(1, 2, 3, std::string(UninstMaxTextBytes, 'x')).size(), 0xFFFFu);
    EXPECT_TRUE(EncodeUninstRecord(1, 2, 3, std::string(UninstMaxTextBytes + 1, 'x')).empty());
    const auto header = [](const std::string& installDir) {
        std::string out = "UNBRM02";
        const std::pair<uint32_t, std::string> rows[] = {
            {1, "Velkora"}, {2, "4.07"}, {3, "Standard Edition"}, {4, installDir}, {5, ProductKeyA},
            {7, "vklLib"},  {6, ""}};
        for (const auto& [code, text] : rows)
            out += EncodeUninstRecord(0x10000 | siProductInfo, code, 0, text);
        return out;
    };
    const auto utf16 = [](const std::wstring& text) {
        return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    };
    const std::wstring dir = TempPath(L"Lib Dir");
    const TPackageFile dest{L"vkl40.bpl", dcSystem};
    InstallVersions = BorlandProducts[5].InternalId | BorlandProducts[11].InternalId |
                      BorlandProducts[12].InternalId;
    for (int i = 1; i <= BorlandProductCount; ++i)
        BorlandProducts[i].Selected = i == 5 || i == 11 || i == 28;
    std::vector<TScriptItem> items = HeaderItems();
    items.push_back(Item(siExtractFile, L"Source\\a.pas", dcInstall, 0, 0x0003));
    items.push_back(Item(siCreateDir, nullptr, dcInstall));
    items.push_back(Item(siCopyFileTo, L"RADStudio9\\vkl40.bpl", dcInstall));
    items.back().Dest = &dest;
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
    EXPECT_EQ(ReadFileBytes(dir + L"\\uninst.log"),
              header(ToAnsi(TempDir) + "\\B\xC3\xA9"
                                       "b\xC3\xA9 \xC3\x85ngstr\xC3\xB6m") +
                  EncodeUninstRecord(0x30000 | siExtractFile, 0, dcInstall, "Source\\a.pas") +
                  EncodeUninstRecord(0x10000 | siCreateDir, 0, dcInstall, "") +
                  EncodeUninstRecord(0x10000 | siCopyFileTo, 0, dcSystem, "vkl40.bpl"));
    EXPECT_EQ(ReadFileBytes(dir + L"\\install.log"),
              utf16(head + L"CBuilder4,BDS2006\r\nline\r\n"));
    InstallVersions = 0;
    run(HeaderItems(), dir);
    EXPECT_EQ(ReadFileBytes(dir + L"\\uninst.log"), header(ToAnsi(dir)));
    EXPECT_EQ(ReadFileBytes(dir + L"\\install.log"), utf16(head + L"\r\nline\r\n"));
}

// Every truncation, every flipped bit, every length field at its extremes and random damage, the
// log placed at both ends of a buffer fenced by inaccessible pages (a read outside it faults):
// each is rejected, or read and walked to its end within its records.
TEST_F(Uninstall, DamagedLogsAreRejectedOrReadWithinTheirBuffer) {
    const std::string real = ReadFileBytes(LogOf(
        {Item(siCreateDir, L"", dcInstall), Item(siSetIde, L"RADStudio9", 0, 16),
         Item(siExtractFile, L"RADStudio9\\dclvkl.bpl", dcInstall),
         Item(siExtractFile, L"Source\\a.pas", dcInstall), Item(siSetIde, L"RADStudio9", 0, 16)}));
    const std::vector<uint8_t> base(real.begin(), real.end());
    constexpr size_t Page = 4096;  // of x86 and x64 Windows
    const std::unique_ptr<uint8_t, void (*)(uint8_t*)> fence(
        static_cast<uint8_t*>(VirtualAlloc(nullptr, 3 * Page, MEM_RESERVE, PAGE_NOACCESS)),
        [](uint8_t* p) { VirtualFree(p, 0, MEM_RELEASE); });
    ASSERT_TRUE(fence && VirtualAlloc(fence.get() + Page, Page, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_TRUE(base.size() <= Page && ValidateUninstLog(base) == ulOk);
    long tried = 0, accepted = 0;
    std::string failure;
    const auto check = [&](const std::vector<uint8_t>& bytes) {
        ++tried;
        for (uint8_t* start : {fence.get() + Page, fence.get() + 2 * Page - bytes.size()}) {
            const TLogBytes log(std::copy(bytes.begin(), bytes.end(), start) - bytes.size(),
                                bytes.size());
            const int verdict = ValidateUninstLog(log);
            const TUninstHeader header = ParseUninstHeader(log);
            if (verdict != ulOk && verdict != ulDamaged && verdict != ulBadMagic)
                failure = "unknown verdict";
            if (verdict != ulOk || !++accepted)
                continue;
            size_t pos = header.WalkBegin, records = 0;
            TUninstRecord record;
            TRecordRead read;
            while ((read = header.ReadBackward
                               ? ReadRecordBackward(log, pos, header.WalkEnd, record)
                               : ReadRecordForward(log, pos, header.WalkEnd, record)) ==
                       TRecordRead::Ok &&
                   ++records <= bytes.size())
                if (record.Offset + record.Length > bytes.size() || record.Length < 16 ||
                    record.Text.data() !=
                        reinterpret_cast<const char*>(start) + record.Offset + 14 ||
                    record.Text.size() + 16 != record.Length)
                    failure = "text outside its record";
            if (!header.Complete() || read != TRecordRead::End ||
                std::max(header.WalkBegin, header.WalkEnd) > bytes.size())
                failure = "an accepted log is not walked to its end";
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

// A log that cannot be loaded, is damaged or incomplete, reaches anything an installation does not
// write (one record is enough) or lies away from the folder it names is refused whole: not even
// its sound records are undone. A header alone is sound; so is a forward log of an older writer
// (no turning mark).
TEST_F(Uninstall, LogsAreRefusedWholeUnlessSoundAndConfinedToTheirInstallation) {
    const auto log = [](std::initializer_list<TScriptItem> records) {
        std::vector<TScriptItem> items = HeaderItems();
        items.push_back(Item(siExtractFile, L"a.pas", dcInstall));
        items.insert(items.end(), records);
        items.push_back(Item(siExtractFile, L"b.pas", dcInstall));
        return ReadFileBytes(WriteUninstLog(items));
    };
    const std::string sound = log({});
    std::string textLength = sound, recordLength = sound, incomplete = sound;
    textLength[sound.find("a.pas") - 2] = 4;
    recordLength[sound.size() - 2] = static_cast<char>(0xF0);
    incomplete[sound.find(ProductKeyA) - 10] = 8;  // the product key's code
    std::string foreignEntry = log({Item(siRegisterUninstall, L"unbrm.exe", 0)});
    foreignEntry.replace(foreignEntry.find("vklLib"), 6, "vklLiX");
    const std::wstring here = InstallDir + L"\\uninst.log", moved = TempPath(L"moved.log");
    const std::tuple<const char*, std::string, int, std::wstring> rows[] = {
        {"missing", "", ulCannotOpen, TempPath(L"missing.log")},
        {"empty", "", ulEmpty, here},
        {"short", "UNBRM0", ulBadMagic, here},
        {"other magic", "UNBRX02" + sound.substr(7), ulBadMagic, here},
        {"text length", textLength, ulDamaged, here},
        {"record length", recordLength, ulDamaged, here},
        {"truncated", sound.substr(0, sound.size() - 1), ulDamaged, here},
        {"trailing byte", sound + "x", ulDamaged, here},
        {"incomplete header", incomplete, ulDamaged, here},
        {"relative folder", log({Item(siCreateDir, L"victim", 0)}), ulDamaged, here},
        {"empty folder", log({Item(siCreateDir, L"", 0)}), ulDamaged, here},
        {"up and out", log({Item(siExtractFile, L"..\\w\\f.txt", dcInstall)}), ulDamaged, here},
        {"a file no row names", log({Item(siDeleteFile, L"f.txt", dcTemp)}), ulDamaged, here},
        {"foreign package", log({Item(siRegisterPackage, L"C:\\o.bpl", 0)}), ulDamaged, here},
        {"foreign key", log({Item(siCreateRegKey, L"Software\\Keep", 0, 0x80000002)}), ulDamaged,
         here},
        {"top-level key", log({Item(siCreateRegKey, L"Software", 0, 0x80000002)}), ulDamaged, here},
        {"unknown root", log({Item(siCreateRegKey, ProductKey, 0, 0x12345)}), ulDamaged, here},
        {"foreign WinHelp value", log({Item(siRegisterWinHelp, L"o.hlp", 0)}), ulDamaged, here},
        {"foreign help text", log({Item(siModifyHelpFile, L"\r\n:Link o.hlp", dcIdeHelp, 3)}),
         ulDamaged, here},
        {"IDE value beside the IDE key", log({Item(siAddIdePath, L"x\\Search Path", 0, sfInstall)}),
         ulDamaged, here},
        {"foreign uninstall entry", foreignEntry, ulDamaged, here},
        {"moved log", sound, ulDamaged, moved},
        {"moved log with the help batch", log({Item(siRegisterHelp, L"help\\help_reg.bat", 0)}),
         ulDamaged, moved},
        {"header alone", ReadFileBytes(WriteUninstLog(HeaderItems())), 0, here}};
    for (const auto& [name, bytes, result, path] : rows) {
        MakeFile(InstallDir + L"\\a.pas");
        MakeFile(InstallDir + L"\\b.pas");
        if (result != ulCannotOpen)
            MakeFile(path, bytes);
        EXPECT_EQ(Walk(path), result) << name;
        EXPECT_TRUE(PathExists(InstallDir + L"\\a.pas") && PathExists(InstallDir + L"\\b.pas"))
            << name;
    }
    for (bool turningMark : {true, false}) {
        std::vector<TScriptItem> items = HeaderItems();
        if (!turningMark)
            items.pop_back();
        items.push_back(Item(siExtractFile, L"a.pas", dcInstall));
        items.push_back(Item(siExtractFile, L"b.pas", dcInstall));
        EXPECT_EQ(Walk(WriteUninstLog(items)), 0) << turningMark;
        EXPECT_FALSE(PathExists(InstallDir + L"\\a.pas") || PathExists(InstallDir + L"\\b.pas"));
        MakeFile(InstallDir + L"\\a.pas");
        MakeFile(InstallDir + L"\\b.pas");
    }
}

// One log of every record kind, walked from another folder: only whole entries of this
// installation go (letter case aside) and the help batch runs; nothing is undone through a linked
// folder, for a vanished IDE (its paths would name the current folder) or for an IDE-bound record
// outside an IDE block. A folder below a drive root goes while it is the current one.
TEST_F(Uninstall, AFullLogIsUndoneRecordByRecord) {
    const std::wstring inst = InstallDir, rad9 = TempPath(L"RAD9"), bcb4 = TempPath(L"BCB4"),
                       outside = TempPath(L"Outside"), work = TempPath(L"work");
    TScriptItem copy = Item(siCopyFileTo, L"RADStudio9\\vkl.bpl", dcInstall);
    copy.Dest = &PackageFiles[8];
    const std::wstring log =
        LogOf({Item(siCreateDir, L"", dcInstall),
               Item(siCreateDir, L"Source", dcInstall),
               Item(siExtractFile, L"Source\\a.pas", dcInstall),
               Item(siExtractFileIfAbsent, L"settings.ini", dcInstall, 0, 3),
               Item(siCreateDir, L"Linked", dcInstall),
               Item(siExtractFile, L"Linked\\a.pas", dcInstall),
               Item(siCreateDir, L"Linked\\Design", dcInstall),
               Item(siExtractFile, L"Linked\\Design\\c.pas", dcInstall),
               Item(siDeleteFile, L"Linked\\b.pas", dcInstall),
               Item(siSetIde, L"RADStudio9", 0, 16),
               Item(siRegisterPackage, L"RADStudio9\\dclvkl.bpl", dcInstall),
               Item(siAddSearchPath, L"Source", dcInstall),
               Item(siAddIdePath, L"\\C++\\Paths\\Win32\\LibraryPath", 0, sfIdeWin32),
               Item(siSetIde, L"RADStudio9", 0, 16),
               Item(siSetIde, L"CBuilder4", 0, 5),
               Item(siModifyHelpFile, L"\r\n:Index Velkora components=vklib.hlp", dcIdeHelp, 2),
               Item(siModifyHelpFile, L"\r\n:Link vklib.hlp", dcIdeHelp, 3),
               Item(siDeleteFile, L"Help\\bcb4.gid", dcIdeRoot),
               Item(siSetIde, L"CBuilder4", 0, 5),
               copy,
               Item(siRegisterWinHelp, L"vklib.hlp", 0),
               Item(siRegisterHelp, L"help\\help_reg.bat", 0),
               Item(siRegisterUninstall, L"unbrm.exe", 0),
               Item(siCreateRegKey, ProductKey, 0, 0x80000002, 3),
               Item(siSetIde, L"CBuilder6", 0, 8),  // C++Builder 6 is not there
               Item(siDeleteFile, L"Help\\bcb6.gid", dcIdeRoot),
               Item(siModifyHelpFile, L"\r\n:Link vklib.hlp", dcIdeRoot, 3),
               Item(siSetIde, L"CBuilder6", 0, 8),
               Item(siSetIde, L"", 0, 0),
               Item(siRegisterPackage, L"RADStudio9\\dclvkl2.bpl", dcInstall),
               Item(siSetIde, L"", 0, 0)});
    const std::wstring copied = JoinPath(BaseDir(dcSystem), PackageFiles[8].FileName),
                       ohi = bcb4 + L"\\Help\\bcb4.ohi", ohl = bcb4 + L"\\Help\\bcb4.ohl";
    const std::string index = "a\r\n:Index Other=other.hlp\r\n";  // the line went by hand
    const std::tuple<std::wstring, std::string, std::string> files[] = {
        // before, after
        {inst + L"\\Source\\a.pas", "x", ""},
        {inst + L"\\settings.ini", "x", ""},
        {inst + L"\\RADStudio9\\dclvkl.bpl", "x", ""},
        {inst + L"\\help\\help_unreg.bat", "@echo unregistered> ..\\..\\unreg-ran.txt\r\n", ""},
        {TempPath(L"unreg-ran.txt"), "", "unregistered\r\n"},
        {copied, "x", ""},
        {rad9 + L"\\bin\\dcc32.exe", "x", "x"},
        {bcb4 + L"\\bin\\make.exe", "x", "x"},
        {bcb4 + L"\\Help\\bcb4.gid", "x", ""},
        {ohi, index, index},
        {ohl, "a\r\n:LINK VKLIB.HLP\r\n:Link other.hlp\r\n:Link vklib.hlp\r\n",
         "a\r\n:Link other.hlp\r\n:Link vklib.hlp\r\n"},
        {work + L"\\Help\\bcb6.gid", "keep", "keep"},
        {work + L"\\bcb6.als", "keep\r\n:Link vklib.hlp", "keep\r\n:Link vklib.hlp"},
        {outside + L"\\a.pas", "x", "x"},
        {outside + L"\\b.pas", "x", "x"},
        {outside + L"\\Design\\c.pas", "x", "x"}};
    for (const auto& [path, before, after] : files)
        MakeFile(path, before);
    ASSERT_TRUE(MakeDirectoryLink(inst, L"Linked", L"../Outside"));
    const std::wstring ide = BorlandProducts[16].RegKey, known = ide + L"\\Known Packages",
                       library = ide + L"\\Library", help = L"Software\\Microsoft\\Windows\\Help";
    const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
    const std::tuple<HKEY, std::wstring, std::wstring, std::wstring, std::wstring> values[] = {
        {user, ide, L"RootDir", rad9, rad9},
        {user, BorlandProducts[5].RegKey, L"RootDir", bcb4, bcb4},
        {user, known, inst + L"\\RADStudio9\\dclvkl.bpl", L"Velkora", L"<missing>"},
        {user, known, inst + L"\\RADStudio9\\dclvkl2.bpl", L"Velkora", L"Velkora"},
        {user, library, L"Search Path", L"C:\\Keep", L"C:\\Keep"},
        {user, library + L"\\Win32", L"Search Path", L"C:\\Keep32;" + inst + L"\\RADStudio9",
         L"C:\\Keep32"},
        {user, library + L"\\Win64", L"Search Path",
         inst + L"\\Source2;" + LowerCase(inst) + L"\\source;C:\\Keep64",
         inst + L"\\Source2;C:\\Keep64"},
        {user, ide + L"\\C++\\Paths\\Win32", L"LibraryPath",
         L"C:\\CppLib;" + inst + L"\\RADStudio9\\Win32", L"C:\\CppLib"},
        {machine, help, L"vklib.hlp", inst + L"\\Help", L"<missing>"},
        {machine, help, L"other.hlp", L"C:\\Other", L"C:\\Other"},
        {machine, UninstallEntry, L"DisplayName", L"Velkora", L"<missing>"},
        {machine, ProductKey, L"Version", L"4.07", L"<missing>"},
        {machine, L"Software\\Keep", L"Value", L"1", L"1"}};
    for (const auto& [root, key, name, before, after] : values)
        ASSERT_TRUE(WriteRegString(root, key, name, before));
    ASSERT_TRUE(SetCurrentDirectoryW(work.c_str()));
    CurrentProduct = 16;
    InstallDir = L"C:\\Elsewhere";
    EXPECT_EQ(Walk(log), 0);
    EXPECT_EQ(InstallDir, inst) << "the header's folder";
    EXPECT_EQ(CurrentProduct, 16) << "the walk ends on the first IDE block's opening record";
    for (const auto& [path, before, after] : files)
        EXPECT_EQ(ReadFileBytes(path), after) << ToAnsi(path);
    for (const auto& [root, key, name, before, after] : values)
        EXPECT_EQ(Value(root, key, name), after) << ToAnsi(key + L" " + name);
    EXPECT_FALSE(PathExists(inst + L"\\Source") || KeyExists(machine, UninstallEntry) ||
                 KeyExists(machine, L"Software\\Brightmoss"));
    EXPECT_EQ(DirectoryEntries(outside),
              (std::vector<std::wstring>{L"Design", L"a.pas", L"b.pas"}));

    InstallDir = L"C:\\vktest root " + std::to_wstring(GetCurrentProcessId());
    MakeFile(InstallDir + L"\\Source\\a.pas");
    ASSERT_TRUE(SetCurrentDirectoryW(InstallDir.c_str()));
    EXPECT_EQ(Walk(LogOf({Item(siCreateDir, L"", dcInstall)})), 0);
    EXPECT_FALSE(PathExists(InstallDir));
    SetCurrentDirectoryW(TempDir.c_str());
    RemoveTree(InstallDir);
}

// A partial walk keeps the marked records. The walk tells its progress the page text and span
// first, one status per record ("Skipping" for a kept one), lengths that fill the span, the end.
TEST_F(Uninstall, APartialWalkKeepsTheMarkedRecordsAndReportsEveryRecord) {
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
    WriteRegString(HKEY_LOCAL_MACHINE, ProductKey, L"Version", L"4.07");
    EXPECT_EQ(Walk(LogOf({Item(siExtractFile, L"a.pas", dcInstall),
                          Item(siExtractFile, L"kept.ini", dcInstall, 0, 3),
                          Item(siCreateRegKey, ProductKey, 0, 0x80000002, 3)}),
                   &progress),
              0);
    EXPECT_EQ(progress.Events,
              (std::vector<std::wstring>{L"Performing uninstall of the \"Velkora\"...", L"Skipping",
                                         L"Skipping", L"Removing file", L"end"}));
    EXPECT_TRUE(progress.Span > 0 && progress.Walked == progress.Span);
    EXPECT_FALSE(PathExists(InstallDir + L"\\a.pas"));
    EXPECT_TRUE(PathExists(InstallDir + L"\\kept.ini") &&
                KeyExists(HKEY_LOCAL_MACHINE, ProductKey));
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

// Start removes the previous installation (from another folder, quoted, and from the same one)
// before it opens the new logs; a missing entry or log, a log of another product or entry, or a
// relative log path (it would resolve against setup.exe's folder) removes nothing.
TEST_F(RemovePrevious, StartRemovesOnlyThisProductsPreviousInstallationByAnAbsolutePath) {
    const auto installPrevious = [](const std::wstring& dir) {  // files, log, key and entry
        InstallDir = dir;
        LogOf({Item(siCreateDir, L"", dcInstall), Item(siExtractFile, L"Source\\a.pas", dcInstall),
               Item(siRegisterUninstall, L"unbrm.exe", 0),
               Item(siCreateRegKey, ProductKey, 0, 0x80000002, 3)});
        MakeFile(dir + L"\\Source\\a.pas", "unit a;");
        const std::wstring q = dir.find(L' ') == std::wstring::npos ? L"" : L"\"";
        WriteRegString(HKEY_LOCAL_MACHINE, ProductKey, L"Version", L"4.06");
        WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"DisplayName", L"Old");
        WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"UninstallString",
                       q + dir + L"\\unbrm.exe" + q + L" " + q + dir + L"\\uninst.log" + q);
    };
    const auto startNew = [](const std::wstring& dir) {  // as the progress page starts
        InstallDir = dir;
        const std::vector<TScriptItem> items = HeaderItems();
        TScriptProbe script(items.data(), static_cast<int>(items.size()));
        script.SetPreviousRemover(RemovePreviousInstallation);
        script.Start();
        script.RecordAll();
    };
    for (const auto& [previous, now] : {std::pair{L"Old Lib", L"New Lib"}, {L"Lib", L"Lib"}}) {
        installPrevious(TempPath(previous));
        startNew(TempPath(now));
        EXPECT_FALSE(PathExists(TempPath(previous) + L"\\Source")) << ToAnsi(previous);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallEntry));
        EXPECT_EQ(InstallDir, TempPath(now));
        EXPECT_EQ(ReadFileBytes(TempPath(now) + L"\\uninst.log").substr(0, 7), "UNBRM02");
        EXPECT_GT(ReadFileBytes(TempPath(now) + L"\\install.log").size(), 3u);
    }
    const std::wstring previous = TempPath(L"OldLib"), log = previous + L"\\uninst.log";
    // The log's text replaced, the uninstall string (null: kept, empty: no entry; with no text
    // replaced and a kept string, the log is deleted).
    const std::tuple<const char*, const char*, const wchar_t*> rows[] = {
        {"Velkora", "Velkorb", nullptr},
        {"vklLib", "vklLiX", nullptr},
        {"", "", L"unbrm.exe uninst.log"},
        {"", "", nullptr},
        {"", "", L""}};
    for (const auto& [from, to, uninstallString] : rows) {
        SCOPED_TRACE(testing::Message() << from << " " << (uninstallString ? "set" : "-"));
        installPrevious(previous);
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
        startNew(TempPath(L"NewLib"));
        EXPECT_TRUE(PathExists(previous + L"\\Source\\a.pas"));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ProductKey));
        EXPECT_EQ(InstallDir, TempPath(L"NewLib"));
        EXPECT_EQ(ReadFileBytes(InstallDir + L"\\uninst.log").substr(0, 7), "UNBRM02");
    }
    EXPECT_EQ(UninstallLogPathOf(L"unbrm.exe "), L"");
    EXPECT_EQ(UninstallLogPathOf(L"\""), L"");
    EXPECT_EQ(UninstallLogPathOf(L"a " + std::wstring(300, L'x')), std::wstring(255, L'x'));
}
