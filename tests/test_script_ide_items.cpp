// IDE registration items: package list, search paths and their add-once rule, the OpenHelp
// files and text replacement, in the sandbox's HKEY_CURRENT_USER and temporary files.
#include "tests/IdeTestSupport.h"

#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProducts.h"
#include "product/URegistry.h"
#include "support/UText.h"

using namespace vktest;

namespace {

const std::wstring Bds2006 = L"Software\\Borland\\BDS\\4.0";
const std::wstring Xe2 = L"Software\\Embarcadero\\BDS\\9.0";

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
    // The value's text, or "<none>".
    static std::wstring Value(const std::wstring& key, const std::wstring& name) {
        std::wstring text;
        return ReadRegString(HKEY_CURRENT_USER, key, name, text) ? text : L"<none>";
    }
    static void SetValue(const std::wstring& key, const std::wstring& name,
                         const std::wstring& text) {
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key, name, text));
    }
};

TEST_F(IdeItemsTest, RegisterPackageListsThePackageAndAddsItsDirectoryOnce) {
    SetIde(11, L"BDS2006");
    THandlerProbe script({Row(siRegisterPackage, L"BDS2006\\dclvkl2006.bpl", 0, dcInstall)});
    const std::wstring package = InstallDir + L"\\BDS2006\\dclvkl2006.bpl";
    const std::wstring dir = InstallDir + L"\\BDS2006";
    // A package that was not built is neither listed nor added to the search path.
    SetValue(Bds2006 + L"\\Library", L"Search Path", L"$(BDS)\\Lib");
    EXPECT_EQ(script.Run(0), -5);
    EXPECT_EQ(script.LogString(), L"Registering package: " + package + L"...Fail");
    EXPECT_EQ(Value(Bds2006 + L"\\Known Packages", package), L"<none>");
    EXPECT_EQ(Value(Bds2006 + L"\\Library", L"Search Path"), L"$(BDS)\\Lib");

    ASSERT_EQ(CreateDirectoryPath(dir), 0u);
    ASSERT_TRUE(WriteFileBytes(package, "package"));
    const std::wstring line = L"Registering package: " + package + L"...Success";
    // Presence ignores case (InstallDir has capitals).
    const std::wstring lower = LowerCase(dir);
    const struct {
        std::wstring Before, After;
        const wchar_t* Outcome;
    } rows[] = {{L"$(BDS)\\Lib", L"$(BDS)\\Lib;" + dir, L"...Success"},
                {L"$(BDS)\\Lib;" + dir, L"$(BDS)\\Lib;" + dir, L"...Already"},
                {L"", dir, L"...Success"},
                {L"C:\\A;", L"C:\\A;" + dir, L"...Success"},
                {L"X;" + lower + L";Y", L"X;" + lower + L";Y", L"...Already"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(ToAnsi(row.Before));
        SetValue(Bds2006 + L"\\Library", L"Search Path", row.Before);
        EXPECT_EQ(script.Run(0), 0);
        EXPECT_EQ(script.LogString(), line + L"\r\nAdding search path: " + dir + row.Outcome);
        EXPECT_EQ(Value(Bds2006 + L"\\Library", L"Search Path"), row.After);
    }
    EXPECT_EQ(Value(Bds2006 + L"\\Known Packages", package), L"Standard Edition of Velkora v4.07");

    // Without a search path the package is still listed; the value is not created.
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, (Bds2006 + L"\\Library").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(script.Run(0), -2);
    EXPECT_EQ(script.LogString(), line);
    EXPECT_EQ(Value(Bds2006 + L"\\Library", L"Search Path"), L"<none>");
}

TEST_F(IdeItemsTest, OnlyBds2007To2010AreToldToReloadTheirOptions) {
    for (int index : {11, 12, 13, 14, 15}) {
        SetIde(index, L"BDS");
        const std::wstring key = BorlandProducts[index].RegKey;
        SetValue(key + L"\\Library", L"Search Path", L"");
        THandlerProbe script({Row(siRegisterPackage, L"BDS\\p.bpl", 0, dcInstall)});
        ASSERT_EQ(CreateDirectoryPath(InstallDir + L"\\BDS"), 0u);
        ASSERT_TRUE(WriteFileBytes(InstallDir + L"\\BDS\\p.bpl", "package"));
        EXPECT_EQ(script.Run(0), 0);
        EXPECT_EQ(Value(key + L"\\Globals", L"ForceEnvOptionsUpdate"),
                  index >= 12 && index <= 14 ? L"1" : L"<none>")
            << index;
    }
}

TEST_F(IdeItemsTest, SearchAndIdePathsAreAddedOnceAndNeverCreated) {
    const std::wstring cb6 = L"Software\\Borland\\C++Builder\\6.0\\Library";
    const std::wstring cpp = Xe2 + L"\\C++\\Paths\\Win32";
    THandlerProbe script(
        {Row(siAddSearchPath, L"Source", 0, dcInstall),
         Row(siAddIdePath, L"\\C++\\Paths\\Win32\\LibraryPath", sfIdeWin32, dcInstall),
         // Only the low seven bits of Code choose the sub-folder.
         Row(siAddIdePath, L"\\Library\\Win64\\Search Path", 0x80 | sfIdeWin64, dcInstall)});
    SetIde(8, L"CBuilder6");
    EXPECT_EQ(script.Run(0), -2);
    SetIde(16, L"RADStudio9");
    EXPECT_EQ(script.Run(1), 0);
    EXPECT_EQ(script.LogString(), L"");
    EXPECT_EQ(Value(cb6, L"Search Path"), L"<none>");
    EXPECT_EQ(Value(cpp, L"LibraryPath"), L"<none>");

    SetValue(cb6, L"Search Path", L"$(BCB)\\Lib");
    SetValue(cpp, L"LibraryPath", L"$(BDS)\\lib");
    const std::wstring source = InstallDir + L"\\Source";
    const std::wstring win32 = InstallDir + L"\\RADStudio9\\Win32";
    for (const wchar_t* outcome : {L"...Success", L"...Already"}) {
        SetIde(8, L"CBuilder6");
        EXPECT_EQ(script.Run(0), 0);
        EXPECT_EQ(script.LogString(), L"Adding search path: " + source + outcome);
        SetIde(16, L"RADStudio9");
        EXPECT_EQ(script.Run(1), 0);
        EXPECT_EQ(script.LogString(), L"Adding search path: " + win32 + outcome);
    }
    EXPECT_EQ(Value(cb6, L"Search Path"), L"$(BCB)\\Lib;" + source);
    EXPECT_EQ(Value(cpp, L"LibraryPath"), L"$(BDS)\\lib;" + win32);
    SetValue(Xe2 + L"\\Library\\Win64", L"Search Path", L"");
    EXPECT_EQ(script.Run(2), 0);
    EXPECT_EQ(Value(Xe2 + L"\\Library\\Win64", L"Search Path"),
              InstallDir + L"\\RADStudio9\\Win64");
}

TEST_F(IdeItemsTest, ModifyHelpFileAppendsTheLineOnceOnALineOfItsOwnToAnExistingFile) {
    BorlandProducts[5].RootDir = TempPath(L"CBuilder4");
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"CBuilder4\\Help")), 0u);
    SetIde(5, L"CBuilder4");
    const std::wstring file = TempPath(L"CBuilder4\\Help\\bcb4.ohl");
    THandlerProbe script({Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", 3, dcIdeHelp),
                          Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", 1, dcIdeHelp),
                          Row(siModifyHelpFile, L"\r\n:Link vklib.hlp", 4, dcIdeHelp)});
    // The searched text begins with its line break: a first line does not count.
    const struct {
        const char *Before, *After;
    } rows[] = {{":Link bcb4.hlp\r\n", ":Link bcb4.hlp\r\n:Link vklib.hlp\r\n"},
                {":Link bcb4.hlp", ":Link bcb4.hlp\r\n:Link vklib.hlp\r\n"},
                {":LINK VKLIB.HLP\r\n", ":LINK VKLIB.HLP\r\n:Link vklib.hlp\r\n"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Before);
        ASSERT_TRUE(WriteFileBytes(file, row.Before));
        for (const wchar_t* outcome : {L"...Success", L"...Already"}) {
            EXPECT_EQ(script.Run(0), 0);
            EXPECT_EQ(script.LogString(), L"Modifying file: " + file + outcome);
            EXPECT_EQ(ReadFileBytes(file), row.After);
        }
    }
    // A missing file is not created; a slot beyond the IDE's files names none.
    EXPECT_EQ(script.Run(1), -1);
    EXPECT_EQ(script.LogString(), L"");
    EXPECT_FALSE(PathExists(TempPath(L"CBuilder4\\Help\\bcb4.cfg")));
    EXPECT_EQ(script.Run(2), -1);
}

