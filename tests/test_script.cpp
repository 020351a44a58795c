// The interpreter on small tables of its own, each item through its dispatch, on real files and
// keys (payload 7 a text, 20 to 23 one program of versions 2.0.0.5, 2.0.0.4, 1.9.9.9, 2.1.0.0).
#include "tests/IdeTestSupport.h"

#include <climits>

using namespace vktest;

namespace {

constexpr uint32_t TextPayload = 7, Version2005 = 20, Version2004 = 21, Version1999 = 22,
                   Version2100 = 23, Rad11Bit = 0x8000000, Cb6Bit = 0x80;
constexpr int AnyError = INT_MIN;  // an expected result that every nonzero one matches
const std::wstring Bds2006 = L"Software\\Borland\\BDS\\4.0",
                   Xe2 = L"Software\\Embarcadero\\BDS\\9.0";

using Texts = std::vector<std::wstring>;

struct Step {  // an item and the result and log line it must give ($I InstallDir, $T TempDir)
    TScriptItem Item;
    int Result;
    std::wstring Line;
};

// The installation state restored after each test, its folder "Velkora" made, the process's TMP
// the test's own (so the payload copies of the version check can be seen), the build bound kept.
class Interpreter : public InstallStateTest {
protected:
    void SetUp() override {
        InstallStateTest::SetUp();
        InstallDir = TempPath(L"Velkora");
        for (const wchar_t* name : {L"TMP", L"TEMP"}) {
            FSaved.emplace_back(name, EnvironmentValue(name));
            SetEnvironmentVariableW(name, TempPath(L"tmp").c_str());
        }
        ASSERT_EQ(CreateDirectoryPath(TempPath(L"tmp")) | CreateDirectoryPath(InstallDir), 0u);
    }
    void TearDown() override {
        BuildTimeoutMs = FBound;
        for (const auto& [name, value] : FSaved)
            SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
        InstallStateTest::TearDown();
    }
    static TScriptItem Row(uint16_t type, const wchar_t* name, int32_t dirCode, uint32_t code = 0,
                           int32_t platform = 0, const wchar_t* text1 = nullptr,
                           const wchar_t* text2 = nullptr) {
        return {type, 0, name, code, dirCode, text1, text2, dcInstall, platform, nullptr};
    }
    static TScriptItem Block(uint16_t type, uint32_t key) { return Item(type, nullptr, 0, key, 0); }
    static TScriptItem Dir(const wchar_t* name) { return Item(siCreateDir, name, dcInstall); }
    static TScriptItem Ide(uint32_t i, const wchar_t* dir) { return Row(siSetIde, dir, 0, i); }
    static TScriptItem Build(const wchar_t* dpk, uint32_t bit, int32_t platform = 0) {
        return Row(siCompilePackage, dpk, 0, bit, platform);
    }
    static std::string Payload(uint32_t id) {
        const void* data = nullptr;
        DWORD size = 0;
        return FindPayload(int(id), data, size) ? ""
                                                : std::string(static_cast<const char*>(data), size);
    }
    std::wstring X(std::wstring text) const {  // $I: InstallDir, $T: TempDir
        for (size_t at; (at = text.find(L"$I")) != text.npos;)
            text.replace(at, 2, InstallDir);
        for (size_t at; (at = text.find(L"$T")) != text.npos;)
            text.replace(at, 2, TempDir);
        return text;
    }
    std::wstring Inst(const std::wstring& name) const { return InstallDir + L"\\" + name; }
    std::wstring Made(const std::wstring& name) const {
        return L"Creating directory: " + Inst(name) + L"...Success";
    }
    void Put(const std::wstring& path, const std::string& bytes) const {  // makes its folder
        ASSERT_EQ(CreateDirectoryPath(DirectoryOf(X(path))), 0u);
        ASSERT_TRUE(WriteFileBytes(X(path), bytes));
    }
    // Runs the items in one script as the progress page does, logs open; answers the results.
    static std::vector<int> RunItems(const std::vector<TScriptItem>& items) {
        TScript script(items.data(), static_cast<int>(items.size()));
        std::vector<int> results;
        script.Start();
        for (int row = 0; row < script.Count(); script.SetCurrent(++row))
            results.push_back(script.ItemDoScript());
        return results;
    }
    // Runs the steps' items in one script, logs closed; answers its failed item count.
    int Expect(const std::vector<Step>& steps) const {
        std::vector<TScriptItem> items;
        for (const Step& step : steps)
            items.push_back(step.Item);
        TScript script(items.data(), static_cast<int>(items.size()));
        for (int row = 0; row < script.Count(); ++row) {
            script.SetCurrent(row);
            const int result = script.ItemDoScript(), want = steps[row].Result;
            EXPECT_EQ(want == AnyError && result != 0 ? want : result, want) << "row " << row;
            EXPECT_EQ(script.LogString(), X(steps[row].Line)) << "row " << row;
        }
        return script.FailedItemCount();
    }
    std::vector<std::wstring> Lines() const { return LogLines(Inst(L"install.log")); }
    std::vector<std::wstring> Recs() const { return Records(Inst(L"uninst.log")); }

private:
    std::vector<std::pair<std::wstring, std::wstring>> FSaved;
    DWORD FBound = BuildTimeoutMs;
};
class FileItems : public Interpreter {};

// Two test IDEs (RAD Studio 11 and C++Builder 6) and the RAD Studio project folder, the current
// directory, with its configuration and the C++Builder make file.
class Builds : public Interpreter {
protected:
    void SetUp() override {
        Interpreter::SetUp();
        BorlandProducts[28].RootDir = Rad11 = TempPath(L"Program Files (x86)\\Studio\\22.0");
        BorlandProducts[8].RootDir = Cb6 = TempPath(L"Borland\\CBuilder6");
        Project = Inst(L"RADStudio22");
        ASSERT_EQ(CreateDirectoryPath(Project + L"\\Win32") |
                      CreateDirectoryPath(Project + L"\\Win64"),
                  0u);
        for (const std::wstring name : {L"RADStudio22\\dcc32.cfg", L"RADStudio22\\dcc64.cfg",
                                        L"RADStudio22\\vkl280.dpk", L"CBuilder6\\vkl60.mak"})
            ASSERT_TRUE(CopyFileW((SourceDir() + L"\\resources\\payload\\" + name).c_str(),
                                  (Project + name.substr(name.find(L'\\'))).c_str(), FALSE));
        ASSERT_TRUE(SetCurrentDirectoryW(Project.c_str()));
    }
    std::wstring Rad11, Cb6, Project;
};

class IdeItems : public Interpreter {
protected:
    static std::wstring Value(const std::wstring& key, const std::wstring& name,
                              HKEY root = HKEY_CURRENT_USER) {
        std::wstring text;
        return ReadRegString(root, key, name, text) ? text : L"<none>";
    }
    void Set(const std::wstring& key, const std::wstring& name, const std::wstring& text) const {
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key, name, X(text)));
    }
};

}  // namespace

