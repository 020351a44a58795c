// The interpreter on small tables of its own, each item through its dispatch, on real files and
// keys (payload 7 a text, 20 to 23 one program of product versions 2.0.0.5, 2.0.0.4, 1.9.9.9, 2.1.0.0).
#include "tests/IdeTestSupport.h"

#include <ostream>

using namespace vktest;

namespace {

constexpr uint32_t TextPayload = 7, Version2005 = 20, Version2004 = 21, Version1999 = 22,
                   Version2100 = 23;
constexpr uint32_t Rad11Bit = 0x8000000, Cb6Bit = 0x80;

struct Outcome {  // an item's result and its log line
    int Result;
    std::wstring Line;
    bool operator==(const Outcome&) const = default;
};
[[maybe_unused]] void PrintTo(const Outcome& o, std::ostream* os) {
    *os << o.Result << ' ' << testing::PrintToString(o.Line);
}

Outcome Execute(const TScriptItem& item) {  // one item through the interpreter, no logs
    TScript script(&item, 1);
    const int result = script.ItemDoScript();
    return {result, script.LogString()};
}

TScriptItem TwoPath(uint16_t type, const wchar_t* name, const wchar_t* text2) {
    TScriptItem item = Item(type, name, dcInstall, 0, 0);
    item.Text2 = text2;
    item.DestDirCode = dcInstall;
    return item;
}

TScriptItem Block(uint16_t type, uint32_t key) {
    return Item(type, nullptr, 0, key, 0);
}

class Interpreter : public InstallStateTest {
protected:
    std::wstring Inst(const std::wstring& name) const { return InstallDir + L"\\" + name; }
    std::vector<std::wstring> Lines() const { return LogLines(Inst(L"install.log")); }
    std::vector<std::wstring> Recs() const { return Records(Inst(L"uninst.log")); }
    std::wstring Made(const std::wstring& name) const {
        return L"Creating directory: " + Inst(name) + L"...Success";
    }
};

TScriptItem Dir(const wchar_t* name, uint16_t flags = ifLogUninstall) {
    return Item(siCreateDir, name, dcInstall, 0, flags);
}

}  // namespace

// Each kind of block with its condition true and false: only the right ones run
// their items.
TEST_F(Interpreter, EachBlockRunsItsItemsExactlyWhenItsConditionHolds) {
    const std::tuple<uint16_t, uint16_t, const wchar_t*, bool> blocks[] = {
        {siIfVersions, siEndIfVersions, L"v", true},
        {siIfItems, siEndIfItems, L"i", true},
        {siIfCustomize, siEndIfCustomize, L"c", true},
        {siIfNotCustomize, siEndIfNotCustomize, L"n", false}};
    for (const bool holds : {true, false}) {
        RemoveTree(InstallDir);
        InstallVersions = InstallItems = CustomizeItems = holds ? 0x12 : 0x24;
        std::vector<TScriptItem> items;
        for (const auto& [open, end, name, runs] : blocks)
            items.insert(items.end(), {Block(open, 0x2), Dir(name), Block(end, 0x2)});
        items.push_back(Dir(L"after"));
        EXPECT_EQ(RunItems(items), std::vector<int>(items.size(), 0));
        for (const auto& [open, end, name, runs] : blocks)
            EXPECT_EQ(PathExists(Inst(name)), runs == holds) << ToAnsi(name) << " " << holds;
        EXPECT_TRUE(PathExists(Inst(L"after")));
    }
}

TEST_F(Interpreter, ASkipEndsOnlyAtItsOwnEndRowAndNestedOpenersAreNotEvaluated) {
    InstallItems = 0x10;
    const std::wstring present = TempPath(L"present");
    WriteFileBytes(present, "x");
    // Another key or type does not end the skip; inner openers (a file check
    // would log) are not evaluated; a block without its end row skips to the end
    // of the table.
    // clang-format off
    const std::vector<TScriptItem> items = {
        Block(siIfItems, 0x1000), Dir(L"a"), Block(siEndIfItems, 0x2000), Dir(L"b"),
        Block(siEndIfVersions, 0x1000), Block(siIfItems, 0x10),
        Item(siIfFileExists, present.c_str(), 0, 0x20, 0), Block(siEndIfFileExists, 0x20),
        Block(siIfItems, 0x20), Dir(L"c"), Block(siEndIfItems, 0x20), Dir(L"d"),
        Block(siEndIfItems, 0x10), Block(siEndIfItems, 0x1000), Dir(L"after"),
        Block(siIfItems, 0x80), Dir(L"e"), Block(siEndIfItems, 0x81), Dir(L"f")};
    // clang-format on
    EXPECT_EQ(RunItems(items), std::vector<int>(items.size(), 0));
    EXPECT_EQ(Lines(), std::vector<std::wstring>{Made(L"after")});
    EXPECT_EQ(Recs(), std::vector<std::wstring>{L"18001:0:3:after"});
    EXPECT_EQ(DirectoryEntries(InstallDir),
              (std::vector<std::wstring>{L"after", L"install.log", L"uninst.log"}));
}

