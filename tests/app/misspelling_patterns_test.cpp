// The letter-level difference and the kinds of mistake, on real misspellings of real
// words as children and adults make them.

#include "app/progress/LetterDiff.h"
#include "app/progress/MisspellingPatterns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

using app::progress::ComparableText;
using app::progress::Edit;
using app::progress::EditKind;
using app::progress::LetterDiff;
using app::progress::PatternKind;

constexpr PatternKind Space = PatternKind::SpaceOrApostrophe;
constexpr PatternKind Double = PatternKind::DoubledLetter;
constexpr PatternKind EKept = PatternKind::SilentEKept;
constexpr PatternKind YToI = PatternKind::YToI;
constexpr PatternKind IeEi = PatternKind::IeOrEi;
constexpr PatternKind Silent = PatternKind::SilentLetter;
constexpr PatternKind Sound = PatternKind::SoundSpelling;
constexpr PatternKind Vowel = PatternKind::Vowel;
constexpr PatternKind Swap = PatternKind::Swap;
constexpr PatternKind SilentE = PatternKind::SilentE;
constexpr PatternKind Reversal = PatternKind::Reversal;
constexpr PatternKind Ending = PatternKind::Ending;
constexpr PatternKind Missing = PatternKind::MissingLetter;
constexpr PatternKind Added = PatternKind::AddedLetter;
constexpr PatternKind Other = PatternKind::Other;

struct Misspelling {
    const char* typed;
    const char* word;
    std::vector<PatternKind> kinds; // one per difference, in the order they occur
};

// clang-format off
const Misspelling kMisspellings[] = {
    // a doubled letter written single, or a single one doubled
    {"leter", "LETTER", {Double}},
    {"hapy", "HAPPY", {Double}},
    {"comming", "COMING", {Double}},
    {"untill", "UNTIL", {Double}},
    {"begining", "BEGINNING", {Double}},
    {"stoped", "STOPPED", {Double}},
    {"accross", "ACROSS", {Double}},
    {"realy", "REALLY", {Double}},
    {"clas", "CLASS", {Double}},
    {"tommorow", "TOMORROW", {Double, Double}},
    // i before e, except after c
    {"recieve", "RECEIVE", {IeEi}},
    {"freind", "FRIEND", {IeEi}},
    {"thier", "THEIR", {IeEi}},
    // a vowel or vowel pair confused
    {"seperate", "SEPARATE", {Vowel}},
    {"definate", "DEFINITE", {Vowel}},
    {"becuase", "BECAUSE", {Vowel}},
    {"beutiful", "BEAUTIFUL", {Vowel}},
    {"frend", "FRIEND", {Vowel}},
    {"plese", "PLEASE", {Vowel}},
    {"yesturday", "YESTERDAY", {Vowel}},
    {"sed", "SAID", {Vowel, Vowel}},
    {"buk", "BOOK", {Vowel, Double}},
    // two letters swapped
    {"teh", "THE", {Swap}},
    {"form", "FROM", {Swap}},
    {"gril", "GIRL", {Swap}},
    {"wnet", "WENT", {Swap}},
    {"tabel", "TABLE", {Swap}},
    {"gose", "GOES", {Swap}},
    {"dosen't", "DOESN'T", {Swap}},
    // a silent final e missing
    {"hop", "HOPE", {SilentE}},
    {"hav", "HAVE", {SilentE}},
    {"tim", "TIME", {SilentE}},
    {"ther", "THERE", {SilentE}},
    {"sum", "SOME", {Vowel, SilentE}},
    // b/d or p/q reversed
    {"bog", "DOG", {Reversal}},
    {"daby", "BABY", {Reversal}},
    {"qig", "PIG", {Reversal}},
    {"bab", "DAD", {Reversal, Reversal}},
    // a common ending wrong: its letters are one difference
    {"jumpt", "JUMPED", {Ending}},
    {"walkd", "WALKED", {Ending}},
    {"happend", "HAPPENED", {Ending}},
    {"quickley", "QUICKLY", {Ending}},
    {"dog", "DOGS", {Ending}},
    {"wented", "WENT", {Ending}},
    {"tomatos", "TOMATOES", {Ending}},
    {"potatos", "POTATOES", {Ending}},
    {"heros", "HEROES", {Ending}},
    // a silent e kept before an ending that starts with a vowel
    {"hopeing", "HOPING", {EKept}},
    {"makeing", "MAKING", {EKept}},
    {"comeing", "COMING", {EKept}},
    {"likeing", "LIKING", {EKept}},
    // y not changed to i before an ending, or changed where it stays
    {"babys", "BABIES", {YToI}},
    {"storys", "STORIES", {YToI}},
    {"cryed", "CRIED", {YToI}},
    {"tryed", "TRIED", {YToI}},
    {"plaied", "PLAYED", {YToI}},
    // a blank or an apostrophe
    {"icecream", "ICE CREAM", {Space}},
    {"ice  cream", "ICE CREAM", {Space}},
    {"dont", "DON'T", {Space}},
    {"alot", "A LOT", {Space}},
    // a letter that is not heard left out
    {"iland", "ISLAND", {Silent}},
    {"anser", "ANSWER", {Silent}},
    {"wensday", "WEDNESDAY", {Silent}},
    {"wich", "WHICH", {Silent}},
    // a sound written with another of its spellings
    {"skool", "SCHOOL", {Sound}},
    {"laff", "LAUGH", {Sound}},
    {"thort", "THOUGHT", {Sound}},
    {"fone", "PHONE", {Sound}},
    {"enuf", "ENOUGH", {Sound}},
    // a letter missing, a letter added, anything else
    {"libary", "LIBRARY", {Missing}},
    {"goverment", "GOVERNMENT", {Missing}},
    {"probly", "PROBABLY", {Missing, Missing}},
    {"nothin", "NOTHING", {Missing}},
    {"doin", "DOING", {Missing}},
    {"goin", "GOING", {Missing}},
    {"th", "THE", {Missing}},
    {"athelete", "ATHLETE", {Added}},
    {"whith", "WITH", {Added}},
};
// clang-format on

