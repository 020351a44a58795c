// The extraction run end to end (setup.exe /X in a fresh directory against the payload files), and
// what the generated table must agree with in hand-written code: the selection rows, the version.
#include "product/UFiles.h"
#include "product/UProducts.h"
#include "product/UVersion.h"
#include "script/UScriptItems.h"
#include "tests/MachineSnapshot.h"

using namespace vktest;

namespace {

BOOL CALLBACK OtherProcessWindow(HWND wnd, LPARAM processId) {
    DWORD owner = 0;
    GetWindowThreadProcessId(wnd, &owner);
    return owner != static_cast<DWORD>(processId);
}

class ExtractionRun : public SandboxTest {
protected:
    // Runs setup.exe /X in the test directory: it must end with 0 and never show a window (a
    // message box would also keep it from ending).
    void RunExtraction() {
        ChildProcess child;
        StartProcess(child, BuildDir() + L"\\setup.exe", L"/X", TempDir);
        ASSERT_TRUE(child) << "setup.exe did not start: " << child.StartError;
        DWORD code = STILL_ACTIVE;
        bool window = false;
        for (int waited = 0; !child.Wait(10, code); waited += 10) {
            window = window || !EnumWindows(OtherProcessWindow, child.Info.dwProcessId);
            if (waited > 30000) {
                TerminateProcess(child.Info.hProcess, 1);
                FAIL() << "setup.exe /X did not end";
            }
        }
        EXPECT_EQ(code, 0u);
        EXPECT_FALSE(window);
    }

    // The written tree must be exactly the table's directories and files, each file as its
    // payload file (the about-box library comes from the build).
    void ExpectTheWholePayload() {
        TSnapshot expected, written;
        for (int i = 0; i < ScriptItemCount; ++i) {
            const std::wstring name = ScriptItems[i].Name ? ScriptItems[i].Name : L"";
            if (ScriptItems[i].ItemType == siCreateDir && !name.empty())
                expected[TempPath(name)] = "<dir>";
            if (ScriptItems[i].ItemType == siExtractFile)
                expected[TempPath(name)] =
                    ReadFileBytes(name == L"Source\\vkabout.dll"
                                      ? BuildDir() + L"\\vkabout.dll"
                                      : SourceDir() + L"\\resources\\payload\\" + name);
        }
        ASSERT_FALSE(expected.empty());
        SnapFiles(TempDir, true, written);
        EXPECT_EQ(Differences(expected, written), std::set<std::string>{});
    }
};

}  // namespace

TEST_F(ExtractionRun, WritesExactlyThePayloadTreeWithoutWindowOrRegistryChangeAndRestoresIt) {
    // setup.exe sees the prefix's real keys; so must this process. Test programs keep their
    // scratch keys below Software\VelkoraTests while they run, in parallel with this test.
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    TSnapshot before, after;
    const auto software = [](TSnapshot& into) {
        SnapKey(HKEY_LOCAL_MACHINE, L"HKLM", L"Software", into);
        SnapKey(HKEY_CURRENT_USER, L"HKCU", L"Software", into, L"Software\\VelkoraTests");
    };
    software(before);
    ASSERT_GT(before.size(), 10u);
    ASSERT_NO_FATAL_FAILURE(RunExtraction());
    ExpectTheWholePayload();
    software(after);
    EXPECT_EQ(Differences(before, after), std::set<std::string>{});

    // A second run restores a changed file.
    ASSERT_TRUE(WriteFileBytes(TempPath(L"Source\\VklStore.pas"), "changed"));
    RunExtraction();
    ExpectTheWholePayload();
}

// Each offered IDE runs one block, opened by the siIfItems of its own selection row.
TEST(ScriptTable, EachOfferedIdeRunsOneBlockOpenedByItsSelectionRow) {
    const auto choiceOf = [](int ide) -> const TInstallChoice* {
        for (const TInstallChoice& choice : InstallChoices)
            if (choice.Versions == BorlandProducts[ide].InternalId)
                return &choice;
        return nullptr;
    };
    std::set<int> blocks, offered;
    for (int row = 1; row < ScriptItemCount; ++row) {
        const TScriptItem& item = ScriptItems[row];
        if (item.ItemType != siSetIde || ScriptItems[row - 1].ItemType != siIfItems)
            continue;
        const int ide = static_cast<int>(item.Code);
        ASSERT_TRUE(IsValidProductIndex(ide) && choiceOf(ide)) << row;
        EXPECT_EQ(ScriptItems[row - 1].Code, choiceOf(ide)->Mask) << row;
        EXPECT_TRUE(blocks.insert(ide).second) << ide;
    }
    for (int ide = 1; ide <= BorlandProductCount; ++ide)
        if (choiceOf(ide))
            offered.insert(ide);
    EXPECT_EQ(blocks, offered);
    // The extract-if-newer row compares the installed uninstaller's product version with this.
    DWORD high = 0, low = 0;
    ASSERT_TRUE(GetFileProductVersion(BuildDir() + L"\\unbrm.exe", high, low));
    EXPECT_EQ(high, static_cast<DWORD>(MAKELONG(VK_VERSION_MINOR, VK_VERSION_MAJOR)));
    EXPECT_EQ(low, static_cast<DWORD>(MAKELONG(0, VK_VERSION_RELEASE)));
}