// As the product's table has it: the 64-bit build is skipped without dcc64;
// both checks log.
TEST_F(Interpreter, FileExistsLogsItsCheckEitherWayAndSkipsTheBuildWithoutItsCompiler) {
    const std::wstring root = TempPath(L"RAD Studio");
    BorlandProducts[28].RootDir = root;
    ASSERT_EQ(CreateDirectoryPath(root + L"\\bin"), 0u);
    WriteFileBytes(root + L"\\bin\\dcc32.exe", "x");
    TScriptItem build64 = Item(siCompilePackage, L"vkl280.dpk", 0, Rad11Bit, 0);
    build64.Platform = 1;
    // clang-format off
    const std::vector<TScriptItem> items = {
        Item(siSetIde, L"RADStudio22", 0, 28, 0),
        Item(siIfFileExists, L"bin\\dcc32.exe", dcIdeRoot, 0x10000001, 0), Dir(L"ran"),
        Block(siEndIfFileExists, 0x10000001),
        Item(siIfFileExists, L"bin\\dcc64.exe", dcIdeRoot, 0x10000001, 0), build64,
        Block(siEndIfFileExists, 0x10000001),
        // Unknown types do nothing and are recorded only when flagged.
        Item(0x7777, L"quiet", dcInstall, 5, 0),
        Item(0x7777, L"recorded", dcInstall, 5, ifLogUninstall | ifKeepOnPartial)};
    // clang-format on
    EXPECT_EQ(RunItems(items), std::vector<int>(items.size(), 0));
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{
                           L"Check file: " + root + L"\\bin\\dcc32.exe...Success", Made(L"ran"),
                           L"Check file: " + root + L"\\bin\\dcc64.exe...Fail"}));
    EXPECT_EQ(Recs(), (std::vector<std::wstring>{L"18001:0:3:ran", L"37777:5:3:recorded"}));
}

TEST_F(Interpreter, CopyOnlyRunsFileAndControlItemsButNoIdeItems) {
    CopyOnly = true;
    InstallItems = 0x10;
    ASSERT_EQ(CreateDirectoryPath(InstallDir), 0u);
    WriteFileBytes(Inst(L"keep.txt"), "x");
    // Below 0x4000 nothing runs; blocks and the IDE still do; an unbuilt package
    // is no error.
    const TScriptItem unbuiltCopy{
        siCopyFileTo,    0, L"BDS2006\\vkl2006.bpl", 0, dcInstall, nullptr, nullptr, 0, 0,
        &PackageFiles[3]};
    // clang-format off
    const std::vector<TScriptItem> items = {
        Item(siCheckFile, L"missing.txt", dcInstall), Item(siDeleteFile, L"keep.txt", dcInstall),
        Item(siCompilePackage, L"vkl.dpk", 0, 0x400),
        Block(siIfItems, 0x80), Dir(L"skipped"), Block(siEndIfItems, 0x80),
        Block(siIfItems, 0x10), Dir(L"made"), Block(siEndIfItems, 0x10),
        Item(siSetIde, L"BDS2006", 0, 11), unbuiltCopy};
    // clang-format on
    EXPECT_EQ(RunItems(items), std::vector<int>(items.size(), 0));
    EXPECT_TRUE(FileExists(Inst(L"keep.txt")));
    EXPECT_EQ(Lines(), std::vector<std::wstring>{Made(L"made")});
    EXPECT_EQ(Recs(), (std::vector<std::wstring>{L"18001:0:3:made", L"14009:b:0:BDS2006"}));
    EXPECT_EQ(CurrentProduct, 11);
    CopyOnly = false;
    EXPECT_EQ(RunItems({unbuiltCopy}), std::vector<int>{ERROR_PATH_NOT_FOUND});
}

TEST_F(Interpreter, AFailedItemLeavesItsLineItsRecordAndItsCountAndRowsOutsideDoNothing) {
    ASSERT_EQ(CreateDirectoryPath(InstallDir), 0u);
    WriteFileBytes(Inst(L"file"), "x");
    const std::vector<int> results = RunItems({Dir(L"file\\sub")});
    ASSERT_TRUE(results.size() == 1 && results[0] != 0);
    EXPECT_EQ(Lines(),
              std::vector<std::wstring>{L"Creating directory: " + Inst(L"file\\sub") +
                                        L"...Fail. " + SystemErrorText(DWORD(results[0]))});
    EXPECT_EQ(Recs(), std::vector<std::wstring>{L"18001:0:3:file\\sub"});

    // The status text of the current item; rows outside the table keep the shown one and do nothing.
    const std::vector<TScriptItem> items = {Item(siCompilePackage, L"p.dpk", 0), Dir(L"d"),
                                            Item(siExtractFile, L"f", 3, 7)};
    TScript script(items.data(), static_cast<int>(items.size()));
    const std::pair<int, const wchar_t*> texts[] = {{0, L"Compiling package"},
                                                    {1, L"Creating directory"},
                                                    {2, L"Copying file"},
                                                    {3, L"previous"},
                                                    {-1, L"previous"}};
    for (const auto& [row, text] : texts) {
        std::wstring shown = L"previous";
        script.SetCurrent(row);
        script.ItemText(shown);
        EXPECT_EQ(shown, text) << row;
        if (row < 0 || row > 2) {
            EXPECT_EQ(script.ItemDoScript(), 0) << row;
        }
    }
    EXPECT_EQ(script.FailedItemCount(), 0);
    EXPECT_EQ(TScript().ProgressCount(), ScriptItemCount);
}

namespace {

// The process's TMP is the test's own, so the payload copies of the version
// check can be seen.
class FileItems : public Interpreter {
protected:
    void SetUp() override {
        Interpreter::SetUp();
        Tmp = TempPath(L"tmp");
        for (const wchar_t* name : {L"TMP", L"TEMP"}) {
            FSaved.emplace_back(name, EnvironmentValue(name));
            SetEnvironmentVariableW(name, Tmp.c_str());
        }
        ASSERT_TRUE(CreateDirectoryW(Tmp.c_str(), nullptr));
        ASSERT_EQ(CreateDirectoryPath(InstallDir), 0u);
    }
    void TearDown() override {
        for (const auto& [name, value] : FSaved)
            SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
        Interpreter::TearDown();
    }
    Outcome Copied(const std::wstring& name, const wchar_t* outcome) const {
        return {0, L"Copying file: " + Inst(name) + outcome};
    }
    std::wstring Tmp;

private:
    std::vector<std::pair<std::wstring, std::wstring>> FSaved;
};

}  // namespace