// Each kind of block, its condition true and false, each reading its own mask.
TEST_F(Interpreter, EachBlockRunsItsItemsExactlyWhenItsConditionHolds) {
    const std::tuple<uint16_t, uint16_t, const wchar_t*, uint32_t, bool> blocks[] = {
        {siIfVersions, siEndIfVersions, L"v", 1, true},
        {siIfItems, siEndIfItems, L"i", 2, true},
        {siIfCustomize, siEndIfCustomize, L"c", 4, true},
        {siIfNotCustomize, siEndIfNotCustomize, L"n", 4, false}};
    for (const bool holds : {true, false}) {
        std::tie(InstallVersions, InstallItems, CustomizeItems) =
            holds ? std::tuple(1, 2, 4) : std::tuple(6, 5, 3);
        std::vector<Step> steps;
        for (const auto& [open, end, name, key, runs] : blocks)
            steps.insert(steps.end(), {{Block(open, key), 0, L""},
                                       {Dir(name), 0, runs == holds ? Made(name) : L""},
                                       {Block(end, key), 0, L""}});
        steps.push_back({Dir(L"after"), 0, Made(L"after")});
        Expect(steps);
    }
}

// A skip ends only at its own end row (type and key); openers inside it are not evaluated (a file
// check would log); a block without its end row skips to the end. As the product's table has it,
// a 64-bit build is skipped without dcc64, and both checks log. Unknown types do nothing and are
// recorded only when flagged.
TEST_F(Interpreter, ASkipEndsOnlyAtItsOwnEndRowAndFileChecksLogEitherWay) {
    InstallItems = 0x10;
    BorlandProducts[28].RootDir = TempPath(L"RAD Studio");
    ASSERT_TRUE(InstallStandinTools(TempPath(L"RAD Studio"), 0, {L"dcc32.exe"}));
    const uint32_t ide = 0x10000001;
    // clang-format off
    const std::vector<TScriptItem> items = {
        Block(siIfItems, 0x1000), Dir(L"a"), Block(siEndIfItems, 0x2000), Dir(L"b"),
        Block(siEndIfVersions, 0x1000), Block(siIfItems, 0x10),
        Item(siIfFileExists, L"bin\\dcc32.exe", dcIdeRoot, 0x20, 0), Block(siEndIfFileExists, 0x20),
        Block(siIfItems, 0x20), Dir(L"c"), Block(siEndIfItems, 0x20), Dir(L"d"),
        Block(siEndIfItems, 0x10), Block(siEndIfItems, 0x1000), Dir(L"after"), Ide(28, L"RAD22"),
        Item(siIfFileExists, L"bin\\dcc32.exe", dcIdeRoot, ide, 0), Dir(L"ran"), Block(siEndIfFileExists, ide),
        Item(siIfFileExists, L"bin\\dcc64.exe", dcIdeRoot, ide, 0), Build(L"vkl280.dpk", Rad11Bit, 1),
        Block(siEndIfFileExists, ide), Item(0x7777, L"quiet", dcInstall, 5, 0),
        Item(0x7777, L"recorded", dcInstall, 5, ifLogUninstall | ifKeepOnPartial),
        Block(siIfItems, 0x80), Dir(L"e"), Block(siEndIfItems, 0x81), Dir(L"f")};
    // clang-format on
    EXPECT_EQ(RunItems(items), std::vector<int>(items.size(), 0));
    EXPECT_EQ(Lines(),
              (Texts{Made(L"after"), X(L"Check file: $T\\RAD Studio\\bin\\dcc32.exe...Success"),
                     Made(L"ran"), X(L"Check file: $T\\RAD Studio\\bin\\dcc64.exe...Fail")}));
    EXPECT_EQ(Recs(), (Texts{L"18001:0:3:after", L"18001:0:3:ran", L"37777:5:3:recorded"}));
}

