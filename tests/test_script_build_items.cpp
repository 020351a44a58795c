// Package builds: tool choice, command line, current directory, missing tools, and the results,
// with the stand-in build tools in test IDE directories.
#include "tests/IdeTestSupport.h"

#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProducts.h"
#include "support/UText.h"

using namespace vktest;

namespace {

constexpr uint32_t Rad11Bit = 0x8000000;  // RAD Studio 11, index 28: 32- and 64-bit Delphi
constexpr uint32_t Cb6Bit = 0x80;         // C++Builder 6, index 8: make

class BuildItemsTest : public InstallStateTest {
protected:
    void SetUp() override {
        InstallStateTest::SetUp();
        // A directory with blanks, as IDEs usually have.
        BorlandProducts[28].RootDir = Rad11Root = TempPath(L"Program Files (x86)\\Studio\\22.0");
        BorlandProducts[8].RootDir = Cb6Root = TempPath(L"Borland\\CBuilder6");
        ProjectDir = TempPath(L"Velkora\\RADStudio22");
        ASSERT_EQ(CreateDirectoryPath(ProjectDir + L"\\Win32"), 0u);
        ASSERT_EQ(CreateDirectoryPath(ProjectDir + L"\\Win64"), 0u);
        const std::wstring payload = SourceDir() + L"\\resources\\payload\\";
        for (const wchar_t* name : {L"RADStudio22\\dcc32.cfg", L"RADStudio22\\dcc64.cfg",
                                    L"RADStudio22\\vkl280.dpk", L"CBuilder6\\vkl60.mak"}) {
            const std::wstring file = name;
            ASSERT_TRUE(CopyFileW((payload + file).c_str(),
                                  (ProjectDir + file.substr(file.find(L'\\'))).c_str(), FALSE));
        }
        ASSERT_TRUE(SetCurrentDirectoryW(ProjectDir.c_str()));
    }

