#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/URegistry.h"
#include "support/UText.h"
#include "tests/ScriptProbe.h"
#include "uninstall/UDeinstall.h"

#include <gtest/gtest.h>

using namespace vktest;

namespace {

const wchar_t* const Rad9Key = L"Software\\Embarcadero\\BDS\\9.0";  // product 16, two platforms
const wchar_t* const UninstallEntry =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLib";
const wchar_t* const HelpKey = L"Software\\Microsoft\\Windows\\Help";

std::wstring Value(HKEY root, const std::wstring& key, const wchar_t* name) {
    std::wstring text;
    return ReadRegString(root, key, name, text) ? text : L"<missing>";
}

void MakeFile(const std::wstring& path, const std::string& content = "x") {
    CreateDirectoryPath(path.substr(0, path.rfind(L'\\')));
    ASSERT_TRUE(WriteFileBytes(path, content)) << path.c_str();
}

// An IDE that detection finds: its RootDir value and its command-line tool.
void InstallIde(int index, const std::wstring& rootDir) {
    const TBorlandProduct& product = BorlandProducts[index];
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, product.RegKey, L"RootDir", rootDir));
    MakeFile(rootDir + (product.IsDelphi ? L"\\bin\\dcc32.exe" : L"\\bin\\make.exe"));
}

int Walk(const std::wstring& logPath, bool partial = false) {
    TDeinstall deinstall;
    deinstall.flPartialUninstall = partial;
    int result = deinstall.PrepareUninstFile(logPath);
    if (result == 0)
        result = deinstall.PrepareDeinstall();
    return result != 0 ? result : deinstall.DoDeinstall();
}

// The uninstall log of the header records and these, written by the real writer.
std::wstring LogOf(std::initializer_list<TScriptItem> records) {
    std::vector<TScriptItem> items = HeaderItems();
    items.insert(items.end(), records);
    return WriteUninstLog(items);
}

// The run-time package that the RAD Studio XE2 block copies to the system directory.
const TPackageFile* CopyDestination() {
    return &PackageFiles[8];
}

// The log's bytes with the first from replaced by to, of the same length.
std::string Replaced(std::string bytes, const std::string& from, const std::string& to) {
    const size_t at = bytes.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    EXPECT_EQ(from.size(), to.size());
    return at == std::string::npos ? bytes : bytes.replace(at, from.size(), to);
}

}  // namespace

class DeinstallTest : public InstallStateTest {
protected:
    void SetUp() override {
        InstallStateTest::SetUp();
        InstallDir = TempPath(L"Lib Inst");
        CurrentProduct = 0;
        CurrentProductDir.clear();
    }
};

