// A build tool that never ends holds the installation for the build bound only, leaves that
// in its build log, and inherits no handle but its output file. The bound is shortened here;
// the shipped one is 45 seconds.
#include "tests/IdeTestSupport.h"

using namespace vktest;

namespace {

constexpr DWORD ShippedBoundMs = 45000;
constexpr DWORD TestBoundMs = 1500;

class BuildTimeout : public InstallStateTest {
protected:
    void SetUp() override {
        InstallStateTest::SetUp();
        FBound = BuildTimeoutMs;
    }
    void TearDown() override {
        BuildTimeoutMs = FBound;
        InstallStateTest::TearDown();
    }

private:
    DWORD FBound = 0;
};

TEST_F(BuildTimeout, NeverEndingToolHoldsTheRunForTheBoundOnlyAndInheritsNoOtherHandle) {
    EXPECT_EQ(BuildTimeoutMs, ShippedBoundMs);
    BuildTimeoutMs = TestBoundMs;
    const std::wstring root = TempPath(L"RAD Studio");
    BorlandProducts[28].RootDir = root;
    ASSERT_TRUE(InstallStandinTools(root, 2, {L"dcc32.exe"}));
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    // The tool waits for this event; setting it at the end leaves no process behind.
    handles::KernelHandle stop(CreateEventW(nullptr, TRUE, FALSE, L"VelkoraStandinToolStop"));
    ASSERT_TRUE(stop);
    // An inheritable handle of this process on a file that no one else may open: were the tool
    // to inherit it, the file would stay locked after this process closed its own.
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    const std::wstring locked = TempPath(L"locked.txt");
    handles::FileHandle lock(CreateFileW(locked.c_str(), GENERIC_WRITE, 0, &inheritable,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock);
    THandlerProbe script({Row(siCompilePackage, L"vkl280.dpk", 0x8000000, 0)});

    const ULONGLONG started = GetTickCount64();
    const int result = script.Run(0);
    const ULONGLONG elapsed = GetTickCount64() - started;
    lock.reset();
    handles::FileHandle reopened(CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD reopenError = reopened ? 0 : GetLastError();
    // The tool still holds its log open: read it while it runs.
    const std::string log = ReadFileBytes(TempPath(L"vkl280.dpk.log"));
    SetEvent(stop.get());

    EXPECT_EQ(result, 0);
    EXPECT_EQ(script.LogString(), L"Compiling package: vkl280.dpk...Success");
    EXPECT_EQ(StandinCalls(root).size(), 1u);
    EXPECT_GE(elapsed, TestBoundMs - 100);
    EXPECT_LT(elapsed, TestBoundMs + 10000);
    EXPECT_EQ(reopenError, 0u) << "the tool inherited a handle it was not given";
    EXPECT_EQ(log, "Command line: \"" + ToAnsi(root) +
                       "\\bin\\dcc32.exe\" vkl280.dpk\r\nExit code: none, still running after "
                       "1500 ms\r\n");
}

}  // namespace