TEST_F(FileItems, CreateCheckAndExtractResolveTheirDirCodeAndKeepWhatTheyShould) {
    for (int pass = 0; pass < 2; ++pass)
        EXPECT_EQ(Execute(Item(siCreateDir, L"a\\b", dcInstall)), (Outcome{0, Made(L"a\\b")}));
    EXPECT_EQ(Execute(Item(siCheckFile, L"a\\b", dcInstall)),
              (Outcome{0, L"Check file: " + Inst(L"a\\b") + L"...Success"}));
    EXPECT_EQ(Execute(Item(siCheckFile, L"none.bpl", dcInstall)),
              (Outcome{1, L"Check file: " + Inst(L"none.bpl") + L"...Fail"}));
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    for (int32_t dirCode : {0, 7}) {  // outside 1..6: relative to the current directory
        const std::wstring name = L"rel" + std::to_wstring(dirCode);
        EXPECT_EQ(Execute(Item(siCreateDir, name.c_str(), dirCode)),
                  (Outcome{0, L"Creating directory: " + name + L"...Success"}));
        EXPECT_TRUE(DirectoryExists(TempPath(name))) << dirCode;
    }

    WriteFileBytes(Inst(L"read.txt"),
                   "old contents, longer than the payload file: a leftover shows");
    WriteFileBytes(Inst(L"own.txt"), "the user's own");
    EXPECT_EQ(Execute(Item(siExtractFile, L"read.txt", dcInstall, TextPayload)),
              Copied(L"read.txt", L"...Success"));
    EXPECT_EQ(Execute(Item(siExtractFileIfAbsent, L"own.txt", dcInstall, TextPayload)),
              Copied(L"own.txt", L"...Already"));
    EXPECT_EQ(Execute(Item(siExtractFileIfAbsent, L"new.txt", dcInstall, TextPayload)),
              Copied(L"new.txt", L"...Success"));
    EXPECT_EQ(ReadFileBytes(Inst(L"read.txt")) + ReadFileBytes(Inst(L"new.txt")),
              Payload(TextPayload) + Payload(TextPayload));
    EXPECT_EQ(ReadFileBytes(Inst(L"own.txt")), "the user's own");
    for (uint16_t type : {siExtractFile, siExtractFileIfAbsent, siExtractFileIfNewer})
        EXPECT_EQ(Execute(Item(type, L"none.txt", dcInstall, 99)),
                  (Outcome{int(ERROR_RESOURCE_NAME_NOT_FOUND),
                           L"Copying file: " + Inst(L"none.txt") + L"...Fail"}))
            << type;
    EXPECT_EQ(Execute(Item(siExtractFile, L"no\\f.txt", dcInstall, TextPayload)).Result,
              int(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(DirectoryEntries(InstallDir),
              (std::vector<std::wstring>{L"a", L"new.txt", L"own.txt", L"read.txt"}));
}

TEST_F(FileItems, ExtractIfNewerReplacesOnlyAMissingUnversionedOrOlderFileAndLeavesNoTemp) {
    WriteFileBytes(Tmp + L"\\unbrm.exe",
                   "planted");  // where a fixed-name copy would go
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
        EXPECT_EQ(Execute(Item(siExtractFileIfNewer, L"unbrm.exe", dcInstall, Version2005)),
                  Copied(L"unbrm.exe", kept ? L"...Already" : L"...Success"));
        EXPECT_TRUE(ReadFileBytes(target) == Payload(kept ? installed : Version2005));
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &past) == 0, kept) << "rewritten?";
        EXPECT_EQ(ReadFileBytes(Tmp + L"\\unbrm.exe"), "planted");
        EXPECT_EQ(DirectoryEntries(Tmp), std::vector<std::wstring>{L"unbrm.exe"});
    }
}

