// The list orders by cached locale sort keys and keeps its entries behind a movable gap; these
// tests hold both to the observable results of the locale comparison and of plain insertion.
#include "support/UbrmStringList.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Text = std::vector<std::wstring>;

// The order the list must follow: CompareStringW of the user's locale, string sort, case kept.
int LocaleOrder(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, SORT_STRINGSORT, a.data(),
                          static_cast<int>(a.size()), b.data(), static_cast<int>(b.size())) -
           CSTR_EQUAL;
}

// What a one-entry list tells of entry against s through Find: -1, 0 or +1 (99: an answer
// that no comparison can give).
int ListOrder(const TbrmStringList& single, const std::wstring& s) {
    int index = -1;
    if (single.Find(s, index))
        return index == 0 ? 0 : 99;
    return index == 1 ? -1 : (index == 0 ? 1 : 99);
}

// A fixed pseudo-random sequence, so that every run checks the same strings.
class Lcg {
public:
    explicit Lcg(uint32_t seed) : FState(seed) {}
    int Next(int bound) {
        FState = FState * 1103515245u + 12345u;
        return static_cast<int>((FState >> 16) % static_cast<uint32_t>(bound));
    }

private:
    uint32_t FState;
};

// Strings where the locale order departs from code-unit order: case, accents, expansions that
// equal two letters, hyphens and apostrophes (which string sort does not ignore), ignorable and
// combining characters, digits, punctuation, the empty string, and keys longer than a first
// guess at their size.
Text TrickyStrings() {
    Text strings = {L"", L"a", L"A", L"b", L"B", L"ab", L"aB", L"Ab", L"z", L"Z"};
    const Text punctuation = {L"co-op",      L"coop",       L"co op", L"co'op", L"co\u2019op",
                              L"co\u00adop", L"co\u2010op", L"-",     L"'",     L"--",
                              L"1-0",        L"a.b",        L"a_b",   L"~"};
    const Text accents = {L"ae",     L"\u00e6", L"\u00c6",  L"ss",      L"\u00df",
                          L"e",      L"\u00e9", L"\u00c9",  L"e\u0301", L"\u00e8",
                          L"\u00ea", L"\u00f1", L"n\u0303", L"\u00d1"};
    const Text others = {L"a\u200bb", L"10", L"9", L"\u20ac", L"\u00a0", L" ", L"\t"};
    const Text keywords = {L"TVkl000001.Property1", L"TVkl000001.property1",
                           L"TVkl00001.Property1"};
    for (const Text* group : {&punctuation, &accents, &others, &keywords})
        strings.insert(strings.end(), group->begin(), group->end());
    for (wchar_t c : {L'\u01c4', L'\u00e6', L'x'})
        strings.push_back(std::wstring(c == L'x' ? 300 : 20, c));
    const std::wstring alphabet = L"aAbBeE\u00e9\u00c9\u00e8zZ-' _.,!09\u00df\u00e6\u00c6\u00f1"
                                  L"\u2019\u2010\u00ad/\\()[]~#@$%&*+=<>?\u20ac\u00a0\u200b\u0301";
    Lcg random(12345);
    for (int i = 0; i < 250; ++i) {
        std::wstring s;
        for (int n = random.Next(7); n > 0; --n)
            s += alphabet[static_cast<size_t>(random.Next(static_cast<int>(alphabet.size())))];
        strings.push_back(s);
    }
    return strings;
}

std::wstring Printable(const std::wstring& s) {
    std::wstring out;
    for (wchar_t c : s)
        out += (c >= 0x20 && c < 0x7f) ? std::wstring(1, c) : L"\\u" + std::to_wstring(c);
    return L"[" + out + L"]";
}

} // namespace

TEST(StringListOrderTest, EveryPairComparesAsTheLocaleComparisonSays) {
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
}

TEST(StringListOrderTest, AddSortsUnderTheLocaleAndFindsEveryMember) {
    const Text strings = TrickyStrings();
    TbrmStringList list;
    for (const std::wstring& s : strings)
        list.Add(s);
    ASSERT_EQ(list.Count(), static_cast<int>(strings.size()));
    Text stored;
    for (int i = 0; i < list.Count(); ++i) {
        stored.push_back(list.Get(i));
        if (i > 0) {
            EXPECT_LE(LocaleOrder(list.Get(i - 1), list.Get(i)), 0)
                << Printable(list.Get(i - 1)) << " before " << Printable(list.Get(i));
        }
    }
    Text expected = strings;
    std::sort(expected.begin(), expected.end());
    std::sort(stored.begin(), stored.end());
    EXPECT_TRUE(stored == expected) << "Add keeps every string, duplicates too";
    list.SetDuplicates(dupAccept);
    for (const std::wstring& s : strings) {
        const int index = list.IndexOf(s);
        ASSERT_GE(index, 0) << Printable(s);
        EXPECT_EQ(LocaleOrder(list.Get(index), s), 0) << Printable(s);
        if (index > 0) {
            EXPECT_LT(LocaleOrder(list.Get(index - 1), s), 0)
                << "dupAccept lands on the first of the equal run: " << Printable(s);
        }
    }
}

TEST(StringListOrderTest, InsertsAnywhereMatchAPlainArrayAcrossGrowth) {
    TbrmStringList list;
    Text model;
    Lcg random(777);
    for (int step = 0; step < 2600; ++step) {
        // Runs of ascending, descending and scattered positions move the free slots about.
        const int count = static_cast<int>(model.size());
        int index = random.Next(count + 1);
        if (step % 500 < 100)
            index = count;
        else if (step % 500 < 200)
            index = 0;
        else if (step % 500 < 300)
            index = std::min(count, step % 500 - 200);
        const std::wstring s = std::to_wstring(step);
        list.Insert(index, s);
        model.insert(model.begin() + index, s);
        if (step % 97 == 0 || step == 1023 || step == 1024) {
            ASSERT_EQ(list.Count(), static_cast<int>(model.size()));
            for (int i = 0; i < list.Count(); ++i)
                ASSERT_EQ(list.Get(i), model[static_cast<size_t>(i)]) << "step " << step;
        }
    }
    EXPECT_EQ(list.Capacity(), 3072);
    for (int i = 0; i < list.Count(); ++i)
        ASSERT_EQ(list.Get(i), model[static_cast<size_t>(i)]);
}

class StringListOrderFiles : public vktest::SandboxTest {};

TEST_F(StringListOrderFiles, FindAndInsertAmongLoadedLinesPutEachNewLineInItsPlace) {
    ASSERT_TRUE(vktest::WriteFileBytes(TempPath(L"in.txt"), "b\r\nd\r\nf\r\nh\r\n"));
    TbrmStringList list;
    list.LoadFromFile(TempPath(L"in.txt"));
    for (const wchar_t* s : {L"a", L"c", L"d", L"g", L"i", L"e"}) {
        int index = 0;
        if (!list.Find(s, index))
            list.Insert(index, s);
    }
    Text lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    EXPECT_EQ(lines, (Text{L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i"}));
    EXPECT_EQ(list.IndexOf(L"h"), 7);
    list.SaveToFileA(TempPath(L"out.txt"));
    EXPECT_EQ(vktest::ReadFileBytes(TempPath(L"out.txt")),
              "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni\r\n");
}