    std::wstring Rad11Root;
    std::wstring Cb6Root;
    std::wstring ProjectDir;
};

TEST_F(BuildItemsTest, EachBuildRunsItsQuotedToolInTheCurrentDirectory) {
    ASSERT_TRUE(InstallStandinTools(Rad11Root, 0, {L"dcc32.exe", L"dcc64.exe"}));
    ASSERT_TRUE(InstallStandinTools(Cb6Root, 0, {L"make.exe"}));
    // Were the path with blanks passed unquoted, the system would start this one first.
    ASSERT_TRUE(CopyFileW(StandinTool(0).c_str(), TempPath(L"Program.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"standin.log"), ""));
    THandlerProbe script({Row(siCompilePackage, L"vkl280.dpk", Rad11Bit, 0),
                          Row(siCompilePackage, L"vkl280.dpk", Rad11Bit, 0, 1),
                          // C++Builder builds with make whatever the platform; the lowest bit wins.
                          Row(siCompilePackage, L"vkl60.mak", Cb6Bit | Rad11Bit, 0, 1)});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(script.Run(i), 0);
        EXPECT_EQ(script.LogString(), i < 2 ? L"Compiling package: vkl280.dpk...Success"
                                            : L"Compiling package: vkl60.mak...Success");
    }
    const std::string cwd = ToAnsi(ProjectDir), rad = ToAnsi(Rad11Root);
    EXPECT_EQ(StandinCalls(Rad11Root),
              (std::vector<std::string>{
                  "dcc32.exe|" + cwd + "|\"" + rad + "\\bin\\dcc32.exe\" vkl280.dpk",
                  "dcc64.exe|" + cwd + "|\"" + rad + "\\bin\\dcc64.exe\" vkl280.dpk"}));
    EXPECT_EQ(StandinCalls(Cb6Root),
              std::vector<std::string>{"make.exe|" + cwd + "|\"" + ToAnsi(Cb6Root) +
                                       "\\bin\\make.exe\" /fvkl60.mak"});
    EXPECT_EQ(ReadFileBytes(TempPath(L"standin.log")), "");
    // The configurations put each platform's package into its own folder.
    EXPECT_TRUE(FileExists(ProjectDir + L"\\Win32\\vkl280.bpl"));
    EXPECT_TRUE(FileExists(ProjectDir + L"\\Win64\\vkl280.bpl"));
    EXPECT_TRUE(FileExists(ProjectDir + L"\\vkl60.bpl"));
}

TEST_F(BuildItemsTest, AMissingToolOrABadCodeRunsNothingAndAnswersItsResult) {
    // RAD Studio 11 has only the 32-bit compiler; C++Builder 6 has no make; RAD Studio XE10.4
    // was never detected (empty RootDir). A relative RootDir must not find "bin\dcc32.exe"
    // below the current directory.
    ASSERT_TRUE(InstallStandinTools(Rad11Root, 0, {L"dcc32.exe"}));
    ASSERT_TRUE(InstallStandinTools(ProjectDir, 0, {L"dcc32.exe"}));
    ASSERT_EQ(CreateDirectoryPath(Cb6Root + L"\\bin"), 0u);
    BorlandProducts[27].RootDir.clear();
    const std::wstring dcc32 = L"Compiling package, cannot find dcc32.exe: vkl280.dpk...Fail";
    const struct {
        uint32_t Code;
        int32_t Platform;
        const wchar_t *Rad11Root, *Package;
        int Result;
        std::wstring Line;
    } rows[] = {{Rad11Bit, 1, nullptr, L"vkl280.dpk", -3,
                 L"Compiling package, cannot find dcc64.exe: vkl280.dpk...Fail"},
                {Cb6Bit, 0, nullptr, L"vkl60.mak", -4,
                 L"Compiling package, cannot find make.exe: vkl60.mak...Fail"},
                {0x4000000, 0, nullptr, L"vkl280.dpk", -3, dcc32},
                {Rad11Bit, 0, L".", L"vkl280.dpk", -3, dcc32},
                // No bit, and an IDE without a compiler.
                {0, 0, nullptr, L"vkl280.dpk", -1, L""},
                {0x10000000, 0, nullptr, L"vkl280.dpk", -2, L""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.Code << " " << row.Platform);
        BorlandProducts[28].RootDir = row.Rad11Root ? row.Rad11Root : Rad11Root;
        THandlerProbe script({Row(siCompilePackage, row.Package, row.Code, 0, row.Platform)});
        EXPECT_EQ(script.Run(0), row.Result);
        EXPECT_EQ(script.LogString(), row.Line);
    }
    EXPECT_TRUE(StandinCalls(Rad11Root).empty());
    EXPECT_TRUE(StandinCalls(ProjectDir).empty());

    // A tool that cannot start answers its Win32 error and logs nothing.
    BorlandProducts[28].RootDir = Rad11Root;
    ASSERT_TRUE(WriteFileBytes(Rad11Root + L"\\bin\\dcc32.exe", "not a program"));
    THandlerProbe script({Row(siCompilePackage, L"vkl280.dpk", Rad11Bit, 0)});
    EXPECT_GT(script.Run(0), 0);
    EXPECT_EQ(script.LogString(), L"");
}

TEST_F(BuildItemsTest, AFailedBuildLeavesItsOutputBesideTheProjectAndTheCheckNamesIt) {
    // Prints a line to each stream, builds nothing and ends with exit code 7.
    ASSERT_TRUE(InstallStandinTools(Rad11Root, 3, {L"dcc32.exe", L"dcc64.exe"}));
    InstallDir = TempPath(L"Velkora");
    // A log of an earlier run is replaced, not continued.
    const std::wstring log = ProjectDir + L"\\vkl280.dpk.log";
    ASSERT_TRUE(WriteFileBytes(log, "an earlier run's log\r\n"));
    THandlerProbe script({Row(siCompilePackage, L"vkl280.dpk", Rad11Bit, 0),
                          Row(siCheckFile, L"RADStudio22\\Win32\\vkl280.bpl", 0, dcInstall),
                          Row(siCompilePackage, L"vkl280.dpk", Rad11Bit, 0, 1),
                          Row(siCheckFile, L"RADStudio22\\Win64\\vkl280.bpl", 0, dcInstall)});
    const std::wstring note = L"\r\nBuild log: " + log;
    for (int row : {0, 1, 2, 3}) {
        SCOPED_TRACE(row);
        const int result = script.Run(row);
        // The build itself succeeds; the check after it fails and names the build's log.
        EXPECT_EQ(result, row % 2);
        if (row % 2 == 0)
            EXPECT_EQ(script.LogString(), L"Compiling package: vkl280.dpk...Success");
        else
            EXPECT_EQ(script.ItemErrorText(result),
                      L"Error in ScriptItem=" + std::to_wstring(row) +
                          L", ErrorCode=1h ScriptItemId=13 with text\r\nCheck file: " +
                          TempPath(L"Velkora\\RADStudio22\\Win") + (row == 1 ? L"32" : L"64") +
                          L"\\vkl280.bpl...Fail" + note);
    }
    // The 64-bit build of the same project adds to the log of the 32-bit one.
    const std::string rad = ToAnsi(Rad11Root);
    // The tool writes its streams in text mode.
    const std::string output = "stand-in output: compiling vkl280.dpk\r\n"
                               "stand-in error: unit VklMissing not found in vkl280.dpk\r\n"
                               "Exit code: 7\r\n";
    EXPECT_EQ(ReadFileBytes(log), "Command line: \"" + rad + "\\bin\\dcc32.exe\" vkl280.dpk\r\n" +
                                      output + "Command line: \"" + rad +
                                      "\\bin\\dcc64.exe\" vkl280.dpk\r\n" + output);
    // A check that follows no build names no log; every failure is counted.
    EXPECT_EQ(script.Run(3), 1);
    EXPECT_EQ(script.ItemErrorText(1).find(L"Build log"), std::wstring::npos);
    EXPECT_EQ(script.FailedItemCount(), 3);
}

}  // namespace
