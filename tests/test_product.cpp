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
#include <set>

using namespace vktest;
using namespace handles;

namespace {

int CloseCount[8];
struct CountingTraits {
    using Type = int;
    static Type Empty() noexcept { return 0; }
    static bool Close(Type h) noexcept { return ++CloseCount[h], h != 7; }  // 7 fails to close
};
using Counted = UniqueHandle<CountingTraits>;

}  // namespace

TEST(Handles, EveryOwnedValueIsClosedExactlyOnceAndRealOwnersCloseTheirs) {
    {
        Counted a(1), c(2), d(3), e(5), f(7);
        Counted b(std::move(a));
        c = std::move(b);  // closes 2, takes 1
        EXPECT_TRUE(!a && CloseCount[2] == 1 && CloseCount[1] == 0);
        EXPECT_TRUE(d.reset(4));
        EXPECT_EQ(d.release(), 4);
        *e.put() = 6;
        EXPECT_EQ(CloseCount[5], 1) << "put closes the old value first";
        EXPECT_FALSE(f.reset()) << "a failed close is reported";
        EXPECT_TRUE(f.reset());
    }
    for (int h : {1, 2, 3, 5, 6, 7})
        EXPECT_EQ(CloseCount[h], 1) << h;
    EXPECT_EQ(CloseCount[4], 0) << "a released value is the caller's";

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(L"C:\\windows\\*", &data);
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HDC memory = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(event && search != INVALID_HANDLE_VALUE && key && brush && memory);
    {
        KernelHandle ev(event);
        FindHandle s(search);
        RegKey k(key);
        GdiObject b(brush);
        MemoryDC dc(memory);
        HGDIOBJ original = GetCurrentObject(memory, OBJ_BRUSH);
        {
            SelectObjectGuard select(memory, brush);
            EXPECT_EQ(GetCurrentObject(memory, OBJ_BRUSH), brush);
        }
        EXPECT_EQ(GetCurrentObject(memory, OBJ_BRUSH), original) << "the selection is restored";
        EXPECT_EQ(FileHandle().get(), INVALID_HANDLE_VALUE);
    }
    DWORD flags = 0;
    wchar_t name[MAX_PATH];
    EXPECT_FALSE(GetHandleInformation(event, &flags) || FindNextFileW(search, &data));
    EXPECT_NE(RegEnumKeyW(key, 0, name, MAX_PATH), ERROR_SUCCESS);
    EXPECT_EQ(GetObjectType(brush) + GetObjectType(memory), 0u);
}

namespace {

std::vector<std::wstring> Lines(const TbrmStringList& list) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}

// The list's order: CompareStringW of the user's locale, string sort, case kept.
int LocaleOrder(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, SORT_STRINGSORT, a.data(), int(a.size()), b.data(),
                          int(b.size())) -
           CSTR_EQUAL;
}

}  // namespace

TEST(StringList, FollowsTheLocaleOrderAndTheDuplicatePolicyFindsTheRightEntry) {
    // Characters whose locale order departs from code-unit order; sorted insertion lands all
    // over the list and grows it past 1024 entries.
    const std::wstring alphabet = L"aAbBeE\u00e9zZ-' .09\u00df\u00e6\u2019\u00ad\u0301";
    std::vector<std::wstring> strings = {L"ae", L"\u00e6", L"co-op", L"coop", L""};
    std::mt19937 random(12345);
    for (int i = 0; i < 1500; ++i) {
        std::wstring s;
        for (unsigned n = random() % 7; n > 0; --n)
            s += alphabet[random() % alphabet.size()];
        strings.push_back(s);
    }
    TbrmStringList list;
    for (const std::wstring& s : strings)
        list.Add(s);
    std::vector<std::wstring> stored = Lines(list), expected = strings;
    for (size_t i = 1; i < stored.size(); ++i)
        ASSERT_LE(LocaleOrder(stored[i - 1], stored[i]), 0) << i;
    std::sort(expected.begin(), expected.end());
    std::sort(stored.begin(), stored.end());
    EXPECT_TRUE(stored == expected) << "Add keeps every string, duplicates too";

    TbrmStringList tiny;  // the empty string sorts first, whatever comes before it
    for (const wchar_t* s : {L"e", L"d", L"c", L"b", L"a", L""})
        tiny.Add(s);
    EXPECT_EQ(Lines(tiny), (std::vector<std::wstring>{L"", L"a", L"b", L"c", L"d", L"e"}));

    TbrmStringList run;
    for (const wchar_t* s : {L"a", L"k", L"k", L"k", L"k", L"k", L"k", L"z"})
        run.Insert(run.Count(), s);
    int index = -1;
    EXPECT_TRUE(run.Find(L"k", index) && index == 3) << "dupIgnore: the first equal one met";
    EXPECT_TRUE(!run.Find(L"m", index) && index == 7) << "the insertion point";
    EXPECT_EQ(run.Add(L"k"), 3);
    run.SetDuplicates(dupAccept);
    EXPECT_TRUE(run.Find(L"k", index) && index == 1) << "dupAccept: the first of the run";
    run.Insert(-1, L"x");
    run.Insert(run.Count() + 1, L"x");
    EXPECT_EQ(run.Get(-1) + run.Get(run.Count()) + std::to_wstring(run.Count()), L"9");
}

