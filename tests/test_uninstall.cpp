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

std::wstring LogOf(std::initializer_list<TScriptItem> records,
                   std::initializer_list<TScriptItem> more = {}) {
    std::vector<TScriptItem> items = HeaderItems();
    items.insert(items.end(), records);
    items.insert(items.end(), more);
    return WriteUninstLog(items);
}

class Uninstall : public InstallStateTest {
protected:
    void SetUp() override {
        InstallStateTest::SetUp();
        InstallDir = TempPath(L"Lib Inst");
        CurrentProduct = 0;
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
        const std::pair<uint32_t, std::string> rows[] = {{1, "Velkora"},
                                                         {2, "4.07"},
                                                         {3, "Standard Edition"},
                                                         {4, installDir},
                                                         {5, ToAnsi(ProductKey)},
                                                         {7, "vklLib"},
                                                         {6, ""}};
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

// Every truncation, every flipped bit and random damage, the log placed at both ends of a buffer
// fenced by inaccessible pages (a read outside it faults): each is rejected, or read and walked to
// its end within its records.
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
            if (ValidateUninstLog(log) != ulOk || !++accepted)
                continue;
            const TUninstHeader header = ParseUninstHeader(log);
            size_t pos = header.WalkBegin, records = 0;
            TUninstRecord r;
            TRecordRead read;
            while ((read = header.ReadBackward ? ReadRecordBackward(log, pos, header.WalkEnd, r)
                                               : ReadRecordForward(log, pos, header.WalkEnd, r)) ==
                       TRecordRead::Ok &&
                   ++records <= bytes.size())
                if (r.Offset + r.Length > bytes.size() || r.Text.size() + 16 != r.Length ||
                    r.Text.data() != reinterpret_cast<const char*>(start) + r.Offset + 14)
                    failure = "text outside its record";
            if (!header.Complete() || read != TRecordRead::End ||
                std::max(header.WalkBegin, header.WalkEnd) > bytes.size())
                failure = "an accepted log is not walked to its end";
        }
    };
    for (size_t bit = 0; bit < base.size() * 8; ++bit) {
        std::vector<uint8_t> bytes = base;
        bytes[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        check(bytes);
        check(std::vector<uint8_t>(base.begin(), base.begin() + bit / 8));
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
// its sound records are undone. A header alone is sound; so is a forward log (an older writer's).
// A partial walk keeps the marked records; its progress learns the page text and span first, one
// status per record ("Skipping" for a kept one), lengths that fill the span, and the end.
TEST_F(Uninstall, LogsAreRefusedWholeUnlessSoundAndConfinedToTheirInstallation) {
    struct : IDeinstallProgress {
        std::wstring Events;
        size_t Left = 0;
        void WalkStarted(const std::wstring& p, size_t n) override { Events = p, Left = n; }
        void RecordStatus(const std::wstring& status) override { Events += L"|" + status; }
        void RecordWalked(size_t length) override { Left -= length; }
        void WalkEnded() override { Events += L"|end"; }
    } progress;
    WriteRegString(HKEY_LOCAL_MACHINE, ProductKey, L"Version", L"4.07");
    const auto log = [](auto... records) {
        std::vector<TScriptItem> items = HeaderItems();
        items.push_back(Item(siExtractFile, L"a.pas", dcInstall));
        (items.push_back(records), ...);
        items.push_back(Item(siExtractFile, L"b.pas", dcInstall));
        return ReadFileBytes(WriteUninstLog(items));
    };
    const std::string sound = log();
    std::string textLength = sound, recordLength = sound, incomplete = sound, forward = sound;
    textLength[sound.find("a.pas") - 2] = 4;
    recordLength[sound.size() - 2] = static_cast<char>(0xF0);
    incomplete[sound.find(ToAnsi(ProductKey)) - 10] = 8;  // the product key's code
    forward.erase(sound.find("a.pas") - 30, 16);          // the turning mark
    std::string foreignEntry = log(Item(siRegisterUninstall, L"unbrm.exe", 0));
    foreignEntry.replace(foreignEntry.find("vklLib"), 6, "vklLiX");
    struct {
        const char* Name;
        std::string Bytes;
        int Result = ulDamaged, Left = 2;  // of a.pas and b.pas
        bool Moved = false, Partial = false;
    } rows[] = {
        {"missing", "", ulCannotOpen, 2, true},
        {"empty", "", ulEmpty},
        {"short", "UNBRM0", ulBadMagic},
        {"other magic", "UNBRX02" + sound.substr(7), ulBadMagic},
        {"text length", textLength},
        {"record length", recordLength},
        {"truncated", sound.substr(0, sound.size() - 1)},
        {"trailing byte", sound + "x"},
        {"incomplete header", incomplete},
        {"relative folder", log(Item(siCreateDir, L"", 0))},
        {"up and out", log(Item(siExtractFile, L"..\\w\\f.txt", dcInstall))},
        {"a file no row names", log(Item(siDeleteFile, L"f.txt", dcTemp))},
        {"foreign package", log(Item(siRegisterPackage, L"C:\\o.bpl", 0))},
        {"foreign key", log(Item(siCreateRegKey, L"Software\\Keep", 0, 0x80000002))},
        {"unknown root", log(Item(siCreateRegKey, ProductKey, 0, 0x12345))},
        {"foreign WinHelp value", log(Item(siRegisterWinHelp, L"o.hlp", 0))},
        {"foreign help text", log(Item(siModifyHelpFile, L"\r\n:Link o.hlp", dcIdeHelp, 3))},
        {"IDE value beside its key", log(Item(siAddIdePath, L"x\\Search Path", 0, sfInstall))},
        {"foreign uninstall entry", foreignEntry},
        {"moved log", sound, ulDamaged, 2, true},
        {"moved help batch", ReadFileBytes(LogOf({Item(siRegisterHelp, L"help\\h.bat", 0)})),
         ulDamaged, 2, true},
        {"header alone", ReadFileBytes(WriteUninstLog(HeaderItems())), 0},
        {"sound", sound, 0, 0},
        {"forward", forward, 0, 0, false, true},
        {"partial", log(Item(siCreateRegKey, ProductKey, 0, 0x80000002, 3)), 0, 0, false, true}};
    for (const auto& row : rows) {
        const std::wstring path = row.Moved ? TempPath(L"moved.log") : InstallDir + L"\\uninst.log";
        MakeFile(InstallDir + L"\\a.pas");
        MakeFile(InstallDir + L"\\b.pas");
        if (row.Result != ulCannotOpen)
            MakeFile(path, row.Bytes);
        EXPECT_EQ(Walk(path, row.Partial ? &progress : nullptr), row.Result) << row.Name;
        EXPECT_TRUE(!row.Partial || progress.Left == 0) << row.Name;
        EXPECT_EQ(PathExists(InstallDir + L"\\a.pas") + PathExists(InstallDir + L"\\b.pas"),
                  row.Left)
            << row.Name;
    }
    EXPECT_EQ(progress.Events, L"Performing uninstall of the \"Velkora\"...|Removing file|Skipping|"
                               L"Removing file|end");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ProductKey));
}

