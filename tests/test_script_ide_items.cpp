// IDE registration items: package list, search paths and their add-once rule, the OpenHelp
// files and text replacement, in the sandbox's HKEY_CURRENT_USER and temporary files.
#include "tests/IdeTestSupport.h"

#include "product/UProducts.h"
#include "product/UUtils.h"

using namespace vktest;

namespace {

constexpr wchar_t Description[] = L"Standard Edition of Velkora v4.07";

class IdeItemsTest : public InstallStateTest {
protected:
    void SetUp() override {
        InstallStateTest::SetUp();
        InstallDir = TempPath(L"Velkora");
    }

    // Selects IDE index as siSetIde does.
    static void SetIde(int index, const wchar_t* dir) {
        CurrentProduct = index;
        CurrentProductDir = dir;
    }

    static std::wstring Value(const std::wstring& key, const std::wstring& name) {
        std::wstring text;
        EXPECT_TRUE(ReadRegString(HKEY_CURRENT_USER, key, name, text))
            << Narrow(key + L"\\" + name);
        return text;
    }

    static bool HasValue(const std::wstring& key, const std::wstring& name) {
        std::wstring text;
        return ReadRegString(HKEY_CURRENT_USER, key, name, text);
    }

    static void SetValue(const std::wstring& key, const std::wstring& name,
                         const std::wstring& text) {
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key, name, text));
    }
};

const std::wstring Bds2006 = L"Software\\Borland\\BDS\\4.0";
const std::wstring Bds2007 = L"Software\\Borland\\BDS\\5.0";
const std::wstring Xe2 = L"Software\\Embarcadero\\BDS\\9.0";

TEST_F(IdeItemsTest, RegisterPackageAddsThePackageAndItsDirectoryOnce) {
    SetIde(11, L"BDS2006");
    SetValue(Bds2006 + L"\\Library", L"Search Path", L"$(BDS)\\Lib");
    const std::vector<TScriptItem> items{
        Row(siRegisterPackage, L"BDS2006\\dclvkl2006.bpl", 0, dcInstall, 0, nullptr, nullptr, 1)};
    THandlerProbe script(items);
    const std::wstring package = InstallDir + L"\\BDS2006\\dclvkl2006.bpl";
    const std::wstring dir = InstallDir + L"\\BDS2006";

    EXPECT_EQ(script.Run(0, &THandlerProbe::DoRegisterPackage), 0);
    EXPECT_EQ(script.LogString(), L"Registering package: " + package +
                                      L"...Success\r\nAdding search path: " + dir + L"...Success");
    EXPECT_EQ(Value(Bds2006 + L"\\Known Packages", package), Description);
    EXPECT_EQ(Value(Bds2006 + L"\\Library", L"Search Path"), L"$(BDS)\\Lib;" + dir);
    // BDS 4.0 keeps no cached options to force.
    EXPECT_FALSE(HasValue(Bds2006 + L"\\Globals", L"ForceEnvOptionsUpdate"));

    EXPECT_EQ(script.Run(0, &THandlerProbe::DoRegisterPackage), 0);
    EXPECT_EQ(script.LogString(), L"Registering package: " + package +
                                      L"...Success\r\nAdding search path: " + dir + L"...Already");
    EXPECT_EQ(Value(Bds2006 + L"\\Library", L"Search Path"), L"$(BDS)\\Lib;" + dir);
}

TEST_F(IdeItemsTest, PresenceIgnoresCaseAndCountsALongerEntryThatBeginsWithTheDirectory) {
    SetIde(11, L"BDS2006");
    const std::vector<TScriptItem> items{
        Row(siRegisterPackage, L"BDS2006\\dclvkl2006.bpl", 0, dcInstall)};
    THandlerProbe script(items);
    const std::wstring lower = LowerCase(InstallDir); // InstallDir has capitals
    for (const std::wstring& current :
         {L"X;" + lower + L"\\bds2006;Y", L"X;" + InstallDir + L"\\BDS2006Old"}) {
        SetValue(Bds2006 + L"\\Library", L"Search Path", current);
        EXPECT_EQ(script.Run(0, &THandlerProbe::DoRegisterPackage), 0);
        EXPECT_TRUE(script.LogString().ends_with(L"...Already")) << Narrow(script.LogString());
        EXPECT_EQ(Value(Bds2006 + L"\\Library", L"Search Path"), current);
    }
}

