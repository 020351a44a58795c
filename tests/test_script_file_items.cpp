// The file items on real files in the test's temporary directory, each run through the
// interpreter so that the dispatch is part of what is tested. The program carries its own small
// payload: resource 7 a text file, 20 to 23 one program built with the product versions 2.0.0.5,
// 2.0.0.4, 1.9.9.9 and 2.1.0.0.
#include "tests/ScriptTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace vktest;

namespace {

constexpr uint32_t TextPayload = 7;
constexpr uint32_t Version2005 = 20, Version2004 = 21, Version1999 = 22, Version2100 = 23;

constexpr int Error(DWORD code) {
    return static_cast<int>(code);
}

// An item's result and its log line.
struct Outcome {
    int Result;
    std::wstring Line;
    bool operator==(const Outcome&) const = default;
};
void PrintTo(const Outcome& outcome, std::ostream* os) {
    *os << outcome.Result << ' ' << ::testing::PrintToString(outcome.Line);
}

// Runs one item through the interpreter without logs.
Outcome Execute(const TScriptItem& item) {
    TScript script(&item, 1);
    const int result = script.ItemDoScript();
    return {result, script.LogString()};
}

TScriptItem TwoPathItem(uint16_t type, const wchar_t* name, const wchar_t* text2) {
    TScriptItem item = Item(type, name, dcInstall, 0, 0);
    item.Text2 = text2;
    item.DestDirCode = dcInstall;
    return item;
}

// Every test gets its own temporary directory as the process's TMP, so that the payload copies
// the version check makes can be watched.
class FileItemTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        Tmp = TempPath(L"tmp");
        for (const wchar_t* name : {L"TMP", L"TEMP"}) {
            FSavedTemp.emplace_back(name, EnvironmentValue(name));
            SetEnvironmentVariableW(name, Tmp.c_str());
        }
        ASSERT_TRUE(CreateDirectoryW(Tmp.c_str(), nullptr));
        ASSERT_EQ(BaseDir(dcTemp), Tmp + L"\\");
        ASSERT_EQ(CreateDirectoryPath(InstallDir), 0u);
    }
    void TearDown() override {
        for (const auto& [name, value] : FSavedTemp)
            SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
        ScriptTest::TearDown();
    }
    std::wstring Inst(const std::wstring& name) const { return InstallDir + L"\\" + name; }
    Outcome Copied(const std::wstring& name, const wchar_t* outcome) const {
        return {0, L"Copying file: " + Inst(name) + outcome};
    }

    std::wstring Tmp;

private:
    std::vector<std::pair<std::wstring, std::wstring>> FSavedTemp;
};

TEST_F(FileItemTest, CreateDirAndCheckFileResolveTheirDirCodeAndLogTheirOutcome) {
    const Outcome made{0, L"Creating directory: " + Inst(L"a\\b") + L"...Success"};
    for (int pass = 0; pass < 2; ++pass)
        EXPECT_EQ(Execute(Item(siCreateDir, L"a\\b", dcInstall)), made) << "pass " << pass;
    EXPECT_TRUE(DirectoryExists(Inst(L"a\\b")));
    EXPECT_EQ(Execute(Item(siCheckFile, L"a\\b", dcInstall)),
              (Outcome{0, L"Check file: " + Inst(L"a\\b") + L"...Success"}));
    EXPECT_EQ(Execute(Item(siCheckFile, L"none.bpl", dcInstall)),
              (Outcome{1, L"Check file: " + Inst(L"none.bpl") + L"...Fail"}));

    // A DirCode outside 1..6 leaves the name relative to the current directory.
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    for (int32_t dirCode : {0, 7, -1}) {
        const std::wstring name = L"rel" + std::to_wstring(dirCode + 1);
        EXPECT_EQ(Execute(Item(siCreateDir, name.c_str(), dirCode)),
                  (Outcome{0, L"Creating directory: " + name + L"...Success"}));
        EXPECT_TRUE(DirectoryExists(TempPath(name))) << dirCode;
    }
}

