// The interpreter on small tables of its own: skip blocks, the copy-only rule, dispatch, and
// what each executed item leaves in the two logs.
#include "tests/ScriptTestSupport.h"

#include <gtest/gtest.h>

using namespace vktest;

namespace {

class InterpreterTest : public ScriptTest {
protected:
    std::wstring Inst(const std::wstring& name) const { return InstallDir + L"\\" + name; }
    std::vector<std::wstring> Lines() const { return LogLines(Inst(L"install.log")); }
    std::vector<std::wstring> Recs() const { return Records(Inst(L"uninst.log")); }
    std::wstring CreatedLine(const std::wstring& name) const {
        return L"Creating directory: " + Inst(name) + L"...Success";
    }
    // The record of a logged siCreateDir row below the installation directory.
    static std::wstring DirRecord(const std::wstring& name) { return L"18001:0:3:" + name; }
};

TScriptItem CreateDir(const wchar_t* name, uint16_t flags = sfLogUninstall) {
    return Item(siCreateDir, name, dcInstall, 0, flags);
}

TScriptItem Block(uint16_t type, uint32_t key) {
    return Item(type, nullptr, 0, key, 0);
}

TEST_F(InterpreterTest, ASkipEndsOnlyAtTheEndRowOfItsOwnTypeAndKeyAndNestedOpenersAreNotRun) {
    InstallItems = 0x10;
    const std::wstring present = TempPath(L"present");
    WriteFileBytes(present, "x");
    const std::vector<TScriptItem> items = {
        Block(siIfItems, 0x1000), CreateDir(L"a"),
        // Another key or another type does not end it.
        Block(siEndIfItems, 0x2000), CreateDir(L"b"), Block(siEndIfVersions, 0x1000),
        // Selected on its own, and a file check that would log: neither is evaluated here.
        Block(siIfItems, 0x10), Item(siIfFileExists, present.c_str(), 0, 0x20, 0),
        Block(siEndIfFileExists, 0x20), Block(siIfItems, 0x20), CreateDir(L"c"),
        // Had the inner opener started its own skip, it would end here and "d" would run.
        Block(siEndIfItems, 0x20), CreateDir(L"d"), Block(siEndIfItems, 0x10),
        Block(siEndIfItems, 0x1000), CreateDir(L"after"),
        // A block without its end row skips to the end of the table.
        Block(siIfItems, 0x80), CreateDir(L"e"), Block(siEndIfItems, 0x81), CreateDir(L"f")};
    EXPECT_EQ(RunItems(items), std::vector<int>(items.size(), 0));
    for (const wchar_t* skipped : {L"a", L"b", L"c", L"d", L"e", L"f"})
        EXPECT_FALSE(PathExists(Inst(skipped))) << skipped;
    EXPECT_EQ(Lines(), std::vector<std::wstring>{CreatedLine(L"after")});
    EXPECT_EQ(Recs(), std::vector<std::wstring>{DirRecord(L"after")});
}

TEST_F(InterpreterTest, EachOpenerTestsItsOwnMaskAndAPassingOpenerLeavesNoState) {
    InstallVersions = 0x400;
    InstallItems = 0x80;
    CustomizeItems = 0x4;
    // "1" rows run, "0" rows are skipped.
    const std::vector<TScriptItem> items = {
        Block(siIfVersions, 0x400), CreateDir(L"v1"), Block(siEndIfVersions, 0x400),
        Block(siIfVersions, 0x800), CreateDir(L"v0"), Block(siEndIfVersions, 0x800),
        Block(siIfItems, 0x3FFFFC80), CreateDir(L"i1"), Block(siEndIfItems, 0x3FFFFC80),
        Block(siIfItems, 0x300), CreateDir(L"i0"), Block(siEndIfItems, 0x300),
        Block(siIfCustomize, 0x5), CreateDir(L"c1"), Block(siEndIfCustomize, 0x5),
        Block(siIfCustomize, 0x1), CreateDir(L"c0"), Block(siEndIfCustomize, 0x1),
        Block(siIfNotCustomize, 0x1), CreateDir(L"n1"), Block(siEndIfNotCustomize, 0x1),
        Block(siIfNotCustomize, 0x4), CreateDir(L"n0"), Block(siEndIfNotCustomize, 0x4),
        // An end row without a running skip does nothing; a later row runs as usual.
        Block(siEndIfItems, 0x80), CreateDir(L"tail")};
    RunItems(items);
    for (const wchar_t* ran : {L"v1", L"i1", L"c1", L"n1", L"tail"})
        EXPECT_TRUE(DirectoryExists(Inst(ran))) << ran;
    for (const wchar_t* skipped : {L"v0", L"i0", L"c0", L"n0"})
        EXPECT_FALSE(PathExists(Inst(skipped))) << skipped;
}

TEST_F(InterpreterTest, FileExistsBlockLogsItsCheckEitherWayAndSkipsOnlyOnAMiss) {
    WriteFileBytes(TempPath(L"present.txt"), "x");
    const std::wstring present = TempPath(L"present.txt");
    const std::wstring missing = TempPath(L"missing.txt");
    // The same key twice, one block after the other, as the product table has it.
    const std::vector<TScriptItem> items = {
        Item(siIfFileExists, present.c_str(), 0, 0x04000001, 0),
        CreateDir(L"ran"),
        Block(siEndIfFileExists, 0x04000001),
        Item(siIfFileExists, missing.c_str(), 0, 0x04000001, 0),
        CreateDir(L"skipped"),
        Block(siEndIfFileExists, 0x04000001),
    };
    EXPECT_EQ(RunItems(items), std::vector<int>(items.size(), 0));
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"Check file: " + present + L"...Success",
                                                  CreatedLine(L"ran"),
                                                  L"Check file: " + missing + L"...Fail"}));
    EXPECT_FALSE(PathExists(Inst(L"skipped")));
}

