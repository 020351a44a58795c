// The file items on real files in the test's temporary directory, each run through the
// interpreter so that the dispatch is part of what is tested. The program carries its own small
// payload: resource 7 a text file, 20 to 23 one program built with the product versions 2.0.0.5,
// 2.0.0.4, 1.9.9.9 and 2.1.0.0.
#include "tests/ScriptTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vktest;

namespace {

constexpr uint32_t TextPayload = 7;
constexpr uint32_t Version2005 = 20;
constexpr uint32_t Version2004 = 21;
constexpr uint32_t Version1999 = 22;
constexpr uint32_t Version2100 = 23;
constexpr uint32_t MissingPayload = 99;

// Win32 error codes as the handlers answer them.
constexpr int Error(DWORD code) {
    return static_cast<int>(code);
}

struct Outcome {
    int Result;
    std::wstring Line;
};

// Runs one item through the interpreter without logs; its result and its log line.
Outcome Execute(const TScriptItem& item) {
    TScript script(&item, 1);
    const int result = script.ItemDoScript();
    return {result, script.LogString()};
}

TScriptItem TwoPathItem(uint16_t type, const wchar_t* name, int32_t dirCode, const wchar_t* text2,
                        int32_t destDirCode) {
    TScriptItem item = Item(type, name, dirCode, 0, 0);
    item.Text2 = text2;
    item.DestDirCode = destDirCode;
    return item;
}

std::string Payload(uint32_t id) {
    const void* data = nullptr;
    DWORD size = 0;
    if (FindPayload(static_cast<int>(id), data, size) != 0)
        return "<no payload>";
    return std::string(static_cast<const char*>(data), size);
}

std::vector<std::wstring> DirectoryEntries(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Every test gets its own temporary directory as the process's TMP, so that the payload copies
// the version check makes can be watched and nothing of other processes is in the way.
class FileItemTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        for (const wchar_t* name : {L"TMP", L"TEMP"}) {
            wchar_t value[MAX_PATH];
            const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
            FSavedTemp.emplace_back(name, length > 0 && length < MAX_PATH ? value : L"");
        }
        Tmp = TempPath(L"tmp");
        ASSERT_TRUE(CreateDirectoryW(Tmp.c_str(), nullptr));
        SetTemp(Tmp);
        ASSERT_EQ(BaseDir(dcTemp), Tmp + L"\\");
        ASSERT_EQ(CreateDirectoryPath(InstallDir), 0u);
    }
    void TearDown() override {
        for (const auto& [name, value] : FSavedTemp)
            SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
        ScriptTest::TearDown();
    }
    static void SetTemp(const std::wstring& dir) {
        SetEnvironmentVariableW(L"TMP", dir.c_str());
        SetEnvironmentVariableW(L"TEMP", dir.c_str());
    }
    std::wstring Inst(const std::wstring& name) const { return InstallDir + L"\\" + name; }

    std::wstring Tmp;

private:
    std::vector<std::pair<std::wstring, std::wstring>> FSavedTemp;
};

// ---- siCreateDir ----

TEST_F(FileItemTest, CreateDirMakesEveryMissingLevelAndAcceptsAnExistingDirectory) {
    const Outcome deep = Execute(Item(siCreateDir, L"a\\b\\c", dcInstall));
    EXPECT_EQ(deep.Result, 0);
    EXPECT_EQ(deep.Line, L"Creating directory: " + Inst(L"a\\b\\c") + L"...Success");
    EXPECT_TRUE(DirectoryExists(Inst(L"a\\b\\c")));

    const Outcome again = Execute(Item(siCreateDir, L"a\\b\\c", dcInstall));
    EXPECT_EQ(again.Result, 0);
    EXPECT_EQ(again.Line, deep.Line);

    // The installation-directory row: an empty name is the directory itself.
    const Outcome root = Execute(Item(siCreateDir, L"", dcInstall));
    EXPECT_EQ(root.Line, L"Creating directory: " + InstallDir + L"...Success");
}

