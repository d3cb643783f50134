// The simulator's figures: the grid, and the summary that compares a policy with the
// baseline, on outcomes made up so that every figure can be worked out by hand.

#include "Grid.h"
#include "Report.h"

#include <gtest/gtest.h>

namespace {

using namespace learner_sim;

// A child with `unknown` words not known at the start and, per policy, the words it
// forgot of them and the seconds it spent.
ChildOutcomes Child(int unknown, std::array<double, kPolicies> forgotten, double seconds = 60)
{
    ChildOutcomes child;
    child.unknownWords = unknown;
    for (int p = 0; p < kPolicies; ++p)
        child.policies[static_cast<std::size_t>(p)] = {forgotten[static_cast<std::size_t>(p)], seconds};
    return child;
}

TEST(ReportTest, SummaryComparesForgottenWordsRecallAndMinutesWithTheBaseline)
{
    // Policies: baseline, draw_recall, plan_recall, leitner_recall, cram_recall, plan_then_draw.
    std::vector<CellResult> cells = {
        {{10, 3, 5}, {Child(10, {4, 3, 2, 3, 4, 2}), Child(10, {4, 3, 2, 3, 4, 2})}},
        {{10, 7, 5}, {Child(10, {2, 2, 3, 1, 2, 1}), Child(10, {2, 2, 3, 1, 2, 1})}},
    };
    cells[1].children[0].policies[2].seconds = 30; // the plan spends less there
    // Forgotten: baseline 12 of 40 words, plan 10: -16.7 %. Recall in the first cell
    // 0.6 -> 0.8 (+20 points), in the second 0.8 -> 0.7 (-10); against Leitner
    // (8 forgotten) the plan is 5 points behind; minutes 210 against 240.
    const Summary summary = Summarize(cells, Policy::PlanRecall, 200);
    EXPECT_NEAR(summary.forgottenVsBaseline, 10.0 / 12 - 1, 1e-12);
    EXPECT_NEAR(summary.worstCellPp, -10, 1e-9);
    EXPECT_NEAR(summary.vsLeitnerPp, -5, 1e-9);
    EXPECT_NEAR(summary.minutesVsBaseline, 210.0 / 240, 1e-12);
    // Alike children in each cell: every resample gives the same figure.
    EXPECT_NEAR(summary.low, summary.forgottenVsBaseline, 1e-12);
    EXPECT_NEAR(summary.high, summary.forgottenVsBaseline, 1e-12);
    EXPECT_NEAR(RecallOf(cells, Policy::Baseline), 0.7, 1e-12);

    EXPECT_EQ(SummaryLine("actr", {-0.31, -0.352, -0.271, -0.8, 0.4, 0.92}),
              "model=actr forgotten_vs_baseline=-31.0% [-35.2,-27.1] worst_cell_pp=-0.8 vs_leitner_pp=+0.4 "
              "minutes_vs_baseline=0.92");
    const std::string table = TableLines("fsrs6", cells);
    EXPECT_NE(table.find("cell model=fsrs6 words=10 days=3 cap=5 recall baseline=0.600 draw_recall=0.700 "
                         "plan_recall=0.800"),
              std::string::npos)
        << table;
}

TEST(ReportTest, DifferentChildrenGiveAnIntervalAroundTheEstimate)
{
    std::vector<CellResult> cells = {{{10, 3, 5}, {}}};
    for (int child = 0; child < 40; ++child) {
        const double base = 2 + child % 5;
        cells[0].children.push_back(Child(10, {base, base, base - 1 - child % 2, base, base, base}));
    }
    const Summary summary = Summarize(cells, Policy::PlanRecall, 500);
    EXPECT_LT(summary.low, summary.forgottenVsBaseline);
    EXPECT_GT(summary.high, summary.forgottenVsBaseline);
    EXPECT_LT(summary.high, 0);
}

TEST(GridTest, TheGridsCellsAndAChildsOutcomesAreInRange)
{
    EXPECT_EQ(GridCells(false).size(), 24u);
    EXPECT_EQ(GridCells(true).size(), 4u);
    const CellResult cell = RunCell({ModelSpec::Kind::Fsrs6, 0, false}, {10, 3, 5}, 0, 3);
    ASSERT_EQ(cell.children.size(), 3u);
    for (const ChildOutcomes& child : cell.children)
        for (const Outcome& outcome : child.policies) {
            EXPECT_GE(outcome.forgotten, 0.0);
            EXPECT_LE(outcome.forgotten, child.unknownWords);
            EXPECT_GT(outcome.seconds, 0.0);
        }
}

} // namespace
