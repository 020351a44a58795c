// A build tool that never ends holds the installation for the 45-second bound, then the run
// goes on. Slow by nature: this program holds nothing else.
#include "tests/IdeTestSupport.h"

using namespace vktest;

namespace {

class BuildTimeout : public InstallStateTest {};

TEST_F(BuildTimeout, NeverEndingToolHoldsTheRunForTheBoundOnly) {
    const std::wstring root = TempPath(L"RAD Studio");
    BorlandProducts[28].RootDir = root;
    ASSERT_TRUE(InstallStandinTools(root, 2, {L"dcc32.exe"}));
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    // The tool waits for this event; setting it at the end leaves no process behind.
    handles::KernelHandle stop(CreateEventW(nullptr, TRUE, FALSE, L"VelkoraStandinToolStop"));
    ASSERT_TRUE(stop);
    THandlerProbe script({Row(siCompilePackage, L"vkl280.dpk", 0x8000000, 0)});

    const ULONGLONG started = GetTickCount64();
    const int result = script.Run(0);
    const ULONGLONG elapsed = GetTickCount64() - started;
    SetEvent(stop.get());

    EXPECT_EQ(result, 0);
    EXPECT_EQ(script.LogString(), L"Compiling package: vkl280.dpk...Success");
    EXPECT_EQ(StandinCalls(root).size(), 1u);
    EXPECT_GE(elapsed, 44900u);
    EXPECT_LT(elapsed, 60000u);
}

}  // namespace
