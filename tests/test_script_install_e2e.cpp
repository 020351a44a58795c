// A whole installation of the product's own table into a machine with four test IDEs (C++Builder
// 6, RAD Studio 2009, RAD Studio XE10.4 without and RAD Studio 11 with the 64-bit compiler),
// whose build tools are the stand-ins; then a second installation, then the uninstaller that the
// Windows uninstall entry names. The uninstaller and the build tools are processes of their own,
// so this program runs in a fresh copy of the test prefix and works on its real registry.
#include "tests/MachineSnapshot.h"
#include "tests/TestIdeMachine.h"

using namespace vktest;

namespace {

const std::wstring UninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";

std::wstring Value(HKEY root, const std::wstring& key, const std::wstring& name) {
    std::wstring text;
    EXPECT_TRUE(ReadRegString(root, key, name, text)) << ToAnsi(key + L" : " + name);
    return text;
}

class InstallEndToEnd : public ::testing::Test {
protected:
    void TearDown() override {
        SetCurrentDirectoryW(BaseDir(dcTemp).c_str());
        RemoveTree(Machine.Root);
        DeleteFileW(Listing.c_str());
    }
    // The entries directly in the temporary directory.
    static TSnapshot TempEntries() {
        TSnapshot entries;
        const std::wstring temp = BaseDir(dcTemp);
        SnapFiles(temp.substr(0, temp.find_last_not_of(L'\\') + 1), false, entries);
        return entries;
    }

    TIdeMachine Machine;
    const std::wstring Unique = std::to_wstring(GetCurrentProcessId());
    const std::wstring Listing = BaseDir(dcTemp) + L"vke2e-list-" + Unique + L".txt";
};

}  // namespace