TEST_F(FileItemTest, ExtractReplacesAFileIfAbsentKeepsOneAndBadInputWritesNothing) {
    WriteFileBytes(Inst(L"read.txt"),
                   "old contents, longer than the payload file: a leftover shows");
    WriteFileBytes(Inst(L"own.txt"), "the user's own");
    EXPECT_EQ(Execute(Item(siExtractFile, L"read.txt", dcInstall, TextPayload)),
              Copied(L"read.txt", L"...Success"));
    EXPECT_EQ(Execute(Item(siExtractFileIfAbsent, L"own.txt", dcInstall, TextPayload)),
              Copied(L"own.txt", L"...Already"));
    EXPECT_EQ(Execute(Item(siExtractFileIfAbsent, L"new.txt", dcInstall, TextPayload)),
              Copied(L"new.txt", L"...Success"));
    EXPECT_EQ(ReadFileBytes(Inst(L"read.txt")), Payload(TextPayload));
    EXPECT_EQ(ReadFileBytes(Inst(L"own.txt")), "the user's own");
    EXPECT_EQ(ReadFileBytes(Inst(L"new.txt")), Payload(TextPayload));

    // A payload id that is not there, and a directory that is not there: the error, no file.
    for (uint16_t type : {siExtractFile, siExtractFileIfAbsent, siExtractFileIfNewer}) {
        const Outcome failed = Execute(Item(type, L"none.txt", dcInstall, 99));
        EXPECT_TRUE(failed.Result == Error(ERROR_RESOURCE_NAME_NOT_FOUND) ||
                    failed.Result == Error(ERROR_RESOURCE_TYPE_NOT_FOUND))
            << failed.Result;
        EXPECT_EQ(failed.Line, L"Copying file: " + Inst(L"none.txt") + L"...Fail");
    }
    EXPECT_EQ(Execute(Item(siExtractFile, L"no\\f.txt", dcInstall, TextPayload)),
              (Outcome{Error(ERROR_PATH_NOT_FOUND),
                       L"Copying file: " + Inst(L"no\\f.txt") + L"...Fail"}));
    EXPECT_EQ(DirectoryEntries(InstallDir),
              (std::vector<std::wstring>{L"new.txt", L"own.txt", L"read.txt"}));
}

TEST_F(FileItemTest, ExtractIfNewerReplacesOnlyAMissingUnversionedOrOlderFileAndLeavesNoTemp) {
    // The item's own name in the temporary directory, where a fixed-name copy would go.
    WriteFileBytes(Tmp + L"\\unbrm.exe", "planted");
    const std::wstring target = Inst(L"unbrm.exe");
    const FILETIME past{0x12345678, 0x01c00000};
    // Absent, no version, older (1.9.9.9 too: most significant word first), equal, newer.
    const std::pair<uint32_t, bool> rows[] = {{0, false},           {TextPayload, false},
                                              {Version2004, false}, {Version1999, false},
                                              {Version2005, true},  {Version2100, true}};
    for (const auto& [installed, kept] : rows) {
        SCOPED_TRACE(testing::Message() << "installed " << installed);
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
        EXPECT_EQ(DirectoryEntries(Tmp), std::vector<std::wstring>{L"unbrm.exe"})
            << "the payload copy must not stay in the temporary directory";
    }
}

TEST_F(FileItemTest, CopyItemsReplaceTheDestinationAndLogBothPaths) {
    WriteFileBytes(Inst(L"vkl.bpl"), "package");
    WriteFileBytes(Tmp + L"\\vkl280.bpl", "older package");
    const TPackageFile dest{L"vkl280.bpl", dcTemp};
    TScriptItem item = Item(siCopyFileTo, L"vkl.bpl", dcInstall, 0, 0);
    item.Dest = &dest;
    const std::wstring to = L" to " + Tmp + L"\\vkl280.bpl ...";
    EXPECT_EQ(Execute(item),
              (Outcome{0, L"Copying file: from " + Inst(L"vkl.bpl") + to + L"Success"}));
    EXPECT_EQ(ReadFileBytes(Tmp + L"\\vkl280.bpl"), "package");
    item.Name = L"missing.bpl";
    EXPECT_EQ(Execute(item),
              (Outcome{Error(ERROR_FILE_NOT_FOUND),
                       L"Copying file: from " + Inst(L"missing.bpl") + to + L"Fail"}));

    // siCopyFiles copies the matches by their own names into the destination's directory.
    ASSERT_EQ(CreateDirectoryPath(Inst(L"Source")), 0u);
    ASSERT_EQ(CreateDirectoryPath(Inst(L"BDS2006")), 0u);
    for (const char* name : {"a.hpp", "b.hpp", "c.pas"})
        WriteFileBytes(Inst(L"Source\\" + FromAnsi(name)), name);
    WriteFileBytes(Inst(L"BDS2006\\b.hpp"), "old b");
    EXPECT_EQ(Execute(TwoPathItem(siCopyFiles, L"Source\\*.hpp", L"BDS2006\\ignored.x")),
              (Outcome{0, L"Copying file: from " + Inst(L"Source\\*.hpp") + L" to " +
                              Inst(L"BDS2006\\ignored.x") + L" ...Success"}));
    EXPECT_EQ(DirectoryEntries(Inst(L"BDS2006")), (std::vector<std::wstring>{L"a.hpp", L"b.hpp"}));
    EXPECT_EQ(ReadFileBytes(Inst(L"BDS2006\\b.hpp")), "b.hpp");
    EXPECT_EQ(
        Execute(TwoPathItem(siCopyFiles, L"Source\\*.hpp", L"missing\\")),
        (Outcome{Error(ERROR_PATH_NOT_FOUND), L"Copying file: from " + Inst(L"Source\\*.hpp") +
                                                  L" to " + Inst(L"missing\\") + L" ...Fail"}));
}