TEST_F(FileItems, CopyDeleteClearAndMergeActOnWhatTheyNameOnly) {
    WriteFileBytes(Inst(L"vkl.bpl"), "package");
    WriteFileBytes(Tmp + L"\\vkl280.bpl", "older package");
    const TPackageFile dest{L"vkl280.bpl", dcTemp};
    TScriptItem copy = Item(siCopyFileTo, L"vkl.bpl", dcInstall, 0, 0);
    copy.Dest = &dest;
    const std::wstring to = L" to " + Tmp + L"\\vkl280.bpl ...";
    EXPECT_EQ(Execute(copy),
              (Outcome{0, L"Copying file: from " + Inst(L"vkl.bpl") + to + L"Success"}));
    EXPECT_EQ(ReadFileBytes(Tmp + L"\\vkl280.bpl"), "package");
    copy.Name = L"missing.bpl";
    EXPECT_EQ(Execute(copy),
              (Outcome{int(ERROR_FILE_NOT_FOUND),
                       L"Copying file: from " + Inst(L"missing.bpl") + to + L"Fail"}));
    ASSERT_EQ(CreateDirectoryPath(Inst(L"Source")), 0u);
    ASSERT_EQ(CreateDirectoryPath(Inst(L"BDS2006")), 0u);
    for (const wchar_t* name : {L"Source\\a.hpp", L"Source\\b.hpp", L"Source\\c.pas", L"cache.hlp"})
        WriteFileBytes(Inst(name), ToAnsi(name));
    WriteFileBytes(Inst(L"BDS2006\\b.hpp"), "old b");
    // The matches go by their own names into the destination's folder.
    EXPECT_EQ(Execute(TwoPath(siCopyFiles, L"Source\\*.hpp", L"BDS2006\\ignored.x")),
              (Outcome{0, L"Copying file: from " + Inst(L"Source\\*.hpp") + L" to " +
                              Inst(L"BDS2006\\ignored.x") + L" ...Success"}));
    EXPECT_EQ(DirectoryEntries(Inst(L"BDS2006")), (std::vector<std::wstring>{L"a.hpp", L"b.hpp"}));
    EXPECT_EQ(ReadFileBytes(Inst(L"BDS2006\\b.hpp")), "Source\\b.hpp");
    EXPECT_EQ(Execute(TwoPath(siCopyFiles, L"Source\\*.hpp", L"missing\\")).Result,
              int(ERROR_PATH_NOT_FOUND));
    ASSERT_EQ(CreateDirectoryPath(Inst(L"Source\\sub.hpp")), 0u);
    WriteFileBytes(Inst(L"Source\\sub.hpp\\inner.hpp"), "x");
    for (int pass = 0; pass < 2; ++pass) {  // nothing left to delete is no failure
        EXPECT_EQ(Execute(Item(siDeleteFile, L"cache.hlp", dcInstall)),
                  (Outcome{0, L"Deleting file: " + Inst(L"cache.hlp") + L"...Success"}));
        EXPECT_EQ(Execute(Item(siDeleteFiles, L"Source\\*.hpp", dcInstall)),
                  (Outcome{0, L"Deleting files: " + Inst(L"Source\\*.hpp") + L"...Success"}));
    }
    EXPECT_FALSE(PathExists(Inst(L"cache.hlp")));
    EXPECT_EQ(DirectoryEntries(Inst(L"Source")), (std::vector<std::wstring>{L"c.pas", L"sub.hpp"}));
    EXPECT_TRUE(PathExists(Inst(L"Source\\sub.hpp\\inner.hpp")));
    const std::wstring clear = L"Clearing directory: " + Inst(L"Source");
    EXPECT_EQ(Execute(Item(siClearDir, L"Source", dcInstall)), (Outcome{0, clear + L"...Success"}));
    EXPECT_EQ(DirectoryEntries(Inst(L"Source")), std::vector<std::wstring>{});
    WriteFileBytes(Inst(L"Source\\locked.dcu"), "l");
    SetFileAttributesW(Inst(L"Source\\locked.dcu").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Execute(Item(siClearDir, L"Source", dcInstall)), (Outcome{0, clear + L"...Fail"}));
    SetFileAttributesW(Inst(L"Source\\locked.dcu").c_str(), FILE_ATTRIBUTE_NORMAL);

    // Merge: new lines once, in sort order, a missing file counts as empty, case
    // matters.
    const TScriptItem merge = TwoPath(siMergeFiles, L"new.als", L"bcb6.als");
    const Outcome merged{0, L"Merging files: " + Inst(L"new.als") + L", " + Inst(L"bcb6.als") +
                                L"...Success"};
    WriteFileBytes(Inst(L"new.als"), "b\r\na");
    EXPECT_EQ(Execute(merge), merged);
    EXPECT_EQ(ReadFileBytes(Inst(L"bcb6.als")), "a\r\nb\r\n");
    WriteFileBytes(Inst(L"new.als"), "delta\r\nAlpha\nbeta");
    WriteFileBytes(Inst(L"bcb6.als"), "alpha\r\ncharlie\r\n");
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(Execute(merge), merged);
        EXPECT_EQ(ReadFileBytes(Inst(L"bcb6.als")),
                  "alpha\r\nAlpha\r\nbeta\r\ncharlie\r\ndelta\r\n");
    }
}

// A folder of the installation replaced by a link: no item writes or deletes
// through it (the write fails with the error for a stopped link) and its target
// keeps exactly what it had.
TEST_F(FileItems, NoItemWritesOrDeletesThroughALinkedFolder) {
    const std::wstring outside = TempPath(L"Outside");
    ASSERT_EQ(CreateDirectoryPath(outside + L"\\Design"), 0u);
    for (const wchar_t* name : {L"own.pas", L"own.als", L"Design\\c.pas"})
        WriteFileBytes(outside + L"\\" + name, "keep\r\n");
    WriteFileBytes(Inst(L"new.als"), "added\r\n");
    WriteFileBytes(Inst(L"new.hpp"), "added");
    ASSERT_TRUE(MakeDirectoryLink(InstallDir, L"Source", L"../Outside"));
    const int stopped = int(ErrorStoppedOnLink);
    EXPECT_EQ(Execute(Item(siCreateDir, L"Source\\Design", dcInstall)),
              (Outcome{stopped, L"Creating directory: " + Inst(L"Source\\Design") + L"...Fail. " +
                                    SystemErrorText(ErrorStoppedOnLink)}));
    for (const wchar_t* name : {L"Source\\own.pas", L"Source\\new.pas", L"Source"})
        EXPECT_EQ(Execute(Item(siExtractFile, name, dcInstall, TextPayload)),
                  (Outcome{stopped, L"Copying file: " + Inst(name) + L"...Fail"}))
            << name;
    EXPECT_EQ(Execute(TwoPath(siCopyFiles, L"new.hpp", L"Source\\")).Result, stopped);
    EXPECT_EQ(Execute(TwoPath(siMergeFiles, L"new.als", L"Source\\own.als")).Line,
              L"Merging files: " + Inst(L"new.als") + L", " + Inst(L"Source\\own.als") +
                  L"...Fail");
    Execute(Item(siDeleteFile, L"Source\\own.pas", dcInstall));
    Execute(Item(siDeleteFiles, L"Source\\*.*", dcInstall));
    EXPECT_EQ(Execute(Item(siClearDir, L"Source\\Design", dcInstall)).Line,
              L"Clearing directory: " + Inst(L"Source\\Design") + L"...Fail");
    EXPECT_EQ(DirectoryEntries(outside),
              (std::vector<std::wstring>{L"Design", L"own.als", L"own.pas"}));
    EXPECT_EQ(DirectoryEntries(outside + L"\\Design"), std::vector<std::wstring>{L"c.pas"});
    EXPECT_EQ(ReadFileBytes(outside + L"\\own.pas") + ReadFileBytes(outside + L"\\own.als"),
              "keep\r\nkeep\r\n");
}

