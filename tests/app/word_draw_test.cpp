// The draw and the drill rules as plain code: the draw's ceiling and pick list at their edges,
// and the steps of both drills. The words the draw gives, in their order, are pinned through
// the window in test_run_test.cpp (TheWeightedDrawIsPinnedBySeedCountsAndListOrder).

#include "app/learning/PracticeDrill.h"
#include "app/learning/RetestQueue.h"
#include "app/learning/WordDraw.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace app::learning;

TEST(WordDrawTest, CeilingAndPickList)
{
    struct Row {
        std::vector<std::int32_t> correct;
        std::int32_t ceiling;
        std::uint64_t entries;
    };
    const Row rows[] = {
        {{}, 2002, 0}, {{0, 1}, 2, 3}, {{2, 3}, 4, 3}, {{1}, 2, 1}, {{2001, 2005}, 2002, 1}, {{-3, 0}, 0, 3},
    };
    for (const Row& row : rows) {
        const std::int32_t ceiling = ComputeDrawCeiling(row.correct);
        EXPECT_EQ(ceiling, row.ceiling);
        EXPECT_EQ(PickListEntries(row.correct, ceiling), row.entries);
    }
    DrawRandom random(0);
    EXPECT_EQ(random.Position(8), 0u);
    EXPECT_EQ(random.Seed(), 1u);
    EXPECT_EQ(DrawWord(std::vector<std::int32_t>{5}, 2, random), std::nullopt);
}

TEST(PracticeDrillTest, CopyDrillOpensOneBoxPerRightCopy)
{
    CopyDrill drill;
    EXPECT_FALSE(drill.Judge(1, "CAT", "CAT")); // not open yet
    EXPECT_FALSE(drill.Judge(0, "KAT", "CAT"));
    EXPECT_TRUE(drill.Judge(0, "cat", "CAT"));
    EXPECT_EQ(drill.OpenBoxes(), 2);
    EXPECT_TRUE(drill.Judge(0, "cat", "CAT")); // judged again, nothing more opens
    EXPECT_EQ(drill.OpenBoxes(), 2);
    EXPECT_TRUE(drill.Judge(1, " CAT ", "CAT"));
    EXPECT_FALSE(drill.Done());
    EXPECT_TRUE(drill.Judge(2, "CAT", "CAT"));
    EXPECT_TRUE(drill.Done());

    EXPECT_EQ(BoxToFocus(false, false, false), 0);
    EXPECT_EQ(BoxToFocus(true, false, false), 1);
    EXPECT_EQ(BoxToFocus(true, true, false), 2);
    EXPECT_EQ(BoxToFocus(false, false, true), 2);
}

TEST(PracticeDrillTest, RecallDrillLooksCoversChecksAndEndsOnACopyAfterThreeMisses)
{
    RecallDrill right;
    EXPECT_FALSE(right.Check("CAT", "CAT")); // the word is still in view
    right.Ready();
    right.ShowMeAgain();
    EXPECT_EQ(right.CurrentStep(), RecallDrill::Step::Look);
    right.Ready();
    EXPECT_TRUE(right.Check("cat", "CAT"));
    EXPECT_EQ(right.CurrentStep(), RecallDrill::Step::Done);
    EXPECT_FALSE(right.Tricky());

    RecallDrill missed;
    for (int miss = 1; miss <= 3; ++miss) {
        missed.Ready();
        EXPECT_FALSE(missed.Check("KAT", "CAT"));
        EXPECT_EQ(missed.Misses(), miss);
    }
    EXPECT_EQ(missed.CurrentStep(), RecallDrill::Step::Copy);
    EXPECT_TRUE(missed.Tricky());
    EXPECT_FALSE(missed.CheckCopy("KAT", "CAT"));
    EXPECT_TRUE(missed.CheckCopy("CAT", "CAT"));
    EXPECT_EQ(missed.CurrentStep(), RecallDrill::Step::Done);
}

TEST(PracticeDrillTest, RetestsWaitForFourOtherAnswersOrTheRunsEnd)
{
    RetestQueue queue(6);
    queue.Answered();
    queue.Missed("CAT");
    queue.Missed("CAT"); // once only
    for (int other = 0; other < 3; ++other) {
        queue.Answered();
        EXPECT_EQ(queue.TakeDue(), std::nullopt);
    }
    queue.Answered();
    EXPECT_EQ(queue.TakeDue(), "CAT");
    EXPECT_TRUE(queue.Empty());

    RetestQueue shortLesson(4);
    shortLesson.Answered();
    shortLesson.Missed("DOG");
    for (int other = 0; other < 8; ++other)
        shortLesson.Answered();
    EXPECT_EQ(shortLesson.TakeDue(), std::nullopt);
    EXPECT_EQ(shortLesson.TakeAny(), "DOG");
    EXPECT_EQ(shortLesson.TakeAny(), std::nullopt);
}

} // namespace
