// The bottom floors on real handles, files, keys and processes: the handle owners, the string
// list, the path, registry, file and process utilities, the command-line split, the installation
// record, IDE detection and preselection, the target-folder rules and running-IDE detection.
#include "product/UCommandLine.h"
#include "product/URunningIdes.h"
#include "script/UInstallDir.h"
#include "script/UUninstLog.h"
#include "support/UbrmStringList.h"
#include "tests/IdeTestSupport.h"

#include <shellapi.h>

#include <random>

using namespace vktest;
using namespace handles;

namespace {

int CloseCount[8];
struct CountingTraits {
    using Type = int;
    static Type Empty() noexcept { return 0; }
    static bool Close(Type h) noexcept { return ++CloseCount[h], h != 7; }  // 7 fails to close
};

std::vector<std::wstring> Lines(const TbrmStringList& list) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}

// Up to longest - 1 characters drawn from alphabet.
std::wstring RandomText(std::mt19937& random, const std::wstring& alphabet, unsigned longest) {
    std::wstring text(random() % longest, L' ');
    for (wchar_t& c : text)
        c = alphabet[random() % alphabet.size()];
    return text;
}

}  // namespace

TEST(Handles, EveryOwnedValueIsClosedExactlyOnceAndRealOwnersCloseTheirs) {
    {
        UniqueHandle<CountingTraits> a(1), c(2), d(3), e(5), f(7), b(std::move(a));
        c = std::move(b);  // closes 2, takes 1
        EXPECT_TRUE(!a && CloseCount[2] == 1 && CloseCount[1] == 0 && d.reset(4));
        EXPECT_EQ(d.release(), 4);
        *e.put() = 6;
        EXPECT_EQ(CloseCount[5], 1) << "put closes the old value first";
        EXPECT_TRUE(!f.reset() && f.reset()) << "a failed close is reported";
    }
    EXPECT_EQ(std::vector(CloseCount, CloseCount + 8), (std::vector{0, 1, 1, 1, 0, 1, 1, 1}))
        << "each closed once; a released value (4) is the caller's";

    WIN32_FIND_DATAW data;
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key);
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr),
                 search = FindFirstFileW(L"C:\\windows\\*", &data);
    const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    const HDC memory = CreateCompatibleDC(nullptr);
    const HGDIOBJ original = GetCurrentObject(memory, OBJ_BRUSH);
    ASSERT_TRUE(event && search != INVALID_HANDLE_VALUE && key && brush && memory);
    {
        const std::tuple owners{KernelHandle(event), FindHandle(search), RegKey(key),
                                GdiObject(brush), MemoryDC(memory)};
        EXPECT_EQ((SelectObjectGuard(memory, brush), GetCurrentObject(memory, OBJ_BRUSH)), brush);
        EXPECT_EQ(GetCurrentObject(memory, OBJ_BRUSH), original) << "the selection is restored";
        EXPECT_EQ(FileHandle().get(), INVALID_HANDLE_VALUE);
    }
    DWORD flags = 0;
    wchar_t name[MAX_PATH];
    EXPECT_FALSE(GetHandleInformation(event, &flags) || FindNextFileW(search, &data) ||
                 RegEnumKeyW(key, 0, name, MAX_PATH) == ERROR_SUCCESS || GetObjectType(brush) ||
                 GetObjectType(memory));
}