// Below 0x4000 nothing runs; blocks and the IDE still do; a package that was not built is no
// error to copy (but is when the run builds). A failed item leaves its line and its record.
TEST_F(Interpreter, CopyOnlyRunsFileAndControlItemsButNoIdeItemsAndAFailedItemLeavesItsTrace) {
    CopyOnly = true;
    InstallItems = 0x10;
    Put(L"$I\\keep.txt", "x");
    TScriptItem unbuilt = Row(siCopyFileTo, L"BDS2006\\vkl2006.bpl", dcInstall);
    unbuilt.Dest = &PackageFiles[3];  // its record names the copy, never the source
    unbuilt.Flags = ifLogUninstall;
    // clang-format off
    const std::vector<TScriptItem> items = {
        Item(siCheckFile, L"missing.txt", dcInstall), Item(siDeleteFile, L"keep.txt", dcInstall),
        Item(siCompilePackage, L"vkl.dpk", 0, 0x400), Block(siIfItems, 0x80), Dir(L"skipped"),
        Block(siEndIfItems, 0x80), Block(siIfItems, 0x10), Dir(L"made"), Block(siEndIfItems, 0x10),
        Item(siSetIde, L"BDS2006", 0, 11), unbuilt, Dir(L"keep.txt\\sub")};
    // clang-format on
    std::vector<int> results = RunItems(items);
    const int failed = results.back();
    results.back() = 0;
    EXPECT_EQ(results, std::vector<int>(items.size(), 0));
    EXPECT_EQ(Lines(), (Texts{Made(L"made"), X(L"Creating directory: $I\\keep.txt\\sub...Fail. ") +
                                                 SystemErrorText(DWORD(failed))}));
    EXPECT_EQ(Recs(), (Texts{L"18001:0:3:made", L"14009:b:0:BDS2006",
                             L"18014:0:" + std::to_wstring(PackageFiles[3].DirCode) + L":" +
                                 PackageFiles[3].FileName,
                             L"18001:0:3:keep.txt\\sub"}));
    EXPECT_EQ(CurrentProduct, 11);
    CopyOnly = false;
    EXPECT_EQ(RunItems({unbuilt}), std::vector<int>{ERROR_PATH_NOT_FOUND});
}

// The status text is the current item's; rows outside the table keep the shown one and do nothing.
TEST_F(Interpreter, TheStatusTextIsTheCurrentItemsAndRowsOutsideDoNothing) {
    const TScriptItem items[] = {Build(L"p.dpk", 0), Dir(L"d"), Row(siExtractFile, L"f", 3, 7)};
    TScript script(items, 3);
    std::wstring shown;
    for (int row : {0, 1, 2, 3, -1}) {
        std::wstring text = L"previous";
        script.SetCurrent(row);
        script.ItemText(text);
        shown += text + L"|" + std::to_wstring(row < 0 || row > 2 ? script.ItemDoScript() : 0);
    }
    EXPECT_EQ(shown, L"Compiling package|0Creating directory|0Copying file|0previous|0previous|0");
    EXPECT_EQ(script.FailedItemCount(), 0);
    EXPECT_EQ(TScript().ProgressCount(), ScriptItemCount);
}