TEST_F(FileItemTest, CreateDirFailureNamesTheSystemError) {
    WriteFileBytes(Inst(L"file"), "x");
    const Outcome failed = Execute(Item(siCreateDir, L"file\\sub", dcInstall));
    ASSERT_NE(failed.Result, 0);
    EXPECT_EQ(failed.Line, L"Creating directory: " + Inst(L"file\\sub") + L"...Fail. " +
                               SystemErrorText(static_cast<DWORD>(failed.Result)));
    EXPECT_EQ(ReadFileBytes(Inst(L"file")), "x");
}

TEST_F(FileItemTest, ADirCodeOutsideOneToSixLeavesTheNameRelativeToTheCurrentDirectory) {
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    for (int32_t dirCode : {0, 7, -1}) {
        const std::wstring name = L"rel" + std::to_wstring(dirCode + 1);
        const Outcome made = Execute(Item(siCreateDir, name.c_str(), dirCode));
        EXPECT_EQ(made.Result, 0);
        EXPECT_EQ(made.Line, L"Creating directory: " + name + L"...Success");
        EXPECT_TRUE(DirectoryExists(TempPath(name))) << dirCode;
    }
}

// ---- siExtractFile, siExtractFileIfAbsent ----

TEST_F(FileItemTest, ExtractWritesThePayloadAndReplacesAnExistingFile) {
    const std::wstring path = Inst(L"read.txt");
    WriteFileBytes(path, "old contents that are longer than the payload file, so a leftover shows");
    const Outcome written = Execute(Item(siExtractFile, L"read.txt", dcInstall, TextPayload));
    EXPECT_EQ(written.Result, 0);
    EXPECT_EQ(written.Line, L"Copying file: " + path + L"...Success");
    EXPECT_EQ(ReadFileBytes(path), Payload(TextPayload));
}

TEST_F(FileItemTest, ExtractIfAbsentKeepsAnExistingFileOrDirectory) {
    const std::wstring path = Inst(L"templates.txt");
    WriteFileBytes(path, "the user's own");
    const Outcome kept =
        Execute(Item(siExtractFileIfAbsent, L"templates.txt", dcInstall, TextPayload));
    EXPECT_EQ(kept.Result, 0);
    EXPECT_EQ(kept.Line, L"Copying file: " + path + L"...Already");
    EXPECT_EQ(ReadFileBytes(path), "the user's own");

    ASSERT_TRUE(CreateDirectoryW(Inst(L"dir.txt").c_str(), nullptr));
    EXPECT_EQ(Execute(Item(siExtractFileIfAbsent, L"dir.txt", dcInstall, TextPayload)).Line,
              L"Copying file: " + Inst(L"dir.txt") + L"...Already");

    const Outcome absent = Execute(Item(siExtractFileIfAbsent, L"new.txt", dcInstall, TextPayload));
    EXPECT_EQ(absent.Result, 0);
    EXPECT_EQ(absent.Line, L"Copying file: " + Inst(L"new.txt") + L"...Success");
    EXPECT_EQ(ReadFileBytes(Inst(L"new.txt")), Payload(TextPayload));
}

TEST_F(FileItemTest, AMissingPayloadFailsWithTheLookupErrorAndWritesNothing) {
    for (uint16_t type : {siExtractFile, siExtractFileIfAbsent, siExtractFileIfNewer}) {
        const Outcome failed = Execute(Item(type, L"none.txt", dcInstall, MissingPayload));
        EXPECT_TRUE(failed.Result == Error(ERROR_RESOURCE_NAME_NOT_FOUND) ||
                    failed.Result == Error(ERROR_RESOURCE_TYPE_NOT_FOUND))
            << failed.Result;
        EXPECT_EQ(failed.Line, L"Copying file: " + Inst(L"none.txt") + L"...Fail");
        EXPECT_FALSE(PathExists(Inst(L"none.txt")));
    }
}

