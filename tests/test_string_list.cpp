// The list orders by cached locale sort keys and keeps its entries behind a movable gap; these
// tests hold both to the locale comparison and to plain insertion, and its files to real bytes.
#include "support/UbrmStringList.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace vktest;

namespace {

using Text = std::vector<std::wstring>;

Text Lines(const TbrmStringList& list) {
    Text lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}

std::string Printable(const std::wstring& s) {
    return ::testing::PrintToString(s);
}

// The order the list must follow: CompareStringW of the user's locale, string sort, case kept.
int LocaleOrder(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, SORT_STRINGSORT, a.data(),
                          static_cast<int>(a.size()), b.data(), static_cast<int>(b.size())) -
           CSTR_EQUAL;
}

// What a one-entry list tells of its entry against s through Find: -1, 0 or +1 (99: an answer
// that no comparison can give).
int ListOrder(const TbrmStringList& single, const std::wstring& s) {
    int index = -1;
    if (single.Find(s, index))
        return index == 0 ? 0 : 99;
    return index == 1 ? -1 : (index == 0 ? 1 : 99);
}

// Strings where the locale order departs from code-unit order: case, accents, expansions that
// equal two letters, hyphens and apostrophes (which string sort does not ignore), ignorable and
// combining characters, digits, punctuation, the empty string, keys longer than a first guess
// at their size, and a fixed pseudo-random set over those characters.
Text TrickyStrings() {
    Text strings = {L"",        L"a",      L"A",          L"b",          L"B",          L"ab",
                    L"aB",      L"Ab",     L"z",          L"Z",          L"co-op",      L"coop",
                    L"co op",   L"co'op",  L"co\u2019op", L"co\u00adop", L"co\u2010op", L"-",
                    L"'",       L"--",     L"1-0",        L"a.b",        L"a_b",        L"~",
                    L"ae",      L"\u00e6", L"\u00c6",     L"ss",         L"\u00df",     L"e",
                    L"\u00e9",  L"\u00c9", L"e\u0301",    L"\u00e8",     L"\u00ea",     L"\u00f1",
                    L"n\u0303", L"\u00d1", L"a\u200bb",   L"10",         L"9",          L"\u20ac",
                    L"\u00a0",  L" ",      L"\t"};
    for (const wchar_t* keyword :
         {L"TVkl000001.Property1", L"TVkl000001.property1", L"TVkl00001.Property1"})
        strings.push_back(keyword);
    for (auto [count, c] :
         {std::pair{20, L'\u01c4'}, std::pair{20, L'\u00e6'}, std::pair{300, L'x'}})
        strings.push_back(std::wstring(count, c));
    const std::wstring alphabet = L"aAbBeE\u00e9\u00c9\u00e8zZ-' _.,!09\u00df\u00e6\u00c6\u00f1"
                                  L"\u2019\u2010\u00ad/\\()[]~#@$%&*+=<>?\u20ac\u00a0\u200b\u0301";
    std::mt19937 random(12345);
    for (int i = 0; i < 250; ++i) {
        std::wstring s;
        for (unsigned n = random() % 7; n > 0; --n)
            s += alphabet[random() % alphabet.size()];
        strings.push_back(s);
    }
    return strings;
}

} // namespace