TEST_F(FileItems, CreateCheckExtractAndRunResolveTheirPathsAndKeepWhatTheyShould) {
    Put(L"$I\\read.txt", "old contents, longer than the payload file: a leftover shows");
    Put(L"$I\\own.txt", "the user's own");
    ASSERT_EQ(ExtractResourceFile(int(Version2005), Inst(L"tool.exe")), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    const int noPayload = ERROR_RESOURCE_NAME_NOT_FOUND;
    // Directory codes outside 1..6 leave the name relative to the current directory.
    // clang-format off
    Expect({{Dir(L"a\\b"), 0, Made(L"a\\b")}, {Dir(L"a\\b"), 0, Made(L"a\\b")},
            {Row(siCheckFile, L"a\\b", dcInstall), 0, L"Check file: $I\\a\\b...Success"},
            {Row(siCheckFile, L"none.bpl", dcInstall), 1, L"Check file: $I\\none.bpl...Fail"},
            {Row(siCreateDir, L"rel0", 0), 0, L"Creating directory: rel0...Success"},
            {Row(siCreateDir, L"rel7", 7), 0, L"Creating directory: rel7...Success"},
            {Row(siExtractFile, L"read.txt", dcInstall, TextPayload), 0, L"Copying file: $I\\read.txt...Success"},
            {Row(siExtractFileIfAbsent, L"own.txt", dcInstall, TextPayload), 0, L"Copying file: $I\\own.txt...Already"},
            {Row(siExtractFileIfAbsent, L"new.txt", dcInstall, TextPayload), 0, L"Copying file: $I\\new.txt...Success"},
            {Row(siExtractFile, L"none.txt", dcInstall, 99), noPayload, L"Copying file: $I\\none.txt...Fail"},
            {Row(siExtractFileIfAbsent, L"none.txt", dcInstall, 99), noPayload, L"Copying file: $I\\none.txt...Fail"},
            {Row(siExtractFileIfNewer, L"none.txt", dcInstall, 99), noPayload, L"Copying file: $I\\none.txt...Fail"},
            {Row(siExtractFile, L"no\\f.txt", dcInstall, TextPayload), ERROR_PATH_NOT_FOUND, L"Copying file: $I\\no\\f.txt...Fail"},
            {Row(siSetCurrentDir, L"", dcInstall), 0, L""}, {Row(siRunFile, L"missing.exe", 0), AnyError, L""},
            {Row(siRunFile, L"tool.exe", 0), 0, L"Run file: $I\\tool.exe...Success"},
            {Row(siSetCurrentDir, L"missing", dcInstall), AnyError, L""}});
    // clang-format on
    EXPECT_EQ(ReadFileBytes(Inst(L"read.txt")) + ReadFileBytes(Inst(L"new.txt")) +
                  ReadFileBytes(Inst(L"own.txt")),
              Payload(TextPayload) + Payload(TextPayload) + "the user's own");
    EXPECT_TRUE(DeleteFileW(Inst(L"tool.exe").c_str())) << "not waited for";
    EXPECT_EQ(LowerCase(CurrentDirectory()), LowerCase(InstallDir));
    EXPECT_EQ(DirectoryEntries(InstallDir), (Texts{L"a", L"new.txt", L"own.txt", L"read.txt"}));
}

TEST_F(FileItems, ExtractIfNewerReplacesOnlyAMissingUnversionedOrOlderFileAndLeavesNoTemp) {
    Put(L"$T\\tmp\\unbrm.exe", "planted");  // where a fixed-name copy would go
    const std::wstring target = Inst(L"unbrm.exe");
    const FILETIME past{0x12345678, 0x01c00000};
    const std::pair<uint32_t, bool> rows[] = {{0, false},           {TextPayload, false},
                                              {Version2004, false}, {Version1999, false},
                                              {Version2005, true},  {Version2100, true}};
    for (const auto& [installed, kept] : rows) {
        SCOPED_TRACE(installed);
        DeleteFileW(target.c_str());
        if (installed) {
            ASSERT_TRUE(WriteFileBytes(target, Payload(installed)));
            handles::FileHandle file(CreateFileW(target.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &past));
        }
        Expect(
            {{Row(siExtractFileIfNewer, L"unbrm.exe", dcInstall, Version2005), 0,
              L"Copying file: $I\\unbrm.exe..." + std::wstring(kept ? L"Already" : L"Success")}});
        EXPECT_TRUE(ReadFileBytes(target) == Payload(kept ? installed : Version2005));
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &past) == 0, kept) << "rewritten?";
        EXPECT_EQ(DirectoryEntries(TempPath(L"tmp")), Texts{L"unbrm.exe"});
        EXPECT_EQ(ReadFileBytes(TempPath(L"tmp\\unbrm.exe")), "planted");
    }
}

TEST_F(FileItems, CopyDeleteClearAndMergeActOnWhatTheyNameOnly) {
    for (const wchar_t* name : {L"$I\\vkl.bpl", L"$I\\Source\\a.hpp", L"$I\\Source\\b.hpp",
                                L"$I\\Source\\c.pas", L"$I\\cache.hlp", L"$T\\tmp\\vkl280.bpl"})
        Put(name, ToAnsi(name));
    Put(L"$I\\BDS2006\\b.hpp", "old b");
    const TPackageFile dest{L"vkl280.bpl", dcTemp};
    TScriptItem copy = Row(siCopyFileTo, L"vkl.bpl", dcInstall), missing = copy;
    copy.Dest = missing.Dest = &dest;
    missing.Name = L"missing.bpl";
    const TScriptItem clear = Row(siClearDir, L"Source", dcInstall);
    // The matches go by their own names into the destination's folder; nothing left to delete is
    // no failure.
    // clang-format off
    const Step deleteFile{Row(siDeleteFile, L"cache.hlp", dcInstall), 0, L"Deleting file: $I\\cache.hlp...Success"},
        deleteFiles{Row(siDeleteFiles, L"Source\\*.hpp", dcInstall), 0, L"Deleting files: $I\\Source\\*.hpp...Success"};
    Expect({{copy, 0, L"Copying file: from $I\\vkl.bpl to $T\\tmp\\vkl280.bpl ...Success"},
            {missing, ERROR_FILE_NOT_FOUND, L"Copying file: from $I\\missing.bpl to $T\\tmp\\vkl280.bpl ...Fail"},
            {Row(siCopyFiles, L"Source\\*.hpp", dcInstall, 0, 0, nullptr, L"BDS2006\\ignored.x"), 0,
             L"Copying file: from $I\\Source\\*.hpp to $I\\BDS2006\\ignored.x ...Success"},
            {Row(siCopyFiles, L"Source\\*.hpp", dcInstall, 0, 0, nullptr, L"missing\\"),
             ERROR_PATH_NOT_FOUND, L"Copying file: from $I\\Source\\*.hpp to $I\\missing\\ ...Fail"}});
    EXPECT_EQ(ReadFileBytes(TempPath(L"tmp\\vkl280.bpl")) + ReadFileBytes(Inst(L"BDS2006\\b.hpp")), "$I\\vkl.bpl$I\\Source\\b.hpp");
    EXPECT_EQ(DirectoryEntries(Inst(L"BDS2006")), (Texts{L"a.hpp", L"b.hpp"}));
    Put(L"$I\\Source\\sub.hpp\\inner.hpp", "x");
    Expect({deleteFile, deleteFiles, deleteFile, deleteFiles});
    EXPECT_EQ(DirectoryEntries(Inst(L"Source")), (Texts{L"c.pas", L"sub.hpp"}));
    EXPECT_TRUE(PathExists(Inst(L"Source\\sub.hpp\\inner.hpp")) && !PathExists(Inst(L"cache.hlp")));
    Expect({{clear, 0, L"Clearing directory: $I\\Source...Success"}});
    EXPECT_EQ(DirectoryEntries(Inst(L"Source")), Texts{});
    Put(L"$I\\Source\\locked.dcu", "l");
    SetFileAttributesW(Inst(L"Source\\locked.dcu").c_str(), FILE_ATTRIBUTE_READONLY);
    Expect({{clear, 0, L"Clearing directory: $I\\Source...Fail"}});
    SetFileAttributesW(Inst(L"Source\\locked.dcu").c_str(), FILE_ATTRIBUTE_NORMAL);

    // Merge: new lines once, in sort order; a missing file counts as empty; case matters.
    Put(L"$I\\first.als", "b\r\na");
    Put(L"$I\\new.als", "delta\r\nAlpha\nbeta");
    Put(L"$I\\bcb6.als", "alpha\r\ncharlie\r\n");
    const Step merge{Row(siMergeFiles, L"new.als", dcInstall, 0, 0, nullptr, L"bcb6.als"), 0, L"Merging files: $I\\new.als, $I\\bcb6.als...Success"};
    Expect({{Row(siMergeFiles, L"first.als", dcInstall, 0, 0, nullptr, L"made.als"), 0, L"Merging files: $I\\first.als, $I\\made.als...Success"}, merge, merge});
    // clang-format on
    EXPECT_EQ(ReadFileBytes(Inst(L"made.als")), "a\r\nb\r\n");
    EXPECT_EQ(ReadFileBytes(Inst(L"bcb6.als")), "alpha\r\nAlpha\r\nbeta\r\ncharlie\r\ndelta\r\n");
}