TEST_F(SandboxTest, StringListFilesSplitEveryLineBreakAndWriteAnsiAndUtf16Whole) {
    const std::pair<std::string, std::vector<std::wstring>> rows[] = {
        {"", {}},
        {"a\r\nb\r\n", {L"a", L"b"}},
        {"a\nb\rc", {L"a", L"b", L"c"}},
        {"a\n\rb", {L"a", L"", L"b"}},
        {std::string("one\r\ntw\0o\r\nthree", 17), {L"one", L"tw"}},
        {"caf\xE9 \x80", {L"caf\u00e9 \u20ac"}},
    };
    for (const auto& [bytes, lines] : rows) {
        ASSERT_TRUE(WriteFileBytes(TempPath(L"in.txt"), bytes));
        TbrmStringList list;
        list.LoadFromFile(TempPath(L"in.txt"));
        EXPECT_EQ(Lines(list), lines) << testing::PrintToString(bytes);
    }
    TbrmStringList list;
    std::wstring expected;
    for (int i = 0; i < 3000; ++i) {  // uneven lines across the buffer; two longer than it
        std::wstring line(size_t(i % 37), wchar_t(L'a' + i % 26));
        if (i == 700 || i == 2999)
            line = std::wstring(TbrmStringList::SaveBufferSize + 500, L'L');
        list.Insert(list.Count(), line);
        expected += line + L"\r\n";
    }
    list.Insert(0, L"caf\u00e9");
    expected = L"caf\u00e9\r\n" + expected;
    list.SaveToFileA(TempPath(L"a.txt"));
    list.SaveToFile(TempPath(L"w.txt"));
    EXPECT_TRUE(ReadFileBytes(TempPath(L"a.txt")) == ToAnsi(expected));
    EXPECT_TRUE(ReadFileBytes(TempPath(L"w.txt")) ==
                std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
    list.Clear();
    list.SaveToFile(TempPath(L"w.txt"));
    EXPECT_EQ(ReadFileBytes(TempPath(L"w.txt")), "") << "an empty list replaces the old file";
    list.LoadFromFile(TempPath(L"missing.txt"));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(InstallStateTest, JoinFindTextAndTheDirectoryCodes) {
    const wchar_t* const joins[][3] = {{L"C:\\Lib", L"Source", L"C:\\Lib\\Source"},
                                       {L"C:\\Lib\\", L"Source", L"C:\\Lib\\Source"},
                                       {L"C:\\Lib", L"\\Source", L"C:\\Lib\\Source"},
                                       {L"", L"Source", L"Source"},
                                       {L"C:\\Lib", L"", L"C:\\Lib"}};
    for (const auto& row : joins)
        EXPECT_EQ(JoinPath(row[0], row[1]), row[2]) << row[0] << " + " << row[1];
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
    const std::pair<int, const wchar_t*> subs[] = {
        {sfInstall, L"C:\\Velkora"},
        {sfSource, L"C:\\Velkora\\Source"},
        {sfIde, L"C:\\Velkora\\RADStudio9"},
        {sfIdeWin32, L"C:\\Velkora\\RADStudio9\\Win32"},
        {0x80 | sfIdeWin64, L"C:\\Velkora\\RADStudio9\\Win64"},  // the low seven bits count
        {5, L""}};
    for (const auto& [code, path] : subs)
        EXPECT_EQ(InstallSubDir(code), path) << code;
}

TEST_F(SandboxTest, RegistryReadsOnlyRegSzAndTreeDeletionStopsAtAKeyThatHoldsMore) {
    const HKEY hklm = HKEY_LOCAL_MACHINE;
    const wchar_t* key = L"Software\\Brightmoss\\Velkora";
    const std::tuple<DWORD, std::string, const wchar_t*> rows[] = {
        {REG_SZ, std::string("C\0:\0\0\0", 6), L"C:"},
        {REG_SZ, std::string("A\0B\0", 4), L"AB"},  // no terminator: every character counts
        {REG_SZ, std::string("A\0B", 3), L"A"},     // an odd byte count
        {REG_EXPAND_SZ, std::string("C\0\0\0", 4), nullptr},
        {REG_DWORD, std::string("\1\0\0\0", 4), nullptr}};
    for (const auto& [type, bytes, expected] : rows) {
        ASSERT_EQ(RegSetKeyValueW(hklm, key, L"V", type, bytes.data(), DWORD(bytes.size())), 0);
        std::wstring text = L"stale";
        EXPECT_EQ(ReadRegString(hklm, key, L"V", text), expected != nullptr) << type;
        EXPECT_EQ(text, expected ? expected : L"") << type;
    }
    std::wstring text = L"stale";
    EXPECT_FALSE(ReadRegString(hklm, L"Software\\None", L"V", text) || !text.empty());

    for (int i = 0; i < 20; ++i)  // wide and deep below the removed key
        ASSERT_TRUE(CreateRegKey(hklm, key + (L"\\K" + std::to_wstring(i)) + L"\\L\\M"));
    ASSERT_TRUE(CreateRegKey(hklm, L"Software\\Brightmoss\\Other"));
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, L"Software\\A\\B\\C"));
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, L"Software\\A", L"Keep", 1));
    EXPECT_TRUE(DeleteRegKeyTree(hklm, key) &&
                DeleteRegKeyTree(HKEY_CURRENT_USER, L"Software\\A\\B"));
    EXPECT_FALSE(KeyExists(hklm, key) || KeyExists(HKEY_CURRENT_USER, L"Software\\A\\B"));
    EXPECT_TRUE(KeyExists(hklm, L"Software\\Brightmoss\\Other") &&
                KeyExists(HKEY_CURRENT_USER, L"Software\\A"));
    EXPECT_TRUE(DeleteRegKeyTree(hklm, L"Software\\Brightmoss\\Other"));
    EXPECT_FALSE(KeyExists(hklm, L"Software\\Brightmoss")) << "an emptied parent goes";
    EXPECT_TRUE(KeyExists(hklm, L"Software")) << "a top-level key stays";
    EXPECT_FALSE(DeleteRegKeyTree(hklm, L"Software\\Missing"));
}

