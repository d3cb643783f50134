// The simulated class's parts: the two memory models against figures worked out by hand
// from their published equations, and a simulated child's answers, drills and minutes.

#include "ChildRun.h"
#include "Memory.h"
#include "Policies.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace learner_sim;

constexpr double kDay = 86400;

std::unique_ptr<Memory> OneWord(ModelSpec spec, double offset = 0, bool known = false)
{
    return MakeMemory(spec, {offset}, {known});
}

TEST(ActrMemoryTest, TracesDecayByTheirOwnActivationAndSessionsApartCountHTimes)
{
    const ModelSpec actr{ModelSpec::Kind::ActR, 0.025, false};
    auto memory = OneWord(actr);
    memory->StartSession(0);
    EXPECT_EQ(memory->Recall(0, 0), 0.0); // never seen
    memory->Retrieval(0, 0, false);       // a failed retrieval lays no trace
    EXPECT_EQ(memory->Recall(0, 0), 0.0);
    memory->Study(0, 0);
    EXPECT_NEAR(memory->Recall(0, 100), 0.386877, 1e-6); // d = a after 100 s
    memory->Study(0, 100);                               // d = c exp(m) + a = 0.27304
    EXPECT_NEAR(memory->Recall(0, 200), 0.774349, 1e-6);

    auto apart = OneWord(actr);
    apart->StartSession(0);
    apart->Study(0, 0);
    apart->EndSession(100);
    apart->StartSession(100 + kDay); // a day between counts as 2160 s
    EXPECT_NEAR(apart->Recall(0, 100 + kDay), 0.064890, 1e-6);

    // Copies lay traces in the sensitivity run only; a known word starts remembered.
    auto copied = OneWord(actr);
    copied->Copy(0, 0);
    EXPECT_EQ(copied->Recall(0, 10), 0.0);
    auto copiedAsRetrieval = OneWord({ModelSpec::Kind::ActR, 0.025, true});
    copiedAsRetrieval->Copy(0, 0);
    EXPECT_GT(copiedAsRetrieval->Recall(0, 10), 0.0);
    EXPECT_GT(OneWord(actr, 0, true)->Recall(0, 17 * 3600), 0.3);
    EXPECT_EQ(actr.Name(), "actr_h0.025");
}

TEST(FsrsMemoryTest, StabilityIsTheDaysToNinetyPercentAfterEachReview)
{
    const ModelSpec fsrs{ModelSpec::Kind::Fsrs6, 0, false};
    EXPECT_EQ(OneWord(fsrs)->Recall(0, 0), 0.0);
    EXPECT_EQ(OneWord(fsrs, 0, true)->Recall(0, 0), 0.9); // known, not yet reviewed
    struct Case {
        double offset;
        std::vector<std::pair<double, bool>> reviews; // (second, right)
        double ninetyAt;                              // in days
    };
    const Case cases[] = {
        {0, {{0, true}}, 2.3065}, // S0 = w2
        // The same day, right: S stays (the factor is below 1).
        {0, {{0, true}, {600, true}}, 600 / kDay + 2.3065},
        {0, {{0, true}, {2 * kDay, true}}, 2 + 10.964332}, // two days on, R = 0.90949
        {0, {{0, true}, {2 * kDay, false}}, 2 + 0.607580}, // a lapse
        {0.5, {{0, false}}, 0.212 * std::exp(0.5)},        // S0 = w0 scaled by the offsets
    };
    for (const Case& c : cases) {
        auto memory = OneWord(fsrs, c.offset);
        for (const auto& [second, right] : c.reviews)
            memory->Retrieval(0, second, right);
        EXPECT_NEAR(memory->Recall(0, c.ninetyAt * kDay), 0.9, 1e-6) << c.ninetyAt;
    }
    auto copied = OneWord({ModelSpec::Kind::Fsrs6, 0, true});
    copied->Copy(0, 0);
    EXPECT_NEAR(copied->Recall(0, 2.3065 * kDay), 0.9, 1e-9);
}