// A folder of the installation replaced by a link: no item writes or deletes through it (the write
// fails with the error for a stopped link) and its target keeps exactly what it had.
TEST_F(FileItems, NoItemWritesOrDeletesThroughALinkedFolder) {
    for (const wchar_t* name : {L"$T\\Outside\\own.pas", L"$T\\Outside\\own.als",
                                L"$T\\Outside\\Design\\c.pas", L"$I\\new.als", L"$I\\new.hpp"})
        Put(name, "keep\r\n");
    ASSERT_TRUE(MakeDirectoryLink(InstallDir, L"Source", L"../Outside"));
    const int stopped = int(ErrorStoppedOnLink);
    // clang-format off
    Expect({{Dir(L"Source\\Design"), stopped, L"Creating directory: $I\\Source\\Design...Fail. " + SystemErrorText(ErrorStoppedOnLink)},
            {Row(siExtractFile, L"Source\\own.pas", dcInstall, TextPayload), stopped, L"Copying file: $I\\Source\\own.pas...Fail"},
            {Row(siExtractFile, L"Source\\new.pas", dcInstall, TextPayload), stopped, L"Copying file: $I\\Source\\new.pas...Fail"},
            {Row(siExtractFile, L"Source", dcInstall, TextPayload), stopped, L"Copying file: $I\\Source...Fail"},
            {Row(siCopyFiles, L"new.hpp", dcInstall, 0, 0, nullptr, L"Source\\"), stopped, L"Copying file: from $I\\new.hpp to $I\\Source\\ ...Fail"},
            {Row(siMergeFiles, L"new.als", dcInstall, 0, 0, nullptr, L"Source\\own.als"), 0, L"Merging files: $I\\new.als, $I\\Source\\own.als...Fail"},
            {Row(siDeleteFile, L"Source\\own.pas", dcInstall), 0, L"Deleting file: $I\\Source\\own.pas...Success"},
            {Row(siDeleteFiles, L"Source\\*.*", dcInstall), 0, L"Deleting files: $I\\Source\\*.*...Success"},
            {Row(siClearDir, L"Source\\Design", dcInstall), 0, L"Clearing directory: $I\\Source\\Design...Fail"}});
    // clang-format on
    EXPECT_EQ(DirectoryEntries(TempPath(L"Outside")), (Texts{L"Design", L"own.als", L"own.pas"}));
    EXPECT_EQ(DirectoryEntries(TempPath(L"Outside\\Design")), Texts{L"c.pas"});
    EXPECT_EQ(ReadFileBytes(TempPath(L"Outside\\own.pas")) +
                  ReadFileBytes(TempPath(L"Outside\\own.als")),
              "keep\r\nkeep\r\n");
}