TEST_F(SandboxTest, CreateDirectoryPathAndDeleteTreeStayInsideTheirTree) {
    const std::wstring tooLong =
        TempPath(L"L\\") + std::wstring(262 - TempPath(L"L\\").size(), L'y');
    ASSERT_TRUE(WriteFileBytes(TempPath(L"file"), "1"));
    const std::pair<std::wstring, DWORD> rows[] = {{TempPath(L"T\\a\\b"), 0},
                                                   {TempPath(L"T\\a\\b"), 0},
                                                   {TempPath(L"T/e/f\\"), 0},
                                                   {TempPath(L"file\\sub"), ERROR_PATH_NOT_FOUND},
                                                   {L"", 0},
                                                   {tooLong, ERROR_FILENAME_EXCED_RANGE},
                                                   {tooLong.substr(0, 261), 0}};
    for (const auto& [path, error] : rows)
        EXPECT_EQ(CreateDirectoryPath(path), error) << path;
    EXPECT_TRUE(DirectoryExists(TempPath(L"T\\e\\f")) && DirectoryExists(tooLong.substr(0, 261)));
    EXPECT_FALSE(PathExists(tooLong));

    for (const wchar_t* name : {L"T\\top.txt", L"T\\a\\b\\deep.txt", L"R\\sub\\locked.txt",
                                L"R\\free.txt", L"target\\keep.txt"})
        ASSERT_TRUE(CreateDirectoryPath(TempPath(name).substr(0, TempPath(name).rfind(L'\\'))) ==
                        0 &&
                    WriteFileBytes(TempPath(name), "1"));
    EXPECT_EQ(DeleteTree(TempPath(L"T\\"), true), 0u);
    EXPECT_EQ(DirectoryEntries(TempPath(L"T")), std::vector<std::wstring>{});
    EXPECT_EQ(DeleteTree(TempPath(L"T"), false), 0u);
    EXPECT_FALSE(PathExists(TempPath(L"T")));
    SetFileAttributesW(TempPath(L"R\\sub\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(DeleteTree(TempPath(L"R"), false), dtFileNotDeleted | dtRemoveDirFailed);
    EXPECT_TRUE(PathExists(TempPath(L"R\\sub\\locked.txt")) &&
                !PathExists(TempPath(L"R\\free.txt")));
    EXPECT_EQ(DeleteTree(TempPath(L"Missing"), false), dtDirNotFound);
    EXPECT_EQ(DeleteTree(TempPath(L"Missing"), true), 0u);
    // A whole drive or share is refused before anything is searched.
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    for (const wchar_t* root : {L"", L"\\", L"C:", L"c:/", L"\\\\server\\share\\", L"\\\\server",
                                L"\\\\?\\C:\\", L"\\\\?\\UNC\\server\\share"})
        EXPECT_EQ(DeleteTree(root, true), dtDirNotFound) << root;
    // A linked folder is never entered, as the tree's root or inside it.
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"tree")), 0u);
    ASSERT_TRUE(MakeDirectoryLink(TempPath(L"tree"), L"link", L"../target"));
    EXPECT_EQ(DeleteTree(TempPath(L"tree\\link"), true), 0u);
    DeleteTree(TempPath(L"tree"), false);
    EXPECT_EQ(ReadFileBytes(TempPath(L"target\\keep.txt")), "1") << "the link's target was entered";
    EXPECT_EQ(ReadFileBytes(TempPath(L"file")), "1");
}