TEST_F(IdeItemsTest, SeparatorRulesOfTheListValue) {
    SetIde(11, L"BDS2006");
    const std::vector<TScriptItem> items{Row(siRegisterPackage, L"BDS2006\\p.bpl", 0, dcInstall)};
    THandlerProbe script(items);
    const std::wstring dir = InstallDir + L"\\BDS2006";

    SetValue(Bds2006 + L"\\Library", L"Search Path", L"");
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoRegisterPackage), 0);
    EXPECT_EQ(Value(Bds2006 + L"\\Library", L"Search Path"), dir);

    SetValue(Bds2006 + L"\\Library", L"Search Path", L"C:\\A;");
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoRegisterPackage), 0);
    EXPECT_EQ(Value(Bds2006 + L"\\Library", L"Search Path"), L"C:\\A;" + dir);
}

TEST_F(IdeItemsTest, RegisterPackageWithoutASearchPathRegistersAndAnswersMinusTwo) {
    SetIde(11, L"BDS2006");
    const std::vector<TScriptItem> items{Row(siRegisterPackage, L"BDS2006\\p.bpl", 0, dcInstall)};
    THandlerProbe script(items);

    EXPECT_EQ(script.Run(0, &THandlerProbe::DoRegisterPackage), -2);
    EXPECT_EQ(script.LogString(),
              L"Registering package: " + InstallDir + L"\\BDS2006\\p.bpl...Success");
    EXPECT_EQ(Value(Bds2006 + L"\\Known Packages", InstallDir + L"\\BDS2006\\p.bpl"), Description);
    // The missing search path is not created.
    EXPECT_FALSE(HasValue(Bds2006 + L"\\Library", L"Search Path"));
}

TEST_F(IdeItemsTest, Bds2007To2010AreToldToReloadTheirOptions) {
    for (int index : {12, 13, 14}) {
        SetIde(index, L"BDS");
        const std::wstring key = BorlandProducts[index].RegKey;
        SetValue(key + L"\\Library", L"Search Path", L"");
        const std::vector<TScriptItem> items{Row(siRegisterPackage, L"BDS\\p.bpl", 0, dcInstall)};
        THandlerProbe script(items);
        EXPECT_EQ(script.Run(0, &THandlerProbe::DoRegisterPackage), 0);
        EXPECT_EQ(Value(key + L"\\Globals", L"ForceEnvOptionsUpdate"), L"1") << index;
    }
    SetIde(15, L"RADStudio8");
    SetValue(std::wstring(BorlandProducts[15].RegKey) + L"\\Library", L"Search Path", L"");
    const std::vector<TScriptItem> items{Row(siRegisterPackage, L"BDS\\p.bpl", 0, dcInstall)};
    THandlerProbe script(items);
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoRegisterPackage), 0);
    EXPECT_FALSE(HasValue(std::wstring(BorlandProducts[15].RegKey) + L"\\Globals",
                          L"ForceEnvOptionsUpdate"));
}

TEST_F(IdeItemsTest, PlatformSubKeysAndTheDelphi3ValueName) {
    SetIde(16, L"RADStudio9");
    SetValue(Xe2 + L"\\Library\\Win32", L"Search Path", L"");
    SetValue(Xe2 + L"\\Library\\Win64", L"Search Path", L"");
    const std::vector<TScriptItem> items{
        Row(siRegisterPackage, L"RADStudio9\\Win32\\p.bpl", 0, dcInstall, 0),
        Row(siRegisterPackage, L"RADStudio9\\Win64\\p.bpl", 0, dcInstall, 2)};
    THandlerProbe script(items);
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoRegisterPackage), 0);
    EXPECT_EQ(script.Run(1, &THandlerProbe::DoRegisterPackage), 0);
    EXPECT_EQ(Value(Xe2 + L"\\Library\\Win32", L"Search Path"),
              InstallDir + L"\\RADStudio9\\Win32");
    EXPECT_EQ(Value(Xe2 + L"\\Library\\Win64", L"Search Path"),
              InstallDir + L"\\RADStudio9\\Win64");
    EXPECT_FALSE(HasValue(Xe2 + L"\\Library", L"Search Path"));

    SetIde(1, L"Delphi3");
    SetValue(L"Software\\Borland\\Delphi\\3.0\\Library", L"SearchPath", L"C:\\D3");
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoRegisterPackage), 0);
    EXPECT_EQ(Value(L"Software\\Borland\\Delphi\\3.0\\Library", L"SearchPath"),
              L"C:\\D3;" + InstallDir + L"\\RADStudio9\\Win32");
}

TEST_F(IdeItemsTest, WithoutACurrentIdeTheItemsDoNothing) {
    SetIde(0, L"");
    const std::vector<TScriptItem> items{
        Row(siRegisterPackage, L"p.bpl", 0, dcInstall),
        Row(siAddSearchPath, L"Source", 0, dcInstall),
        Row(siAddIdePath, L"\\Library\\Search Path", sfIde, dcInstall),
        Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", 1, dcIdeHelp)};
    THandlerProbe script(items);
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoRegisterPackage), 0);
    EXPECT_EQ(script.Run(1, &THandlerProbe::DoAddSearchPath), 0);
    EXPECT_EQ(script.Run(2, &THandlerProbe::DoAddIdePath), 0);
    EXPECT_EQ(script.Run(3, &THandlerProbe::DoModifyHelpFile), 0);
    EXPECT_EQ(script.LogString(), L"");
}