TEST_F(InstallEndToEnd, InstallTwiceThenTheUninstallerLeavesTheMachineAsItWas) {
    ASSERT_TRUE(Machine.Create(BaseDir(dcTemp) + L"vke2e-" + Unique,
                               BuildDir() + L"\\fixtures\\standin_tool_0.exe"));
    const std::wstring &Install = Machine.Install, &Cb6 = Machine.Cb6, System = BaseDir(dcSystem);
    const TSnapshot before = SnapMachine(Machine.Root);
    ASSERT_GT(before.size(), 100u);

    // The 64-bit build of XE10.4 is skipped, not failed: no item reports an error.
    EXPECT_EQ(Machine.RunInstallation(), std::vector<std::wstring>{});
    const std::string logBytes = ReadFileBytes(Install + L"\\install.log");
    const std::wstring log =
        L"\r\n" +
        std::wstring(reinterpret_cast<const wchar_t*>(logBytes.data()), logBytes.size() / 2);
    const auto logged = [&](const std::wstring& line) {
        return log.find(L"\r\n" + line + L"\r\n") != std::wstring::npos;
    };
    // Every package built in its directory by the IDE's tool, checked, and copied; XE10.4 has no
    // 64-bit compiler, so no 64-bit package.
    for (const wchar_t* package :
         {L"CBuilder6\\vkl60.bpl", L"CBuilder6\\dclvkl60.bpl", L"BDS2009\\vkl2009.bpl",
          L"BDS2009\\dclvkl2009.bpl", L"RADStudio21\\Win32\\vkl270.bpl",
          L"RADStudio21\\Win32\\dclvkl270.bpl", L"RADStudio22\\Win32\\vkl280.bpl",
          L"RADStudio22\\Win32\\dclvkl280.bpl", L"RADStudio22\\Win64\\vkl280.bpl"})
        EXPECT_TRUE(logged(L"Check file: " + Install + L"\\" + package + L"...Success"))
            << ToAnsi(package);
    EXPECT_FALSE(FileExists(Install + L"\\RADStudio21\\Win64\\vkl270.bpl"));
    EXPECT_EQ(ReadFileBytes(System + L"\\vkl280.bpl"),
              ReadFileBytes(Install + L"\\RADStudio22\\Win32\\vkl280.bpl"));

    const std::wstring release = L"$(BDSLIB)\\$(Platform)\\release;",
                       description = L"Standard Edition of Velkora v4.07",
                       bcb = L"Software\\Borland\\C++Builder\\6.0\\",
                       bds = L"Software\\CodeGear\\BDS\\6.0\\",
                       rad = L"Software\\Embarcadero\\BDS\\";
    const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
    const struct {
        HKEY Root;
        std::wstring Key, Name, Expected;
    } values[] = {
        {user, bcb + L"Known Packages", Install + L"\\CBuilder6\\dclvkl60.bpl", description},
        {user, rad + L"22.0\\Known Packages", Install + L"\\RADStudio22\\Win32\\dclvkl280.bpl",
         description},
        {user, bcb + L"Library", L"Search Path",
         L"$(BCB)\\Lib;$(BCB)\\Lib\\Obj;" + Install + L"\\CBuilder6;" + Install + L"\\Source"},
        {user, bds + L"Library", L"Search Path",
         release + L"$(BDS)\\Imports;" + Install + L"\\BDS2009"},
        {user, bds + L"Globals", L"ForceEnvOptionsUpdate", L"1"},
        {user, rad + L"22.0\\Library\\Win64", L"Search Path",
         release + Install + L"\\RADStudio22\\Win64"},
        // Without its 64-bit compiler XE10.4 gets no 64-bit path.
        {user, rad + L"21.0\\Library\\Win64", L"Search Path", L"$(BDSLIB)\\$(Platform)\\release"},
        {machine, L"Software\\Microsoft\\Windows\\Help", L"vklib.hlp", Install + L"\\Help"},
        {machine, L"Software\\Microsoft\\Windows\\Help", L"vklib.cnt", Install + L"\\Help"},
        {machine, UninstallKey, L"DisplayName", L"Brightmoss Velkora v4.07"},
        {machine, UninstallKey, L"UninstallString",
         L"\"" + Install + L"\\unbrm.exe\" \"" + Install + L"\\uninst.log\""}};
    const std::wstring help = Cb6 + L"\\Help\\bcb6.";
    const auto checkRegistration = [&] {
        for (const auto& row : values)
            EXPECT_EQ(Value(row.Root, row.Key, row.Name), row.Expected) << ToAnsi(row.Key);
        // Help index files extended once, keyword file merged.
        EXPECT_EQ(ReadFileBytes(help + L"ohi"),
                  ":Index C++Builder=bcb6.hlp\r\n:Index Velkora components=vklib.hlp\r\n");
        EXPECT_EQ(ReadFileBytes(help + L"ohl"),
                  ":Link bcb6.hlp\r\n:Link bcb6vcl.hlp\r\n:Link vklib.hlp\r\n");
        const std::string als = ReadFileBytes(help + L"als");
        EXPECT_TRUE(als.find("TForm=TForm") != als.npos && als.find("TVkIniStore=") != als.npos);
        EXPECT_TRUE(KeyExists(machine, L"Software\\Brightmoss\\Velkora"));
        EXPECT_TRUE(ListedByWine(Listing));
    };
    checkRegistration();

    // The second installation first removes the first (its directory with everything in it),
    // then adds nothing twice.
    ASSERT_TRUE(WriteFileBytes(Install + L"\\Source\\left-over.txt", "from the first run"));
    EXPECT_EQ(Machine.RunInstallation(), std::vector<std::wstring>{});
    EXPECT_FALSE(PathExists(Install + L"\\Source\\left-over.txt"));
    checkRegistration();

    // The uninstaller as Windows starts it, silently: it and its copy in the temporary folder
    // (which a batch file removes once the copy has ended) go.
    const std::wstring command = Value(HKEY_LOCAL_MACHINE, UninstallKey, L"UninstallString");
    const std::wstring exe = Install + L"\\unbrm.exe";
    ASSERT_TRUE(command.starts_with(L"\"" + exe + L"\" "));
    const TSnapshot tempBefore = TempEntries();
    ChildProcess child;
    StartProcess(child, exe, L"/S " + command.substr(exe.size() + 3));
    DWORD exitCode = 0;
    ASSERT_TRUE(child && child.Wait(30000, exitCode)) << child.StartError;
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(
        Eventually([&] { return !PathExists(Install) && TempEntries() == tempBefore; }, 60000));

    EXPECT_EQ(Differences(before, SnapMachine(Machine.Root)), LeftByDesign(Cb6));
    EXPECT_FALSE(ListedByWine(Listing));
}
