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

TScriptItem CreateDir(const wchar_t* name, uint16_t flags = ifLogUninstall) {
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

TEST_F(InterpreterTest, FileExistsLogsItsCheckEitherWayAndSkipsTheSixtyFourBitBuildWithoutDcc64) {
    // As the product table has it: the same key twice, below the IDE that siSetIde chose.
    const std::wstring root = TempPath(L"RAD Studio");
    BorlandProducts[28].RootDir = root;
    ASSERT_EQ(CreateDirectoryPath(root + L"\\bin"), 0u);
    WriteFileBytes(root + L"\\bin\\dcc32.exe", "x");
    TScriptItem build64 = Item(siCompilePackage, L"vkl280.dpk", 0, 0x8000000, 0);
    build64.Platform = 1;
    const std::vector<TScriptItem> items = {
        Item(siSetIde, L"RADStudio22", 0, 28, 0),
        Item(siIfFileExists, L"bin\\dcc32.exe", dcIdeRoot, 0x10000001, 0),
        CreateDir(L"ran"),
        Block(siEndIfFileExists, 0x10000001),
        Item(siIfFileExists, L"bin\\dcc64.exe", dcIdeRoot, 0x10000001, 0),
        build64,
        Block(siEndIfFileExists, 0x10000001)};
    // Were the build run, it would answer -3 and log that dcc64.exe is missing.
    EXPECT_EQ(RunItems(items), std::vector<int>(items.size(), 0));
    EXPECT_EQ(Lines(),
              (std::vector<std::wstring>{L"Check file: " + root + L"\\bin\\dcc32.exe...Success",
                                         CreatedLine(L"ran"),
                                         L"Check file: " + root + L"\\bin\\dcc64.exe...Fail"}));
}

TEST_F(InterpreterTest, UnknownTypesDoNothingAndAreRecordedOnlyWhenFlagged) {
    const std::vector<TScriptItem> items = {
        Item(0x7777, L"quiet", dcInstall, 5, 0),
        Item(0x7777, L"recorded", dcInstall, 5, ifLogUninstall | ifKeepOnPartial),
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
        Item(siCheckFile, L"missing.txt", dcInstall), Item(siDeleteFile, L"keep.txt", dcInstall),
        Item(siCompilePackage, L"vkl.dpk", 0, 0x400),
        // Control items still run: the block is evaluated, the IDE is set.
        Block(siIfItems, 0x80), CreateDir(L"skipped"), Block(siEndIfItems, 0x80),
        Block(siIfItems, 0x10), CreateDir(L"made"), Block(siEndIfItems, 0x10),
        Item(siSetIde, L"BDS2006", 0, 11),
        // A file item, but the package it copies was never built: nothing to do, no error.
        TScriptItem{siCopyFileTo, 0, L"BDS2006\\vkl2006.bpl", 0, dcInstall, nullptr, nullptr, 0, 0,
                    &PackageFiles[3]}};
    EXPECT_EQ(RunItems(items), std::vector<int>(items.size(), 0));
    EXPECT_TRUE(FileExists(Inst(L"keep.txt")));
    EXPECT_FALSE(PathExists(Inst(L"skipped")));
    EXPECT_EQ(Lines(), std::vector<std::wstring>{CreatedLine(L"made")});
    EXPECT_EQ(Recs(), (std::vector<std::wstring>{DirRecord(L"made"), L"14009:b:0:BDS2006"}));
    EXPECT_EQ(CurrentProduct, 11);
    // Outside a copy-only run the same copy fails.
    CopyOnly = false;
    EXPECT_EQ(RunItems({items.back()}), std::vector<int>{ERROR_PATH_NOT_FOUND});
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

TEST_F(InterpreterTest, ItemTextNamesOnlyBuildsDirectoriesAndCopiesAndRowsOutsideDoNothing) {
    const std::vector<TScriptItem> items = {Item(siCompilePackage, L"p.dpk", 0),
                                            CreateDir(L"d"),
                                            Item(siExtractFile, L"f", 3, 7),
                                            Item(siSetIde, L"BDS2006", 0, 11),
                                            Block(siIfItems, 0x80),
                                            Item(siCopyFileTo, L"f", 3)};
    // Control and other rows, and rows outside the table, leave the caller's text alone.
    const std::vector<std::pair<int, std::wstring>> expected = {
        {0, L"Compiling package"}, {1, L"Creating directory"}, {2, L"Copying file"},
        {3, L"previous"},          {4, L"previous"},           {5, L"previous"},
        {6, L"previous"},          {-1, L"previous"}};
    TScript script(items.data(), static_cast<int>(items.size()));
    for (const auto& [row, text] : expected) {
        std::wstring shown = L"previous";
        script.SetCurrent(row);
        script.ItemText(shown);
        EXPECT_EQ(shown, text) << "row " << row;
    }
    for (int row : {-1, 6}) {
        script.SetCurrent(row);
        EXPECT_EQ(script.ItemDoScript(), 0) << row;
    }
    EXPECT_EQ(script.LogString(), L"");
    EXPECT_EQ(TScript().ProgressCount(), ScriptItemCount);
}

}  // namespace