// Over a longer file, failures and the item tests' texts are checked with the file items.
TEST_F(SandboxTest, ExtractResourceFileWritesLongAndEmptyPayloadsAndLeavesABusyFileAlone) {
    for (const auto& [id, file] : {std::pair{1000, L"payload1000.bin"}, {12, L""}}) {
        EXPECT_EQ(ExtractResourceFile(id, TempPath(L"out")), 0u) << id;
        EXPECT_EQ(ReadFileBytes(TempPath(L"out")),
                  *file ? ReadFileBytes(SourceDir() + L"\\tests\\fixtures\\" + file) : "");
    }
    for (int id : {8, -1, 0x10000})  // 8 is RCDATA, no payload
        EXPECT_EQ(ExtractResourceFile(id, TempPath(L"x")), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_FALSE(PathExists(TempPath(L"x")));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"busy.txt"), "keep"));
    FileHandle open(CreateFileW(TempPath(L"busy.txt").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(ExtractResourceFile(7, TempPath(L"busy.txt")), DWORD(ERROR_SHARING_VIOLATION));
    open.reset();
    EXPECT_EQ(ReadFileBytes(TempPath(L"busy.txt")), "keep");
}

TEST_F(SandboxTest, RunAndWaitQuotesWaitsAndRunsBatchFilesSafely) {
    const std::wstring fixture = BuildDir() + L"\\tests\\versioned_fixture.exe";
    // One blank: an unquoted path would shift the fixture's verb and value pairs.
    const std::wstring tool = TempPath(L"Program Files\\Tool\\fixture.exe");
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"Program Files\\Tool")), 0u);
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"Help Dir")), 0u);
    ASSERT_TRUE(CopyFileW(fixture.c_str(), tool.c_str(), FALSE));
    // What an unquoted path would start, and a planted command interpreter.
    ASSERT_TRUE(CopyFileW(fixture.c_str(), TempPath(L"Program.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(fixture.c_str(), TempPath(L"cmd.exe").c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    // The fixture reports only after its pause and exits with 3: waited for, code ignored.
    const std::wstring report = TempPath(L"report.txt");
    EXPECT_EQ(RunAndWait(tool, L"sleep 400 exit 3 write \"" + report + L"\" one \"two three\""),
              0u);
    const std::string bytes = ReadFileBytes(report);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2),
              L"one|two three\n" + TempDir);
    EXPECT_EQ(RunAndWait(TempPath(L"missing.exe"), L""), DWORD(ERROR_FILE_NOT_FOUND));
    const std::wstring batch = TempPath(L"Help Dir\\help reg.bat");
    ASSERT_TRUE(WriteFileBytes(batch, "@echo %~1 %2> \"%~dp0out.txt\"\r\n"));
    EXPECT_EQ(RunAndWait(batch, L"\"first arg\" second"), 0u);
    EXPECT_EQ(ReadFileBytes(TempPath(L"Help Dir\\out.txt")), "first arg second\r\n");
    // cmd would expand "%OS%" in its path: such a batch runs only by name from its folder.
    const std::wstring dir = TempPath(L"%OS% ^&! dir");
    ASSERT_EQ(CreateDirectoryPath(dir), 0u);
    ASSERT_TRUE(WriteFileBytes(dir + L"\\job.bat", "@echo %~1> out.txt\r\n"));
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
    const std::wstring alphabet = L"\"\"\"\\\\\\  \t/xC?\x00e9";
    std::mt19937 random(20261207);
    for (int i = 0; i < 30000; ++i) {
        std::wstring text(random() % 25, L' ');
        for (wchar_t& c : text)
            c = alphabet[random() % alphabet.size()];
        lines.push_back((i % 3 == 0   ? L""
                         : i % 3 == 1 ? L"setup.exe "
                                      : L"\"C:\\a b\\s.exe\" ") +
                        text);
    }
    for (const std::wstring& line : lines) {
        int count = 0;
        wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
        LocalMemory owner(reinterpret_cast<HLOCAL>(argv));
        const std::vector<std::wstring> shell(argv + (argv && count > 0),
                                              argv + (argv ? count : 0));
        ASSERT_EQ(SplitArguments(line), shell) << testing::PrintToString(line);
    }
}

