#include "spell/TKPD.h"
#include "spell/Words.h"

#include <gtest/gtest.h>

using namespace kelpa::spell;
using kelpa::spell::test::cp;
using List = std::vector<std::string>;

namespace {

class Suggestions : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *w : {"the", "ten", "hot", "dog", "apple", "a", "cat", "cart", "don't", "well-known",
                              "нот", "кот", "ёжик", "чай", "юг", "шар", "рак"})
            dict.Add(cp(w));
    }
    List suggest(const std::string &word) const
    {
        List list{"stale"};
        dict.Suggest(word, list);
        return list;
    }
    TKPD dict;
};

TEST_F(Suggestions, Notes)
{
    const struct {
        std::string word;
        const char *note;
    } cases[] = {
        {"", "> No suggestions"},
        {"hot dog", "> Single words only"},
        {" the", "> Single words only"},
        {"the", "> Correct spelling"},
        {"THE", "> Correct spelling"},
        {cp("ЁЖИК"), "> Correct spelling"},
        {"pple", "> No suggestions"}, // nothing is inserted before the first letter
        {"xyzzy", "> No suggestions"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(suggest(c.word), List{c.note}) << c.word;
}

TEST_F(Suggestions, OneEditAway)
{
    const struct {
        std::string word;
        List expected;
    } cases[] = {
        {"teh", {"ten", "the"}},         // neighbours swapped, one letter replaced
        {"TEH", {"ten", "the"}},         // listed as the dictionary holds them
        {"thhe", {"the"}},               // a letter too many
        {"th", {"the"}},                 // a letter missing at the end
        {"appl", {"apple"}},
        {"aple", {"apple"}},             // a letter missing inside
        {"hotdog", {"hot dog"}},         // two known words
        {"dogt", {"dog"}},
        {"cst", {"cat"}},
        {"crt", {"cart", "cat"}},        // replaced, inserted
        {"dont", {"don't"}},             // apostrophe inserted
        {"wellknown", {"well-known"}},   // hyphen inserted
        {"wel-known", {"well-known"}},
        {"ca", {"a", "cat"}},
        {cp("ктот"), {cp("кот")}},
        {cp("кто"), {cp("кот")}},
        {cp("КТО"), {cp("кот")}},
        {cp("кат"), {cp("кот")}},
        {cp("нотк"), {cp("нот")}},
        {cp("ежик"), {cp("ёжик")}},      // е replaced by ё
        {cp("чаи"), {cp("чай")}},        // words with ч, ю, ш, р are whole words
        {cp("юк"), {cp("юг")}},
        {cp("шаар"), {cp("шар")}},
        {cp("рк"), {cp("рак")}},
        {cp("коткот"), {cp("кот кот")}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(suggest(c.word), c.expected) << c.word;
}

TEST_F(Suggestions, LongInput)
{
    const std::string a(75, 'a'), b(75, 'b'), c(99, 'c');
    dict.Add(a);
    dict.Add(b);
    dict.Add(c);
    const struct {
        std::string word;
        List expected;
    } cases[] = {
        {a + b, {a + " " + b}},
        {c + "x", {c}},
        {std::string(99, 'c') + "c", {c}},
        {std::string(100000, 'q'), {"> No suggestions"}},
    };
    for (const auto &k : cases)
        EXPECT_EQ(suggest(k.word), k.expected) << k.word.size();
}

TEST_F(Suggestions, EmptyDictionary)
{
    TKPD empty;
    List list;
    empty.Suggest("word", list);
    EXPECT_EQ(list, List{"> No suggestions"});
}

} // namespace