TEST_F(FileItemTest, DeleteItemsRemoveOnlyWhatTheyNameAndClearDirReportsAFailureInTheLog) {
    ASSERT_EQ(CreateDirectoryPath(Inst(L"Source\\sub.hpp")), 0u);
    for (const wchar_t* name : {L"cache.hlp", L"Source\\a.hpp", L"Source\\b.hpp", L"Source\\c.pas",
                                L"Source\\sub.hpp\\inner.hpp"})
        WriteFileBytes(Inst(name), "x");
    // A second run finds nothing to delete and still succeeds.
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(Execute(Item(siDeleteFile, L"cache.hlp", dcInstall)),
                  (Outcome{0, L"Deleting file: " + Inst(L"cache.hlp") + L"...Success"}));
        EXPECT_EQ(Execute(Item(siDeleteFiles, L"Source\\*.hpp", dcInstall)),
                  (Outcome{0, L"Deleting files: " + Inst(L"Source\\*.hpp") + L"...Success"}));
    }
    EXPECT_FALSE(PathExists(Inst(L"cache.hlp")));
    EXPECT_EQ(DirectoryEntries(Inst(L"Source")), (std::vector<std::wstring>{L"c.pas", L"sub.hpp"}));
    EXPECT_TRUE(PathExists(Inst(L"Source\\sub.hpp\\inner.hpp")));

    const std::wstring line = L"Clearing directory: " + Inst(L"Source");
    EXPECT_EQ(Execute(Item(siClearDir, L"Source", dcInstall)), (Outcome{0, line + L"...Success"}));
    EXPECT_EQ(DirectoryEntries(Inst(L"Source")), std::vector<std::wstring>{});
    const std::wstring locked = Inst(L"Source\\locked.dcu");
    WriteFileBytes(locked, "l");
    ASSERT_TRUE(SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Execute(Item(siClearDir, L"Source", dcInstall)), (Outcome{0, line + L"...Fail"}));
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileItemTest, MergeAddsNewLinesInSortOrderOnceTreatingAMissingFileAsEmpty) {
    const std::wstring source = Inst(L"new.als"), dest = Inst(L"bcb6.als");
    const Outcome merged{0, L"Merging files: " + source + L", " + dest + L"...Success"};
    const TScriptItem item = TwoPathItem(siMergeFiles, L"new.als", L"bcb6.als");
    // A missing destination counts as empty.
    WriteFileBytes(source, "b\r\na");
    EXPECT_EQ(Execute(item), merged);
    EXPECT_EQ(ReadFileBytes(dest), "a\r\nb\r\n");
    // A second merge changes nothing.
    WriteFileBytes(source, "delta\r\nalpha\nbeta");
    WriteFileBytes(dest, "alpha\r\ncharlie\r\necho\r\n");
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(Execute(item), merged) << "pass " << pass;
        EXPECT_EQ(ReadFileBytes(dest), "alpha\r\nbeta\r\ncharlie\r\ndelta\r\necho\r\n") << pass;
    }

    // A line differing only in case is new; lines already there keep their places.
    WriteFileBytes(source, "Alpha\r\nzulu\r\n");
    WriteFileBytes(dest, "mike\r\nalpha\r\n");
    EXPECT_EQ(Execute(item), merged);
    const std::string text = ReadFileBytes(dest);
    for (const char* line : {"Alpha\r\n", "alpha\r\n", "zulu\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " missing in " << text;
    EXPECT_LT(text.find("mike"), text.find("alpha")) << text;
    EXPECT_EQ(text.size(), std::string("Alpha\r\nzulu\r\nmike\r\nalpha\r\n").size());
}

// A folder of the installation replaced by a link to another folder: no item writes or deletes
// through it (the write fails with the error for a stopped link, the deletions pass over it) and
// the folder it points to keeps exactly what it had.
TEST_F(FileItemTest, NoItemWritesOrDeletesThroughALinkedFolder) {
    const std::wstring outside = TempPath(L"Outside");
    ASSERT_EQ(CreateDirectoryPath(outside), 0u);
    WriteFileBytes(outside + L"\\own.pas", "keep");
    WriteFileBytes(outside + L"\\own.als", "keep\r\n");
    ASSERT_EQ(CreateDirectoryPath(outside + L"\\Design"), 0u);
    WriteFileBytes(outside + L"\\Design\\c.pas", "keep");
    WriteFileBytes(Inst(L"new.als"), "added\r\n");
    WriteFileBytes(Inst(L"new.hpp"), "added");
    ASSERT_TRUE(MakeDirectoryLink(InstallDir, L"Source", L"../Outside"));
    const auto failed = [&](const std::wstring& line) {
        return Outcome{Error(ErrorStoppedOnLink), line + L"...Fail"};
    };
    const std::wstring madeFail = L"Creating directory: " + Inst(L"Source\\Design") + L"...Fail. " +
                                  SystemErrorText(ErrorStoppedOnLink);
    EXPECT_EQ(Execute(Item(siCreateDir, L"Source\\Design", dcInstall)),
              (Outcome{Error(ErrorStoppedOnLink), madeFail}));
    for (const wchar_t* name : {L"Source\\own.pas", L"Source\\new.pas", L"Source"})
        EXPECT_EQ(Execute(Item(siExtractFile, name, dcInstall, TextPayload)),
                  failed(L"Copying file: " + Inst(name)))
            << name;
    EXPECT_EQ(Execute(TwoPathItem(siCopyFiles, L"new.hpp", L"Source\\")).Result,
              Error(ErrorStoppedOnLink));
    EXPECT_EQ(Execute(TwoPathItem(siMergeFiles, L"new.als", L"Source\\own.als")),
              (Outcome{0, L"Merging files: " + Inst(L"new.als") + L", " + Inst(L"Source\\own.als") +
                              L"...Fail"}));
    Execute(Item(siDeleteFile, L"Source\\own.pas", dcInstall));
    Execute(Item(siDeleteFiles, L"Source\\*.*", dcInstall));
    EXPECT_EQ(Execute(Item(siClearDir, L"Source\\Design", dcInstall)).Line,
              L"Clearing directory: " + Inst(L"Source\\Design") + L"...Fail");
    EXPECT_EQ(DirectoryEntries(outside),
              (std::vector<std::wstring>{L"Design", L"own.als", L"own.pas"}));
    EXPECT_EQ(DirectoryEntries(outside + L"\\Design"), std::vector<std::wstring>{L"c.pas"});
    EXPECT_EQ(ReadFileBytes(outside + L"\\own.pas"), "keep");
    EXPECT_EQ(ReadFileBytes(outside + L"\\own.als"), "keep\r\n");
}

TEST_F(FileItemTest, RunFileWaitsForTheProgramAndSetCurrentDirLogsNothing) {
    ASSERT_EQ(ExtractResourceFile(static_cast<int>(Version2005), Inst(L"tool.exe")), 0u);
    EXPECT_EQ(Execute(Item(siSetCurrentDir, L"", dcInstall)), (Outcome{0, L""}));
    EXPECT_EQ(LowerCase(CurrentDirectory()), LowerCase(InstallDir));
    EXPECT_EQ(Execute(Item(siRunFile, L"tool.exe", 0)),
              (Outcome{0, L"Run file: " + CurrentDirectory() + L"\\tool.exe...Success"}));
    // Waited for: the program no longer holds its file.
    EXPECT_TRUE(DeleteFileW(Inst(L"tool.exe").c_str())) << GetLastError();

    const Outcome failed = Execute(Item(siRunFile, L"missing.exe", 0));
    EXPECT_NE(failed.Result, 0);
    EXPECT_EQ(failed.Line, L"");
    const Outcome missingDir = Execute(Item(siSetCurrentDir, L"missing", dcInstall));
    EXPECT_TRUE(missingDir.Result == Error(ERROR_FILE_NOT_FOUND) ||
                missingDir.Result == Error(ERROR_PATH_NOT_FOUND))
        << missingDir.Result;
    EXPECT_EQ(missingDir.Line, L"");
    EXPECT_EQ(LowerCase(CurrentDirectory()), LowerCase(InstallDir));
}

}  // namespace