// One log of every record kind, walked from another folder: only whole entries of this
// installation go (letter case aside), the help batch runs; nothing is undone through a link, for
// a vanished IDE (C++Builder 6: its paths would name the current folder) or for an IDE-bound
// record outside an IDE block. A folder below a drive root goes while it is the current one.
TEST_F(Uninstall, AFullLogIsUndoneRecordByRecord) {
    const std::wstring inst = InstallDir, rad9 = TempPath(L"RAD9"), bcb4 = TempPath(L"BCB4"),
                       outside = TempPath(L"Outside"), work = TempPath(L"work");
    TScriptItem copy = Item(siCopyFileTo, L"RADStudio9\\vkl.bpl", dcInstall);
    copy.Dest = &PackageFiles[8];
    const std::wstring log = LogOf(
        {Item(siCreateDir, L"", dcInstall), Item(siCreateDir, L"Source", dcInstall),
         Item(siExtractFile, L"Source\\a.pas", dcInstall), Item(siCreateDir, L"Linked", dcInstall),
         Item(siExtractFile, L"Linked\\a.pas", dcInstall),
         Item(siCreateDir, L"Linked\\Design", dcInstall), Item(siSetIde, L"RADStudio9", 0, 16),
         Item(siRegisterPackage, L"RADStudio9\\dclvkl.bpl", dcInstall),
         Item(siAddSearchPath, L"Source", dcInstall), Item(siSetIde, L"RADStudio9", 0, 16)},
        {Item(siSetIde, L"CBuilder4", 0, 5),
         Item(siModifyHelpFile, L"\r\n:Index Velkora components=vklib.hlp", dcIdeHelp, 2),
         Item(siModifyHelpFile, L"\r\n:Link vklib.hlp", dcIdeHelp, 3),
         Item(siDeleteFile, L"Help\\bcb4.gid", dcIdeRoot), Item(siSetIde, L"CBuilder4", 0, 5), copy,
         Item(siRegisterWinHelp, L"vklib.hlp", 0), Item(siRegisterHelp, L"help\\help_reg.bat", 0),
         Item(siRegisterUninstall, L"unbrm.exe", 0),
         Item(siCreateRegKey, ProductKey, 0, 0x80000002, 3), Item(siSetIde, L"CBuilder6", 0, 8),
         Item(siDeleteFile, L"Help\\bcb6.gid", dcIdeRoot),
         Item(siModifyHelpFile, L"\r\n:Link vklib.hlp", dcIdeRoot, 3),
         Item(siSetIde, L"CBuilder6", 0, 8), Item(siSetIde, L"", 0, 0),
         Item(siRegisterPackage, L"RADStudio9\\dclvkl2.bpl", dcInstall),
         Item(siSetIde, L"", 0, 0)});
    const std::wstring copied = JoinPath(BaseDir(dcSystem), PackageFiles[8].FileName),
                       ohi = bcb4 + L"\\Help\\bcb4.ohi", ohl = bcb4 + L"\\Help\\bcb4.ohl";
    const std::string index = "a\r\n:Index Other=other.hlp\r\n";  // the line went by hand
    // Each file's content before and after the walk ("": gone).
    const std::tuple<std::wstring, std::string, std::string> files[] = {
        {inst + L"\\Source\\a.pas", "x", ""},
        {inst + L"\\RADStudio9\\dclvkl.bpl", "x", ""},
        {inst + L"\\help\\help_unreg.bat", "@echo unregistered> ..\\..\\unreg-ran.txt\r\n", ""},
        {TempPath(L"unreg-ran.txt"), "", "unregistered\r\n"},
        {copied, "x", ""},
        {rad9 + L"\\bin\\dcc32.exe", "x", "x"},
        {bcb4 + L"\\bin\\make.exe", "x", "x"},
        {bcb4 + L"\\Help\\bcb4.gid", "x", ""},
        {ohi, index, index},
        {ohl, "a\r\n:Link other.hlp\r\n:LINK VKLIB.HLP", "a\r\n:Link other.hlp"},
        {work + L"\\Help\\bcb6.gid", "keep", "keep"},
        {work + L"\\bcb6.als", "keep\r\n:Link vklib.hlp", "keep\r\n:Link vklib.hlp"},
        {outside + L"\\a.pas", "x", "x"},
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
        {user, known, inst + L"\\RADStudio9\\dclvkl2.bpl", L"Velkora", L"Velkora"},
        {user, library + L"\\Win32", L"Search Path", L"C:\\Keep32;" + inst + L"\\RADStudio9",
         L"C:\\Keep32"},
        {user, library + L"\\Win64", L"Search Path",
         inst + L"\\Source2;" + LowerCase(inst) + L"\\source;C:\\Keep64",
         inst + L"\\Source2;C:\\Keep64"},
        {machine, help, L"other.hlp", L"C:\\Other", L"C:\\Other"},
        {machine, L"Software\\Keep", L"Value", L"1", L"1"}};
    for (const auto& [root, key, name, before, after] : values)
        ASSERT_TRUE(WriteRegString(root, key, name, before));
    ASSERT_TRUE(SetCurrentDirectoryW(work.c_str()));
    CurrentProduct = 16;
    InstallDir = L"C:\\Elsewhere";
    EXPECT_EQ(Walk(log), 0);
    EXPECT_EQ(CurrentProduct, 16) << "the walk ends on the first IDE block's opening record";
    for (const auto& [path, before, after] : files)
        EXPECT_EQ(ReadFileBytes(path), after) << ToAnsi(path);
    for (const auto& [root, key, name, before, after] : values)
        EXPECT_EQ(Value(root, key, name), after) << ToAnsi(key + L" " + name);
    EXPECT_FALSE(PathExists(inst + L"\\Source"));

    InstallDir = L"C:\\vktest root " + std::to_wstring(GetCurrentProcessId());
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

// Start removes the previous installation (from another folder, quoted, and from the same one)
// before it opens the new logs; a missing entry or log, a log of another product or entry, or a
// relative log path (it would resolve against setup.exe's folder) removes nothing.
TEST_F(RemovePrevious, StartRemovesOnlyThisProductsPreviousInstallationByAnAbsolutePath) {
    const struct {
        const wchar_t *Previous, *Now;
        const char *From, *To;           // replaced in the previous log
        const wchar_t* UninstallString;  // null: the installed one, empty: no entry
        bool LogGone, Removed;
    } rows[] = {{L"Old Lib", L"New Lib", "", "", nullptr, false, true},
                {L"Lib", L"Lib", "", "", nullptr, false, true},
                {L"OldLib", L"NewLib", "Velkora", "Velkorb", nullptr, false, false},
                {L"OldLib", L"NewLib", "vklLib", "vklLiX", nullptr, false, false},
                {L"OldLib", L"NewLib", "", "", L"unbrm.exe uninst.log", false, false},
                {L"OldLib", L"NewLib", "", "", nullptr, true, false},
                {L"OldLib", L"NewLib", "", "", L"", false, false}};
    for (const auto& row : rows) {
        const std::wstring previous = TempPath(row.Previous), now = TempPath(row.Now),
                           log = previous + L"\\uninst.log",
                           q = previous.find(L' ') == std::wstring::npos ? L"" : L"\"";
        SCOPED_TRACE(ToAnsi(previous) + " " + row.From + (row.LogGone ? " no log" : ""));
        InstallDir = previous;
        LogOf({Item(siCreateDir, L"", dcInstall), Item(siExtractFile, L"Source\\a.pas", dcInstall),
               Item(siCreateRegKey, ProductKey, 0, 0x80000002, 3)});
        MakeFile(previous + L"\\Source\\a.pas");
        WriteRegString(HKEY_LOCAL_MACHINE, ProductKey, L"Version", L"4.06");
        WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"DisplayName", L"Old");
        WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"UninstallString",
                       row.UninstallString
                           ? row.UninstallString
                           : q + previous + L"\\unbrm.exe" + q + L" " + q + log + q);
        if (row.UninstallString && !*row.UninstallString)
            DeleteRegKeyTree(HKEY_LOCAL_MACHINE, UninstallEntry);
        std::string bytes = ReadFileBytes(log);
        if (*row.From)
            bytes.replace(bytes.find(row.From), strlen(row.From), row.To);
        ASSERT_TRUE(row.LogGone ? DeleteFileW(log.c_str()) : WriteFileBytes(log, bytes));
        ASSERT_TRUE(SetCurrentDirectoryW(previous.c_str()));  // where a relative path would lead
        InstallDir = now;
        const std::vector<TScriptItem> items = HeaderItems();
        TScriptProbe script(items.data(), static_cast<int>(items.size()));
        script.SetPreviousRemover(RemovePreviousInstallation);
        script.Start();  // as the progress page starts
        script.RecordAll();
        script.Stop();
        EXPECT_EQ(PathExists(previous + L"\\Source\\a.pas"), !row.Removed);
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, ProductKey), !row.Removed);
        EXPECT_EQ(InstallDir, now);
        EXPECT_EQ(ReadFileBytes(now + L"\\uninst.log").substr(0, 7), "UNBRM02");
        EXPECT_GT(ReadFileBytes(now + L"\\install.log").size(), 3u);
    }
    EXPECT_EQ(UninstallLogPathOf(L"unbrm.exe "), L"");
    EXPECT_EQ(UninstallLogPathOf(L"\""), L"");
    EXPECT_EQ(UninstallLogPathOf(L"a " + std::wstring(300, L'x')), std::wstring(255, L'x'));
}