TEST_F(Builds, EachBuildRunsItsQuotedToolInTheCurrentDirectoryAndAMissingOneRunsNothing) {
    ASSERT_TRUE(InstallStandinTools(Rad11, 0, {L"dcc32.exe", L"dcc64.exe"}) &&
                InstallStandinTools(Cb6, 0, {L"make.exe"}) &&
                CopyFileW(StandinTool(0).c_str(), TempPath(L"Program.exe").c_str(), FALSE));
    const std::wstring built = L"Compiling package: vkl280.dpk...Success";
    Expect({{Build(L"vkl280.dpk", Rad11Bit), 0, built},
            {Build(L"vkl280.dpk", Rad11Bit, 1), 0, built},  // the lowest bit names the IDE:
            {Build(L"vkl60.mak", Cb6Bit | Rad11Bit, 1), 0,
             L"Compiling package: vkl60.mak...Success"}});
    const std::string cwd = ToAnsi(Project) + "|\"", rad = ToAnsi(Rad11);
    EXPECT_EQ(
        StandinCalls(Rad11),
        (std::vector<std::string>{"dcc32.exe|" + cwd + rad + "\\bin\\dcc32.exe\" vkl280.dpk",
                                  "dcc64.exe|" + cwd + rad + "\\bin\\dcc64.exe\" vkl280.dpk"}));
    EXPECT_EQ(StandinCalls(Cb6), std::vector<std::string>{"make.exe|" + cwd + ToAnsi(Cb6) +
                                                          "\\bin\\make.exe\" /fvkl60.mak"});

    // Missing tools, a relative RootDir, an undetected IDE, no bit, an IDE without compiler.
    DeleteFileW((Rad11 + L"\\bin\\dcc64.exe").c_str());
    DeleteFileW((Cb6 + L"\\bin\\make.exe").c_str());
    ASSERT_TRUE(InstallStandinTools(Project, 0, {L"dcc32.exe"}) &&
                WriteFileBytes(Rad11 + L"\\bin\\standin.log", ""));
    BorlandProducts[27].RootDir.clear();
    const std::wstring dcc32 = L"Compiling package, cannot find dcc32.exe: vkl280.dpk...Fail";
    // clang-format off
    const std::tuple<const wchar_t*, Step> rows[] = {
        {nullptr, {Build(L"vkl280.dpk", Rad11Bit, 1), -3, L"Compiling package, cannot find dcc64.exe: vkl280.dpk...Fail"}},
        {nullptr, {Build(L"vkl60.mak", Cb6Bit), -4, L"Compiling package, cannot find make.exe: vkl60.mak...Fail"}},
        {nullptr, {Build(L"vkl280.dpk", 0x4000000), -3, dcc32}}, {L".", {Build(L"vkl280.dpk", Rad11Bit), -3, dcc32}},
        {nullptr, {Build(L"vkl280.dpk", 0), -1, L""}}, {nullptr, {Build(L"vkl280.dpk", 0x10000000), -2, L""}}};
    // clang-format on
    for (const auto& [root, step] : rows) {
        BorlandProducts[28].RootDir = root ? root : Rad11;
        Expect({step});
    }
    EXPECT_TRUE(StandinCalls(Rad11).empty() && StandinCalls(Project).empty());
    BorlandProducts[28].RootDir = Rad11;
    ASSERT_TRUE(WriteFileBytes(Rad11 + L"\\bin\\dcc32.exe", "not a program"));
    Expect({{Build(L"vkl280.dpk", Rad11Bit), AnyError, L""}});  // a tool that cannot start
}

TEST_F(Builds, AFailedBuildLeavesItsOutputBesideTheProjectAndTheCheckNamesIt) {
    ASSERT_TRUE(InstallStandinTools(Rad11, 3, {L"dcc32.exe", L"dcc64.exe"}));  // prints, exits 7
    const std::wstring log = Project + L"\\vkl280.dpk.log";
    ASSERT_TRUE(WriteFileBytes(log, "an earlier run's log\r\n"));
    const TScriptItem items[] = {Build(L"vkl280.dpk", Rad11Bit),
                                 Row(siCheckFile, L"RADStudio22\\Win32\\vkl280.bpl", dcInstall),
                                 Build(L"vkl280.dpk", Rad11Bit, 1),
                                 Row(siCheckFile, L"RADStudio22\\Win64\\vkl280.bpl", dcInstall)};
    TScript script(items, 4);
    for (int row : {0, 1, 2, 3, 3}) {  // the last check again: after no build it names no log
        script.SetCurrent(row);
        const int result = script.ItemDoScript();
        if (row % 2 == 0) {
            EXPECT_EQ(script.LogString() + std::to_wstring(result),
                      L"Compiling package: vkl280.dpk...Success0");
            continue;
        }
        EXPECT_EQ(script.ItemErrorText(result),
                  L"Error in ScriptItem=" + std::to_wstring(row) +
                      L", ErrorCode=1h ScriptItemId=13 with text\r\nCheck file: " + Project +
                      (row == 1 ? L"\\Win32" : L"\\Win64") + L"\\vkl280.bpl...Fail" +
                      (script.FailedItemCount() < 3 ? L"\r\nBuild log: " + log : L""));
    }
    const std::string rad = ToAnsi(Rad11);
    const std::string output = "stand-in output: compiling vkl280.dpk\r\n"
                               "stand-in error: unit VklMissing not found in vkl280.dpk\r\n"
                               "Exit code: 7\r\n";
    EXPECT_EQ(ReadFileBytes(log), "Command line: \"" + rad + "\\bin\\dcc32.exe\" vkl280.dpk\r\n" +
                                      output + "Command line: \"" + rad +
                                      "\\bin\\dcc64.exe\" vkl280.dpk\r\n" + output);
    EXPECT_EQ(script.FailedItemCount(), 3);
}