TEST_F(FileItems, RunFileWaitsForTheProgramAndSetCurrentDirLogsNothing) {
    ASSERT_EQ(ExtractResourceFile(int(Version2005), Inst(L"tool.exe")), 0u);
    EXPECT_EQ(Execute(Item(siSetCurrentDir, L"", dcInstall)), (Outcome{0, L""}));
    EXPECT_EQ(LowerCase(CurrentDirectory()), LowerCase(InstallDir));
    EXPECT_EQ(Execute(Item(siRunFile, L"tool.exe", 0)),
              (Outcome{0, L"Run file: " + CurrentDirectory() + L"\\tool.exe...Success"}));
    EXPECT_TRUE(DeleteFileW(Inst(L"tool.exe").c_str())) << "not waited for";
    const Outcome missing = Execute(Item(siRunFile, L"missing.exe", 0));
    EXPECT_TRUE(missing.Result != 0 && missing.Line.empty());
    const Outcome missingDir = Execute(Item(siSetCurrentDir, L"missing", dcInstall));
    EXPECT_TRUE(missingDir.Result != 0 && missingDir.Line.empty());
    EXPECT_EQ(LowerCase(CurrentDirectory()), LowerCase(InstallDir));
}

namespace {

class Builds : public InstallStateTest {
protected:
    void SetUp() override {
        InstallStateTest::SetUp();
        FBound = BuildTimeoutMs;
        BorlandProducts[28].RootDir = Rad11 = TempPath(L"Program Files (x86)\\Studio\\22.0");
        BorlandProducts[8].RootDir = Cb6 = TempPath(L"Borland\\CBuilder6");
        Project = TempPath(L"Velkora\\RADStudio22");
        ASSERT_EQ(CreateDirectoryPath(Project + L"\\Win32"), 0u);
        ASSERT_EQ(CreateDirectoryPath(Project + L"\\Win64"), 0u);
        for (const wchar_t* name : {L"RADStudio22\\dcc32.cfg", L"RADStudio22\\dcc64.cfg",
                                    L"RADStudio22\\vkl280.dpk", L"CBuilder6\\vkl60.mak"}) {
            const std::wstring file = name;
            ASSERT_TRUE(CopyFileW((SourceDir() + L"\\resources\\payload\\" + file).c_str(),
                                  (Project + file.substr(file.find(L'\\'))).c_str(), FALSE));
        }
        ASSERT_TRUE(SetCurrentDirectoryW(Project.c_str()));
    }
    void TearDown() override {
        BuildTimeoutMs = FBound;
        InstallStateTest::TearDown();
    }
    std::wstring Rad11, Cb6, Project;
    DWORD FBound = 0;
};

}  // namespace

TEST_F(Builds, EachBuildRunsItsQuotedToolInTheCurrentDirectoryAndAMissingOneRunsNothing) {
    ASSERT_TRUE(InstallStandinTools(Rad11, 0, {L"dcc32.exe", L"dcc64.exe"}));
    ASSERT_TRUE(InstallStandinTools(Cb6, 0, {L"make.exe"}));
    ASSERT_TRUE(CopyFileW(StandinTool(0).c_str(), TempPath(L"Program.exe").c_str(), FALSE));
    THandlerProbe script(
        {Row(siCompilePackage, L"vkl280.dpk", Rad11Bit, 0),
         Row(siCompilePackage, L"vkl280.dpk", Rad11Bit, 0, 1),
         Row(siCompilePackage, L"vkl60.mak", Cb6Bit | Rad11Bit, 0, 1)});  // low bit wins
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(script.Run(i), 0);
        EXPECT_EQ(script.LogString(), i < 2 ? L"Compiling package: vkl280.dpk...Success"
                                            : L"Compiling package: vkl60.mak...Success");
    }
    const std::string cwd = ToAnsi(Project), rad = ToAnsi(Rad11);
    EXPECT_EQ(StandinCalls(Rad11),
              (std::vector<std::string>{
                  "dcc32.exe|" + cwd + "|\"" + rad + "\\bin\\dcc32.exe\" vkl280.dpk",
                  "dcc64.exe|" + cwd + "|\"" + rad + "\\bin\\dcc64.exe\" vkl280.dpk"}));
    EXPECT_EQ(StandinCalls(Cb6), std::vector<std::string>{"make.exe|" + cwd + "|\"" + ToAnsi(Cb6) +
                                                          "\\bin\\make.exe\" /fvkl60.mak"});
    EXPECT_TRUE(FileExists(Project + L"\\Win32\\vkl280.bpl") &&
                FileExists(Project + L"\\Win64\\vkl280.bpl") &&
                FileExists(Project + L"\\vkl60.bpl"));

    // Missing tools, a relative RootDir, an undetected IDE, no bit, an IDE
    // without compiler.
    DeleteFileW((Rad11 + L"\\bin\\dcc64.exe").c_str());
    DeleteFileW((Cb6 + L"\\bin\\make.exe").c_str());
    ASSERT_TRUE(InstallStandinTools(Project, 0, {L"dcc32.exe"}));
    ASSERT_TRUE(WriteFileBytes(Rad11 + L"\\bin\\standin.log", ""));
    BorlandProducts[27].RootDir.clear();
    const std::wstring dcc32 = L"Compiling package, cannot find dcc32.exe: vkl280.dpk...Fail";
    const std::tuple<uint32_t, int32_t, const wchar_t*, const wchar_t*, int, std::wstring> rows[] =
        {{Rad11Bit, 1, nullptr, L"vkl280.dpk", -3,
          L"Compiling package, cannot find dcc64.exe: vkl280.dpk...Fail"},
         {Cb6Bit, 0, nullptr, L"vkl60.mak", -4,
          L"Compiling package, cannot find make.exe: vkl60.mak...Fail"},
         {0x4000000, 0, nullptr, L"vkl280.dpk", -3, dcc32},
         {Rad11Bit, 0, L".", L"vkl280.dpk", -3, dcc32},
         {0, 0, nullptr, L"vkl280.dpk", -1, L""},
         {0x10000000, 0, nullptr, L"vkl280.dpk", -2, L""}};
    for (const auto& [code, platform, root, package, result, line] : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << code << " " << platform);
        BorlandProducts[28].RootDir = root ? root : Rad11;
        THandlerProbe one({Row(siCompilePackage, package, code, 0, platform)});
        EXPECT_EQ(one.Run(0), result);
        EXPECT_EQ(one.LogString(), line);
    }
    EXPECT_TRUE(StandinCalls(Rad11).empty() && StandinCalls(Project).empty());
    BorlandProducts[28].RootDir = Rad11;
    ASSERT_TRUE(WriteFileBytes(Rad11 + L"\\bin\\dcc32.exe", "not a program"));
    THandlerProbe broken({Row(siCompilePackage, L"vkl280.dpk", Rad11Bit, 0)});
    EXPECT_GT(broken.Run(0), 0) << "a tool that cannot start answers its Win32 error";
    EXPECT_EQ(broken.LogString(), L"");
}

