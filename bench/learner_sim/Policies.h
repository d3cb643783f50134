#pragma once

// The five ways of practising the simulator compares (docs/LEARNER_SIM.md). Each runs
// the tutor's own draw, drills, retests and plan on one child, from day 0 to the day
// before the test, and leaves the child's memory as it stands on the test day.

#include "ChildRun.h"

#include <string>

namespace learner_sim {

enum class Policy { Baseline, DrawRecall, PlanRecall, LeitnerRecall, CramRecall, PlanThenDrawRecall };
inline constexpr int kPolicies = 6;
const char* PolicyName(Policy policy);

// Runs the policy; `baselineSeconds` is what the baseline used for this child (the
// crammed policy spends as much). Returns the seconds spent.
double RunPolicy(Policy policy, const ChildSetup& setup, Memory& memory, double baselineSeconds);

} // namespace learner_sim
