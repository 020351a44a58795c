#include "product/UUtils.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace vktest;

namespace {

std::wstring FixtureExe() {
    return BuildDir() + L"\\tests\\versioned_fixture.exe";
}

// What the fixture wrote: its arguments joined by '|', a line break, its current directory.
std::wstring FixtureReport(const std::wstring& path) {
    std::string bytes = ReadFileBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

}  // namespace

class ProcessTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        // A copy in a directory with blanks: the path must be quoted to run.
        ASSERT_EQ(CreateDirectoryPath(TempPath(L"Program Files (x86)\\Tool Dir")), 0u);
        Tool = TempPath(L"Program Files (x86)\\Tool Dir\\fixture.exe");
        ASSERT_TRUE(CopyFileW(FixtureExe().c_str(), Tool.c_str(), FALSE)) << GetLastError();
    }
    std::wstring Tool;
};

TEST_F(ProcessTest, RunsAProgramWithBlanksInItsPathAndPassesTheParameters) {
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    const std::wstring report = TempPath(L"report.txt");
    EXPECT_EQ(RunAndWait(Tool, L"write \"" + report + L"\" one \"two three\""), 0u);
    EXPECT_EQ(FixtureReport(report), L"one|two three\n" + TempDir)
        << "waits for the end; default current directory";
}

TEST_F(ProcessTest, NeverStartsAProgramFoundByCuttingThePathAtABlank) {
    // "C:\...\Program.exe" would be what an unquoted command line tries first.
    const std::wstring decoy = TempPath(L"Program.exe");
    ASSERT_TRUE(CopyFileW(FixtureExe().c_str(), decoy.c_str(), FALSE));
    const std::wstring report = TempPath(L"report.txt");
    EXPECT_EQ(RunAndWait(Tool, L"write \"" + report + L"\" real"), 0u);
    std::wstring text = FixtureReport(report);
    EXPECT_EQ(text.substr(0, 5), L"real\n");
}

TEST_F(ProcessTest, WaitsForTheProgramAndIgnoresItsExitCode) {
    const ULONGLONG before = GetTickCount64();
    EXPECT_EQ(RunAndWait(Tool, L"sleep 400 exit 3"), 0u);
    EXPECT_GE(GetTickCount64() - before, 350u);
}

TEST_F(ProcessTest, RunsABatchFileThroughTheSystemCommandInterpreter) {
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"Help Dir")), 0u);
    const std::wstring batch = TempPath(L"Help Dir\\help reg.bat");
    ASSERT_TRUE(WriteFileBytes(batch, "@echo %~1 %2> \"%~dp0out.txt\"\r\n"));
    // A planted cmd.exe in the current directory must not be the one that runs.
    ASSERT_TRUE(CopyFileW(FixtureExe().c_str(), TempPath(L"cmd.exe").c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    EXPECT_EQ(RunAndWait(batch, L"\"first arg\" second"), 0u);
    EXPECT_EQ(ReadFileBytes(TempPath(L"Help Dir\\out.txt")), "first arg second\r\n");
}

TEST_F(ProcessTest, StartFailuresAnswerTheWin32Error) {
    EXPECT_EQ(RunAndWait(TempPath(L"missing.exe"), L""), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RunAndWait(TempPath(L"No Dir\\missing.exe"), L"x"),
              static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"text.exe"), "not a program"));
    EXPECT_NE(RunAndWait(TempPath(L"text.exe"), L""), 0u);
}

TEST_F(ProcessTest, ProductVersionIsReadNotTheFileVersion) {
    DWORD high = 1, low = 1;
    EXPECT_TRUE(GetFileProductVersion(Tool, high, low));
    EXPECT_EQ(high, 0x00040007u);
    EXPECT_EQ(low, 0x00020009u);
}

TEST_F(ProcessTest, NoVersionResourceAnswersFalse) {
    DWORD high = 1, low = 1;
    ASSERT_TRUE(WriteFileBytes(TempPath(L"plain.dll"), std::string(4096, 'M')));
    EXPECT_FALSE(GetFileProductVersion(TempPath(L"plain.dll"), high, low));
    EXPECT_FALSE(GetFileProductVersion(TempPath(L"absent.exe"), high, low));
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(low, 0u);
}

TEST(PlatformTest, NtFamilyAndErrorTexts) {
    OsPlatformId = 0;
    EXPECT_EQ(GetOsPlatform(), static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(OsPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    std::wstring text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), L'\n');
    EXPECT_NE(text.back(), L'\r');
}
