#include "spell/Cp1251.h"
#include "spell/TKPD.h"
#include "spell/Words.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <stdexcept>

using namespace kelpa::spell;
using kelpa::spell::test::cp;

namespace {

struct CollationLess {
    bool operator()(const std::string &a, const std::string &b) const { return AnsiStrComp(a, b) < 0; }
};
using WordSet = std::set<std::string, CollationLess>;

std::vector<std::string> wordsOf(const TKPD &d)
{
    std::vector<std::string> out;
    for (int i = 0; i < d.Count; ++i)
        out.push_back(d.GetWord(i));
    return out;
}

std::vector<std::string> wordsOf(const WordSet &s) { return {s.begin(), s.end()}; }

void fill(TKPD &d, std::initializer_list<std::string> words)
{
    for (const auto &w : words)
        ASSERT_TRUE(d.Add(w));
}

// Random lower-case words over Latin, Cyrillic and the two signs, with many shared prefixes
// (longer than the search key) so that both halves of the comparison are exercised.
std::string randomWord(std::mt19937 &rng)
{
    static const std::string letters = "abcz'-" + cp("аеёжюя");
    static const std::vector<std::string> stems = {"", "inter", "international", cp("перепроверка"), "aaaaaaaaa"};
    std::string w = stems[rng() % stems.size()];
    const std::size_t extra = 1 + rng() % 12;
    for (std::size_t i = 0; i < extra; ++i)
        w.push_back(letters[rng() % letters.size()]);
    return w.substr(0, TKPD::MaxWordLength);
}

TEST(TKPDStore, NewStoreIsEmptyAndUnmodified)
{
    TKPD d;
    EXPECT_EQ(d.Count, 0);
    EXPECT_FALSE(d.Modified);
    EXPECT_EQ(d.Version, 201);
    EXPECT_EQ(d.Name, "");
    EXPECT_EQ(d.Find("a"), -1);
    EXPECT_EQ(d.Find(""), -1);
    EXPECT_EQ(d.WordList(), std::string(1, '\0'));
}

TEST(TKPDFind, Edges)
{
    TKPD one;
    fill(one, {"m"});
    EXPECT_EQ(one.Find("m"), 0);
    EXPECT_EQ(one.Find("a"), -1);
    EXPECT_EQ(one.Find("z"), -1);

    TKPD d;
    fill(d, {"f", "b", "d"});
    const struct {
        std::string word;
        int index;
    } cases[] = {
        {"a", -1}, {"b", 0}, {"c", -1}, {"d", 1}, {"e", -1}, {"f", 2}, {"g", -1}, {"", -1},
        {"B", 0},   // looked up lower-cased
        {" b", -1}, // but not trimmed
        {"bb", -1}, {std::string(200, 'b'), -1},
        {std::string("b\0", 2), -1}, {std::string("\0", 1), -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(d.Find(c.word), c.index) << c.word;
}

TEST(TKPDFind, AgreesWithAnOrderedSet)
{
    std::mt19937 rng(7);
    TKPD d;
    WordSet reference;
    for (int i = 0; i < 3000; ++i) {
        const std::string w = randomWord(rng);
        ASSERT_TRUE(d.Add(w));
        reference.insert(w);
    }
    ASSERT_EQ(wordsOf(d), wordsOf(reference));
    int i = 0;
    for (const auto &w : reference)
        ASSERT_EQ(d.Find(w), i++) << w;
    for (int k = 0; k < 3000; ++k) {
        const std::string w = randomWord(rng);
        EXPECT_EQ(d.Find(w) >= 0, reference.count(w) == 1) << w;
    }
}

TEST(TKPDAdd, NormalisesAndKeepsOrder)
{
    const struct {
        std::string given, stored;
    } cases[] = {
        {"  Hello ", "hello"},
        {cp("ПРИВЕТ"), cp("привет")},
        {cp("ЁЖИК"), cp("ёжик")},
        {"\tTab\r\n", "tab"},
        {"hot dog", "hot dog"},
        {std::string(99, 'x'), std::string(99, 'x')},
        {"  " + std::string(99, 'Y') + "  ", std::string(99, 'y')},
    };
    for (const auto &c : cases) {
        TKPD d;
        ASSERT_TRUE(d.Add(c.given));
        EXPECT_EQ(wordsOf(d), std::vector<std::string>{c.stored});
        EXPECT_TRUE(d.Modified);
    }

    TKPD d;
    fill(d, {"pear", "apple", cp("яблоко"), "zebra", cp("ёлка"), cp("ель"), cp("жук"), "mango"});
    EXPECT_EQ(wordsOf(d), (std::vector<std::string>{"apple", "mango", "pear", "zebra", cp("ель"), cp("ёлка"),
                                                    cp("жук"), cp("яблоко")}));
}

TEST(TKPDAdd, DuplicatesAndWordsThatCannotBeStored)
{
    TKPD d;
    fill(d, {"word"});
    d.Modified = false;
    EXPECT_TRUE(d.Add("WORD "));
    EXPECT_EQ(d.Count, 1);
    EXPECT_FALSE(d.Modified);

    const std::string refused[] = {
        std::string(100, 'x'),
        "  " + std::string(100, 'x'),
        "a\rb",
        "a\nb",
        std::string("a\0b", 3),
    };
    for (const auto &w : refused) {
        EXPECT_FALSE(d.Add(w));
        EXPECT_EQ(d.Count, 1);
        EXPECT_FALSE(d.Modified);
    }
}

TEST(TKPDAdd, EmptyWordIsAWordLikeAnyOther)
{
    TKPD d;
    fill(d, {"b", "  ", "a"});
    EXPECT_EQ(wordsOf(d), (std::vector<std::string>{"", "a", "b"}));
    EXPECT_EQ(d.Find(""), 0);
}

TEST(TKPDAdd, GrowsPastManySteps)
{
    // Enough words and bytes to pass several growth steps of both buffers.
    TKPD d;
    WordSet reference;
    for (int i = 0; i < 20000; ++i) {
        const std::string w = "w" + std::to_string((i * 7919) % 20000);
        d.Add(w);
        reference.insert(w);
    }
    EXPECT_EQ(wordsOf(d), wordsOf(reference));
    EXPECT_GE(d.IndexCapacity, d.Count + 1);
    EXPECT_GT(d.TextCapacity, d.TextUsed);
}

TEST(TKPDDelete, RemovesAndCompacts)
{
    for (int victim = 0; victim < 5; ++victim) {
        TKPD d;
        fill(d, {"delta", "alpha", "echo", "charlie", "bravo"}); // text in insertion order
        std::vector<std::string> expected = wordsOf(d);
        const std::uint32_t used = d.TextUsed;
        d.Modified = false;
        d.Delete(victim);
        EXPECT_TRUE(d.Modified);
        EXPECT_EQ(d.TextUsed, used - expected[static_cast<std::size_t>(victim)].size());
        expected.erase(expected.begin() + victim);
        EXPECT_EQ(wordsOf(d), expected) << victim;
        // The compacted text still serves new words and lookups.
        ASSERT_TRUE(d.Add("foxtrot"));
        expected.push_back("foxtrot");
        EXPECT_EQ(wordsOf(d), expected) << victim;
        for (const auto &w : expected)
            EXPECT_GE(d.Find(w), 0) << w;
    }
}

TEST(TKPDDelete, OutOfRangeCarriesTheRangeMessage)
{
    TKPD d;
    fill(d, {"a", "b", "c", "d", "e"});
    const struct {
        int index;
        const char *message;
    } cases[] = {
        {5, "TKPD::Delete\nIndex 5 out of range (5)"},
        {-1, "TKPD::Delete\nIndex -1 out of range (5)"},
    };
    for (const auto &c : cases) {
        try {
            d.Delete(c.index);
            ADD_FAILURE() << "no exception for " << c.index;
        } catch (const std::out_of_range &e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    try {
        (void)d.GetWord(5);
        ADD_FAILURE() << "no exception";
    } catch (const std::out_of_range &e) {
        EXPECT_STREQ(e.what(), "TKPD::GetStr\nIndex 5 out of range (5)");
    }
    EXPECT_EQ(d.Count, 5);
}

TEST(TKPDRename, Cases)
{
    const struct {
        int index;
        std::string newWord;
        bool renamed;
        std::vector<std::string> after;
    } cases[] = {
        {0, "zulu", true, {"bravo", "charlie", "zulu"}},
        {2, "Delta", true, {"alpha", "bravo", "delta"}},
        {1, "charlie", false, {"alpha", "bravo", "charlie"}},
        {1, " Charlie ", false, {"alpha", "bravo", "charlie"}}, // the same word once trimmed
        {1, "bravo", false, {"alpha", "bravo", "charlie"}},
        {1, std::string(100, 'q'), false, {"alpha", "bravo", "charlie"}},
        {1, "two\rlines", false, {"alpha", "bravo", "charlie"}},
    };
    for (const auto &c : cases) {
        TKPD d;
        fill(d, {"charlie", "alpha", "bravo"});
        d.Modified = false;
        EXPECT_EQ(d.Rename(c.index, c.newWord), c.renamed) << c.newWord;
        EXPECT_EQ(wordsOf(d), c.after) << c.newWord;
        EXPECT_EQ(d.Modified, c.renamed);
    }
    TKPD d;
    fill(d, {"alpha"});
    EXPECT_THROW(d.Rename(1, "new"), std::out_of_range);
    EXPECT_EQ(wordsOf(d), std::vector<std::string>{"alpha"});
}

TEST(TKPDAssign, CopiesIndependently)
{
    TKPD source;
    fill(source, {"one", "two", cp("три")});
    TKPD copy;
    fill(copy, {"old"});
    copy.Modified = false;
    EXPECT_TRUE(copy.Assign(source));
    EXPECT_TRUE(copy.Modified);
    EXPECT_EQ(wordsOf(copy), wordsOf(source));
    source.Add("four");
    source.Delete(source.Find("one"));
    EXPECT_EQ(wordsOf(copy), (std::vector<std::string>{"one", "two", cp("три")}));
    copy.Add("five");
    EXPECT_EQ(source.Find("five"), -1);

    EXPECT_TRUE(copy.Assign(copy));
    EXPECT_EQ(copy.Count, 4);

    TKPD empty;
    copy.Assign(empty);
    EXPECT_EQ(copy.Count, 0);
    EXPECT_TRUE(copy.Add("again"));
}

TEST(TKPDMerge, EqualsTheSortedUnion)
{
    std::mt19937 rng(11);
    for (int existing : {0, 1, 2, 50, 2000}) {
        TKPD d;
        WordSet reference;
        for (int i = 0; i < existing; ++i) {
            const std::string w = randomWord(rng);
            d.Add(w);
            reference.insert(w);
        }
        std::string data;
        const char *ends[] = {"\r", "\n", "\r\n", "\r\r\n\n"};
        for (int i = 0; i < 1500; ++i) {
            std::string w = randomWord(rng);
            if (i % 7 == 0 && !reference.empty())
                w = *std::next(reference.begin(), static_cast<long>(rng() % reference.size()));
            if (i % 11 == 0)
                w = AnsiUpperCase(w);
            if (i % 13 == 0)
                w = "  " + w + " ";
            data += w + ends[rng() % 4];
            reference.insert(NormaliseWord(w));
        }
        d.Modified = false;
        const int before = d.Count;
        ASSERT_TRUE(d.Merge(data));
        EXPECT_EQ(wordsOf(d), wordsOf(reference)) << existing;
        EXPECT_EQ(d.Modified, d.Count != before);
        for (const auto &w : reference)
            ASSERT_GE(d.Find(w), 0) << w;
        // The merged store keeps working as a store.
        ASSERT_TRUE(d.Add("zzz-after-merge"));
        EXPECT_GE(d.Find("zzz-after-merge"), 0);
    }
}

TEST(TKPDMerge, SkipsWhatIsNoWordAndStopsAtNul)
{
    TKPD d;
    fill(d, {"keep"});
    const std::string data = std::string("\r\nfirst\r\n\r\n   \n") + std::string(100, 'l') + "\r" +
                             std::string(300, 'm') + "\rKEEP\rsecond" + std::string(1, '\0') + "third\r";
    ASSERT_TRUE(d.Merge(data));
    EXPECT_EQ(wordsOf(d), (std::vector<std::string>{"first", "keep", "second"}));
}

TEST(TKPDMerge, OwnWordListChangesNothing)
{
    TKPD d;
    fill(d, {"x", "y", cp("я")});
    d.Modified = false;
    std::vector<int> progress;
    ASSERT_TRUE(d.Merge(d.WordList(), [&progress](int p) { progress.push_back(p); }));
    EXPECT_EQ(d.Count, 3);
    EXPECT_FALSE(d.Modified);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 0);
}

TEST(TKPDMerge, ReportsProgressOnLargeInput)
{
    TKPD d;
    std::string data;
    for (int i = 0; i < 20000; ++i)
        data += "w" + std::to_string(i) + "\r";
    std::vector<int> progress;
    ASSERT_TRUE(d.Merge(data, [&progress](int p) { progress.push_back(p); }));
    EXPECT_EQ(d.Count, 20000);
    ASSERT_GT(progress.size(), 2u);
    for (int p : progress) {
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 100);
    }
    EXPECT_EQ(progress.back(), 0);
}

TEST(TKPDText, VersionAndErrorTexts)
{
    const struct {
        std::int32_t version;
        const char *text;
    } versions[] = {{201, "2.1"}, {1, "0.1"}, {150, "1.50"}, {100, "1.0"}};
    for (const auto &v : versions) {
        TKPD d;
        d.Version = v.version;
        EXPECT_EQ(d.VersionText(), v.text);
    }
    const struct {
        std::int32_t code;
        const char *text;
    } errors[] = {
        {0, "KPD:AllOk"}, {1, "KPD:MAlloc"}, {2, "KPD:V1Load"}, {3, "KPD:FOpen"}, {4, "KPD:FRead"},
        {5, "KPD:NotKPD"}, {6, "KPD:Sup.Ver"}, {7, "KPD:FRead"}, {8, "KPD:FWrite"}, {9, "KPD:MResize"},
        {1006, "KPD:ErrCode=1006"}, {10, "KPD:ErrCode=10"}, {-3, "KPD:ErrCode=-3"},
    };
    for (const auto &e : errors) {
        TKPD d;
        d.Error = e.code;
        EXPECT_EQ(d.ErrorText(), e.text);
    }
}

} // namespace