TEST_F(IdeItemsTest, AddSearchPathNeverCreatesAMissingValue) {
    SetIde(8, L"CBuilder6");
    const std::wstring key = L"Software\\Borland\\C++Builder\\6.0\\Library";
    const std::vector<TScriptItem> items{
        Row(siAddSearchPath, L"Source", 0, dcInstall),
        Row(siAddSearchPath, L"Source", 0, dcInstall, 1),
        Row(siAddSearchPath, L"Source", 0, dcInstall, 0, L"Other\\Paths", L"Include")};
    THandlerProbe script(items);

    EXPECT_EQ(script.Run(0, &THandlerProbe::DoAddSearchPath), -2);
    EXPECT_EQ(script.LogString(), L"");
    EXPECT_EQ(script.Run(1, &THandlerProbe::DoAddSearchPath), 0);
    EXPECT_EQ(script.LogString(), L"");
    EXPECT_FALSE(HasValue(key, L"Search Path"));

    SetValue(key, L"Search Path", L"$(BCB)\\Lib");
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoAddSearchPath), 0);
    EXPECT_EQ(script.LogString(), L"Adding search path: " + InstallDir + L"\\Source...Success");
    EXPECT_EQ(Value(key, L"Search Path"), L"$(BCB)\\Lib;" + InstallDir + L"\\Source");
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoAddSearchPath), 0);
    EXPECT_EQ(script.LogString(), L"Adding search path: " + InstallDir + L"\\Source...Already");

    // Text1 and Text2 name another key and value below the IDE's key.
    SetValue(L"Software\\Borland\\C++Builder\\6.0\\Other\\Paths", L"Include", L"");
    EXPECT_EQ(script.Run(2, &THandlerProbe::DoAddSearchPath), 0);
    EXPECT_EQ(Value(L"Software\\Borland\\C++Builder\\6.0\\Other\\Paths", L"Include"),
              InstallDir + L"\\Source");
}

TEST_F(IdeItemsTest, AddIdePathUsesTheSubFolderAndLeavesAMissingEntryAlone) {
    SetIde(16, L"RADStudio9");
    const std::vector<TScriptItem> items{
        Row(siAddIdePath, L"\\C++\\Paths\\Win32\\LibraryPath", sfIdeWin32, dcInstall),
        Row(siAddIdePath, L"\\Library\\Win64\\Search Path", 0x80 | sfIdeWin64, dcInstall)};
    THandlerProbe script(items);

    EXPECT_EQ(script.Run(0, &THandlerProbe::DoAddIdePath), 0);
    EXPECT_EQ(script.LogString(), L"");
    EXPECT_FALSE(HasValue(Xe2 + L"\\C++\\Paths\\Win32", L"LibraryPath"));

    SetValue(Xe2 + L"\\C++\\Paths\\Win32", L"LibraryPath", L"$(BDS)\\lib");
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoAddIdePath), 0);
    const std::wstring win32 = InstallDir + L"\\RADStudio9\\Win32";
    EXPECT_EQ(script.LogString(), L"Adding search path: " + win32 + L"...Success");
    EXPECT_EQ(Value(Xe2 + L"\\C++\\Paths\\Win32", L"LibraryPath"), L"$(BDS)\\lib;" + win32);
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoAddIdePath), 0);
    EXPECT_EQ(script.LogString(), L"Adding search path: " + win32 + L"...Already");

    // Only the low seven bits of Code choose the sub-folder.
    SetValue(Xe2 + L"\\Library\\Win64", L"Search Path", L"");
    EXPECT_EQ(script.Run(1, &THandlerProbe::DoAddIdePath), 0);
    EXPECT_EQ(Value(Xe2 + L"\\Library\\Win64", L"Search Path"),
              InstallDir + L"\\RADStudio9\\Win64");
}

class HelpFileTest : public IdeItemsTest {
protected:
    void SetUp() override {
        IdeItemsTest::SetUp();
        BorlandProducts[5].RootDir = TempPath(L"CBuilder4");
        ASSERT_EQ(CreateDirectoryPath(TempPath(L"CBuilder4\\Help")), 0u);
        SetIde(5, L"CBuilder4");
    }
    std::wstring HelpFile(const wchar_t* name) const {
        return TempPath(L"CBuilder4\\Help\\") + name;
    }
};

