// Running IDEs: a program started from a test IDE's folder is found for that IDE only, and the
// box text names the IDE as the selection list does.
#include "product/URunningIdes.h"
#include "support/UText.h"
#include "tests/IdeTestSupport.h"

using namespace vktest;

namespace {

class RunningIdesTest : public InstallStateTest {};

TEST_F(RunningIdesTest, AProgramInsideAnIdeRootIsFoundForThatIdeOnly) {
    const std::wstring root = TempPath(L"Embarcadero\\Studio\\22.0");
    ASSERT_TRUE(InstallStandinTools(root, 2, {L"bds.exe"}));
    // A sibling whose name begins like the root, and an IDE of the mask with no root.
    const std::wstring sibling = TempPath(L"Embarcadero\\Studio\\22.0 Tools");
    ASSERT_TRUE(InstallStandinTools(sibling, 2, {L"other.exe"}));
    BorlandProducts[28].RootDir = root;
    BorlandProducts[27].RootDir = TempPath(L"Embarcadero\\Studio\\22");
    BorlandProducts[26].RootDir.clear();
    handles::KernelHandle stop(CreateEventW(nullptr, TRUE, FALSE, L"VelkoraStandinToolStop"));
    ASSERT_TRUE(stop);
    constexpr uint32_t AllThree = 0x8000000 | 0x4000000 | 0x2000000;
    EXPECT_TRUE(FindRunningIdes(AllThree).empty()) << "nothing runs yet";

    const std::wstring program = root + L"\\bin\\bds.exe";
    ChildProcess ide, other;
    StartProcess(ide, program, L"");
    StartProcess(other, sibling + L"\\bin\\other.exe", L"");
    ASSERT_TRUE(ide && other);
    const std::vector<TRunningIde> running = FindRunningIdes(AllThree);
    const std::vector<TRunningIde> notChosen = FindRunningIdes(0x4000000);
    SetEvent(stop.get());
    DWORD exitCode = 0;
    ASSERT_TRUE(ide.Wait(10000, exitCode) && other.Wait(10000, exitCode));

    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0].ProductIndex, 28);
    EXPECT_EQ(LowerCase(running[0].ProgramFile), LowerCase(program));
    EXPECT_TRUE(notChosen.empty());
    EXPECT_TRUE(FindRunningIdes(AllThree).empty()) << "the IDE has ended";
    const std::wstring text = RunningIdeText(running[0]);
    EXPECT_EQ(text.rfind(L"RAD Studio 11 is running:\r\n" + running[0].ProgramFile + L"\r\n", 0),
              0u)
        << ToAnsi(text);
    // An IDE the selection list does not offer goes by its short tag.
    EXPECT_EQ(RunningIdeText({9, L"C:\\D7\\bin\\delphi32.exe"}).rfind(L"Delphi7 is running:", 0),
              0u);
}

}  // namespace
