// The list orders by cached locale sort keys and keeps its entries behind a movable gap; these
// tests hold it to the locale comparison, and its files to real bytes.
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

// The order the list must follow: CompareStringW of the user's locale, string sort, case kept.
int LocaleOrder(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, SORT_STRINGSORT, a.data(), int(a.size()), b.data(),
                          int(b.size())) -
           CSTR_EQUAL;
}

}  // namespace

TEST(StringListTest, AddFollowsTheLocaleOrderAndFindsEveryMember) {
    // Pseudo-random strings over characters where the locale order departs from code-unit order
    // (case, accents, expansions, hyphens and apostrophes that string sort keeps, ignorable and
    // combining characters, digits), and keys longer than a first guess at their size. Sorted
    // insertion lands all over the list and grows it past 1024 entries.
    ASSERT_EQ(LocaleOrder(L"ae", L"\u00e6"), 0) << "a locale equality between different units";
    ASSERT_LT(LocaleOrder(L"a", L"B"), 0) << "an order that code units reverse";
    ASSERT_NE(LocaleOrder(L"co-op", L"coop"), 0) << "string sort keeps the hyphen";
    const std::wstring alphabet = L"aAbBeE\u00e9\u00c9zZ-' _.,09\u00df\u00e6\u00f1\u2019\u2010"
                                  L"\u00ad/\\()~#\u20ac\u00a0\u200b\u0301";
    Text strings = {L"ae", L"\u00e6", L"a", L"B", L"co-op", L"coop", L"", std::wstring(300, L'x')};
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
    Text stored = Lines(list);
    for (size_t i = 1; i < stored.size(); ++i)
        EXPECT_LE(LocaleOrder(stored[i - 1], stored[i]), 0) << testing::PrintToString(stored[i]);
    Text expected = strings;
    std::sort(expected.begin(), expected.end());
    std::sort(stored.begin(), stored.end());
    EXPECT_TRUE(stored == expected) << "Add keeps every string, duplicates too";
    list.SetDuplicates(dupAccept);
    for (const std::wstring& s : strings) {
        const int index = list.IndexOf(s);
        ASSERT_GE(index, 0) << testing::PrintToString(s);
        EXPECT_TRUE(LocaleOrder(list.Get(index), s) == 0 &&
                    (index == 0 || LocaleOrder(list.Get(index - 1), s) < 0))
            << "dupAccept finds the first of the equal run: " << testing::PrintToString(s);
    }
}

TEST(StringListTest, BisectionAndDuplicatePolicyDecideWhichEqualEntryIsFound) {
    TbrmStringList list;
    for (const wchar_t* s : {L"a", L"k", L"k", L"k", L"k", L"k", L"k", L"z"})
        list.Insert(list.Count(), s);
    int index = -1;
    EXPECT_TRUE(list.Find(L"k", index));
    EXPECT_EQ(index, 3) << "dupIgnore stops at the first equal entry the bisection meets";
    EXPECT_FALSE(list.Find(L"m", index));
    EXPECT_EQ(index, 7) << "the insertion point of an absent string";
    EXPECT_EQ(list.IndexOf(L"m"), -1);
    EXPECT_EQ(list.Add(L"k"), 3) << "beside the equal entry met";
    list.SetDuplicates(dupAccept);
    EXPECT_TRUE(list.Find(L"k", index));
    EXPECT_EQ(index, 1) << "dupAccept goes on to the first of the run";
    // Indexes out of range: Get answers empty, Insert changes nothing.
    EXPECT_EQ(list.Get(-1) + list.Get(list.Count()), L"");
    list.Insert(-1, L"x");
    list.Insert(list.Count() + 1, L"x");
    EXPECT_EQ(list.Count(), 9);
}

using StringListFiles = SandboxTest;

TEST_F(StringListFiles, EveryLineBreakFormEndsALineANulEndsTheTextAndBytesAreAnsi) {
    const std::pair<std::string, Text> rows[] = {
        {"", {}},
        {"\r\n", {L""}},
        {"a\r\nb", {L"a", L"b"}},      // a last line without a break is kept
        {"a\r\nb\r\n", {L"a", L"b"}},  // a final break adds no empty line
        {"a\nb\rc", {L"a", L"b", L"c"}},
        {"a\n\rb", {L"a", L"", L"b"}},  // LF CR holds an empty line
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
    list.Add(L"old");
    list.LoadFromFile(TempPath(L"missing.txt"));
    EXPECT_EQ(list.Count(), 0) << "a missing file loads as an empty list";
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
    EXPECT_EQ(ReadFileBytes(TempPath(L"a.txt")) + ReadFileBytes(TempPath(L"w.txt")), "");
    list.Add(L"x");
    list.SaveToFileA(TempPath(L"no\\such\\dir.txt"));
    list.SaveToFile(TempPath(L"no\\such\\dir.txt"));
    EXPECT_FALSE(PathExists(TempPath(L"no"))) << "a file that cannot be created is not written";
}

TEST_F(StringListFiles, LinesAcrossAndBeyondTheBufferAreWrittenWholeAndInOrder) {
    TbrmStringList list;
    std::wstring expected;
    for (int i = 0; i < 3000; ++i) {
        // Lines of varied lengths fill the buffer unevenly; two are longer than the buffer.
        std::wstring line(size_t(i % 37), wchar_t(L'a' + i % 26));
        if (i == 700 || i == 2999)
            line = std::wstring(TbrmStringList::SaveBufferSize + 500, L'L');
        list.Insert(list.Count(), line);
        expected += line + L"\r\n";
    }
    list.SaveToFileA(TempPath(L"a.txt"));
    list.SaveToFile(TempPath(L"w.txt"));
    EXPECT_TRUE(ReadFileBytes(TempPath(L"a.txt")) == std::string(expected.begin(), expected.end()));
    EXPECT_TRUE(ReadFileBytes(TempPath(L"w.txt")) ==
                std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
}