TEST_F(HelpFileTest, ModifyHelpFileAppendsTheLineOnce) {
    ASSERT_TRUE(WriteFileBytes(HelpFile(L"bcb4.ohi"), ":Index C++Builder=bcb4.hlp\r\n"));
    const std::vector<TScriptItem> items{
        Row(siModifyHelpFile, L"\r\n:Index Velkora components=vklib.hlp", 2, dcIdeHelp)};
    THandlerProbe script(items);

    EXPECT_EQ(script.Run(0, &THandlerProbe::DoModifyHelpFile), 0);
    EXPECT_EQ(script.LogString(), L"Modifying file: " + HelpFile(L"bcb4.ohi") + L"...Success");
    const std::string once =
        ":Index C++Builder=bcb4.hlp\r\n:Index Velkora components=vklib.hlp\r\n";
    EXPECT_EQ(ReadFileBytes(HelpFile(L"bcb4.ohi")), once);
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoModifyHelpFile), 0);
    EXPECT_EQ(script.LogString(), L"Modifying file: " + HelpFile(L"bcb4.ohi") + L"...Already");
    EXPECT_EQ(ReadFileBytes(HelpFile(L"bcb4.ohi")), once);
}

TEST_F(HelpFileTest, ALastLineWithoutBreakAndALineAtTheVeryStart) {
    const std::vector<TScriptItem> items{
        Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", 3, dcIdeHelp)};
    THandlerProbe script(items);

    ASSERT_TRUE(WriteFileBytes(HelpFile(L"bcb4.ohl"), ":Link bcb4.hlp"));
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoModifyHelpFile), 0);
    EXPECT_EQ(ReadFileBytes(HelpFile(L"bcb4.ohl")), ":Link bcb4.hlp\r\n:Link vklib.hlp\r\n");

    // The searched text begins with its line break: a first line does not count.
    ASSERT_TRUE(WriteFileBytes(HelpFile(L"bcb4.ohl"), ":LINK VKLIB.HLP\r\n"));
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoModifyHelpFile), 0);
    EXPECT_EQ(ReadFileBytes(HelpFile(L"bcb4.ohl")), ":LINK VKLIB.HLP\r\n:Link vklib.hlp\r\n");
}

TEST_F(HelpFileTest, AMissingFileIsNotCreatedAndABadSlotNamesNoFile) {
    const std::vector<TScriptItem> items{
        Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", 1, dcIdeHelp),
        Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", 4, dcIdeHelp)};
    THandlerProbe script(items);
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoModifyHelpFile), -1);
    EXPECT_EQ(script.LogString(), L"");
    EXPECT_FALSE(PathExists(HelpFile(L"bcb4.cfg")));
    EXPECT_EQ(script.Run(1, &THandlerProbe::DoModifyHelpFile), -1);
    // C++Builder 5 has no third file.
    SetIde(6, L"CBuilder5");
    BorlandProducts[6].RootDir = TempPath(L"CBuilder4");
    const std::vector<TScriptItem> third{Row(siModifyHelpFile, L"x", 3, dcIdeHelp)};
    THandlerProbe script5(third);
    EXPECT_EQ(script5.Run(0, &THandlerProbe::DoModifyHelpFile), -1);
}

TEST_F(HelpFileTest, ReplaceTextReplacesTheFirstOccurrenceIgnoringCase) {
    ASSERT_EQ(CreateDirectoryPath(InstallDir), 0u);
    const std::wstring file = InstallDir + L"\\settings.txt";
    ASSERT_TRUE(WriteFileBytes(file, "Path=OLDVALUE;more oldvalue\r\n"));
    const std::vector<TScriptItem> items{
        Row(siReplaceText, L"settings.txt", 0, dcInstall, 0, L"oldValue", L"New"),
        Row(siReplaceText, L"missing.txt", 0, dcInstall, 0, L"a", L"b")};
    THandlerProbe script(items);

    EXPECT_EQ(script.Run(0, &THandlerProbe::DoReplaceText), 0);
    EXPECT_EQ(script.LogString(),
              L"Replace text: File=" + file + L", FindText=oldValue, ReplaceTo=New...Success");
    EXPECT_EQ(ReadFileBytes(file), "Path=New;more oldvalue\r\n");
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoReplaceText), 0);
    EXPECT_EQ(ReadFileBytes(file), "Path=New;more New\r\n");
    EXPECT_EQ(script.Run(0, &THandlerProbe::DoReplaceText), 0);
    EXPECT_TRUE(script.LogString().ends_with(L"...Already"));
    EXPECT_EQ(ReadFileBytes(file), "Path=New;more New\r\n");

    EXPECT_EQ(script.Run(1, &THandlerProbe::DoReplaceText), -1);
    EXPECT_EQ(script.LogString(), L"");
    EXPECT_FALSE(PathExists(InstallDir + L"\\missing.txt"));
}

} // namespace