TEST_F(DeinstallTest, AFullLogIsUndoneRecordByRecord) {
    const std::wstring inst = InstallDir;
    const std::wstring rad9 = TempPath(L"RAD9");
    const std::wstring bcb4 = TempPath(L"BCB4");
    InstallIde(16, rad9);
    InstallIde(5, bcb4);

    TScriptItem copy = Item(siCopyFileTo, L"RADStudio9\\vkl.bpl", dcInstall);
    copy.Dest = CopyDestination();
    const std::wstring log = LogOf({
        Item(siCreateDir, L"", dcInstall),
        Item(siCreateDir, L"Source", dcInstall),
        Item(siExtractFile, L"Source\\a.pas", dcInstall),
        Item(siExtractFileIfAbsent, L"settings.ini", dcInstall, 0, 3),
        Item(siSetIde, L"RADStudio9", 0, 16),
        Item(siRegisterPackage, L"RADStudio9\\dclvkl.bpl", dcInstall),
        Item(siAddSearchPath, L"Source", dcInstall),
        Item(siAddIdePath, L"\\C++\\Paths\\Win32\\LibraryPath", 0, sfIdeWin32),
        Item(siSetIde, L"RADStudio9", 0, 16),
        Item(siSetIde, L"CBuilder4", 0, 5),
        Item(siModifyHelpFile, L"\r\n:Index Velkora components=vklib.hlp", dcIdeHelp, 2),
        Item(siModifyHelpFile, L"\r\n:Link vklib.hlp", dcIdeHelp, 3),
        Item(siDeleteFile, L"Help\\bcb4.gid", dcIdeRoot),
        Item(siSetIde, L"CBuilder4", 0, 5),
        copy,
        Item(siRegisterWinHelp, L"vklib.hlp", 0),
        Item(siRegisterHelp, L"help\\help_reg.bat", 0),
        Item(siRegisterUninstall, L"unbrm.exe", 0),
        Item(siCreateRegKey, L"Software\\Brightmoss\\Velkora", 0, 0x80000002, 3),
    });

    // What the installation left behind.
    MakeFile(inst + L"\\Source\\a.pas");
    MakeFile(inst + L"\\settings.ini");
    MakeFile(inst + L"\\RADStudio9\\dclvkl.bpl");
    MakeFile(inst + L"\\help\\help_unreg.bat", "@echo unregistered> ..\\..\\unreg-ran.txt\r\n");
    const std::wstring copied = JoinPath(BaseDir(dcSystem), CopyDestination()->FileName);
    MakeFile(copied);
    const std::wstring known = std::wstring(Rad9Key) + L"\\Known Packages";
    WriteRegString(HKEY_CURRENT_USER, known, inst + L"\\RADStudio9\\dclvkl.bpl", L"Velkora");
    WriteRegString(HKEY_CURRENT_USER, known, L"C:\\Other\\other.bpl", L"Other");
    const std::wstring library = std::wstring(Rad9Key) + L"\\Library";
    WriteRegString(HKEY_CURRENT_USER, library, L"Search Path", L"C:\\Keep");
    WriteRegString(HKEY_CURRENT_USER, library + L"\\Win32", L"Search Path",
                   L"C:\\Keep32;" + inst + L"\\RADStudio9");
    // Only a whole entry goes, in any letter case: a longer one that begins with it stays.
    WriteRegString(HKEY_CURRENT_USER, library + L"\\Win64", L"Search Path",
                   inst + L"\\Source2;" + LowerCase(inst) + L"\\source;C:\\Keep64");
    const std::wstring cppPaths = std::wstring(Rad9Key) + L"\\C++\\Paths\\Win32";
    WriteRegString(HKEY_CURRENT_USER, cppPaths, L"LibraryPath",
                   L"C:\\CppLib;" + inst + L"\\RADStudio9\\Win32");
    // The index line was removed by hand; the link line stands twice, in other letter case.
    const std::string index = "a\r\n:Index Other=other.hlp\r\n";
    MakeFile(bcb4 + L"\\Help\\bcb4.ohi", index);
    MakeFile(bcb4 + L"\\Help\\bcb4.ohl",
             "a\r\n:LINK VKLIB.HLP\r\n:Link other.hlp\r\n:Link vklib.hlp\r\n");
    MakeFile(bcb4 + L"\\Help\\bcb4.gid");
    WriteRegString(HKEY_LOCAL_MACHINE, HelpKey, L"vklib.hlp", inst + L"\\Help");
    WriteRegString(HKEY_LOCAL_MACHINE, HelpKey, L"other.hlp", L"C:\\Other");
    WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry, L"DisplayName", L"Brightmoss Velkora v4.07");
    WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss\\Velkora", L"Version", L"4.07");
    WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\Keep", L"Value", L"1");

    InstallDir = L"C:\\Elsewhere";
    EXPECT_EQ(Walk(log), 0);

    EXPECT_EQ(InstallDir, inst);  // the header's directory
    EXPECT_FALSE(PathExists(inst));
    EXPECT_FALSE(PathExists(copied));
    EXPECT_TRUE(PathExists(TempPath(L"unreg-ran.txt")));  // the help unregistration ran
    EXPECT_EQ(Value(HKEY_CURRENT_USER, known, (inst + L"\\RADStudio9\\dclvkl.bpl").c_str()),
              L"<missing>");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, known, L"C:\\Other\\other.bpl"), L"Other");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, library, L"Search Path"), L"C:\\Keep");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, library + L"\\Win32", L"Search Path"), L"C:\\Keep32");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, library + L"\\Win64", L"Search Path"),
              inst + L"\\Source2;C:\\Keep64");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, cppPaths, L"LibraryPath"), L"C:\\CppLib");
    EXPECT_EQ(ReadFileBytes(bcb4 + L"\\Help\\bcb4.ohi"), index);
    EXPECT_EQ(ReadFileBytes(bcb4 + L"\\Help\\bcb4.ohl"),
              "a\r\n:Link other.hlp\r\n:Link vklib.hlp\r\n");
    EXPECT_FALSE(PathExists(bcb4 + L"\\Help\\bcb4.gid"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, HelpKey, L"vklib.hlp"), L"<missing>");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, HelpKey, L"other.hlp"), L"C:\\Other");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallEntry));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Keep"));
    // The walk ended on the first IDE block's opening record.
    EXPECT_EQ(CurrentProduct, 16);
}