namespace {

const wchar_t* const RecordKey = L"Software\\Brightmoss\\Velkora";

}  // namespace

// Without a record everything reads as a first installation; a record written over an older one
// replaces each value with its type and reads back as written.
TEST_F(InstallStateTest, InstallRecordWrittenOverAnOlderOneWithItsTypesAndReadBack) {
    CustomizeItems = 5;
    TPrevInstall previous = ReadPrevInstall();
    EXPECT_TRUE(previous.InstallSelected == 0 && previous.InstallItems == 0 &&
                previous.Version.empty());
    EXPECT_FALSE(ReadPrevCustomizeItems());
    EXPECT_EQ(ReadPrevInstallPath() + std::to_wstring(CustomizeItems), L"5");
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, RecordKey, L"CustomizeItems", L"mistyped"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, RecordKey, L"Remark", L"kept"));
    InstallDir = L"C:\\Program Files\\Velkora";
    InstallVersions = 0x8000400;
    InstallItems = 0x20001080;
    CustomizeItems = 7;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    ASSERT_TRUE(WriteInstallRecord());
    const std::pair<const wchar_t*, std::wstring> texts[] = {{L"RootDir", InstallDir},
                                                             {L"Version", L"4.07"},
                                                             {L"Type", L"Standard Edition"},
                                                             {L"Remark", L"kept"}};
    for (const auto& [name, value] : texts) {
        std::wstring stored;
        EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, RecordKey, name, stored) && stored == value)
            << name;
    }
    wchar_t date[64] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 64);
    std::wstring stored;
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, RecordKey, L"InstallDate", stored) &&
                stored == date);
    CustomizeItems = 5;
    previous = ReadPrevInstall();
    EXPECT_EQ(previous.InstallSelected, 0x8000400);
    EXPECT_EQ(previous.InstallItems, 0x20001080);
    EXPECT_EQ(previous.Version, L"4.07");
    EXPECT_TRUE(ReadPrevCustomizeItems() && CustomizeItems == 7u) << "a DWORD replaced the text";
    EXPECT_EQ(ReadPrevInstallPath(), InstallDir);
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, RecordKey, L"CustomizeItems", 0));
    EXPECT_TRUE(ReadPrevCustomizeItems() && CustomizeItems == 0u) << "a stored 0 is a choice";

    // Below a volatile key no lasting key can be made: the first write fails, nothing is left.
    RegKey volatileRoot;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"VolatileRoot", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, volatileRoot.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, volatileRoot.get()), ERROR_SUCCESS);
    EXPECT_FALSE(WriteInstallRecord());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software"));
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
}

