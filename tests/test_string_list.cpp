#include "support/UbrmStringList.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace vktest;

namespace {

std::vector<std::wstring> Lines(const TbrmStringList& list) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}

using Text = std::vector<std::wstring>;

}  // namespace

class StringListFiles : public SandboxTest {
protected:
    Text Load(const std::string& bytes) {
        const std::wstring path = TempPath(L"in.txt");
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        TbrmStringList list;
        list.LoadFromFile(path);
        return Lines(list);
    }
};

TEST_F(StringListFiles, EveryLineBreakFormEndsALine) {
    EXPECT_EQ(Load(""), Text{});
    EXPECT_EQ(Load("\r\n"), Text{L""});
    EXPECT_EQ(Load("a\r\nb"), (Text{L"a", L"b"})) << "a last line without a break is kept";
    EXPECT_EQ(Load("a\r\nb\r\n"), (Text{L"a", L"b"})) << "a final break adds no empty line";
    EXPECT_EQ(Load("a\nb\rc"), (Text{L"a", L"b", L"c"}));
    EXPECT_EQ(Load("a\n\rb"), (Text{L"a", L"", L"b"})) << "LF CR holds an empty line";
    EXPECT_EQ(Load("a\r\n\r\nb"), (Text{L"a", L"", L"b"}));
    EXPECT_EQ(Load("\n"), Text{L""});
}

TEST_F(StringListFiles, ANulByteEndsTheTextAndBytesAreAnsi) {
    EXPECT_EQ(Load(std::string("one\r\ntw\0o\r\nthree", 17)), (Text{L"one", L"tw"}));
    EXPECT_EQ(Load("caf\xE9 \x80"), Text{L"caf\u00e9 \u20ac"});
}