TEST_F(IdeItemsTest, ReplaceTextReplacesTheFirstOccurrenceIgnoringCase) {
    ASSERT_EQ(CreateDirectoryPath(InstallDir), 0u);
    const std::wstring file = InstallDir + L"\\settings.txt";
    ASSERT_TRUE(WriteFileBytes(file, "Path=OLDVALUE;more oldvalue\r\n"));
    THandlerProbe script({Row(siReplaceText, L"settings.txt", 0, dcInstall, 0, L"oldValue", L"New"),
                          Row(siReplaceText, L"missing.txt", 0, dcInstall, 0, L"a", L"b")});
    const std::wstring line = L"Replace text: File=" + file + L", FindText=oldValue, ReplaceTo=New";
    for (const char* after : {"Path=New;more oldvalue\r\n", "Path=New;more New\r\n"}) {
        EXPECT_EQ(script.Run(0), 0);
        EXPECT_EQ(script.LogString(), line + L"...Success");
        EXPECT_EQ(ReadFileBytes(file), after);
    }
    EXPECT_EQ(script.Run(0), 0);
    EXPECT_EQ(script.LogString(), line + L"...Already");
    EXPECT_EQ(script.Run(1), -1);
    EXPECT_EQ(script.LogString(), L"");
    EXPECT_FALSE(PathExists(InstallDir + L"\\missing.txt"));
}

}  // namespace