TEST(StringListOrderTest, EveryComparisonAndAddFollowTheLocaleComparison) {
    const Text strings = TrickyStrings();
    int mismatches = 0;
    for (const std::wstring& entry : strings) {
        TbrmStringList single;
        single.Insert(0, entry);
        for (const std::wstring& s : strings) {
            const int expected = LocaleOrder(entry, s);
            ASSERT_GE(expected, -1) << "CompareStringW failed";
            if (ListOrder(single, s) != expected && ++mismatches <= 10)
                ADD_FAILURE() << "entry " << Printable(entry) << " against " << Printable(s)
                              << ": locale says " << expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
    // The pairs the set must contain for the check to mean anything.
    EXPECT_EQ(LocaleOrder(L"ae", L"\u00e6"), 0) << "a locale equality between different units";
    EXPECT_LT(LocaleOrder(L"a", L"B"), 0) << "an order that code units reverse";
    EXPECT_NE(LocaleOrder(L"co-op", L"coop"), 0) << "string sort keeps the hyphen";
    EXPECT_NE(LocaleOrder(L"a", L"A"), 0) << "case is kept";

    // Add puts each string where the locale says, keeps duplicates and finds every member.
    TbrmStringList list;
    for (const std::wstring& s : strings)
        list.Add(s);
    Text stored = Lines(list);
    for (size_t i = 1; i < stored.size(); ++i)
        EXPECT_LE(LocaleOrder(stored[i - 1], stored[i]), 0)
            << Printable(stored[i - 1]) << " before " << Printable(stored[i]);
    Text expected = strings;
    std::sort(expected.begin(), expected.end());
    std::sort(stored.begin(), stored.end());
    EXPECT_TRUE(stored == expected) << "Add keeps every string, duplicates too";
    list.SetDuplicates(dupAccept);
    for (const std::wstring& s : strings) {
        const int index = list.IndexOf(s);
        ASSERT_GE(index, 0) << Printable(s);
        EXPECT_EQ(LocaleOrder(list.Get(index), s), 0) << Printable(s);
        EXPECT_TRUE(index == 0 || LocaleOrder(list.Get(index - 1), s) < 0)
            << "dupAccept lands on the first of the equal run: " << Printable(s);
    }
}

TEST(StringListTest, AddAnswersTheIndexAndTheDuplicatePolicyWhichEqualEntryIsFound) {
    TbrmStringList list;
    EXPECT_EQ(list.IndexOf(L"x"), -1);
    for (const wchar_t* s : {L"m", L"b", L"Z", L"a"})
        list.Add(s);
    EXPECT_EQ(list.Add(L"b"), 1) << "the index it was put at, beside the equal entry";
    EXPECT_EQ(list.IndexOf(L"c"), -1);
    list.Clear();
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
}

TEST(StringListTest, InsertsAnywhereMatchAPlainArrayAcrossGrowthAndClearFreesAll) {
    TbrmStringList list;
    Text model;
    std::mt19937 random(777);
    for (int step = 0; step < 2600; ++step) {
        // Runs of appends, prepends, ascending and scattered positions move the free slots.
        const int count = static_cast<int>(model.size()), phase = step % 500;
        const int index = phase < 100   ? count
                          : phase < 200 ? 0
                          : phase < 300 ? std::min(count, phase - 200)
                                        : static_cast<int>(random() % (count + 1));
        list.Insert(index, std::to_wstring(step));
        model.insert(model.begin() + index, std::to_wstring(step));
        if (step % 97 == 0 || step == 1023 || step == 1024 || step == 2599) {
            ASSERT_EQ(Lines(list), model) << "step " << step;
        }
    }
    EXPECT_EQ(list.Capacity(), 3072) << "grows in steps of 1024";
    list.Clear();
    EXPECT_EQ(list.Capacity(), 0);
    EXPECT_EQ(list.Count(), 0);
}

using StringListFiles = SandboxTest;

TEST_F(StringListFiles, EveryLineBreakFormEndsALineANulEndsTheTextAndBytesAreAnsi) {
    const std::pair<std::string, Text> rows[] = {
        {"", {}},
        {"\r\n", {L""}},
        {"\n", {L""}},
        {"a\r\nb", {L"a", L"b"}},     // a last line without a break is kept
        {"a\r\nb\r\n", {L"a", L"b"}}, // a final break adds no empty line
        {"a\nb\rc", {L"a", L"b", L"c"}},
        {"a\n\rb", {L"a", L"", L"b"}}, // LF CR holds an empty line
        {"a\r\n\r\nb", {L"a", L"", L"b"}},
        {std::string("one\r\ntw\0o\r\nthree", 17), {L"one", L"tw"}},
        {"caf\xE9 \x80", {L"caf\u00e9 \u20ac"}},
    };
    for (const auto& [bytes, lines] : rows) {
        ASSERT_TRUE(WriteFileBytes(TempPath(L"in.txt"), bytes));
        TbrmStringList list;
        list.LoadFromFile(TempPath(L"in.txt"));
        EXPECT_EQ(Lines(list), lines) << ::testing::PrintToString(bytes);
    }
}

TEST_F(StringListFiles, AMissingOrLockedFileLoadsAsAnEmptyList) {
    TbrmStringList list;
    list.Add(L"old");
    list.LoadFromFile(TempPath(L"missing.txt"));
    EXPECT_EQ(list.Count(), 0);
    ASSERT_TRUE(WriteFileBytes(TempPath(L"locked.txt"), "x\r\n"));
    handles::FileHandle open(CreateFileW(TempPath(L"locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    list.Add(L"old");
    list.LoadFromFile(TempPath(L"locked.txt"));
    open.reset();
    EXPECT_EQ(list.Count(), 0) << "opened without sharing: a file in use is not read";
    EXPECT_EQ(ReadFileBytes(TempPath(L"locked.txt")), "x\r\n");
}

TEST_F(StringListFiles, SavesAnsiAndUtf16CrLfLinesWithoutAByteOrderMarkAndEmptyOverOld) {
    TbrmStringList list;
    for (const wchar_t* s : {L"caf\u00e9", L"", L"z"})
        list.Insert(list.Count(), s);
    list.SaveToFileA(TempPath(L"a.txt"));
    list.SaveToFile(TempPath(L"w.txt"));
    EXPECT_EQ(ReadFileBytes(TempPath(L"a.txt")), "caf\xE9\r\n\r\nz\r\n");
    EXPECT_EQ(ReadFileBytes(TempPath(L"w.txt")),
              std::string("c\0a\0f\0\xE9\0\r\0\n\0\r\0\n\0z\0\r\0\n\0", 22));
    list.Clear();
    list.SaveToFileA(TempPath(L"a.txt"));
    list.SaveToFile(TempPath(L"w.txt"));
    EXPECT_TRUE(PathExists(TempPath(L"a.txt")));
    EXPECT_EQ(ReadFileBytes(TempPath(L"a.txt")), "");
    EXPECT_EQ(ReadFileBytes(TempPath(L"w.txt")), "");
    // A file that cannot be created is not written.
    list.Add(L"x");
    list.SaveToFileA(TempPath(L"no\\such\\dir.txt"));
    list.SaveToFile(TempPath(L"no\\such\\dir.txt"));
    EXPECT_FALSE(PathExists(TempPath(L"no")));
}

TEST_F(StringListFiles, LinesAcrossAndBeyondTheBufferAreWrittenWholeAndInOrder) {
    TbrmStringList list;
    std::wstring expected;
    for (int i = 0; i < 3000; ++i) {
        // Lines of varied lengths fill the buffer unevenly; two are longer than the buffer.
        std::wstring line(static_cast<size_t>(i % 37), static_cast<wchar_t>(L'a' + i % 26));
        if (i == 700 || i == 2999)
            line = std::wstring(TbrmStringList::SaveBufferSize + 500, L'L');
        list.Insert(list.Count(), line);
        expected += line + L"\r\n";
    }
    list.SaveToFileA(TempPath(L"a.txt"));
    list.SaveToFile(TempPath(L"w.txt"));
    EXPECT_TRUE(ReadFileBytes(TempPath(L"a.txt")) == std::string(expected.begin(), expected.end()));
    EXPECT_TRUE(ReadFileBytes(TempPath(L"w.txt")) ==
                std::string(reinterpret_cast<const char*>(expected.data()),
                            expected.size() * sizeof(wchar_t)));
}

TEST_F(StringListFiles, FindAndInsertAmongLoadedLinesPutEachNewLineInItsPlace) {
    ASSERT_TRUE(WriteFileBytes(TempPath(L"in.txt"), "b\r\nd\r\nf\r\nh\r\n"));
    TbrmStringList list;
    list.LoadFromFile(TempPath(L"in.txt"));
    for (const wchar_t* s : {L"a", L"c", L"d", L"g", L"i", L"e"}) {
        int index = 0;
        if (!list.Find(s, index))
            list.Insert(index, s);
    }
    EXPECT_EQ(Lines(list), (Text{L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i"}));
}