// A log that cannot be loaded or fails validation is rejected as a whole: nothing is undone,
// not even the sound records a backward walk would reach before the damage. A log of the header
// alone is sound and undoes nothing.
TEST_F(DeinstallTest, LogsThatCannotBeLoadedOrValidatedAreRejectedWhole) {
    const std::string headerOnly = ReadFileBytes(WriteUninstLog(HeaderItems()));
    const std::string sound = ReadFileBytes(LogOf(
        {Item(siExtractFile, L"a.pas", dcInstall), Item(siExtractFile, L"b.pas", dcInstall)}));
    std::string textLength = sound;
    textLength[sound.find("a.pas") - 2] = 4;  // the first record's TextLen no longer fits
    std::string recordLength = sound;
    recordLength[sound.size() - 2] = static_cast<char>(0xF0);  // points before the file
    std::vector<TScriptItem> noDirItems = HeaderItems();
    noDirItems.erase(noDirItems.begin() + 3);  // the installation directory's record
    noDirItems.push_back(Item(siExtractFile, L"a.pas", dcInstall));
    const std::string noDir = ReadFileBytes(WriteUninstLog(noDirItems));
    MakeFile(InstallDir + L"\\a.pas");
    MakeFile(InstallDir + L"\\b.pas");
    const struct {
        const wchar_t* Name;
        bool Exists;
        std::string Bytes;
        int Result;
    } rows[] = {{L"header.log", true, headerOnly, 0},
                {L"missing.log", false, "", ulCannotOpen},
                {L"empty.log", true, "", ulEmpty},
                {L"short.log", true, "UNBRM0", ulBadMagic},
                {L"other.log", true, "UNBRX02" + sound.substr(7), ulBadMagic},
                {L"textlength.log", true, textLength, ulDamaged},
                {L"recordlength.log", true, recordLength, ulDamaged},
                {L"truncated.log", true, sound.substr(0, sound.size() - 1), ulDamaged},
                {L"trailing.log", true, sound + "x", ulDamaged},
                {L"nodir.log", true, noDir, ulDamaged}};
    for (const auto& row : rows) {
        if (row.Exists)
            MakeFile(TempPath(row.Name), row.Bytes);
        EXPECT_EQ(Walk(TempPath(row.Name)), row.Result) << row.Name;
        EXPECT_TRUE(PathExists(InstallDir + L"\\a.pas") && PathExists(InstallDir + L"\\b.pas"))
            << row.Name;
    }
}

TEST_F(DeinstallTest, AForwardLogUndoesEveryRecordAfterItsHeader) {
    // No turning mark: an older writer's log is read forward from the first other record.
    std::vector<TScriptItem> items;
    for (uint32_t code : {1u, 2u, 3u, 4u, 5u, 7u})
        items.push_back(Item(siProductInfo, nullptr, 0, code));
    items.push_back(Item(siExtractFile, L"a.pas", dcInstall));
    items.push_back(Item(siExtractFile, L"b.pas", dcInstall));
    const std::wstring log = WriteUninstLog(items);
    MakeFile(InstallDir + L"\\a.pas");
    MakeFile(InstallDir + L"\\b.pas");
    EXPECT_EQ(Walk(log), 0);
    EXPECT_FALSE(PathExists(InstallDir + L"\\a.pas"));
    EXPECT_FALSE(PathExists(InstallDir + L"\\b.pas"));
}

