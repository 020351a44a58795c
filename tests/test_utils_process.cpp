#include "product/UFiles.h"
#include "product/UProcess.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace vktest;

class ProcessTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        // A copy in a directory with blanks: the path must be quoted to run.
        ASSERT_EQ(CreateDirectoryPath(TempPath(L"Program Files (x86)\\Tool Dir")), 0u);
        Tool = TempPath(L"Program Files (x86)\\Tool Dir\\fixture.exe");
        ASSERT_TRUE(CopyFileW(Fixture.c_str(), Tool.c_str(), FALSE)) << GetLastError();
        ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    }
    const std::wstring Fixture = BuildDir() + L"\\tests\\versioned_fixture.exe";
    std::wstring Tool;
};

TEST_F(ProcessTest, RunsAQuotedProgramPathWithItsParametersAndWaitsIgnoringTheExitCode) {
    // "...\Program.exe" is what an unquoted command line would start first.
    ASSERT_TRUE(CopyFileW(Fixture.c_str(), TempPath(L"Program.exe").c_str(), FALSE));
    const std::wstring report = TempPath(L"report.txt");
    // The fixture writes its arguments and current directory only after the pause and exits
    // with 3: the report is there on return only when RunAndWait waited for the end.
    EXPECT_EQ(RunAndWait(Tool, L"sleep 400 exit 3 write \"" + report + L"\" one \"two three\""),
              0u);
    const std::string bytes = ReadFileBytes(report);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2),
              L"one|two three\n" + TempDir);
    EXPECT_EQ(RunAndWait(TempPath(L"missing.exe"), L""), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(ProcessTest, RunsABatchFileThroughTheSystemCommandInterpreter) {
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"Help Dir")), 0u);
    const std::wstring batch = TempPath(L"Help Dir\\help reg.bat");
    ASSERT_TRUE(WriteFileBytes(batch, "@echo %~1 %2> \"%~dp0out.txt\"\r\n"));
    // A planted cmd.exe in the current directory must not be the one that runs.
    ASSERT_TRUE(CopyFileW(Fixture.c_str(), TempPath(L"cmd.exe").c_str(), FALSE));
    EXPECT_EQ(RunAndWait(batch, L"\"first arg\" second"), 0u);
    EXPECT_EQ(ReadFileBytes(TempPath(L"Help Dir\\out.txt")), "first arg second\r\n");
}

// cmd would expand "%OS%" in the path it is given: such a batch file runs only from the current
// directory, named by its file name; elsewhere it is refused and nothing runs.
TEST_F(ProcessTest, ABatchPathNamingAVariableRunsOnlyFromTheCurrentDirectory) {
    const std::wstring dir = TempPath(L"%OS% ^&! dir");
    ASSERT_EQ(CreateDirectoryPath(dir), 0u);
    const std::wstring batch = dir + L"\\job.bat";
    ASSERT_TRUE(WriteFileBytes(batch, "@echo %~1> out.txt\r\n"));
    EXPECT_EQ(RunAndWait(batch, L"one"), DWORD(ERROR_INVALID_NAME));
    EXPECT_FALSE(PathExists(TempPath(L"out.txt")));
    ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str()));
    EXPECT_EQ(RunAndWait(batch, L"one"), 0u);
    EXPECT_EQ(ReadFileBytes(dir + L"\\out.txt"), "one\r\n");
}

TEST_F(ProcessTest, ProductVersionIsReadNotTheFileVersionAndNoResourceAnswersZero) {
    DWORD high = 1, low = 1;
    EXPECT_TRUE(GetFileProductVersion(Tool, high, low));
    EXPECT_EQ(high, 0x00040007u);
    EXPECT_EQ(low, 0x00020009u);
    ASSERT_TRUE(WriteFileBytes(TempPath(L"plain.dll"), std::string(4096, 'M')));
    for (const wchar_t* file : {L"plain.dll", L"absent.exe"}) {
        high = low = 1;
        EXPECT_FALSE(GetFileProductVersion(TempPath(file), high, low)) << file;
        EXPECT_EQ(high | low, 0u) << file;
    }
}