TEST(ChildRunTest, AMissCostsItsDrillAndWritesTheHistoryAsTheTutorDoes)
{
    const ChildSetup setup{.words = 1, .offsets = {0}, .known = {false}};
    const ModelSpec fsrs{ModelSpec::Kind::Fsrs6, 0, false};

    auto copyMemory = MakeMemory(fsrs, setup.offsets, setup.known);
    ChildRun copying(setup, *copyMemory, false);
    copying.StartDay(0, 300);
    EXPECT_FALSE(copying.Ask(0, false)); // never seen: wrong
    EXPECT_EQ(copying.TotalSeconds(), 12 + 3 * 6);
    ASSERT_EQ(copying.history.size(), 1u);
    EXPECT_EQ(copying.history[0].phase, "");
    EXPECT_EQ(copying.history[0].tries, 1);
    EXPECT_EQ(copying.correct[0], 0);

    auto recallMemory = MakeMemory(fsrs, setup.offsets, setup.known);
    ChildRun recalling(setup, *recallMemory, true);
    recalling.StartDay(0, 300);
    EXPECT_FALSE(recalling.Ask(0, false));
    EXPECT_EQ(recalling.TotalSeconds(), 12 + 15); // right when covered, seconds after the miss
    ASSERT_EQ(recalling.history.size(), 2u);
    EXPECT_EQ(recalling.history[1].phase, "drill");
    EXPECT_TRUE(recalling.history[1].right);
    EXPECT_TRUE(recalling.Ask(0, true)); // a retest counts in the history only
    EXPECT_EQ(recalling.history.back().phase, "retest");
    EXPECT_EQ(recalling.correct[0], 0);
    EXPECT_FALSE(recalling.CapReached());
}

TEST(PoliciesTest, EachPolicyKeepsToItsMinutes)
{
    const ChildSetup setup{.key = Key({1, 2}),
                           .words = 6,
                           .daysToTest = 3,
                           .capSeconds = 120,
                           .offsets = std::vector<double>(6, 0.0),
                           .known = {true, false, true, false, false, false}};
    const ModelSpec actr{ModelSpec::Kind::ActR, 0.025, false};
    const auto spend = [&](Policy policy, double budget) {
        auto memory = MakeMemory(actr, setup.offsets, setup.known);
        return RunPolicy(policy, setup, *memory, budget);
    };
    const double baseline = spend(Policy::Baseline, 0);
    // Each day stops at the cap, finishing the question under way and its drill.
    EXPECT_GE(baseline, 3 * 120.0);
    EXPECT_LE(baseline, 3 * (120.0 + 30));
    const double crammed = spend(Policy::CramRecall, baseline);
    EXPECT_GE(crammed, baseline);
    EXPECT_LE(crammed, baseline + 12 + 3 * 15 + 6);
    for (const Policy policy : {Policy::PlanRecall, Policy::LeitnerRecall, Policy::PlanThenDrawRecall}) {
        const double seconds = spend(policy, 0);
        EXPECT_GT(seconds, 0) << PolicyName(policy);
        EXPECT_LE(seconds, 3 * (120.0 + 12 + 3 * 15 + 6)) << PolicyName(policy);
    }
    EXPECT_STREQ(PolicyName(Policy::PlanThenDrawRecall), "plan_then_draw_recall");
    // The same child meets the same luck: a policy run twice spends the same.
    EXPECT_EQ(spend(Policy::DrawRecall, 0), spend(Policy::DrawRecall, 0));
}

TEST(StreamsTest, NumbersFollowTheirKeys)
{
    EXPECT_EQ(Uniform(Key({1, 2, 3})), Uniform(Key({1, 2, 3})));
    EXPECT_NE(Uniform(Key({1, 2, 3})), Uniform(Key({1, 2, 4})));
    double sum = 0;
    for (std::uint64_t i = 0; i < 1000; ++i) {
        const double u = Uniform(Key({i}));
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        sum += u;
    }
    EXPECT_NEAR(sum / 1000, 0.5, 0.05);
}

} // namespace