TEST_F(DeinstallTest, AnIdeBoundRecordNeedsACurrentIde) {
    InstallIde(16, TempPath(L"RAD9"));
    // What an earlier block left must not count.
    const std::wstring log = LogOf({
        Item(siSetIde, L"", 0, 0),
        Item(siRegisterPackage, L"RADStudio9\\dclvkl.bpl", dcInstall),
        Item(siSetIde, L"", 0, 0),
    });
    const std::wstring known = std::wstring(Rad9Key) + L"\\Known Packages";
    const std::wstring package = InstallDir + L"\\RADStudio9\\dclvkl.bpl";
    WriteRegString(HKEY_CURRENT_USER, known, package, L"Velkora");
    CurrentProduct = 16;
    EXPECT_EQ(Walk(log), 0);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, known, package.c_str()), L"Velkora");
}

// A log is walked only when every record stays where an installation writes: one record that
// reaches anything else, or a log away from the installation folder it names, refuses the whole
// log as damaged, and even its sound record (a.pas) is not undone.
TEST_F(DeinstallTest, ALogThatReachesOutsideTheInstallationIsRefusedWhole) {
    const std::wstring bcb4 = TempPath(L"BCB4");
    InstallIde(16, TempPath(L"RAD9"));
    InstallIde(5, bcb4);
    const std::wstring work = TempPath(L"work");
    const std::wstring victim = work + L"\\victim\\file.txt";
    MakeFile(victim);
    const std::wstring tempVictim =
        L"vktest-victim-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    MakeFile(BaseDir(dcTemp) + tempVictim);
    MakeFile(InstallDir + L"\\a.pas");
    MakeFile(InstallDir + L"\\help\\help_unreg.bat", "@echo ran> ..\\..\\unreg-ran.txt\r\n");
    const std::string helpFile = "a\r\n:Link other.hlp\r\n";
    MakeFile(bcb4 + L"\\Help\\bcb4.ohl", helpFile);
    const std::wstring known = std::wstring(Rad9Key) + L"\\Known Packages";
    WriteRegString(HKEY_CURRENT_USER, known, L"C:\\Other\\other.bpl", L"Other");
    WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\Keep", L"Value", L"1");
    WriteRegString(HKEY_LOCAL_MACHINE, HelpKey, L"other.hlp", L"C:\\Other");
    const std::wstring foreignEntry =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vklLiX";
    WriteRegString(HKEY_LOCAL_MACHINE, foreignEntry, L"DisplayName", L"Other");
    SetCurrentDirectoryW(work.c_str());

    const auto log = [](std::initializer_list<TScriptItem> records) {
        std::vector<TScriptItem> items = HeaderItems();
        items.push_back(Item(siExtractFile, L"a.pas", dcInstall));
        items.insert(items.end(), records);
        return ReadFileBytes(WriteUninstLog(items));
    };
    const std::string sound = log({});
    const struct {
        const wchar_t* Case;
        std::string Bytes;
        bool Moved;  // the log lies away from the installation folder it names
    } rows[] = {
        {L"relative folder", log({Item(siCreateDir, L"victim", 0)}), false},
        {L"empty folder", log({Item(siCreateDir, L"", 0)}), false},
        {L"up from the installation",
         log({Item(siExtractFile, L"..\\work\\victim\\file.txt", dcInstall)}), false},
        {L"a file no row names", log({Item(siDeleteFile, tempVictim.c_str(), dcTemp)}), false},
        {L"foreign package",
         log({Item(siSetIde, L"RADStudio9", 0, 16),
              Item(siRegisterPackage, L"C:\\Other\\other.bpl", 0),
              Item(siSetIde, L"RADStudio9", 0, 16)}),
         false},
        {L"foreign key", log({Item(siCreateRegKey, L"Software\\Keep", 0, 0x80000002)}), false},
        {L"top-level key", log({Item(siCreateRegKey, L"Software", 0, 0x80000002)}), false},
        {L"unknown root", log({Item(siCreateRegKey, L"Software\\Brightmoss\\Velkora", 0, 0x12345)}),
         false},
        {L"foreign WinHelp value", log({Item(siRegisterWinHelp, L"other.hlp", 0)}), false},
        {L"foreign help text",
         log({Item(siSetIde, L"CBuilder4", 0, 5),
              Item(siModifyHelpFile, L"\r\n:Link other.hlp", dcIdeHelp, 3),
              Item(siSetIde, L"CBuilder4", 0, 5)}),
         false},
        {L"IDE value beside the IDE key",
         log({Item(siAddIdePath, L"x\\Search Path", 0, sfInstall)}), false},
        {L"foreign uninstall entry",
         Replaced(log({Item(siRegisterUninstall, L"unbrm.exe", 0)}), "vklLib", "vklLiX"), false},
        {L"moved log", sound, true},
        {L"moved log with the help batch", log({Item(siRegisterHelp, L"help\\help_reg.bat", 0)}),
         true},
    };
    for (const auto& row : rows) {
        const std::wstring path = row.Moved ? TempPath(L"moved.log") : InstallDir + L"\\uninst.log";
        MakeFile(path, row.Bytes);
        EXPECT_EQ(Walk(path), ulDamaged) << row.Case;
        EXPECT_TRUE(PathExists(InstallDir + L"\\a.pas")) << row.Case;
    }
    SetCurrentDirectoryW(TempDir.c_str());
    EXPECT_TRUE(PathExists(victim));
    EXPECT_TRUE(PathExists(BaseDir(dcTemp) + tempVictim));
    DeleteFileW((BaseDir(dcTemp) + tempVictim).c_str());
    EXPECT_FALSE(PathExists(TempPath(L"unreg-ran.txt")));
    EXPECT_EQ(ReadFileBytes(bcb4 + L"\\Help\\bcb4.ohl"), helpFile);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, known, L"C:\\Other\\other.bpl"), L"Other");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"Software\\Keep", L"Value"), L"1");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, HelpKey, L"other.hlp"), L"C:\\Other");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, foreignEntry));

    // The sound log in its place is walked.
    MakeFile(InstallDir + L"\\uninst.log", sound);
    EXPECT_EQ(Walk(InstallDir + L"\\uninst.log"), 0);
    EXPECT_FALSE(PathExists(InstallDir + L"\\a.pas"));
}