TEST_F(Builds, AFailedBuildLeavesItsOutputBesideTheProjectAndTheCheckNamesIt) {
    ASSERT_TRUE(InstallStandinTools(Rad11, 3, {L"dcc32.exe", L"dcc64.exe"}));  // prints, exits 7
    InstallDir = TempPath(L"Velkora");
    const std::wstring log = Project + L"\\vkl280.dpk.log";
    ASSERT_TRUE(WriteFileBytes(log, "an earlier run's log\r\n"));
    THandlerProbe script({Row(siCompilePackage, L"vkl280.dpk", Rad11Bit, 0),
                          Row(siCheckFile, L"RADStudio22\\Win32\\vkl280.bpl", 0, dcInstall),
                          Row(siCompilePackage, L"vkl280.dpk", Rad11Bit, 0, 1),
                          Row(siCheckFile, L"RADStudio22\\Win64\\vkl280.bpl", 0, dcInstall)});
    for (int row : {0, 1, 2, 3}) {
        const int result = script.Run(row);
        EXPECT_EQ(result, row % 2) << row;
        if (row % 2 == 0)
            EXPECT_EQ(script.LogString(), L"Compiling package: vkl280.dpk...Success");
        else
            EXPECT_EQ(script.ItemErrorText(result),
                      L"Error in ScriptItem=" + std::to_wstring(row) +
                          L", ErrorCode=1h ScriptItemId=13 with text\r\nCheck file: " +
                          TempPath(L"Velkora\\RADStudio22\\Win") + (row == 1 ? L"32" : L"64") +
                          L"\\vkl280.bpl...Fail\r\nBuild log: " + log);
    }
    const std::string rad = ToAnsi(Rad11);
    const std::string output = "stand-in output: compiling vkl280.dpk\r\n"
                               "stand-in error: unit VklMissing not found in vkl280.dpk\r\n"
                               "Exit code: 7\r\n";
    EXPECT_EQ(ReadFileBytes(log), "Command line: \"" + rad + "\\bin\\dcc32.exe\" vkl280.dpk\r\n" +
                                      output + "Command line: \"" + rad +
                                      "\\bin\\dcc64.exe\" vkl280.dpk\r\n" + output);
    EXPECT_EQ(script.Run(3), 1);
    EXPECT_EQ(script.ItemErrorText(1).find(L"Build log"), std::wstring::npos)
        << "a check after no build names no log";
    EXPECT_EQ(script.FailedItemCount(), 3);
}

// A tool that never ends holds the run for the (shortened) bound only, leaves
// that in its log and inherits no handle but its output file.
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
    THandlerProbe script({Row(siCompilePackage, L"vkl280.dpk", Rad11Bit, 0)});
    const ULONGLONG started = GetTickCount64();
    const int result = script.Run(0);
    const ULONGLONG elapsed = GetTickCount64() - started;
    lock.reset();
    handles::FileHandle reopened(CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string log = ReadFileBytes(Project + L"\\vkl280.dpk.log");
    SetEvent(stop.get());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(script.LogString(), L"Compiling package: vkl280.dpk...Success");
    EXPECT_TRUE(elapsed >= TestBoundMs - 100 && elapsed < TestBoundMs + 10000) << elapsed;
    EXPECT_TRUE(reopened) << "the tool inherited a handle it was not given";
    EXPECT_EQ(log, "Command line: \"" + ToAnsi(Rad11) +
                       "\\bin\\dcc32.exe\" vkl280.dpk\r\nExit code: none, still "
                       "running after "
                       "1500 ms\r\n");
}

namespace {

const std::wstring Bds2006 = L"Software\\Borland\\BDS\\4.0",
                   Xe2 = L"Software\\Embarcadero\\BDS\\9.0";

class IdeItems : public InstallStateTest {
protected:
    void SetUp() override {
        InstallStateTest::SetUp();
        InstallDir = TempPath(L"Velkora");
    }
    static void SetIde(int index, const wchar_t* dir) {
        CurrentProduct = index;
        CurrentProductDir = dir;
    }
    static std::wstring Value(const std::wstring& key, const std::wstring& name,
                              HKEY root = HKEY_CURRENT_USER) {
        std::wstring text;
        return ReadRegString(root, key, name, text) ? text : L"<none>";
    }
    static void Set(const std::wstring& key, const std::wstring& name, const std::wstring& text) {
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key, name, text));
    }
};

}  // namespace