TEST(MisspellingPatterns, RealMisspellingsGetTheKindsTeachersUse)
{
    ASSERT_GE(std::size(kMisspellings), 75u);
    for (const Misspelling& m : kMisspellings) {
        const auto kinds = app::progress::ClassifyMisspelling(m.typed, m.word);
        std::string names;
        for (PatternKind kind : kinds)
            names += app::progress::PatternName(kind) + "; ";
        EXPECT_EQ(kinds, m.kinds) << m.typed << " for " << m.word << " gave " << names;
    }
}

TEST(MisspellingPatterns, CaseAndOuterBlanksAreNeverMistakes)
{
    EXPECT_TRUE(app::progress::ClassifyMisspelling("  Cat\t", "CAT").empty());
    EXPECT_EQ(ComparableText(" don't "), U"DON'T");
    // The test trims ASCII blanks only: a no-break space is typed, and wrong.
    EXPECT_EQ(ComparableText(" cat\u00a0"), U"CAT\u00a0");
    EXPECT_EQ(app::progress::ClassifyMisspelling("cat\u00a0", "CAT"), std::vector<PatternKind>{Space});
    // Only a to z fold: other letters keep their case.
    EXPECT_EQ(ComparableText("école"), U"éCOLE");
}

TEST(LetterDiff, WorksOnCharactersNotBytes)
{
    // é and É are two bytes each in UTF-8: one wrong letter, not two.
    const auto edits = LetterDiff(ComparableText("école"), ComparableText("ÉCOLE"));
    ASSERT_EQ(edits.size(), 5u);
    EXPECT_EQ(edits[0], (Edit{EditKind::Wrong, 0, 0}));
    EXPECT_EQ(app::progress::ClassifyMisspelling("école", "ÉCOLE"), std::vector<PatternKind>{Other});
    // A letter made of a surrogate pair in UTF-16 and four bytes in UTF-8 is one letter.
    EXPECT_EQ(LetterDiff(ComparableText("ca𝒯"), ComparableText("CAT")).size(), 3u);
    EXPECT_EQ(app::progress::ClassifyMisspelling("ca🐈t", "CAT"), std::vector<PatternKind>{Added});
}

TEST(LetterDiff, EditsWalkBothTextsInOrder)
{
    // "becuase": b e c [u a swapped] s e
    const auto edits = LetterDiff(U"BECUASE", U"BECAUSE");
    const std::vector<Edit> expected = {{EditKind::Same, 0, 0}, {EditKind::Same, 1, 1},
                                        {EditKind::Same, 2, 2}, {EditKind::Swapped, 3, 3},
                                        {EditKind::Same, 5, 5}, {EditKind::Same, 6, 6}};
    EXPECT_EQ(edits, expected);
    const std::vector<Edit> missingAndAdded = {
        {EditKind::Extra, 0, 0}, {EditKind::Same, 1, 0}, {EditKind::Missing, 2, 1}};
    EXPECT_EQ(LetterDiff(U"XA", U"AB"), missingAndAdded);
    EXPECT_TRUE(LetterDiff(U"", U"").empty());
    EXPECT_EQ(LetterDiff(U"", U"AB").size(), 2u);
}

TEST(LetterDiff, AHugeAnswerIsLinedUpInsteadOfTakingLong)
{
    const std::u32string pasted(200000, U'X');
    const auto edits = LetterDiff(pasted, U"CAT");
    EXPECT_EQ(edits.size(), pasted.size());
    EXPECT_EQ(
        std::count_if(edits.begin(), edits.end(), [](const Edit& e) { return e.kind == EditKind::Extra; }),
        static_cast<long>(pasted.size() - 3));
}

TEST(MisspellingPatterns, CountsAreLargestFirstWithTheNewestExamplesOnce)
{
    using app::progress::Attempt;
    const std::vector<Attempt> history = {
        {"r1", "t1", "L", "HAPPY", "hapy", false, 1}, {"r1", "t2", "L", "LETTER", "leter", false, 1},
        {"r1", "t3", "L", "THE", "teh", false, 1},    {"r1", "t4", "L", "HAPPY", "hapy", false, 2},
        {"r1", "t5", "L", "HAPPY", "happy", true, 3}, {"r1", "t6", "L", "TOMORROW", "tommorow", false, 1},
    };
    std::vector<const Attempt*> attempts;
    for (const Attempt& attempt : history)
        attempts.push_back(&attempt);
    const auto counts = app::progress::CountPatterns(attempts, 2);
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_EQ(counts[0].kind, Double);
    EXPECT_EQ(counts[0].answers, 4); // hapy twice, leter, tommorow once for its two
    EXPECT_EQ(counts[0].examples,
              (std::vector<app::progress::PatternExample>{{"TOMORROW", "tommorow"}, {"HAPPY", "hapy"}}));
    EXPECT_EQ(counts[1].kind, Swap);
    EXPECT_EQ(counts[1].answers, 1);
}

} // namespace
