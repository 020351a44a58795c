// The extraction run end to end: setup.exe /X started under Wine in a fresh directory, its
// output compared with the payload files it was built from.
#include "script/UScriptItems.h"
#include "tests/MachineSnapshot.h"

using namespace vktest;

namespace {

BOOL CALLBACK MatchProcessWindow(HWND wnd, LPARAM param) {
    DWORD owner = 0;
    GetWindowThreadProcessId(wnd, &owner);
    return owner != *reinterpret_cast<DWORD*>(param);
}

// True when any top-level window belongs to processId.
bool HasWindow(DWORD processId) {
    return !EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&processId));
}

class ExtractionRun : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        // setup.exe runs in its own process and sees the prefix's real keys; so must the
        // registry comparison, so this process gives up the scratch roots.
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    }

    // Runs setup.exe /X in the test directory: it must end with 0 and never show a window (a
    // message box would also keep it from ending).
    void RunExtraction() {
        ChildProcess child;
        StartProcess(child, BuildDir() + L"\\setup.exe", L"/X", TempDir);
        ASSERT_TRUE(child) << "setup.exe did not start: " << child.StartError;
        DWORD code = STILL_ACTIVE;
        bool window = false;
        for (int waited = 0; waited < 30000; waited += 10) {
            window = window || HasWindow(child.Info.dwProcessId);
            if (child.Wait(10, code)) {
                EXPECT_EQ(code, 0u);
                EXPECT_FALSE(window);
                return;
            }
        }
        TerminateProcess(child.Info.hProcess, 1);
        FAIL() << "setup.exe /X did not end";
    }

    // The written tree must be exactly the table's directories and files, each file as its
    // payload file (the about-box library comes from the build).
    void ExpectTheWholePayload() {
        TSnapshot expected, written;
        int files = 0;
        for (int i = 0; i < ScriptItemCount; ++i) {
            const std::wstring name = ScriptItems[i].Name ? ScriptItems[i].Name : L"";
            if (ScriptItems[i].ItemType == siCreateDir && !name.empty())
                expected[TempPath(name)] = "<dir>";
            if (ScriptItems[i].ItemType != siExtractFile)
                continue;
            ++files;
            const std::string& source = expected[TempPath(name)] = ReadFileBytes(
                name == L"Source\\vkabout.dll" ? BuildDir() + L"\\vkabout.dll"
                                               : SourceDir() + L"\\resources\\payload\\" + name);
            EXPECT_FALSE(source.empty()) << "no payload file for " << ToAnsi(name);
        }
        ASSERT_EQ(files, 266);
        ASSERT_EQ(expected.size(), 266u + 58u);
        SnapFiles(TempDir, true, written);
        EXPECT_EQ(Differences(expected, written), std::set<std::string>{});
    }
};

} // namespace

TEST_F(ExtractionRun, WritesExactlyThePayloadTreeWithoutWindowOrRegistryChangeAndRestoresIt) {
    // Test programs keep their scratch keys below Software\VelkoraTests while they run, in
    // parallel with this test.
    TSnapshot before, after;
    const auto software = [](TSnapshot& into) {
        SnapKey(HKEY_LOCAL_MACHINE, L"HKLM", L"Software", into);
        SnapKey(HKEY_CURRENT_USER, L"HKCU", L"Software", into, L"Software\\VelkoraTests");
    };
    software(before);
    ASSERT_GT(before.size(), 10u);
    ASSERT_NO_FATAL_FAILURE(RunExtraction());
    // The tree comparison also shows the rows this run must skip (the templates file, the
    // uninstaller), were they written.
    ExpectTheWholePayload();
    software(after);
    EXPECT_EQ(Differences(before, after), std::set<std::string>{});

    // A second run restores changed and missing files.
    ASSERT_TRUE(WriteFileBytes(TempPath(L"Source\\VklStore.pas"), "changed"));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"RADStudio22\\dcc64.cfg"), ""));
    ASSERT_TRUE(DeleteFileW(TempPath(L"Help\\vklib.hlp").c_str()));
    RemoveTree(TempPath(L"Demos"));
    RunExtraction();
    ExpectTheWholePayload();
}