TEST_F(IdeItems, RegisterPackageListsABuiltPackageAndAddsItsFolderOnce) {
    SetIde(11, L"BDS2006");
    THandlerProbe script({Row(siRegisterPackage, L"BDS2006\\dclvkl2006.bpl", 0, dcInstall)});
    const std::wstring package = InstallDir + L"\\BDS2006\\dclvkl2006.bpl",
                       dir = InstallDir + L"\\BDS2006";
    Set(Bds2006 + L"\\Library", L"Search Path", L"$(BDS)\\Lib");
    EXPECT_EQ(script.Run(0), -5) << "an unbuilt package is neither listed nor on the path";
    EXPECT_EQ(script.LogString(), L"Registering package: " + package + L"...Fail");
    EXPECT_EQ(Value(Bds2006 + L"\\Known Packages", package), L"<none>");
    EXPECT_EQ(Value(Bds2006 + L"\\Library", L"Search Path"), L"$(BDS)\\Lib");
    ASSERT_EQ(CreateDirectoryPath(dir), 0u);
    ASSERT_TRUE(WriteFileBytes(package, "package"));
    const std::wstring line = L"Registering package: " + package + L"...Success";
    const std::tuple<std::wstring, std::wstring, const wchar_t*> rows[] = {
        {L"$(BDS)\\Lib", L"$(BDS)\\Lib;" + dir, L"...Success"},
        {L"$(BDS)\\Lib;" + dir, L"$(BDS)\\Lib;" + dir, L"...Already"},
        {L"", dir, L"...Success"},
        {L"C:\\A;", L"C:\\A;" + dir, L"...Success"},
        {L"X;" + LowerCase(dir) + L";Y", L"X;" + LowerCase(dir) + L";Y", L"...Already"}};
    for (const auto& [before, after, outcome] : rows) {
        Set(Bds2006 + L"\\Library", L"Search Path", before);
        EXPECT_EQ(script.Run(0), 0);
        EXPECT_EQ(script.LogString(), line + L"\r\nAdding search path: " + dir + outcome);
        EXPECT_EQ(Value(Bds2006 + L"\\Library", L"Search Path"), after);
    }
    EXPECT_EQ(Value(Bds2006 + L"\\Known Packages", package), L"Standard Edition of Velkora v4.07");
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, (Bds2006 + L"\\Library").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(script.Run(0), -2) << "still listed, the missing value not created";
    EXPECT_EQ(script.LogString(), line);
    EXPECT_EQ(Value(Bds2006 + L"\\Library", L"Search Path"), L"<none>");
    // Only BDS 2007 to 2010 are told to reload their options.
    for (int index : {11, 12, 14, 15}) {
        SetIde(index, L"BDS2006");
        Set(std::wstring(BorlandProducts[index].RegKey) + L"\\Library", L"Search Path", L"");
        EXPECT_EQ(script.Run(0), 0);
        EXPECT_EQ(Value(std::wstring(BorlandProducts[index].RegKey) + L"\\Globals",
                        L"ForceEnvOptionsUpdate"),
                  index == 12 || index == 14 ? L"1" : L"<none>")
            << index;
    }
}

TEST_F(IdeItems, SearchAndIdePathsAreAddedOnceAndNeverCreated) {
    const std::wstring cb6 = L"Software\\Borland\\C++Builder\\6.0\\Library",
                       cpp = Xe2 + L"\\C++\\Paths\\Win32";
    THandlerProbe script(
        {Row(siAddSearchPath, L"Source", 0, dcInstall),
         Row(siAddIdePath, L"\\C++\\Paths\\Win32\\LibraryPath", sfIdeWin32, dcInstall),
         Row(siAddIdePath, L"\\Library\\Win64\\Search Path", 0x80 | sfIdeWin64, dcInstall)});
    SetIde(8, L"CBuilder6");
    EXPECT_EQ(script.Run(0), -2);
    SetIde(16, L"RADStudio9");
    EXPECT_EQ(script.Run(1), 0);
    EXPECT_EQ(script.LogString() + Value(cb6, L"Search Path") + Value(cpp, L"LibraryPath"),
              L"<none><none>");
    Set(cb6, L"Search Path", L"$(BCB)\\Lib");
    Set(cpp, L"LibraryPath", L"$(BDS)\\lib");
    const std::wstring source = InstallDir + L"\\Source",
                       win32 = InstallDir + L"\\RADStudio9\\Win32";
    for (const wchar_t* outcome : {L"...Success", L"...Already"}) {
        SetIde(8, L"CBuilder6");
        EXPECT_EQ(script.Run(0), 0);
        EXPECT_EQ(script.LogString(), L"Adding search path: " + source + outcome);
        SetIde(16, L"RADStudio9");
        EXPECT_EQ(script.Run(1), 0);
        EXPECT_EQ(script.LogString(), L"Adding search path: " + win32 + outcome);
    }
    EXPECT_EQ(Value(cb6, L"Search Path"), L"$(BCB)\\Lib;" + source);
    EXPECT_EQ(Value(cpp, L"LibraryPath"), L"$(BDS)\\lib;" + win32);
    Set(Xe2 + L"\\Library\\Win64", L"Search Path", L"");
    EXPECT_EQ(script.Run(2), 0);
    EXPECT_EQ(Value(Xe2 + L"\\Library\\Win64", L"Search Path"),
              InstallDir + L"\\RADStudio9\\Win64");
}