TEST_F(InterpreterTest, SkippedRowsLeaveTheLastLogTextAlone) {
    const std::wstring missing = TempPath(L"missing.txt");
    const std::vector<TScriptItem> items = {Item(siIfFileExists, missing.c_str(), 0, 7, 0),
                                            CreateDir(L"skipped")};
    TScript script(items.data(), 2);
    RunScript(script);
    EXPECT_EQ(script.LogString(), L"Check file: " + missing + L"...Fail");
}

TEST_F(InterpreterTest, UnknownTypesDoNothingAndAreRecordedOnlyWhenFlagged) {
    const std::vector<TScriptItem> items = {
        Item(0x7777, L"quiet", dcInstall, 5, 0),
        Item(0x7777, L"recorded", dcInstall, 5, sfLogUninstall | sfKeepOnPartial),
    };
    EXPECT_EQ(RunItems(items), (std::vector<int>{0, 0}));
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(Recs(), std::vector<std::wstring>{L"37777:5:3:recorded"});
    EXPECT_FALSE(PathExists(Inst(L"quiet")));
    EXPECT_FALSE(PathExists(Inst(L"recorded")));
}

TEST_F(InterpreterTest, CopyOnlyRunsFileAndControlItemsButNoIdeItems) {
    CopyOnly = true;
    InstallItems = 0x10;
    ASSERT_EQ(CreateDirectoryPath(InstallDir), 0u);
    WriteFileBytes(Inst(L"keep.txt"), "x");
    const std::vector<TScriptItem> items = {
        // Below $4000: no handler, no line, no record, result 0 although each would fail or act.
        Item(siCheckFile, L"missing.txt", dcInstall),
        Item(siDeleteFile, L"keep.txt", dcInstall),
        Item(siCompilePackage, L"vkl.dpk", 0, 0x400),
        // Control items still run: the block is evaluated, the IDE is set.
        Block(siIfItems, 0x80),
        CreateDir(L"skipped"),
        Block(siEndIfItems, 0x80),
        Block(siIfItems, 0x10),
        CreateDir(L"made"),
        Block(siEndIfItems, 0x10),
        Item(siSetIde, L"BDS2006", 0, 11),
    };
    EXPECT_EQ(RunItems(items), std::vector<int>(items.size(), 0));
    EXPECT_TRUE(FileExists(Inst(L"keep.txt")));
    EXPECT_FALSE(PathExists(Inst(L"skipped")));
    EXPECT_EQ(Lines(), std::vector<std::wstring>{CreatedLine(L"made")});
    EXPECT_EQ(Recs(), (std::vector<std::wstring>{DirRecord(L"made"), L"14009:b:0:BDS2006"}));
    EXPECT_EQ(CurrentProduct, 11);
    EXPECT_EQ(CurrentProductDir, L"BDS2006");
}