TEST_F(StringListFiles, AnUnreadableFileLoadsAsAnEmptyList) {
    TbrmStringList list;
    list.Add(L"old");
    list.LoadFromFile(TempPath(L"missing.txt"));
    EXPECT_EQ(list.Count(), 0);
    ASSERT_TRUE(WriteFileBytes(TempPath(L"locked.txt"), "x\r\n"));
    HANDLE open = CreateFileW(TempPath(L"locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    list.Add(L"old");
    list.LoadFromFile(TempPath(L"locked.txt"));
    CloseHandle(open);
    EXPECT_EQ(list.Count(), 0) << "opened without sharing: a file in use is not read";
    EXPECT_EQ(ReadFileBytes(TempPath(L"locked.txt")), "x\r\n");
}

TEST_F(StringListFiles, SavesAnsiAndUtf16LinesWithCrLfAndNoByteOrderMark) {
    TbrmStringList list;
    list.Insert(0, L"caf\u00e9");
    list.Insert(1, L"");
    list.Insert(2, L"z");
    list.SaveToFileA(TempPath(L"a.txt"));
    EXPECT_EQ(ReadFileBytes(TempPath(L"a.txt")), "caf\xE9\r\n\r\nz\r\n");
    list.SaveToFile(TempPath(L"w.txt"));
    EXPECT_EQ(ReadFileBytes(TempPath(L"w.txt")),
              std::string("c\0a\0f\0\xE9\0\r\0\n\0\r\0\n\0z\0\r\0\n\0", 22));
}

TEST_F(StringListFiles, AnEmptyListSavesAnEmptyFileOverAnOldOne) {
    ASSERT_TRUE(WriteFileBytes(TempPath(L"e.txt"), "old content"));
    TbrmStringList list;
    list.SaveToFileA(TempPath(L"e.txt"));
    EXPECT_TRUE(PathExists(TempPath(L"e.txt")));
    EXPECT_EQ(ReadFileBytes(TempPath(L"e.txt")), "");
    list.SaveToFile(TempPath(L"w.txt"));
    EXPECT_EQ(ReadFileBytes(TempPath(L"w.txt")), "");
}

TEST_F(StringListFiles, LinesAcrossAndBeyondTheBufferAreWrittenWholeAndInOrder) {
    TbrmStringList list;
    std::string expectedA;
    std::wstring expectedW;
    for (int i = 0; i < 3000; ++i) {
        // Lines of varied lengths fill the buffer unevenly; two are longer than the buffer.
        std::wstring line(static_cast<size_t>(i % 37), static_cast<wchar_t>(L'a' + i % 26));
        if (i == 700 || i == 2999)
            line = std::wstring(TbrmStringList::SaveBufferSize + 500, L'L');
        list.Insert(list.Count(), line);
        expectedA += std::string(line.begin(), line.end()) + "\r\n";
        expectedW += line + L"\r\n";
    }
    list.SaveToFileA(TempPath(L"a.txt"));
    list.SaveToFile(TempPath(L"w.txt"));
    EXPECT_TRUE(ReadFileBytes(TempPath(L"a.txt")) == expectedA);
    const std::string wide = ReadFileBytes(TempPath(L"w.txt"));
    EXPECT_TRUE(wide == std::string(reinterpret_cast<const char*>(expectedW.data()),
                                    expectedW.size() * sizeof(wchar_t)));
    TbrmStringList back;
    back.LoadFromFile(TempPath(L"a.txt"));
    EXPECT_EQ(Lines(back), Lines(list));
}

TEST_F(StringListFiles, AFileThatCannotBeCreatedIsNotWritten) {
    TbrmStringList list;
    list.Add(L"x");
    list.SaveToFileA(TempPath(L"no\\such\\dir.txt"));
    list.SaveToFile(TempPath(L"no\\such\\dir.txt"));
    EXPECT_FALSE(PathExists(TempPath(L"no")));
}

TEST(StringListTest, AddKeepsLocaleOrderAndInsertsDuplicatesBesideTheOriginal) {
    TbrmStringList list;
    EXPECT_EQ(list.IndexOf(L"x"), -1);
    EXPECT_EQ(list.Add(L"m"), 0);
    list.Add(L"b");
    list.Add(L"Z");
    list.Add(L"a");
    EXPECT_EQ(Lines(list), (Text{L"a", L"b", L"m", L"Z"})) << "locale order, not code units";
    EXPECT_EQ(list.Add(L"b"), 1);
    EXPECT_EQ(Lines(list), (Text{L"a", L"b", L"b", L"m", L"Z"}));
    EXPECT_EQ(list.IndexOf(L"m"), 3);
    EXPECT_EQ(list.IndexOf(L"M"), -1) << "no case folding";
    EXPECT_EQ(list.IndexOf(L"c"), -1);
}

TEST(StringListTest, DuplicatePolicyDecidesWhichEqualEntryIsFound) {
    TbrmStringList list;
    for (const wchar_t* s : {L"a", L"k", L"k", L"k", L"k", L"k", L"k", L"z"})
        list.Insert(list.Count(), s);
    int index = -1;
    EXPECT_TRUE(list.Find(L"k", index));
    EXPECT_EQ(index, 3) << "dupIgnore stops at the first equal entry the bisection meets";
    list.SetDuplicates(dupAccept);
    EXPECT_TRUE(list.Find(L"k", index));
    EXPECT_EQ(index, 1) << "dupAccept goes on to the first of the run";
    EXPECT_FALSE(list.Find(L"m", index));
    EXPECT_EQ(index, 7) << "the insertion point of an absent string";
}

TEST(StringListTest, OutOfRangeIndexesChangeNothing) {
    TbrmStringList list;
    list.Add(L"a");
    EXPECT_EQ(list.Get(-1), L"");
    EXPECT_EQ(list.Get(1), L"");
    list.Insert(-1, L"x");
    list.Insert(2, L"x");
    EXPECT_EQ(Lines(list), Text{L"a"});
    list.Insert(1, L"end");
    EXPECT_EQ(Lines(list), (Text{L"a", L"end"}));
}

TEST(StringListTest, CapacityGrowsInStepsOf1024AndClearFreesIt) {
    TbrmStringList list;
    EXPECT_EQ(list.Capacity(), 0);
    for (int i = 0; i < 1024; ++i)
        list.Insert(0, L"s");
    EXPECT_EQ(list.Capacity(), 1024);
    list.Insert(0, L"s");
    EXPECT_EQ(list.Capacity(), 2048);
    EXPECT_EQ(list.Count(), 1025);
    list.Clear();
    EXPECT_EQ(list.Capacity(), 0);
    EXPECT_EQ(list.Count(), 0);
}
