// The progress report from a record and a history, without the window: first-answer
// shares per test, the per-word table with its trouble words first, the misspellings
// newest first, and the history's gaps.

#include "app/progress/ProgressReport.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using app::progress::Attempt;
using app::progress::BuildReport;
using app::progress::RecordWord;

const char* const kRun1 = "2026-12-01T09:00:00.000+01:00";
const char* const kRun2 = "2026-12-02T09:00:00.000+01:00";
const char* const kRun3 = "2026-12-03T09:00:00.000+01:00";

// Two tests of Week and one of Numbers.
const std::vector<Attempt> kHistory = {
    {kRun1, "t01", "Week", "CAT", "cat", true, 1},  {kRun1, "t02", "Week", "DOG", "dgo", false, 1},
    {kRun1, "t03", "Week", "DOG", "dog", true, 2},  {kRun1, "t04", "Week", "CAT", "CAT", true, 2},
    {kRun2, "t05", "Week", "CAT", "kat", false, 3}, {kRun2, "t06", "Week", "CAT", "cat", true, 4},
    {kRun2, "t07", "Week", "DOG", "dog", true, 3},  {kRun3, "t08", "Numbers", "ONE", "won", false, 1},
};

const std::vector<RecordWord> kRecord = {
    {"Week", "CAT", 4, 3},
    {"Week", "DOG", 3, 2},
    {"Week", "SUN", 0, 0},
    {"Numbers", "ONE", 1, 0},
};

TEST(ProgressReport, OneLessonSummaryRunsAndTableTroubleFirst)
{
    const auto report = BuildReport(kHistory, kRecord, std::string("Week"));
    EXPECT_EQ(report.summary.lessons, 1);
    EXPECT_EQ(report.summary.tests, 2);
    EXPECT_EQ(report.summary.attempts, 7u);
    EXPECT_EQ(report.summary.runWords, 4);
    EXPECT_EQ(report.summary.runWordsFirstRight, 2); // CAT in the first test, DOG in the second
    EXPECT_EQ(report.summary.firstTest, kRun1);
    EXPECT_EQ(report.summary.lastTest, kRun2);
    ASSERT_EQ(report.runs.size(), 2u);
    EXPECT_DOUBLE_EQ(report.runs[0].Share(), 0.5);
    EXPECT_DOUBLE_EQ(report.runs[1].Share(), 0.5);

    ASSERT_EQ(report.words.size(), 3u);
    // CAT and DOG each have a miss among their last five; DOG's share is lower.
    EXPECT_EQ(report.words[0].word, "DOG");
    EXPECT_EQ(report.words[1].word, "CAT");
    EXPECT_EQ(report.words[1].tries, 4); // from the record
    EXPECT_EQ(report.words[1].right, 3);
    EXPECT_DOUBLE_EQ(*report.words[1].ShareRight(), 0.75);
    EXPECT_EQ(report.words[1].lastTried, "t06");
    EXPECT_EQ(report.words[1].lastFive, (std::vector<bool>{true, true, false, true}));
    EXPECT_EQ(report.words[2].word, "SUN");
    EXPECT_EQ(report.words[2].trouble, 0);
    EXPECT_FALSE(report.words[2].ShareRight().has_value());
    EXPECT_FALSE(report.incomplete);
    EXPECT_FALSE(report.triesBeforeHistory);

    ASSERT_EQ(report.misspellings.size(), 2u);
    EXPECT_EQ(report.misspellings[0]->typed, "kat"); // newest first
    EXPECT_EQ(report.misspellings[1]->typed, "dgo");
    ASSERT_EQ(report.patterns.size(), 2u); // a swap, and k for the sound of c
}

TEST(ProgressReport, AllLessonsTakeEveryLessonsRunsAndWords)
{
    const auto report = BuildReport(kHistory, kRecord, std::nullopt);
    EXPECT_EQ(report.summary.lessons, 2);
    EXPECT_EQ(report.summary.tests, 3);
    EXPECT_EQ(report.summary.attempts, 8u);
    EXPECT_EQ(report.summary.lastTest, kRun3);
    ASSERT_EQ(report.words.size(), 4u);
    EXPECT_EQ(report.words[0].word, "ONE"); // its only answer was wrong
    EXPECT_EQ(report.words[0].lesson, "Numbers");
    EXPECT_EQ(report.historySince, "t01");
}

TEST(ProgressReport, TheHistoryIsIncompleteWhereTriesSkipOrEndBelowTheRecord)
{
    const std::vector<Attempt> history = {
        {kRun1, "t1", "Week", "CAT", "cat", true, 1},
        {kRun1, "t2", "Week", "CAT", "cat", true, 3}, // 2 missing
        {kRun1, "t3", "Week", "DOG", "dog", true, 1}, // record: 2
        {kRun1, "t4", "Week", "SUN", "sun", true, 6}, // older record
    };
    const std::vector<RecordWord> record = {
        {"Week", "CAT", 3, 2}, {"Week", "DOG", 2, 2}, {"Week", "SUN", 6, 6}, {"Week", "HAT", 4, 1}};
    const auto report = BuildReport(history, record, std::string("Week"));
    std::map<std::string, const app::progress::WordRow*> rows;
    for (const auto& row : report.words)
        rows[row.word] = &row;
    EXPECT_TRUE(rows.at("CAT")->incomplete);
    EXPECT_TRUE(rows.at("DOG")->incomplete);
    EXPECT_FALSE(rows.at("SUN")->incomplete); // tried five times before the history began
    EXPECT_FALSE(rows.at("HAT")->incomplete);
    EXPECT_TRUE(report.incomplete);
    EXPECT_TRUE(report.triesBeforeHistory);
    // Without history a word's trouble comes from the record: HAT was missed three times.
    EXPECT_EQ(report.words.front().word, "HAT");

    const auto clean = BuildReport({}, record, std::string("Week"));
    EXPECT_FALSE(clean.incomplete);
    EXPECT_TRUE(clean.triesBeforeHistory);
    EXPECT_TRUE(clean.historySince.empty());
    EXPECT_EQ(clean.summary.tests, 0);
    EXPECT_EQ(clean.summary.lessons, 1); // practised, as the record shows
}

} // namespace