namespace {

constexpr int CBuilder6 = 8, Delphi7 = 9, BDS2006 = 11, Delphi2007 = 12, RADStudio9 = 16,
              RADStudio22 = 28;

TInstallChoice& RowOf(int index) {
    for (TInstallChoice& choice : InstallChoices)
        if (choice.Versions == BorlandProducts[index].InternalId)
            return choice;
    ADD_FAILURE() << "no row for IDE " << index;
    return InstallChoices[0];
}

class Detection : public InstallStateTest {
protected:
    // A test IDE below the temp dir holding entry (empty: only bin), registered under root.
    std::wstring MakeIde(int index, const wchar_t* entry, HKEY root = HKEY_LOCAL_MACHINE,
                         const std::wstring& stored = L"$") {
        const std::wstring dir = TempPath(L"IDE" + std::to_wstring(index));
        CreateDirectoryPath(dir + L"\\bin");
        if (*entry)
            WriteFileBytes(dir + L"\\" + entry, "");
        const std::wstring value = stored == L"$"       ? dir
                                   : stored == L"$\\\\" ? dir + L"\\\\"
                                                        : stored;
        WriteRegString(root, BorlandProducts[index].RegKey, L"RootDir", value);
        return dir;
    }
};

}  // namespace

TEST_F(Detection, DetectionNeedsRootDirAndTheIdesToolAndPreselectionFollowsIt) {
    const wchar_t *dcc = L"bin\\dcc32.exe", *make = L"bin\\make.exe";
    MakeIde(BDS2006, dcc);
    MakeIde(Delphi2007, dcc);
    WriteRegString(HKEY_CURRENT_USER, BorlandProducts[Delphi2007].RegKey, L"RootDir", L"C:\\U");
    // A machine key without "RootDir": the user's value counts; none at all: not detected.
    for (int i : {RADStudio9, RADStudio22})
        WriteRegString(HKEY_LOCAL_MACHINE, BorlandProducts[i].RegKey, L"Other", L"x");
    MakeIde(RADStudio22, dcc, HKEY_CURRENT_USER);
    MakeIde(13, dcc, HKEY_LOCAL_MACHINE, L"$\\\\");  // trailing backslashes go
    MakeIde(15, make);                               // make.exe makes no Delphi
    MakeIde(CBuilder6, make, HKEY_CURRENT_USER);
    MakeIde(17, L"");
    MakeIde(Delphi7, dcc);
    const std::wstring expanded = MakeIde(21, dcc, HKEY_LOCAL_MACHINE, L"");
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, BorlandProducts[21].RegKey, L"RootDir", REG_EXPAND_SZ,
                    expanded.c_str(), DWORD((expanded.size() + 1) * 2));
    DetectProducts();
    for (int i : {BDS2006, RADStudio9, Delphi2007, 13, 15, CBuilder6, 17, 21, RADStudio22}) {
        const bool found = i != 15 && i != 17 && i != 21 && i != RADStudio9;
        EXPECT_EQ(BorlandProducts[i].Exists, found) << i;
        EXPECT_EQ(BorlandProducts[i].RootDir,
                  i == 21 || i == RADStudio9 ? L"" : TempPath(L"IDE" + std::to_wstring(i)))
            << i << " (the machine's value wins)";
    }

    // A first installation checks the selected IDEs' rows and the rows without IDE.
    PreselectProducts(0);
    InitChoiceChecks(0);
    for (const TInstallChoice& choice : InstallChoices) {
        bool detected = choice.Versions == 0;
        for (int i = 1; i <= BorlandProductCount; ++i)
            detected |=
                (choice.Versions & BorlandProducts[i].InternalId) && BorlandProducts[i].Exists;
        EXPECT_EQ(choice.Checked, detected) << choice.Caption;
        EXPECT_EQ(IsChoiceEnabled(choice), detected) << choice.Caption;
    }
    EXPECT_TRUE(BorlandProducts[Delphi7].Selected) << "detected, though without a row";

    // Previous versions decide selection; previous items decide only the rows they name.
    TInstallChoice& demos = InstallChoices[InstallChoiceCount - 1];
    PreselectProducts(
        int32_t(BorlandProducts[BDS2006].InternalId | BorlandProducts[RADStudio9].InternalId));
    EXPECT_TRUE(BorlandProducts[BDS2006].Selected);
    EXPECT_FALSE(BorlandProducts[Delphi2007].Selected) << "not chosen last time";
    EXPECT_FALSE(BorlandProducts[RADStudio9].Selected) << "chosen last time, but gone";
    RowOf(Delphi2007).Checked = RowOf(RADStudio22).Checked = demos.Checked = false;
    RowOf(RADStudio9).Checked = true;
    InitChoiceChecks(int32_t(RowOf(BDS2006).Mask | RowOf(RADStudio9).Mask | RowOf(Delphi2007).Mask |
                             demos.Mask));
    EXPECT_TRUE(RowOf(BDS2006).Checked && RowOf(Delphi2007).Checked && demos.Checked);
    EXPECT_FALSE(RowOf(RADStudio9).Checked) << "named, but gone";
    EXPECT_FALSE(RowOf(RADStudio22).Checked) << "a row the items do not name stays as it was";
    EXPECT_FALSE(IsChoiceEnabled(RowOf(RADStudio9)));
    EXPECT_TRUE(IsChoiceEnabled(demos));
}

