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

}  // namespace

// setup.exe /X ends with 0 and never shows a window (a message box would also keep it from
// ending); it writes exactly the table's directories and files, each as its payload file (the
// about-box library comes from the build), changes no key, and a second run restores a file.
TEST_F(SandboxTest, ExtractionWritesExactlyThePayloadTreeWithoutWindowOrRegistryChange) {
    TSnapshot expected, registryBefore, registryAfter;
    for (int i = 0; i < ScriptItemCount; ++i) {
        const std::wstring name = ScriptItems[i].Name ? ScriptItems[i].Name : L"";
        if (ScriptItems[i].ItemType == siCreateDir && !name.empty())
            expected[TempPath(name)] = "<dir>";
        if (ScriptItems[i].ItemType == siExtractFile)
            expected[TempPath(name)] = ReadFileBytes(
                name == L"Source\\vkabout.dll" ? BuildDir() + L"\\vkabout.dll"
                                               : SourceDir() + L"\\resources\\payload\\" + name);
    }
    const auto extract = [&] {
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
        TSnapshot written;
        SnapFiles(TempDir, true, written);
        EXPECT_TRUE(code == 0 && !window && expected.size() > 1) << code;
        EXPECT_EQ(Differences(expected, written), std::set<std::string>{});
    };
    // setup.exe sees the prefix's real keys; so must this process. Test programs keep their
    // scratch keys below Software\VelkoraTests while they run, in parallel with this test.
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    const auto software = [](TSnapshot& into) {
        SnapKey(HKEY_LOCAL_MACHINE, L"HKLM", L"Software", into);
        SnapKey(HKEY_CURRENT_USER, L"HKCU", L"Software", into, L"Software\\VelkoraTests");
    };
    software(registryBefore);
    extract();
    software(registryAfter);
    EXPECT_TRUE(registryBefore.size() > 10 && registryBefore == registryAfter)
        << testing::PrintToString(Differences(registryBefore, registryAfter));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"Source\\VklStore.pas"), "changed"));
    extract();
}

// Each offered IDE runs one block, opened by the siIfItems of its own selection row; the
// extract-if-newer row compares the installed uninstaller's product version with this version.
TEST(ScriptTable, EachOfferedIdeRunsOneBlockOpenedByItsSelectionRow) {
    std::map<int, uint32_t> rowOf;  // offered IDE -> its row's mask
    for (int ide = 1; ide <= BorlandProductCount; ++ide)
        for (const TInstallChoice& choice : InstallChoices)
            if (choice.Versions == BorlandProducts[ide].InternalId)
                rowOf[ide] = choice.Mask;
    std::map<int, uint32_t> blocks;  // IDE -> the mask that opens its block
    int repeated = 0;
    for (int row = 1; row < ScriptItemCount; ++row)
        if (ScriptItems[row].ItemType == siSetIde && ScriptItems[row - 1].ItemType == siIfItems)
            repeated += !blocks.emplace(ScriptItems[row].Code, ScriptItems[row - 1].Code).second;
    EXPECT_TRUE(repeated == 0 && blocks == rowOf) << testing::PrintToString(blocks);
    DWORD high = 0, low = 0;
    ASSERT_TRUE(GetFileProductVersion(BuildDir() + L"\\unbrm.exe", high, low));
    EXPECT_EQ(high, static_cast<DWORD>(MAKELONG(VK_VERSION_MINOR, VK_VERSION_MAJOR)));
    EXPECT_EQ(low, static_cast<DWORD>(MAKELONG(0, VK_VERSION_RELEASE)));
}