TEST_F(SandboxTest, StringListKeepsTheLocaleOrderFindsByItsDuplicatePolicyAndReadsAndWritesFiles) {
    // Characters whose locale order departs from code-unit order; sorted insertion lands all
    // over the list and grows it past 1024 entries. The order: CompareStringW, string sort.
    std::vector<std::wstring> strings = {L"ae", L"\u00e6", L"co-op", L"coop", L""};
    std::mt19937 random(12345);
    while (strings.size() < 1505)
        strings.push_back(
            RandomText(random, L"aAbBeE\u00e9zZ-' .09\u00df\u00e6\u2019\u00ad\u0301", 7));
    TbrmStringList list, tiny, run;
    for (const std::wstring& s : strings)
        list.Add(s);
    std::vector<std::wstring> stored = Lines(list);
    EXPECT_TRUE(std::ranges::is_sorted(stored, [](const std::wstring& a, const std::wstring& b) {
        return CompareStringW(LOCALE_USER_DEFAULT, SORT_STRINGSORT, a.data(), int(a.size()),
                              b.data(), int(b.size())) == CSTR_LESS_THAN;
    }));
    std::ranges::sort(stored);
    std::ranges::sort(strings);
    EXPECT_TRUE(stored == strings) << "Add keeps every string, duplicates too";
    for (const wchar_t* s : {L"e", L"d", L"c", L"b", L"a", L""})  // "" sorts first, whenever added
        tiny.Add(s);
    EXPECT_EQ(Lines(tiny), (std::vector<std::wstring>{L"", L"a", L"b", L"c", L"d", L"e"}));

    for (const wchar_t* s : {L"a", L"k", L"k", L"k", L"k", L"k", L"k", L"z"})
        run.Insert(run.Count(), s);
    int at = -1, missing = -1, first = -1;
    EXPECT_TRUE(run.Find(L"k", at) && !run.Find(L"m", missing) && run.Add(L"k") == 3);
    run.SetDuplicates(dupAccept);
    EXPECT_TRUE(run.Find(L"k", first) && at == 3 && missing == 7 && first == 1)
        << "dupIgnore: the first equal met, or where it goes; dupAccept: the run's first";
    run.Insert(-1, L"x");
    run.Insert(run.Count() + 1, L"x");
    EXPECT_EQ(run.Get(-1) + run.Get(run.Count()) + std::to_wstring(run.Count()), L"9");

    // Loading replaces the list: every line break splits, a NUL ends the text, ANSI is decoded.
    const std::pair<std::string, std::vector<std::wstring>> files[] = {
        {"", {}},
        {"a\r\nb\nc\rd\n\re\r\n", {L"a", L"b", L"c", L"d", L"", L"e"}},
        {std::string("caf\xE9 \x80\r\ntw\0o\r\nthree", 20), {L"caf\u00e9 \u20ac", L"tw"}}};
    for (const auto& [bytes, lines] : files) {
        ASSERT_TRUE(WriteFileBytes(TempPath(L"in.txt"), bytes));
        run.LoadFromFile(TempPath(L"in.txt"));
        EXPECT_EQ(Lines(run), lines) << testing::PrintToString(bytes);
    }
    list.Clear();
    std::wstring expected = L"caf\u00e9\r\n";
    for (int i = 0; i < 3000; ++i) {  // uneven lines across the buffer; two longer than it
        const bool longer = i == 700 || i == 2999;
        list.Insert(list.Count(),
                    std::wstring(longer ? TbrmStringList::SaveBufferSize + 500 : size_t(i % 37),
                                 wchar_t(L'a' + i % 26)));
        expected += list.Get(list.Count() - 1) + L"\r\n";
    }
    list.Insert(0, L"caf\u00e9");
    list.SaveToFileA(TempPath(L"a.txt"));
    list.SaveToFile(TempPath(L"w.txt"));
    EXPECT_TRUE(ReadFileBytes(TempPath(L"a.txt")) == ToAnsi(expected) &&
                ToAnsi(L"caf\u00e9") == "caf\xE9");
    EXPECT_TRUE(ReadFileBytes(TempPath(L"w.txt")) ==
                std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
    list.Clear();
    list.SaveToFile(TempPath(L"w.txt"));
    run.LoadFromFile(TempPath(L"missing.txt"));
    EXPECT_TRUE(ReadFileBytes(TempPath(L"w.txt")).empty() && run.Count() == 0)
        << "an empty list replaces the old file; a missing file loads nothing";
}

TEST_F(InstallStateTest, JoinFindTextAndTheDirectoryCodes) {
    for (const auto& [dir, name] :
         {std::pair{L"C:\\Lib", L"Source"}, {L"C:\\Lib\\", L"Source"}, {L"C:\\Lib", L"\\Source"}})
        EXPECT_EQ(JoinPath(dir, name), L"C:\\Lib\\Source") << dir << " + " << name;
    EXPECT_EQ(JoinPath(L"", L"Source") + L"|" + JoinPath(L"C:\\Lib", L""), L"Source|C:\\Lib");
    // One forward scan that never steps back; case matters.
    const std::tuple<const wchar_t*, const wchar_t*, int> finds[] = {
        {L"aaab", L"aab", 0},   {L"xaab", L"aab", 2}, {L"abcabd", L"abd", 4}, {L"hello", L"o", 5},
        {L"hell", L"hello", 0}, {L"a", L"", 0},       {L"AB", L"ab", 0}};
    for (const auto& [text, pattern, position] : finds) {
        EXPECT_EQ(FindText(text, pattern), position) << text << " / " << pattern;
        EXPECT_EQ(FindTextA(ToAnsi(text), ToAnsi(pattern)), position) << text;
    }
    InstallDir = L"C:\\Velkora";
    BorlandProducts[12].RootDir = L"C:\\IDE";
    CurrentProductDir = L"RADStudio9";
    for (int product : {0, -1, 29}) {  // the IDE codes need a valid current product
        CurrentProduct = product;
        EXPECT_EQ(BaseDir(dcIdeRoot) + BaseDir(dcIdeHelp), L"") << product;
    }
    CurrentProduct = 12;
    EXPECT_EQ(LowerCase(BaseDir(dcWindows) + L"|" + BaseDir(dcSystem) + L"|" + BaseDir(dcInstall) +
                        L"|" + BaseDir(dcIdeRoot) + L"|" + BaseDir(dcIdeHelp) + L"|" + BaseDir(0) +
                        BaseDir(7)),
              L"c:\\windows|c:\\windows\\system32|c:\\velkora|c:\\ide|c:\\ide\\help\\|");
    EXPECT_EQ(BaseDir(dcTemp).back(), L'\\');
    // The low seven bits of a sub-folder code count.
    EXPECT_EQ(InstallSubDir(sfInstall) + L"|" + InstallSubDir(sfSource) + L"|" +
                  InstallSubDir(sfIde) + L"|" + InstallSubDir(sfIdeWin32) + L"|" +
                  InstallSubDir(0x80 | sfIdeWin64) + L"|" + InstallSubDir(5),
              L"C:\\Velkora|C:\\Velkora\\Source|C:\\Velkora\\RADStudio9|C:\\Velkora\\RADStudio9"
              L"\\Win32|C:\\Velkora\\RADStudio9\\Win64|");
}

TEST_F(SandboxTest, RegistryReadsOnlyRegSzAndTreeDeletionStopsAtAKeyThatHoldsMore) {
    const HKEY hklm = HKEY_LOCAL_MACHINE, hkcu = HKEY_CURRENT_USER;
    const wchar_t* key = L"Software\\Brightmoss\\Velkora";
    // No terminator: every character counts; an odd byte count loses its last byte.
    const std::tuple<const wchar_t*, DWORD, std::string, const wchar_t*> values[] = {
        {key, REG_SZ, std::string("C\0:\0\0\0", 6), L"C:"},
        {key, REG_SZ, std::string("A\0B\0", 4), L"AB"},
        {key, REG_SZ, std::string("A\0B", 3), L"A"},
        {key, REG_EXPAND_SZ, std::string("C\0\0\0", 4), nullptr},
        {key, REG_DWORD, std::string("\1\0\0\0", 4), nullptr},
        {L"Software\\None", 0, "", nullptr}};
    for (const auto& [from, type, bytes, expected] : values) {
        std::wstring text = L"stale";
        ASSERT_TRUE(!type ||
                    !RegSetKeyValueW(hklm, key, L"V", type, bytes.data(), DWORD(bytes.size())));
        EXPECT_TRUE(ReadRegString(hklm, from, L"V", text) == (expected != nullptr) &&
                    text == (expected ? expected : L""))
            << type << " " << ToAnsi(text);
    }
    for (int i = 0; i < 20; ++i)  // wide and deep below the removed key
        ASSERT_TRUE(CreateRegKey(hklm, key + (L"\\K" + std::to_wstring(i)) + L"\\L\\M"));
    ASSERT_TRUE(CreateRegKey(hklm, L"Software\\Brightmoss\\Other") &&
                CreateRegKey(hkcu, L"Software\\A\\B\\C") &&
                WriteRegDword(hkcu, L"Software\\A", L"Keep", 1));
    EXPECT_TRUE(DeleteRegKeyTree(hklm, key) && DeleteRegKeyTree(hkcu, L"Software\\A\\B"));
    EXPECT_FALSE(KeyExists(hklm, key) || KeyExists(hkcu, L"Software\\A\\B"));
    EXPECT_TRUE(KeyExists(hklm, L"Software\\Brightmoss\\Other") && KeyExists(hkcu, L"Software\\A"));
    EXPECT_TRUE(DeleteRegKeyTree(hklm, L"Software\\Brightmoss\\Other"));
    EXPECT_FALSE(KeyExists(hklm, L"Software\\Brightmoss") ||
                 DeleteRegKeyTree(hklm, L"Software\\No"))
        << "an emptied parent goes; a missing key is a failure";
    EXPECT_TRUE(KeyExists(hklm, L"Software")) << "a top-level key stays";
}

// Over a longer file, failures and the item tests' texts are checked with the file items.
TEST_F(SandboxTest, DirectoriesAreMadeAndDeletedInsideTheirTreeAndPayloadsExtractedWhole) {
    const std::wstring tooLong =
        TempPath(L"L\\") + std::wstring(262 - TempPath(L"L\\").size(), L'y');
    ASSERT_TRUE(WriteFileBytes(TempPath(L"file"), "1"));
    for (const std::wstring& path :
         {TempPath(L"T\\a\\b"), TempPath(L"T\\a\\b"), TempPath(L"T/e/f\\"), std::wstring(),
          tooLong.substr(0, 261), TempPath(L"R\\sub"), TempPath(L"target")})
        EXPECT_EQ(CreateDirectoryPath(path), 0u) << path;
    EXPECT_EQ(CreateDirectoryPath(TempPath(L"file\\sub")), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CreateDirectoryPath(tooLong), DWORD(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_TRUE(DirectoryExists(TempPath(L"T\\e\\f")) && DirectoryExists(tooLong.substr(0, 261)) &&
                !PathExists(tooLong));
    for (const wchar_t* name : {L"T\\top.txt", L"T\\a\\b\\deep.txt", L"R\\sub\\locked.txt",
                                L"R\\free.txt", L"target\\keep.txt"})
        ASSERT_TRUE(WriteFileBytes(TempPath(name), "1"));
    EXPECT_EQ(DeleteTree(TempPath(L"T\\"), true), 0u);
    EXPECT_EQ(DirectoryEntries(TempPath(L"T")), std::vector<std::wstring>{});
    EXPECT_EQ(DeleteTree(TempPath(L"T"), false), 0u);
    SetFileAttributesW(TempPath(L"R\\sub\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(DeleteTree(TempPath(L"R"), false), dtFileNotDeleted | dtRemoveDirFailed);
    EXPECT_TRUE(!PathExists(TempPath(L"T")) && PathExists(TempPath(L"R\\sub\\locked.txt")) &&
                !PathExists(TempPath(L"R\\free.txt")));
    EXPECT_EQ(DeleteTree(TempPath(L"Missing"), false), dtDirNotFound);
    EXPECT_EQ(DeleteTree(TempPath(L"Missing"), true), 0u);
    // A whole drive or share is refused before anything is searched.
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    for (const wchar_t* root : {L"", L"\\", L"C:", L"c:/", L"\\\\server\\share\\", L"\\\\server",
                                L"\\\\?\\C:\\", L"\\\\?\\UNC\\server\\share"})
        EXPECT_EQ(DeleteTree(root, true), dtDirNotFound) << root;
    // A linked folder is never entered, as the tree's root or inside it.
    ASSERT_TRUE(CreateDirectoryPath(TempPath(L"tree")) == 0 &&
                MakeDirectoryLink(TempPath(L"tree"), L"link", L"../target"));
    EXPECT_EQ(DeleteTree(TempPath(L"tree\\link"), true), 0u);
    DeleteTree(TempPath(L"tree"), false);
    EXPECT_EQ(ReadFileBytes(TempPath(L"target\\keep.txt")) + ReadFileBytes(TempPath(L"file")), "11")
        << "the link's target was entered";

    const std::wstring out = TempPath(L"out");
    EXPECT_EQ(ExtractResourceFile(1000, out), 0u);
    EXPECT_TRUE(ReadFileBytes(out) ==
                ReadFileBytes(SourceDir() + L"\\tests\\fixtures\\payload1000.bin"));
    EXPECT_EQ(ExtractResourceFile(12, out), 0u);
    EXPECT_EQ(ReadFileBytes(out), "") << "an empty payload empties the file";
    for (int id : {8, -1, 0x10000})  // 8 is RCDATA, no payload
        EXPECT_EQ(ExtractResourceFile(id, TempPath(L"x")), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    ASSERT_TRUE(!PathExists(TempPath(L"x")) && WriteFileBytes(out, "keep"));
    FileHandle open(CreateFileW(out.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(ExtractResourceFile(7, out), DWORD(ERROR_SHARING_VIOLATION));
    open.reset();
    EXPECT_EQ(ReadFileBytes(out), "keep");
}

TEST_F(SandboxTest, RunAndWaitQuotesWaitsAndRunsBatchFilesSafely) {
    const std::wstring fixture = BuildDir() + L"\\tests\\versioned_fixture.exe";
    // One blank: an unquoted path would shift the fixture's verb and value pairs; what an
    // unquoted path would start, and a planted command interpreter, lie in wait.
    const std::wstring tool = TempPath(L"Program Files\\Tool\\fixture.exe");
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"Program Files\\Tool")), 0u);
    for (const std::wstring& copy : {tool, TempPath(L"Program.exe"), TempPath(L"cmd.exe")})
        ASSERT_TRUE(CopyFileW(fixture.c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    // The fixture reports only after its pause and exits with 3: waited for, code ignored.
    const std::wstring report = TempPath(L"report.txt");
    EXPECT_EQ(RunAndWait(tool, L"sleep 400 exit 3 write \"" + report + L"\" one \"two three\""),
              0u);
    const std::string bytes = ReadFileBytes(report);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2),
              L"one|two three\n" + TempDir);
    EXPECT_EQ(RunAndWait(TempPath(L"missing.exe"), L""), DWORD(ERROR_FILE_NOT_FOUND));
    const std::wstring batch = TempPath(L"Program Files\\Tool\\help reg.bat");
    ASSERT_TRUE(WriteFileBytes(batch, "@echo %~1 %2> \"%~dp0out.txt\"\r\n"));
    EXPECT_EQ(RunAndWait(batch, L"\"first arg\" second"), 0u);
    EXPECT_EQ(ReadFileBytes(TempPath(L"Program Files\\Tool\\out.txt")), "first arg second\r\n");
    // cmd would expand "%OS%" in its path: such a batch runs only by name from its folder.
    const std::wstring dir = TempPath(L"%OS% ^&! dir");
    ASSERT_TRUE(CreateDirectoryPath(dir) == 0 &&
                WriteFileBytes(dir + L"\\job.bat", "@echo %~1> out.txt\r\n"));
    EXPECT_EQ(RunAndWait(dir + L"\\job.bat", L"one"), DWORD(ERROR_INVALID_NAME));
    EXPECT_FALSE(PathExists(TempPath(L"out.txt")));
    ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str()));
    EXPECT_EQ(RunAndWait(dir + L"\\job.bat", L"one"), 0u);
    EXPECT_EQ(ReadFileBytes(dir + L"\\out.txt"), "one\r\n");

    DWORD high = 1, low = 1;  // the product version, not the file version
    EXPECT_TRUE(GetFileProductVersion(tool, high, low) && high == 0x00040007u &&
                low == 0x00020009u);
    ASSERT_TRUE(WriteFileBytes(TempPath(L"plain.dll"), std::string(4096, 'M')));
    EXPECT_FALSE(GetFileProductVersion(TempPath(L"plain.dll"), high, low) || (high | low));
}

TEST(CommandLine, SplitsAsTheShellSplits) {
    std::vector<std::wstring> lines = {L"\"C:\\Program Files\\setup.exe\" /C   /X\t",
                                       L"\"unterminated name /X", L"C:\\dir\\\"setup\".exe /X",
                                       L"setup a\\\\\\\"b c\\\\\"d e\\\\\\\\\"f g\"",
                                       L"setup \"\" \"\"\"\" \"\"\"\"\"\" x\"\"\"y"};
    const wchar_t* const programs[] = {L"", L"setup.exe ", L"\"C:\\a b\\s.exe\" "};
    std::mt19937 random(20261207);
    for (int i = 0; i < 30000; ++i)
        lines.push_back(programs[i % 3] + RandomText(random, L"\"\"\"\\\\\\  \t/xC?\x00e9", 25));
    for (const std::wstring& line : lines) {
        int count = 0;
        wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
        LocalMemory owner(reinterpret_cast<HLOCAL>(argv));
        const std::vector<std::wstring> shell(argv + (argv && count > 0),
                                              argv + (argv ? count : 0));
        ASSERT_EQ(SplitArguments(line), shell) << testing::PrintToString(line);
    }
}

// Without a record everything reads as a first installation; a record written over an older one
// replaces each value with its type and reads back as written. Below a volatile key no lasting
// key can be made: the first write fails and nothing is left.
TEST_F(InstallStateTest, InstallRecordWrittenOverAnOlderOneWithItsTypesAndReadBack) {
    const HKEY hklm = HKEY_LOCAL_MACHINE;
    const wchar_t* const key = L"Software\\Brightmoss\\Velkora";
    const auto previous = [] {  // the previous installation as read, then CustomizeItems
        const TPrevInstall record = ReadPrevInstall();
        const bool customized = ReadPrevCustomizeItems();
        return std::to_wstring(record.InstallSelected) + L"|" +
               std::to_wstring(record.InstallItems) + L"|" + record.Version + L"|" +
               ReadPrevInstallPath() + L"|" + std::to_wstring(customized) +
               std::to_wstring(CustomizeItems);
    };
    CustomizeItems = 5;
    EXPECT_EQ(previous(), L"0|0|||05");
    ASSERT_TRUE(WriteRegString(hklm, key, L"CustomizeItems", L"mistyped") &&
                WriteRegString(hklm, key, L"Remark", L"kept"));
    std::tie(InstallDir, InstallVersions, InstallItems, CustomizeItems) =
        std::tuple(L"C:\\Program Files\\Velkora", 0x8000400u, 0x20001080u, 7u);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t date[64] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 64);
    ASSERT_TRUE(WriteInstallRecord());
    const auto stored = [&](const wchar_t* name) {
        std::wstring text = L"(none)";
        return ReadRegString(hklm, key, name, text), text;
    };
    EXPECT_EQ(stored(L"RootDir") + L"|" + stored(L"Version") + L"|" + stored(L"Type") + L"|" +
                  stored(L"Remark") + L"|" + stored(L"InstallDate"),
              InstallDir + L"|4.07|Standard Edition|kept|" + date);
    CustomizeItems = 5;  // a DWORD replaced the text; a stored 0 is a choice
    EXPECT_EQ(previous(), L"134218752|536875136|4.07|" + InstallDir + L"|17");
    ASSERT_TRUE(WriteRegDword(hklm, key, L"CustomizeItems", 0));
    EXPECT_TRUE(previous().ends_with(L"|10"));

    RegKey volatileRoot;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"VolatileRoot", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, volatileRoot.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(hklm, volatileRoot.get()), ERROR_SUCCESS);
    EXPECT_FALSE(WriteInstallRecord() || KeyExists(hklm, L"Software"));
    RegOverridePredefKey(hklm, nullptr);
}

namespace {

constexpr int CBuilder6 = 8, Delphi7 = 9, BDS2006 = 11, Delphi2007 = 12, RADStudio9 = 16,
              RADStudio22 = 28;

// The selection rows: x checked, o unchecked, - disabled, # disabled but checked.
std::string Rows() {
    std::string rows;
    for (const TInstallChoice& row : InstallChoices)
        rows += IsChoiceEnabled(row) ? (row.Checked ? 'x' : 'o') : (row.Checked ? '#' : '-');
    return rows;
}

}  // namespace

TEST_F(InstallStateTest, DetectionNeedsRootDirAndTheIdesToolAndPreselectionFollowsIt) {
    const HKEY hklm = HKEY_LOCAL_MACHINE, hkcu = HKEY_CURRENT_USER;
    const wchar_t *dcc = L"bin\\dcc32.exe", *make = L"bin\\make.exe";
    // Test IDEs below the temp dir with their tool (none: bin only), their "RootDir" stored in
    // root as type with a tail; make.exe makes no Delphi, trailing backslashes go.
    const std::tuple<int, const wchar_t*, HKEY, DWORD, const wchar_t*, bool> ides[] = {
        {BDS2006, dcc, hklm, REG_SZ, L"", true},     {Delphi2007, dcc, hklm, REG_SZ, L"", true},
        {RADStudio22, dcc, hkcu, REG_SZ, L"", true}, {13, dcc, hklm, REG_SZ, L"\\\\", true},
        {15, make, hklm, REG_SZ, L"", false},        {CBuilder6, make, hkcu, REG_SZ, L"", true},
        {17, L"", hklm, REG_SZ, L"", false},         {Delphi7, dcc, hklm, REG_SZ, L"", true},
        {21, dcc, hklm, REG_EXPAND_SZ, L"", false}};
    for (const auto& [ide, tool, root, type, tail, found] : ides) {
        const std::wstring dir = TempPath(L"IDE" + std::to_wstring(ide)), value = dir + tail;
        ASSERT_TRUE(CreateDirectoryPath(dir + L"\\bin") == 0 &&
                    (!*tool || WriteFileBytes(dir + L"\\" + tool, "")) &&
                    !RegSetKeyValueW(root, BorlandProducts[ide].RegKey, L"RootDir", type,
                                     value.c_str(), DWORD((value.size() + 1) * 2)));
    }
    WriteRegString(hkcu, BorlandProducts[Delphi2007].RegKey, L"RootDir", L"C:\\U");
    // A machine key without "RootDir": the user's value counts; none at all: not detected.
    for (int i : {RADStudio9, RADStudio22})
        WriteRegString(hklm, BorlandProducts[i].RegKey, L"Other", L"x");
    DetectProducts();
    EXPECT_TRUE(!BorlandProducts[RADStudio9].Exists && BorlandProducts[RADStudio9].RootDir.empty());
    for (const auto& [ide, tool, root, type, tail, found] : ides)
        EXPECT_TRUE(BorlandProducts[ide].Exists == found &&
                    BorlandProducts[ide].RootDir ==
                        (type == REG_SZ ? TempPath(L"IDE" + std::to_wstring(ide)) : L""))
            << ide << " (the machine's value wins)";

    // A first installation checks the rows of detected IDEs and the rows without IDE.
    PreselectProducts(0);
    InitChoiceChecks(0);
    EXPECT_EQ(Rows(), "x--------------xxxx--xx");
    EXPECT_TRUE(BorlandProducts[Delphi7].Selected) << "detected, though without a row";

    // Previous versions decide selection; previous items (the even rows) check the rows they
    // name whose IDE is there and uncheck the others, and leave the rest (the odd rows) alone.
    PreselectProducts(
        int32_t(BorlandProducts[BDS2006].InternalId | BorlandProducts[RADStudio9].InternalId));
    EXPECT_TRUE(BorlandProducts[BDS2006].Selected && !BorlandProducts[Delphi2007].Selected &&
                !BorlandProducts[RADStudio9].Selected)
        << "not chosen last time, or chosen but gone: not selected";
    uint32_t evenRows = 0;
    for (int row = 0; row < InstallChoiceCount; ++row) {
        InstallChoices[row].Checked = row % 3 == 0;
        evenRows |= row % 2 == 0 ? InstallChoices[row].Mask : 0;
    }
    InitChoiceChecks(int32_t(evenRows));
    EXPECT_EQ(Rows(), "x--#-----#-----xxox--xx");
}

TEST_F(SandboxTest, TargetFolderVerdictsNormalisedFoldersAndTheLengthBound) {
    const std::wstring profile = EnvironmentValue(L"USERPROFILE");
    const std::wstring profiles = profile.substr(0, profile.rfind(L'\\'));
    const std::wstring programFiles = EnvironmentValue(L"ProgramFiles");
    // Folders holding an install log whose header names a product and an uninstall entry.
    for (const auto& [name, product, entry] :
         {std::tuple<const wchar_t*, std::wstring, std::wstring>{L"Previous", sProductName,
                                                                 sUninstallEntryName},
          {L"OtherProduct", L"Otherlib", sUninstallEntryName},
          {L"OtherEntry", sProductName, L"otherLib"}}) {
        const std::wstring texts[] = {
            L"", product, sProductVersion, sProductType, L"C:\\Old", sProductRegKey, L"", entry};
        std::string log = UninstLogMagic;
        for (uint32_t code : {1u, 2u, 3u, 4u, 5u, 7u, 6u})
            log += EncodeUninstRecord(siProductInfo | 0x10000, code, 0, ToUtf8(texts[code]));
        ASSERT_TRUE(CreateDirectoryPath(TempPath(name)) == 0 &&
                    WriteFileBytes(TempPath(name) + L"\\uninst.log", log) &&
                    WriteFileBytes(TempPath(name) + L"\\ReadMe.txt", "x"));
    }
    ASSERT_TRUE(CreateDirectoryPath(TempPath(L"NotALog")) == 0 &&
                CreateDirectoryPath(TempPath(L"Empty")) == 0 &&
                WriteFileBytes(TempPath(L"NotALog\\uninst.log"), "UNBRM0x garbage") &&
                MakeDirectoryLink(TempDir, L"Linked", L"Empty"));
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(programFiles.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(shortName, programFiles);
    const std::wstring longest =
        TempPath(std::wstring(MaxInstallDirLength() - TempDir.size() - 1, L'x'));
    using enum TDirVerdict;
    const std::pair<TDirVerdict, std::vector<std::wstring>> refused[] = {
        {Empty, {L"  "}},
        {Relative, {L"\\Velkora"}},
        {Root, {L"C:\\.."}},
        {Network, {L"//server/share/x", TempPath(L"x\\NUL")}},
        {BadCharacter,
         {TempPath(L"a<b"), TempPath(L"a:b"), TempPath(L" lead\\trail "), TempPath(L"$(BDS)")}},
        {Protected,
         {LowerCase(EnvironmentValue(L"SystemRoot")) + L"/", shortName,
          EnvironmentValue(L"ProgramData"), profiles, profiles + L"\\Someone\\Documents",
          profiles + L"\\Someone\\AppData\\Roaming"}},
        {TooLong, {longest + L"y"}},
        {Link, {TempPath(L"Linked"), TempPath(L"Linked\\Sub")}},
        {NotAFolder, {TempPath(L"Previous\\ReadMe.txt")}},
        {NotEmpty, {TempPath(L"OtherProduct"), TempPath(L"OtherEntry"), TempPath(L"NotALog")}}};
    std::wstring normalized, texts;
    for (const auto& [verdict, typed] : refused) {
        for (const std::wstring& folder : typed)
            EXPECT_EQ(CheckInstallDir(folder, normalized), verdict) << ToAnsi(folder);
        texts += DirRefusalText(verdict) + L"|";
    }
    const std::wstring chooseFullPath =
        L"\r\n\r\nType the full path of a folder, for example C:\\Velkora, or click Browse.|";
    EXPECT_EQ(
        texts,
        L"No installation folder is given." + chooseFullPath +
            L"The installation folder must be a full path that begins with a drive letter." +
            chooseFullPath +
            L"Velkora cannot be installed into the root of a drive.\r\n\r\nChoose a folder on the "
            L"drive, for example C:\\Velkora.|Velkora cannot be installed into a network or device "
            L"path.\r\n\r\nChoose a folder on a local drive, for example C:\\Velkora.|The "
            L"installation folder contains a character that cannot be used: a semicolon, one of "
            L"< > : \" | ? *, a \"$(\", which the IDEs read as the start of a variable, or a "
            L"name that ends in a dot or a blank.\r\n\r\nChoose a folder "
            L"whose names contain none of these.|The chosen folder belongs to Windows or to a "
            L"user: the Windows folder, Program Files itself, a user profile or one of its "
            L"standard folders.\r\n\r\nChoose a folder of its own, for example a new folder "
            L"below Program Files.|The path of the installation folder is too long: Velkora "
            L"needs room for paths of " +
            std::to_wstring(LongestInstalledPath()) +
            L" characters below it.\r\n\r\nChoose a folder whose path is at most " +
            std::to_wstring(MaxInstallDirLength()) +
            L" characters long.|The chosen folder is reached through a link to another "
            L"place.\r\n\r\nChoose a folder that is not a link and does not lie below one.|The "
            L"chosen path names an existing file, not a folder.\r\n\r\nChoose a new or empty "
            L"folder.|The chosen folder already holds other files and no earlier installation of "
            L"Velkora.\r\n\r\nChoose a new or empty folder, or the folder of an earlier "
            L"installation of Velkora.|")
        << ToAnsi(texts);
    EXPECT_TRUE(DirRefusalText(Accepted).empty());
    const std::wstring documents = profiles + L"\\Someone\\Documents\\Velkora";
    const std::pair<std::wstring, std::wstring> accepted[] = {
        {std::wstring(shortName) + L"\\Velkora", programFiles + L"\\Velkora"},
        {TempPath(L"v1.5 lib\\.\\x\\..\\Velkora$ (2)\\"), TempPath(L"v1.5 lib\\Velkora$ (2)")},
        {documents, documents},
        {longest, longest},
        {TempPath(L"Empty"), TempPath(L"Empty")},
        {TempPath(L"Previous"), TempPath(L"Previous")}};
    for (const auto& [typed, expected] : accepted)
        EXPECT_TRUE(CheckInstallDir(typed, normalized) == Accepted && normalized == expected)
            << ToAnsi(typed) << " -> " << ToAnsi(normalized);
    // Room for every path the table writes below the folder.
    EXPECT_GE(LongestInstalledPath(), wcslen(L"RADStudio22\\Win64\\VklObfuscate.dcu"));
    EXPECT_EQ(MaxInstallDirLength() + 1 + LongestInstalledPath(), size_t{MAX_PATH - 1});
}

// A program started from a test IDE's folder is found for that IDE only, and named as the
// selection list names it.
TEST_F(InstallStateTest, RunningIdesAreFoundByTheirFolderForTheChosenIdesOnly) {
    const std::wstring root = TempPath(L"Studio\\22.0"), sibling = TempPath(L"Studio\\22.0 Tools");
    ASSERT_TRUE(InstallStandinTools(root, 2, {L"bds.exe"}) &&
                InstallStandinTools(sibling, 2, {L"other.exe"}));
    BorlandProducts[28].RootDir = root;
    BorlandProducts[27].RootDir = TempPath(L"Studio\\22");
    BorlandProducts[26].RootDir.clear();
    KernelHandle stop(CreateEventW(nullptr, TRUE, FALSE, L"VelkoraStandinToolStop"));
    constexpr uint32_t AllThree = 0x8000000 | 0x4000000 | 0x2000000;
    EXPECT_TRUE(FindRunningIdes(AllThree).empty());
    ChildProcess ide, other;
    StartProcess(ide, root + L"\\bin\\bds.exe", L"");
    StartProcess(other, sibling + L"\\bin\\other.exe", L"");
    ASSERT_TRUE(stop && ide && other);
    const std::vector<TRunningIde> running = FindRunningIdes(AllThree);
    const bool notChosenFound = !FindRunningIdes(0x4000000).empty();
    SetEvent(stop.get());
    DWORD exitCode = 0;
    ASSERT_TRUE(ide.Wait(10000, exitCode) && other.Wait(10000, exitCode) && running.size() == 1u);
    EXPECT_TRUE(running[0].ProductIndex == 28 && !notChosenFound &&
                LowerCase(running[0].ProgramFile) == LowerCase(root + L"\\bin\\bds.exe"));
    EXPECT_EQ(RunningIdeText(running[0]),
              L"RAD Studio 11 is running:\r\n" + running[0].ProgramFile +
                  L"\r\n\r\nPlease close it: the IDE writes its settings back when it closes, "
                  L"over the packages and paths that Setup adds.\r\n\r\nClose it and click "
                  L"Retry, or click Cancel to install later.");
    EXPECT_TRUE(
        RunningIdeText({9, L"C:\\D7\\bin\\delphi32.exe"}).starts_with(L"Delphi7 is running:"));
}