// A tool that never ends holds the run for the (shortened) bound only, leaves that in its log and
// inherits no handle but its output file.
TEST_F(Builds, ANeverEndingToolHoldsTheRunForTheBoundOnlyAndInheritsNoOtherHandle) {
    constexpr DWORD ShippedBoundMs = 45000, TestBoundMs = 1500;
    EXPECT_EQ(BuildTimeoutMs, ShippedBoundMs);
    BuildTimeoutMs = TestBoundMs;
    ASSERT_TRUE(InstallStandinTools(Rad11, 2, {L"dcc32.exe"}));
    handles::KernelHandle stop(CreateEventW(nullptr, TRUE, FALSE, L"VelkoraStandinToolStop"));
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    const std::wstring locked = TempPath(L"locked.txt");
    handles::FileHandle lock(CreateFileW(locked.c_str(), GENERIC_WRITE, 0, &inheritable,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(stop && lock);
    const ULONGLONG started = GetTickCount64();
    Expect({{Build(L"vkl280.dpk", Rad11Bit), 0, L"Compiling package: vkl280.dpk...Success"}});
    const ULONGLONG elapsed = GetTickCount64() - started;
    lock.reset();
    handles::FileHandle reopened(CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    SetEvent(stop.get());
    EXPECT_TRUE(elapsed >= TestBoundMs - 100 && elapsed < TestBoundMs + 10000) << elapsed;
    EXPECT_TRUE(reopened) << "the tool inherited a handle it was not given";
    EXPECT_EQ(
        ReadFileBytes(Project + L"\\vkl280.dpk.log"),
        "Command line: \"" + ToAnsi(Rad11) +
            "\\bin\\dcc32.exe\" vkl280.dpk\r\nExit code: none, still running after 1500 ms\r\n");
}

TEST_F(IdeItems, RegisterPackageListsABuiltPackageAndAddsItsFolderOnce) {
    const std::wstring lib = Bds2006 + L"\\Library", known = Bds2006 + L"\\Known Packages",
                       package = X(L"$I\\BDS2006\\dclvkl2006.bpl"), dir = X(L"$I\\BDS2006"),
                       lower = L"X;" + LowerCase(dir) + L";Y",
                       registered = L"Registering package: $I\\BDS2006\\dclvkl2006.bpl...",
                       added = registered + L"Success\r\nAdding search path: $I\\BDS2006";
    const TScriptItem reg = Row(siRegisterPackage, L"BDS2006\\dclvkl2006.bpl", dcInstall);
    Set(lib, L"Search Path", L"$(BDS)\\Lib");
    // An unbuilt package is neither listed nor on the path.
    Expect({{Ide(11, L"BDS2006"), 0, L""}, {reg, -5, registered + L"Fail"}});
    EXPECT_EQ(Value(known, package) + Value(lib, L"Search Path"), L"<none>$(BDS)\\Lib");
    Put(package, "package");
    // clang-format off
    const std::tuple<std::wstring, std::wstring, const wchar_t*> rows[] = {{L"$(BDS)\\Lib;" + dir, L"$(BDS)\\Lib;" + dir, L"...Already"},
        {L"", dir, L"...Success"}, {L"C:\\A;", L"C:\\A;" + dir, L"...Success"}, {lower, lower, L"...Already"}};
    // clang-format on
    for (const auto& [before, after, outcome] : rows) {
        Set(lib, L"Search Path", before);
        Expect({{reg, 0, added + outcome}});
        EXPECT_EQ(Value(lib, L"Search Path"), after);
    }
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, lib.c_str()), ERROR_SUCCESS);
    Expect({{reg, -2, registered + L"Success"}});  // still listed; the missing value not created
    EXPECT_EQ(Value(lib, L"Search Path"), L"<none>");
    // Only BDS 2007 to 2010 are told to reload their options.
    for (uint32_t index : {11, 12, 14, 15}) {
        const std::wstring key = BorlandProducts[index].RegKey;
        Set(key + L"\\Library", L"Search Path", L"");
        Expect({{Ide(index, L"BDS2006"), 0, L""}, {reg, 0, added + L"...Success"}});
        EXPECT_EQ(Value(key + L"\\Globals", L"ForceEnvOptionsUpdate"),
                  index == 12 || index == 14 ? L"1" : L"<none>")
            << index;
    }
}

TEST_F(IdeItems, SearchAndIdePathsAreAddedOnceAndNeverCreated) {
    const std::wstring cb6 = L"Software\\Borland\\C++Builder\\6.0\\Library",
                       cpp = Xe2 + L"\\C++\\Paths\\Win32", win64 = Xe2 + L"\\Library\\Win64";
    // clang-format off
    const TScriptItem cb6Ide = Ide(8, L"CBuilder6"), xe2Ide = Ide(16, L"RADStudio9"),
        search = Row(siAddSearchPath, L"Source", dcInstall),
        cppPath = Row(siAddIdePath, L"\\C++\\Paths\\Win32\\LibraryPath", dcInstall, sfIdeWin32),
        win64Path = Row(siAddIdePath, L"\\Library\\Win64\\Search Path", dcInstall, 0x80 | sfIdeWin64);
    // clang-format on
    Expect({{cb6Ide, 0, L""}, {search, -2, L""}, {xe2Ide, 0, L""}, {cppPath, 0, L""}});
    EXPECT_EQ(Value(cb6, L"Search Path") + Value(cpp, L"LibraryPath"), L"<none><none>");
    Set(cb6, L"Search Path", L"$(BCB)\\Lib");
    Set(cpp, L"LibraryPath", L"$(BDS)\\lib");
    Set(win64, L"Search Path", L"");
    for (const std::wstring outcome : {L"...Success", L"...Already"})
        Expect({{cb6Ide, 0, L""},
                {search, 0, L"Adding search path: $I\\Source" + outcome},
                {xe2Ide, 0, L""},
                {cppPath, 0, L"Adding search path: $I\\RADStudio9\\Win32" + outcome},
                {win64Path, 0, L"Adding search path: $I\\RADStudio9\\Win64" + outcome}});
    EXPECT_EQ(Value(cb6, L"Search Path") + L"|" + Value(cpp, L"LibraryPath") + L"|" +
                  Value(win64, L"Search Path"),
              X(L"$(BCB)\\Lib;$I\\Source|$(BDS)\\lib;$I\\RADStudio9\\Win32|$I\\RADStudio9\\Win64"));
}

TEST_F(IdeItems, HelpFilesGetTheirLineOnceAndReplaceTextChangesTheFirstMatch) {
    BorlandProducts[5].RootDir = TempPath(L"CBuilder4");
    const TScriptItem link = Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", dcIdeHelp, 3);
    const std::wstring modified = L"Modifying file: $T\\CBuilder4\\Help\\bcb4.ohl...";
    // The searched text begins with its line break: a first line does not count.
    const std::pair<const char*, const char*> rows[] = {
        {":Link bcb4.hlp", ":Link bcb4.hlp\r\n:Link vklib.hlp\r\n"},
        {":LINK VKLIB.HLP\r\n", ":LINK VKLIB.HLP\r\n:Link vklib.hlp\r\n"}};
    for (const auto& [before, after] : rows) {
        Put(L"$T\\CBuilder4\\Help\\bcb4.ohl", before);
        Expect({{Ide(5, L"CBuilder4"), 0, L""},
                {link, 0, modified + L"Success"},
                {link, 0, modified + L"Already"}});
        EXPECT_EQ(ReadFileBytes(TempPath(L"CBuilder4\\Help\\bcb4.ohl")), after);
    }
    // A missing file is not created; a slot beyond the IDE's files names none.
    Expect({{Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", dcIdeHelp, 1), -1, L""},
            {Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", dcIdeHelp, 4), -1, L""}});
    EXPECT_FALSE(PathExists(TempPath(L"CBuilder4\\Help\\bcb4.cfg")));

    Put(L"$I\\s.txt", "Path=OLDVALUE;more oldvalue\r\n");
    const TScriptItem replace = Row(siReplaceText, L"s.txt", dcInstall, 0, 0, L"oldValue", L"New");
    const std::wstring line = L"Replace text: File=$I\\s.txt, FindText=oldValue, ReplaceTo=New...";
    Expect({{replace, 0, line + L"Success"},
            {replace, 0, line + L"Success"},
            {replace, 0, line + L"Already"},
            {Row(siReplaceText, L"missing.txt", dcInstall, 0, 0, L"a", L"b"), -1, L""}});
    EXPECT_EQ(ReadFileBytes(Inst(L"s.txt")), "Path=New;more New\r\n");
    EXPECT_FALSE(PathExists(Inst(L"missing.txt")));
}

TEST_F(IdeItems, WinHelpTheProductKeyTheUninstallEntryAndTheHelpBatch) {
    const std::wstring help = L"Software\\Microsoft\\Windows\\Help",
                       entry = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib",
                       other = L"Software\\Brightmoss\\Other";
    const HKEY hklm = HKEY_LOCAL_MACHINE;
    // clang-format off
    const Step winHelp{Row(siRegisterWinHelp, L"vklib.hlp", 0), 0, L"Registering windows help: vklib.hlp...Success"},
        uninstall{Row(siRegisterUninstall, L"unbrm.exe", dcInstall), 0, L"Registering Uninstall: unbrm.exe...Success"};
    Expect({winHelp});
    EXPECT_EQ(Value(help, L"vklib.hlp", hklm), L"") << "before any help folder is named";
    InstallDir = TempPath(L"Lib %OS% ^&! (x)");  // cmd would expand and split this
    Put(L"$I\\Help\\help_reg.bat", "@echo ran> ran.txt\r\n");
    Expect({{Row(siSetHelpDir, L"Help", dcInstall), 0, L""}, winHelp,
            {Row(siCreateRegKey, L"Software\\Brightmoss\\Velkora", 0, 0x80000002), 0, L""},
            {Row(siCreateRegKey, other.c_str(), 0, 0x12345), 0, L""}, uninstall,
            {Row(siRegisterHelp, L"help\\help_reg.bat", 0), 0, L"Register help: $I\\help\\help_reg.bat...Success"},
            {Row(siRegisterHelp, L"help\\missing.bat", 0), AnyError, L""}});
    // clang-format on
    EXPECT_TRUE(KeyExists(hklm, L"Software\\Brightmoss\\Velkora"));
    EXPECT_FALSE(KeyExists(hklm, other) || KeyExists(HKEY_CURRENT_USER, other));
    EXPECT_EQ(ReadFileBytes(X(L"$I\\Help\\ran.txt")), "ran\r\n") << "run in the help folder";
    EXPECT_EQ(LowerCase(CurrentDirectory()), LowerCase(X(L"$I\\help"))) << "later items run there";
    InstallDir = TempPath(L"Velkora");  // paths without blanks are not quoted
    Expect({uninstall});
    EXPECT_EQ(Value(entry, L"UninstallString", hklm), X(L"$I\\unbrm.exe $I\\uninst.log"));
}