TEST_F(IdeItems, HelpFilesGetTheirLineOnceAndReplaceTextChangesTheFirstMatch) {
    BorlandProducts[5].RootDir = TempPath(L"CBuilder4");
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"CBuilder4\\Help")), 0u);
    ASSERT_EQ(CreateDirectoryPath(InstallDir), 0u);
    SetIde(5, L"CBuilder4");
    const std::wstring file = TempPath(L"CBuilder4\\Help\\bcb4.ohl"),
                       settings = InstallDir + L"\\s.txt";
    THandlerProbe script({Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", 3, dcIdeHelp),
                          Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", 1, dcIdeHelp),
                          Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", 4, dcIdeHelp),
                          Row(siReplaceText, L"s.txt", 0, dcInstall, 0, L"oldValue", L"New"),
                          Row(siReplaceText, L"missing.txt", 0, dcInstall, 0, L"a", L"b")});
    // The searched text begins with its line break: a first line does not count.
    const std::pair<const char*, const char*> rows[] = {
        {":Link bcb4.hlp\r\n", ":Link bcb4.hlp\r\n:Link vklib.hlp\r\n"},
        {":Link bcb4.hlp", ":Link bcb4.hlp\r\n:Link vklib.hlp\r\n"},
        {":LINK VKLIB.HLP\r\n", ":LINK VKLIB.HLP\r\n:Link vklib.hlp\r\n"}};
    for (const auto& [before, after] : rows) {
        ASSERT_TRUE(WriteFileBytes(file, before));
        for (const wchar_t* outcome : {L"...Success", L"...Already"}) {
            EXPECT_EQ(script.Run(0), 0);
            EXPECT_EQ(script.LogString(), L"Modifying file: " + file + outcome);
            EXPECT_EQ(ReadFileBytes(file), after);
        }
    }
    EXPECT_EQ(script.Run(1), -1) << "a missing file is not created";
    EXPECT_FALSE(PathExists(TempPath(L"CBuilder4\\Help\\bcb4.cfg")));
    EXPECT_EQ(script.Run(2), -1) << "a slot beyond the IDE's files";

    ASSERT_TRUE(WriteFileBytes(settings, "Path=OLDVALUE;more oldvalue\r\n"));
    const std::wstring line =
        L"Replace text: File=" + settings + L", FindText=oldValue, ReplaceTo=New";
    for (const char* after : {"Path=New;more oldvalue\r\n", "Path=New;more New\r\n"}) {
        EXPECT_EQ(script.Run(3), 0);
        EXPECT_EQ(script.LogString(), line + L"...Success");
        EXPECT_EQ(ReadFileBytes(settings), after);
    }
    EXPECT_EQ(script.Run(3), 0);
    EXPECT_EQ(script.LogString(), line + L"...Already");
    EXPECT_EQ(script.Run(4), -1);
    EXPECT_FALSE(PathExists(InstallDir + L"\\missing.txt"));
}

TEST_F(IdeItems, WinHelpTheProductKeyTheUninstallEntryAndTheHelpBatch) {
    const std::wstring help = L"Software\\Microsoft\\Windows\\Help",
                       entry = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";
    const HKEY hklm = HKEY_LOCAL_MACHINE;
    InstallDir = TempPath(L"Lib %OS% ^&! (x)");  // cmd would expand and split this
    ASSERT_EQ(CreateDirectoryPath(InstallDir + L"\\Help"), 0u);
    ASSERT_TRUE(WriteFileBytes(InstallDir + L"\\Help\\help_reg.bat", "@echo ran> ran.txt\r\n"));
    THandlerProbe script({Row(siRegisterWinHelp, L"vklib.hlp", 0, 0),
                          Row(siSetHelpDir, L"Help", 0, dcInstall),
                          Row(siCreateRegKey, L"Software\\Brightmoss\\Velkora", 0x80000002, 0),
                          Row(siCreateRegKey, L"Software\\Brightmoss\\Other", 0x12345, 0),
                          Row(siRegisterUninstall, L"unbrm.exe", 0, dcInstall),
                          Row(siRegisterHelp, L"help\\help_reg.bat", 0, 0),
                          Row(siRegisterHelp, L"help\\missing.bat", 0, 0)});
    EXPECT_EQ(script.Run(0), 0);
    EXPECT_EQ(script.LogString(), L"Registering windows help: vklib.hlp...Success");
    EXPECT_EQ(Value(help, L"vklib.hlp", hklm), L"") << "before any help folder is named";
    EXPECT_EQ(script.Run(1) + script.Run(0) + script.Run(2) + script.Run(3), 0);
    EXPECT_EQ(Value(help, L"vklib.hlp", hklm), InstallDir + L"\\Help");
    EXPECT_TRUE(KeyExists(hklm, L"Software\\Brightmoss\\Velkora"));
    EXPECT_FALSE(KeyExists(hklm, L"Software\\Brightmoss\\Other") ||
                 KeyExists(HKEY_CURRENT_USER, L"Software\\Brightmoss\\Other"));
    // Paths with blanks are quoted, others not.
    for (const std::wstring& dir : {InstallDir, TempPath(L"Velkora")}) {
        InstallDir = dir;
        const std::wstring q = dir.find(L' ') == std::wstring::npos ? L"" : L"\"";
        EXPECT_EQ(script.Run(4), 0);
        EXPECT_EQ(script.LogString(), L"Registering Uninstall: unbrm.exe...Success");
        EXPECT_EQ(Value(entry, L"DisplayName", hklm), L"Brightmoss Velkora v4.07");
        EXPECT_EQ(Value(entry, L"UninstallString", hklm),
                  q + dir + L"\\unbrm.exe" + q + L" " + q + dir + L"\\uninst.log" + q);
    }
    InstallDir = TempPath(L"Lib %OS% ^&! (x)");
    EXPECT_EQ(script.Run(5), 0);
    EXPECT_EQ(script.LogString(),
              L"Register help: " + InstallDir + L"\\help\\help_reg.bat...Success");
    EXPECT_EQ(ReadFileBytes(InstallDir + L"\\Help\\ran.txt"), "ran\r\n")
        << "run in the help folder";
    EXPECT_EQ(LowerCase(CurrentDirectory()), LowerCase(InstallDir + L"\\help"))
        << "later items run there";
    EXPECT_GT(script.Run(6), 0);
    EXPECT_EQ(script.LogString(), L"");
}