// A folder of the installation replaced by a link: nothing is undone through it, the link goes
// as a link, what it points to stays whole, and the rest of the installation still goes.
TEST_F(DeinstallTest, TheUndoNeverActsThroughALinkedFolder) {
    const std::wstring outside = TempPath(L"Outside");
    for (const wchar_t* name : {L"a.pas", L"b.pas", L"Design\\c.pas", L"keep.txt"})
        MakeFile(outside + L"\\" + name);
    MakeFile(InstallDir + L"\\ReadMe.txt");
    ASSERT_TRUE(MakeDirectoryLink(InstallDir, L"Source", L"../Outside"));
    ASSERT_TRUE(PathExists(InstallDir + L"\\Source\\keep.txt"));

    EXPECT_EQ(
        Walk(LogOf({Item(siCreateDir, L"", dcInstall), Item(siCreateDir, L"Source", dcInstall),
                    Item(siExtractFile, L"Source\\a.pas", dcInstall),
                    Item(siCreateDir, L"Source\\Design", dcInstall),
                    Item(siExtractFile, L"Source\\Design\\c.pas", dcInstall),
                    Item(siDeleteFile, L"Source\\b.pas", dcInstall),
                    Item(siExtractFile, L"ReadMe.txt", dcInstall)})),
        0);
    EXPECT_FALSE(PathExists(InstallDir + L"\\ReadMe.txt"));
    for (const wchar_t* name : {L"a.pas", L"b.pas", L"Design\\c.pas", L"keep.txt"})
        EXPECT_TRUE(PathExists(outside + L"\\" + name)) << name;
}

// The walk sits in the installation directory (the help unregistration leaves it there); one
// directly below a drive root must still go.
TEST_F(DeinstallTest, AnInstallationDirectoryBelowADriveRootGoesWhileItIsTheCurrentOne) {
    InstallDir = L"C:\\vktest-root-" + std::to_wstring(GetCurrentProcessId());
    MakeFile(InstallDir + L"\\Source\\a.pas");
    const std::wstring saved = CurrentDirectory();
    ASSERT_TRUE(SetCurrentDirectoryW(InstallDir.c_str()));
    EXPECT_EQ(Walk(LogOf({Item(siCreateDir, L"", dcInstall)})), 0);
    EXPECT_FALSE(PathExists(InstallDir));
    SetCurrentDirectoryW(saved.c_str());
    RemoveTree(InstallDir);
}