TEST_F(InterpreterTest, WithoutCopyOnlyTheSameIdeItemsRun) {
    ASSERT_EQ(CreateDirectoryPath(InstallDir), 0u);
    WriteFileBytes(Inst(L"gone.txt"), "x");
    // siCheckFile answers 0 or 1 and logs either.
    const std::vector<TScriptItem> items = {Item(siCheckFile, L"missing.txt", dcInstall),
                                            Item(siCheckFile, L"gone.txt", dcInstall),
                                            Item(siDeleteFile, L"gone.txt", dcInstall)};
    EXPECT_EQ(RunItems(items), (std::vector<int>{1, 0, 0}));
    EXPECT_FALSE(PathExists(Inst(L"gone.txt")));
    EXPECT_EQ(Lines(),
              (std::vector<std::wstring>{L"Check file: " + Inst(L"missing.txt") + L"...Fail",
                                         L"Check file: " + Inst(L"gone.txt") + L"...Success",
                                         L"Deleting file: " + Inst(L"gone.txt") + L"...Success"}));
    EXPECT_EQ(Recs(), (std::vector<std::wstring>{L"10013:0:3:missing.txt", L"10013:0:3:gone.txt",
                                                 L"1000b:0:3:gone.txt"}));
}

TEST_F(InterpreterTest, AFailedFlaggedItemLeavesItsLineItsRecordAndItsErrorCode) {
    ASSERT_EQ(CreateDirectoryPath(InstallDir), 0u);
    WriteFileBytes(Inst(L"file"), "x");
    const std::vector<int> results = RunItems({CreateDir(L"file\\sub")});
    ASSERT_EQ(results.size(), 1u);
    ASSERT_NE(results[0], 0);
    EXPECT_EQ(Lines(), std::vector<std::wstring>{L"Creating directory: " + Inst(L"file\\sub") +
                                                 L"...Fail. " +
                                                 SystemErrorText(static_cast<DWORD>(results[0]))});
    EXPECT_EQ(Recs(), std::vector<std::wstring>{DirRecord(L"file\\sub")});
    EXPECT_EQ(ReadFileBytes(Inst(L"file")), "x");
}

TEST_F(InterpreterTest, SetIdeChoosesTheIdeThatLaterPathsResolveAgainst) {
    BorlandProducts[11].RootDir = TempPath(L"ide");
    const std::vector<TScriptItem> items = {Item(siSetIde, L"BDS2006", 0, 11, 0),
                                            Item(siCreateDir, L"lib", dcIdeRoot, 0, 0)};
    EXPECT_EQ(RunItems(items), (std::vector<int>{0, 0}));
    EXPECT_TRUE(DirectoryExists(TempPath(L"ide\\lib")));
}

TEST_F(InterpreterTest, ItemTextNamesOnlyBuildsDirectoriesAndCopiesAndCountsOneStepPerRow) {
    const std::vector<TScriptItem> items = {Item(siCompilePackage, L"p.dpk", 0),
                                            CreateDir(L"d"),
                                            Item(siExtractFile, L"f", 3, 7),
                                            Item(siSetIde, L"BDS2006", 0, 11),
                                            Block(siIfItems, 0x80),
                                            Item(siExtractFileIfAbsent, L"f", 3, 7),
                                            Item(siCopyFileTo, L"f", 3)};
    // Other rows, and the row after the table, leave the caller's text alone.
    const std::vector<std::wstring> expected = {
        L"Compiling package", L"Creating directory", L"Copying file", L"previous",
        L"previous",          L"previous",           L"previous",     L"previous"};
    TScript script(items.data(), static_cast<int>(items.size()));
    for (int i = 0; i < static_cast<int>(expected.size()); ++i) {
        std::wstring text = L"previous";
        script.SetCurrent(i);
        script.ItemText(text);
        EXPECT_EQ(text, expected[i]) << "row " << i;
    }
    EXPECT_EQ(script.ProgressCount(), 7);
    EXPECT_EQ(script.ItemProgressStep(), 1);
    EXPECT_EQ(TScript().ProgressCount(), ScriptItemCount);
}

TEST_F(InterpreterTest, ARowOutsideTheTableDoesNothing) {
    const std::vector<TScriptItem> items = {CreateDir(L"a")};
    TScript script(items.data(), 1);
    script.Start();
    for (int row : {-1, 1, 2}) {
        script.SetCurrent(row);
        EXPECT_EQ(script.ItemDoScript(), 0) << row;
    }
    script.Stop();
    EXPECT_FALSE(PathExists(Inst(L"a")));
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(Recs().empty());
}

} // namespace
