#pragma once

// The simulator's figures for one model: the table by cell and policy, and the summary
// line that compares the plan with the baseline, with a paired bootstrap interval.

#include "Grid.h"

#include <string>
#include <vector>

namespace learner_sim {

struct Summary {
    double forgottenVsBaseline = 0; // relative change, e.g. -0.31
    double low = 0, high = 0;       // its 95 % interval
    double worstCellPp = 0;
    double vsLeitnerPp = 0;
    double minutesVsBaseline = 0;
};

// Recall of the words not known at the start, per policy, over the given cells.
double RecallOf(const std::vector<CellResult>& cells, Policy policy);
Summary Summarize(const std::vector<CellResult>& cells, Policy policy, int bootstrapReps);
std::string TableLines(const std::string& model, const std::vector<CellResult>& cells);
std::string SummaryLine(const std::string& model, const Summary& summary);

} // namespace learner_sim
