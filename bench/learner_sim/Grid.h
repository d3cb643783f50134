#pragma once

// The grid of the simulated class: its cells, its children, and what each child
// recalled on the test day under each policy.

#include "Memory.h"
#include "Policies.h"

#include <array>
#include <vector>

namespace learner_sim {

struct Cell {
    int words;
    int daysToTest;
    int capMinutes;
};

// One child's outcome under one policy.
struct Outcome {
    double forgotten = 0; // sum over the words not known at the start of (1 - recall)
    double seconds = 0;
};

struct ChildOutcomes {
    int unknownWords = 0;
    std::array<Outcome, kPolicies> policies;
};

struct CellResult {
    Cell cell;
    std::vector<ChildOutcomes> children;
};

std::vector<Cell> GridCells(bool quick);
// Every child of the cell under every policy, in one model.
CellResult RunCell(const ModelSpec& model, const Cell& cell, int cellIndex, int children);

} // namespace learner_sim