TEST_F(FileItemTest, ExtractIntoAMissingDirectoryFails) {
    const Outcome failed = Execute(Item(siExtractFile, L"no\\such\\f.txt", dcInstall, TextPayload));
    EXPECT_EQ(failed.Result, Error(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(failed.Line, L"Copying file: " + Inst(L"no\\such\\f.txt") + L"...Fail");
}

// ---- siExtractFileIfNewer ----

class NewerTest : public FileItemTest {
protected:
    // Installs payload `installed` (or the given bytes) as the target, back-dated, then runs the
    // newer-check of payload 2.0.0.5 over it.
    Outcome RunOver(const std::string& installed) {
        EXPECT_TRUE(WriteFileBytes(Target(), installed));
        BackDate();
        return Execute(Item(siExtractFileIfNewer, L"unbrm.exe", dcInstall, Version2005));
    }
    std::wstring Target() const { return Inst(L"unbrm.exe"); }
    void BackDate() { FileTimeOf(Target(), true); }
    // The target's last write time; with set, first puts it at a fixed date in the past.
    static ULONGLONG FileTimeOf(const std::wstring& path, bool set = false) {
        handles::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        FILETIME time{0x12345678, 0x01c00000};
        if (set)
            SetFileTime(file.get(), nullptr, nullptr, &time);
        GetFileTime(file.get(), nullptr, nullptr, &time);
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    }
    std::wstring Line(const wchar_t* outcome) const {
        return L"Copying file: " + Target() + outcome;
    }
    void ExpectTempDirectoryEmpty() const {
        EXPECT_EQ(DirectoryEntries(Tmp), std::vector<std::wstring>{})
            << "the payload copy must not stay in the temporary directory";
    }
};

TEST_F(NewerTest, ThePayloadIsWrittenWhenNothingOrNoVersionIsInstalled) {
    const Outcome absent =
        Execute(Item(siExtractFileIfNewer, L"unbrm.exe", dcInstall, Version2005));
    EXPECT_EQ(absent.Result, 0);
    EXPECT_EQ(absent.Line, Line(L"...Success"));
    EXPECT_TRUE(ReadFileBytes(Target()) == Payload(Version2005));

    const Outcome plain = RunOver("no version resource here");
    EXPECT_EQ(plain.Result, 0);
    EXPECT_EQ(plain.Line, Line(L"...Success"));
    EXPECT_TRUE(ReadFileBytes(Target()) == Payload(Version2005));
    ExpectTempDirectoryEmpty();
}

TEST_F(NewerTest, AnOlderProductVersionIsReplacedComparingTheMostSignificantWordFirst) {
    for (uint32_t older : {Version2004, Version1999}) {
        const Outcome replaced = RunOver(Payload(older));
        EXPECT_EQ(replaced.Result, 0);
        EXPECT_EQ(replaced.Line, Line(L"...Success")) << older;
        EXPECT_TRUE(ReadFileBytes(Target()) == Payload(Version2005)) << older;
    }
    ExpectTempDirectoryEmpty();
}

TEST_F(NewerTest, AnEqualOrNewerProductVersionStaysUntouched) {
    for (uint32_t installed : {Version2005, Version2100}) {
        const Outcome kept = RunOver(Payload(installed));
        EXPECT_EQ(kept.Result, 0);
        EXPECT_EQ(kept.Line, Line(L"...Already")) << installed;
        EXPECT_TRUE(ReadFileBytes(Target()) == Payload(installed)) << installed;
        EXPECT_EQ(FileTimeOf(Target()), 0x01c0000012345678ull) << "the file was rewritten";
    }
    ExpectTempDirectoryEmpty();
}

TEST_F(NewerTest, APayloadWithoutAVersionIsWrittenOverAVersionedFile) {
    EXPECT_TRUE(WriteFileBytes(Target(), Payload(Version2100)));
    const Outcome written =
        Execute(Item(siExtractFileIfNewer, L"unbrm.exe", dcInstall, TextPayload));
    EXPECT_EQ(written.Line, Line(L"...Success"));
    EXPECT_EQ(ReadFileBytes(Target()), Payload(TextPayload));
    ExpectTempDirectoryEmpty();
}

TEST_F(NewerTest, AFilePlantedInTheTemporaryDirectoryIsNeverWrittenThrough) {
    // The item's own name in the temporary directory, where a fixed-name copy would go.
    const std::wstring planted = Tmp + L"\\unbrm.exe";
    WriteFileBytes(planted, "planted");
    EXPECT_EQ(RunOver(Payload(Version2004)).Line, Line(L"...Success"));
    EXPECT_EQ(RunOver(Payload(Version2100)).Line, Line(L"...Already"));
    EXPECT_EQ(ReadFileBytes(planted), "planted");
    EXPECT_EQ(DirectoryEntries(Tmp), std::vector<std::wstring>{L"unbrm.exe"});
}

TEST_F(NewerTest, AnUnusableTemporaryDirectoryMeansThePayloadIsWritten) {
    SetTemp(TempPath(L"no-such-dir"));
    const Outcome written = RunOver(Payload(Version2100));
    EXPECT_EQ(written.Line, Line(L"...Success"));
    EXPECT_TRUE(ReadFileBytes(Target()) == Payload(Version2005));
}

// ---- siCopyFileTo, siCopyFiles ----

TEST_F(FileItemTest, CopyFileToReplacesTheDestinationAndLogsBothPaths) {
    WriteFileBytes(Inst(L"vkl.bpl"), "package");
    WriteFileBytes(Tmp + L"\\vkl280.bpl", "older package");
    const TPackageFile dest{L"vkl280.bpl", dcTemp};
    TScriptItem item = Item(siCopyFileTo, L"vkl.bpl", dcInstall, 0, 0);
    item.Dest = &dest;
    const Outcome copied = Execute(item);
    EXPECT_EQ(copied.Result, 0);
    EXPECT_EQ(copied.Line, L"Copying file: from " + Inst(L"vkl.bpl") + L" to " + Tmp +
                               L"\\vkl280.bpl ...Success");
    EXPECT_EQ(ReadFileBytes(Tmp + L"\\vkl280.bpl"), "package");

    item.Name = L"missing.bpl";
    const Outcome failed = Execute(item);
    EXPECT_EQ(failed.Result, Error(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(failed.Line, L"Copying file: from " + Inst(L"missing.bpl") + L" to " + Tmp +
                               L"\\vkl280.bpl ...Fail");
    EXPECT_EQ(ReadFileBytes(Tmp + L"\\vkl280.bpl"), "package");
}

TEST_F(FileItemTest, CopyFilesCopiesTheMatchesIntoTheDestinationDirectoryByTheirOwnNames) {
    ASSERT_EQ(CreateDirectoryPath(Inst(L"Source")), 0u);
    ASSERT_EQ(CreateDirectoryPath(Inst(L"BDS2006")), 0u);
    WriteFileBytes(Inst(L"Source\\a.hpp"), "a");
    WriteFileBytes(Inst(L"Source\\b.hpp"), "b");
    WriteFileBytes(Inst(L"Source\\c.pas"), "c");
    WriteFileBytes(Inst(L"BDS2006\\b.hpp"), "old b");
    const Outcome copied = Execute(
        TwoPathItem(siCopyFiles, L"Source\\*.hpp", dcInstall, L"BDS2006\\ignored.x", dcInstall));
    EXPECT_EQ(copied.Result, 0);
    EXPECT_EQ(copied.Line, L"Copying file: from " + Inst(L"Source\\*.hpp") + L" to " +
                               Inst(L"BDS2006\\ignored.x") + L" ...Success");
    EXPECT_EQ(ReadFileBytes(Inst(L"BDS2006\\a.hpp")), "a");
    EXPECT_EQ(ReadFileBytes(Inst(L"BDS2006\\b.hpp")), "b");
    EXPECT_FALSE(PathExists(Inst(L"BDS2006\\c.pas")));
    EXPECT_FALSE(PathExists(Inst(L"BDS2006\\ignored.x")));
    EXPECT_TRUE(PathExists(Inst(L"Source\\a.hpp"))) << "a copy keeps its source";
}

TEST_F(FileItemTest, CopyFilesWithoutAMatchSucceedsAndIntoAMissingDirectoryFails) {
    const Outcome none =
        Execute(TwoPathItem(siCopyFiles, L"*.none", dcInstall, L"missing\\", dcInstall));
    EXPECT_EQ(none.Result, 0);
    EXPECT_EQ(none.Line, L"Copying file: from " + Inst(L"*.none") + L" to " + Inst(L"missing\\") +
                             L" ...Success");

    WriteFileBytes(Inst(L"one.hpp"), "1");
    const Outcome failed =
        Execute(TwoPathItem(siCopyFiles, L"*.hpp", dcInstall, L"missing\\", dcInstall));
    EXPECT_EQ(failed.Result, Error(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(failed.Line,
              L"Copying file: from " + Inst(L"*.hpp") + L" to " + Inst(L"missing\\") + L" ...Fail");
}

// ---- siDeleteFile, siDeleteFiles, siClearDir ----

TEST_F(FileItemTest, DeleteFileSucceedsWhetherOrNotTheFileWasThere) {
    WriteFileBytes(Inst(L"cache.hlp"), "x");
    for (int pass = 0; pass < 2; ++pass) {
        const Outcome deleted = Execute(Item(siDeleteFile, L"cache.hlp", dcInstall));
        EXPECT_EQ(deleted.Result, 0);
        EXPECT_EQ(deleted.Line, L"Deleting file: " + Inst(L"cache.hlp") + L"...Success");
        EXPECT_FALSE(PathExists(Inst(L"cache.hlp")));
    }
    // A real directory of that name is not a file to delete.
    ASSERT_TRUE(CreateDirectoryW(Inst(L"dir").c_str(), nullptr));
    EXPECT_EQ(Execute(Item(siDeleteFile, L"dir", dcInstall)).Result, 0);
    EXPECT_TRUE(DirectoryExists(Inst(L"dir")));
}

TEST_F(FileItemTest, DeleteFilesRemovesOnlyTheMatches) {
    ASSERT_EQ(CreateDirectoryPath(Inst(L"Source\\sub.hpp")), 0u);
    WriteFileBytes(Inst(L"Source\\a.hpp"), "a");
    WriteFileBytes(Inst(L"Source\\b.hpp"), "b");
    WriteFileBytes(Inst(L"Source\\c.pas"), "c");
    WriteFileBytes(Inst(L"Source\\sub.hpp\\inner.hpp"), "i");
    const Outcome deleted = Execute(Item(siDeleteFiles, L"Source\\*.hpp", dcInstall));
    EXPECT_EQ(deleted.Result, 0);
    EXPECT_EQ(deleted.Line, L"Deleting files: " + Inst(L"Source\\*.hpp") + L"...Success");
    EXPECT_EQ(DirectoryEntries(Inst(L"Source")), (std::vector<std::wstring>{L"c.pas", L"sub.hpp"}));
    EXPECT_TRUE(PathExists(Inst(L"Source\\sub.hpp\\inner.hpp")));

    const Outcome none = Execute(Item(siDeleteFiles, L"Source\\*.hpp", dcInstall));
    EXPECT_EQ(none.Result, 0);
    EXPECT_EQ(none.Line, deleted.Line);
}

TEST_F(FileItemTest, DeleteFilesWithoutADirectoryPartWorksInTheCurrentDirectory) {
    ASSERT_TRUE(SetCurrentDirectoryW(InstallDir.c_str()));
    WriteFileBytes(Inst(L"x.obj"), "x");
    WriteFileBytes(Inst(L"y.pas"), "y");
    EXPECT_EQ(Execute(Item(siDeleteFiles, L"*.obj", 0)).Line, L"Deleting files: *.obj...Success");
    EXPECT_FALSE(PathExists(Inst(L"x.obj")));
    EXPECT_TRUE(PathExists(Inst(L"y.pas")));
}

TEST_F(FileItemTest, ClearDirEmptiesTheDirectoryKeepsItAndReportsAFailureOnlyInTheLog) {
    ASSERT_EQ(CreateDirectoryPath(Inst(L"BDS2006\\Win32")), 0u);
    ASSERT_EQ(CreateDirectoryPath(Inst(L"BDS2006\\.svn")), 0u);
    WriteFileBytes(Inst(L"BDS2006\\a.dcu"), "a");
    WriteFileBytes(Inst(L"BDS2006\\Win32\\b.dcu"), "b");
    const Outcome cleared = Execute(Item(siClearDir, L"BDS2006", dcInstall));
    EXPECT_EQ(cleared.Result, 0);
    EXPECT_EQ(cleared.Line, L"Clearing directory: " + Inst(L"BDS2006") + L"...Success");
    EXPECT_EQ(DirectoryEntries(Inst(L"BDS2006")), std::vector<std::wstring>{L".svn"});

    WriteFileBytes(Inst(L"BDS2006\\locked.dcu"), "l");
    ASSERT_TRUE(SetFileAttributesW(Inst(L"BDS2006\\locked.dcu").c_str(), FILE_ATTRIBUTE_READONLY));
    const Outcome failed = Execute(Item(siClearDir, L"BDS2006", dcInstall));
    EXPECT_EQ(failed.Result, 0);
    EXPECT_EQ(failed.Line, L"Clearing directory: " + Inst(L"BDS2006") + L"...Fail");
    SetFileAttributesW(Inst(L"BDS2006\\locked.dcu").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// ---- siMergeFiles ----

class MergeTest : public FileItemTest {
protected:
    Outcome Merge() {
        return Execute(
            TwoPathItem(siMergeFiles, L"new.als", dcInstall, L"ide\\bcb6.als", dcInstall));
    }
    std::wstring Source() const { return Inst(L"new.als"); }
    std::wstring Dest() const { return Inst(L"ide\\bcb6.als"); }
    std::wstring Line() const {
        return L"Merging files: " + Source() + L", " + Dest() + L"...Success";
    }
    void SetUp() override {
        FileItemTest::SetUp();
        ASSERT_EQ(CreateDirectoryPath(Inst(L"ide")), 0u);
    }
};

TEST_F(MergeTest, NewLinesGoToTheirSortedPlaceAndASecondMergeChangesNothing) {
    WriteFileBytes(Source(), "delta\r\nalpha\nbeta");
    WriteFileBytes(Dest(), "alpha\r\ncharlie\r\necho\r\n");
    const Outcome merged = Merge();
    EXPECT_EQ(merged.Result, 0);
    EXPECT_EQ(merged.Line, Line());
    const std::string once = ReadFileBytes(Dest());
    EXPECT_EQ(once, "alpha\r\nbeta\r\ncharlie\r\ndelta\r\necho\r\n");
    EXPECT_EQ(Merge().Line, Line());
    EXPECT_EQ(ReadFileBytes(Dest()), once);
}

TEST_F(MergeTest, ALineDifferingOnlyInCaseIsAddedAndTheDestinationIsNeverReordered) {
    WriteFileBytes(Source(), "Alpha\r\nzulu\r\n");
    // Not in sort order: the lines already there keep their places.
    WriteFileBytes(Dest(), "mike\r\nalpha\r\n");
    EXPECT_EQ(Merge().Result, 0);
    const std::string merged = ReadFileBytes(Dest());
    EXPECT_NE(merged.find("Alpha\r\n"), std::string::npos) << merged;
    EXPECT_NE(merged.find("alpha\r\n"), std::string::npos) << merged;
    EXPECT_NE(merged.find("zulu\r\n"), std::string::npos) << merged;
    EXPECT_LT(merged.find("mike"), merged.find("alpha")) << merged;
    EXPECT_EQ(merged.size(), std::string("Alpha\r\nzulu\r\nmike\r\nalpha\r\n").size());
}

TEST_F(MergeTest, MissingFilesCountAsEmptyAndTheDestinationIsStillWritten) {
    WriteFileBytes(Source(), "b\r\na\r\n");
    EXPECT_EQ(Merge().Line, Line());
    EXPECT_EQ(ReadFileBytes(Dest()), "a\r\nb\r\n");

    DeleteFileW(Source().c_str());
    WriteFileBytes(Dest(), "x\ny");
    EXPECT_EQ(Merge().Result, 0);
    EXPECT_EQ(ReadFileBytes(Dest()), "x\r\ny\r\n");
}

TEST_F(MergeTest, EightBitTextStaysInTheAnsiCodePage) {
    WriteFileBytes(Source(), "caf\xe9\r\n");
    WriteFileBytes(Dest(), "");
    Merge();
    EXPECT_EQ(ReadFileBytes(Dest()), "caf\xe9\r\n");
}

// ---- siCheckFile, siRunFile, siSetCurrentDir ----

TEST_F(FileItemTest, CheckFileAnswersZeroOrOneAndLogsEither) {
    WriteFileBytes(Inst(L"vkl.bpl"), "x");
    const Outcome found = Execute(Item(siCheckFile, L"vkl.bpl", dcInstall));
    EXPECT_EQ(found.Result, 0);
    EXPECT_EQ(found.Line, L"Check file: " + Inst(L"vkl.bpl") + L"...Success");
    const Outcome missing = Execute(Item(siCheckFile, L"dclvkl.bpl", dcInstall));
    EXPECT_EQ(missing.Result, 1);
    EXPECT_EQ(missing.Line, L"Check file: " + Inst(L"dclvkl.bpl") + L"...Fail");
}

TEST_F(FileItemTest, RunFileStartsTheProgramFromTheCurrentDirectoryAndWaits) {
    ASSERT_EQ(ExtractResourceFile(static_cast<int>(Version2005), Inst(L"tool.exe")), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(InstallDir.c_str()));
    const Outcome ran = Execute(Item(siRunFile, L"tool.exe", 0));
    EXPECT_EQ(ran.Result, 0);
    EXPECT_EQ(ran.Line, L"Run file: " + CurrentDirectory() + L"\\tool.exe...Success");
    // Waited for: the program no longer holds its file.
    EXPECT_TRUE(DeleteFileW(Inst(L"tool.exe").c_str())) << GetLastError();

    const Outcome failed = Execute(Item(siRunFile, L"missing.exe", 0));
    EXPECT_NE(failed.Result, 0);
    EXPECT_EQ(failed.Line, L"");
}

TEST_F(FileItemTest, SetCurrentDirChangesTheDirectoryLaterItemsUseAndLogsNothing) {
    ASSERT_EQ(CreateDirectoryPath(Inst(L"BDS2006")), 0u);
    const Outcome set = Execute(Item(siSetCurrentDir, L"BDS2006", dcInstall));
    EXPECT_EQ(set.Result, 0);
    EXPECT_EQ(set.Line, L"");
    EXPECT_EQ(LowerCase(CurrentDirectory()), LowerCase(Inst(L"BDS2006")));

    const Outcome failed = Execute(Item(siSetCurrentDir, L"missing", dcInstall));
    EXPECT_TRUE(failed.Result == Error(ERROR_FILE_NOT_FOUND) ||
                failed.Result == Error(ERROR_PATH_NOT_FOUND))
        << failed.Result;
    EXPECT_EQ(failed.Line, L"");
    EXPECT_EQ(LowerCase(CurrentDirectory()), LowerCase(Inst(L"BDS2006")));
}

} // namespace