// An IDE removed since the installation has no RootDir: its records name no file any more, and
// what the relative rest names in the current directory stays. (The block's closing siSetIde
// comes first in the backward walk, as in the product's table.)
TEST_F(DeinstallTest, RecordsOfAVanishedIdeTouchNoFileInTheCurrentDirectory) {
    const std::wstring work = TempPath(L"work");
    MakeFile(work + L"\\Help\\bcb6.gid", "keep");
    const std::string keywords = "keep\r\n:Link vklib.hlp";
    MakeFile(work + L"\\bcb6.als", keywords);
    const std::wstring saved = CurrentDirectory();
    ASSERT_TRUE(SetCurrentDirectoryW(work.c_str()));
    EXPECT_EQ(Walk(LogOf({Item(siSetIde, L"CBuilder6", 0, 8),
                          Item(siDeleteFile, L"Help\\bcb6.gid", dcIdeRoot),
                          Item(siModifyHelpFile, L"\r\n:Link vklib.hlp", dcIdeRoot, 3),
                          Item(siSetIde, L"CBuilder6", 0, 8)})),
              0);
    SetCurrentDirectoryW(saved.c_str());
    EXPECT_EQ(ReadFileBytes(work + L"\\Help\\bcb6.gid"), "keep");
    EXPECT_EQ(ReadFileBytes(work + L"\\bcb6.als"), keywords);
}

TEST(ProtectedDirectoryTest, SystemDirectoriesRootsAndTheirAncestorsAreProtected) {
    wchar_t buffer[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(buffer, MAX_PATH), 0u);
    const std::wstring windows = buffer;
    ASSERT_GT(GetSystemDirectoryW(buffer, MAX_PATH), 0u);
    const std::wstring system = buffer;
    const std::wstring programFiles = EnvironmentValue(L"ProgramFiles");
    const std::wstring profile = EnvironmentValue(L"USERPROFILE");
    ASSERT_FALSE(programFiles.empty() || profile.empty());
    for (const std::wstring& dir :
         {std::wstring(), std::wstring(L"relative\\dir"), std::wstring(L"C:"),
          std::wstring(L"C:\\"), std::wstring(L"\\\\server\\share\\"),
          std::wstring(L"\\\\?\\UNC\\server\\share"), L"\\\\?\\" + windows,
          L"\\\\.\\" + system + L"\\..", windows + L"\\", LowerCase(system), programFiles, profile,
          profile.substr(0, profile.rfind(L'\\'))})
        EXPECT_TRUE(IsProtectedDirectory(dir)) << dir.c_str();
    // Too long to resolve its ".." steps: it could name anything.
    EXPECT_TRUE(IsProtectedDirectory(L"C:\\" + std::wstring(600, L'a') + L"\\..\\Windows"));
    EXPECT_FALSE(IsProtectedDirectory(programFiles + L"\\Velkora"));
    EXPECT_FALSE(IsProtectedDirectory(L"\\\\server\\share\\Velkora"));
}

// A partial walk keeps the records marked with 0x20000 and undoes the others.
TEST_F(DeinstallTest, APartialWalkKeepsTheMarkedRecords) {
    const std::wstring log =
        LogOf({Item(siExtractFile, L"a.pas", dcInstall),
               Item(siExtractFile, L"settings.ini", dcInstall, 0, 3),
               Item(siCreateRegKey, L"Software\\Brightmoss\\Velkora", 0, 0x80000002, 3)});
    MakeFile(InstallDir + L"\\a.pas");
    MakeFile(InstallDir + L"\\settings.ini");
    WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss\\Velkora", L"Version", L"4.07");
    EXPECT_EQ(Walk(log, true), 0);
    EXPECT_FALSE(PathExists(InstallDir + L"\\a.pas"));
    EXPECT_TRUE(PathExists(InstallDir + L"\\settings.ini"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss\\Velkora"));
}