namespace {

std::string LogWithHeader(const std::wstring& product, const std::wstring& entry) {
    std::string log = UninstLogMagic;
    const std::pair<uint32_t, std::wstring> header[] = {
        {1, product},        {2, sProductVersion}, {3, sProductType}, {4, L"C:\\Old"},
        {5, sProductRegKey}, {7, entry},           {6, L""}};
    for (const auto& [code, text] : header)
        log += EncodeUninstRecord(siProductInfo | 0x10000, code, 0, ToUtf8(text));
    return log;
}

}  // namespace

TEST_F(SandboxTest, TargetFolderVerdictsNormalisedFoldersAndTheLengthBound) {
    const std::wstring windows = EnvironmentValue(L"SystemRoot");
    const std::wstring profile = EnvironmentValue(L"USERPROFILE");
    const std::wstring profiles = profile.substr(0, profile.rfind(L'\\'));
    const std::wstring programFiles = EnvironmentValue(L"ProgramFiles");
    const std::pair<const wchar_t*, std::string> folders[] = {
        {L"Empty", ""},
        {L"Previous", LogWithHeader(sProductName, sUninstallEntryName)},
        {L"OtherProduct", LogWithHeader(L"Otherlib", sUninstallEntryName)},
        {L"OtherEntry", LogWithHeader(sProductName, L"otherLib")},
        {L"NotALog", "UNBRM0x garbage"}};
    for (const auto& [name, log] : folders) {
        ASSERT_EQ(CreateDirectoryPath(TempPath(name)), 0u);
        if (!log.empty()) {
            ASSERT_TRUE(WriteFileBytes(TempPath(name) + L"\\uninst.log", log) &&
                        WriteFileBytes(TempPath(name) + L"\\ReadMe.txt", "x"));
        }
    }
    ASSERT_TRUE(MakeDirectoryLink(TempDir, L"Linked", L"Empty"));
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(programFiles.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(shortName, programFiles);
    const std::wstring longest =
        TempPath(std::wstring(MaxInstallDirLength() - TempDir.size() - 1, L'x'));
    using enum TDirVerdict;
    const std::tuple<std::wstring, TDirVerdict, std::wstring> cases[] = {
        {L"  ", Empty, L""},
        {L"\\Velkora", Relative, L""},
        {L"C:\\..", Root, L""},
        {L"//server/share/x", Network, L""},
        {TempPath(L"x\\NUL"), Network, L""},
        {TempPath(L"a<b"), BadCharacter, L""},
        {TempPath(L"a:b"), BadCharacter, L""},
        {TempPath(L" lead\\trail "), BadCharacter, L""},
        {LowerCase(windows) + L"/", Protected, L""},
        {shortName, Protected, L""},
        {std::wstring(shortName) + L"\\Velkora", Accepted, programFiles + L"\\Velkora"},
        {EnvironmentValue(L"ProgramData"), Protected, L""},
        {profiles, Protected, L""},
        {profiles + L"\\Someone\\Documents", Protected, L""},
        {profiles + L"\\Someone\\AppData\\Roaming", Protected, L""},
        {profiles + L"\\Someone\\Documents\\Velkora", Accepted,
         profiles + L"\\Someone\\Documents\\Velkora"},
        {TempPath(L"v1.5 lib\\.\\x\\..\\Velkora\\"), Accepted, TempPath(L"v1.5 lib\\Velkora")},
        {longest, Accepted, longest},
        {longest + L"y", TooLong, L""},
        {TempPath(L"Linked"), Link, L""},
        {TempPath(L"Linked\\Sub"), Link, L""},
        {TempPath(L"Previous\\ReadMe.txt"), NotAFolder, L""},
        {TempPath(L"Empty"), Accepted, TempPath(L"Empty")},
        {TempPath(L"Previous"), Accepted, TempPath(L"Previous")},
        {TempPath(L"OtherProduct"), NotEmpty, L""},
        {TempPath(L"OtherEntry"), NotEmpty, L""},
        {TempPath(L"NotALog"), NotEmpty, L""}};
    for (const auto& [typed, verdict, expected] : cases) {
        std::wstring normalized = L"stale";
        EXPECT_EQ(CheckInstallDir(typed, normalized), verdict) << ToAnsi(typed);
        if (!expected.empty()) {
            EXPECT_EQ(normalized, expected) << ToAnsi(typed);
        }
    }
    // Room for every path the table writes below the folder, and a text per refusal.
    EXPECT_GE(LongestInstalledPath(), wcslen(L"RADStudio22\\Win64\\VklObfuscate.dcu"));
    EXPECT_EQ(MaxInstallDirLength() + 1 + LongestInstalledPath(), size_t{MAX_PATH - 1});
    std::set<std::wstring> texts;
    for (TDirVerdict verdict : {Empty, Relative, Root, Network, TooLong, BadCharacter, Protected,
                                Link, NotAFolder, NotEmpty})
        texts.insert(DirRefusalText(verdict));
    EXPECT_TRUE(texts.size() == 10u && !texts.count(L"") && DirRefusalText(Accepted).empty());
}

// A program started from a test IDE's folder is found for that IDE only, and named as the
// selection list names it.
TEST_F(InstallStateTest, RunningIdesAreFoundByTheirFolderForTheChosenIdesOnly) {
    const std::wstring root = TempPath(L"Studio\\22.0"), sibling = TempPath(L"Studio\\22.0 Tools");
    ASSERT_TRUE(InstallStandinTools(root, 2, {L"bds.exe"}));
    ASSERT_TRUE(InstallStandinTools(sibling, 2, {L"other.exe"}));
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
    const std::vector<TRunningIde> notChosen = FindRunningIdes(0x4000000);
    SetEvent(stop.get());
    DWORD exitCode = 0;
    ASSERT_TRUE(ide.Wait(10000, exitCode) && other.Wait(10000, exitCode));
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0].ProductIndex, 28);
    EXPECT_EQ(LowerCase(running[0].ProgramFile), LowerCase(root + L"\\bin\\bds.exe"));
    EXPECT_TRUE(notChosen.empty());
    EXPECT_TRUE(
        RunningIdeText(running[0])
            .starts_with(L"RAD Studio 11 is running:\r\n" + running[0].ProgramFile + L"\r\n"));
    EXPECT_TRUE(
        RunningIdeText({9, L"C:\\D7\\bin\\delphi32.exe"}).starts_with(L"Delphi7 is running:"));
}
