#include "Grid.h"

#include "Streams.h"

namespace learner_sim {

namespace {

constexpr double kTestHour = 9 * 3600.0;

ChildSetup MakeChild(const Cell& cell, int cellIndex, int child)
{
    ChildSetup setup;
    setup.key = Key({static_cast<std::uint64_t>(cellIndex), static_cast<std::uint64_t>(child)});
    setup.words = cell.words;
    setup.daysToTest = cell.daysToTest;
    setup.capSeconds = cell.capMinutes * 60.0;
    const double childOffset = Normal(Key({setup.key, 0xC41D}), 0.5);
    const double knownShare = 0.5 * Uniform(Key({setup.key, 0x4B0}));
    for (int word = 0; word < cell.words; ++word) {
        const auto w = static_cast<std::uint64_t>(word);
        setup.offsets.push_back(childOffset + Normal(Key({setup.key, 0x3012D, w}), 0.5));
        setup.known.push_back(Uniform(Key({setup.key, 0x4B0, w})) < knownShare);
    }
    return setup;
}

} // namespace

std::vector<Cell> GridCells(bool quick)
{
    std::vector<Cell> cells;
    const std::vector<int> lengths = quick ? std::vector<int>{10, 20} : std::vector<int>{10, 15, 20};
    const std::vector<int> days = quick ? std::vector<int>{3, 7} : std::vector<int>{3, 5, 7, 10};
    const std::vector<int> caps = quick ? std::vector<int>{5} : std::vector<int>{5, 10};
    for (const int length : lengths)
        for (const int day : days)
            for (const int cap : caps)
                cells.push_back({length, day, cap});
    return cells;
}

CellResult RunCell(const ModelSpec& model, const Cell& cell, int cellIndex, int children)
{
    CellResult result{cell, {}};
    result.children.reserve(static_cast<std::size_t>(children));
    for (int child = 0; child < children; ++child) {
        const ChildSetup setup = MakeChild(cell, cellIndex, child);
        ChildOutcomes outcomes;
        for (const bool known : setup.known)
            outcomes.unknownWords += known ? 0 : 1;
        double baselineSeconds = 0;
        for (int p = 0; p < kPolicies; ++p) {
            const auto memory = MakeMemory(model, setup.offsets, setup.known);
            Outcome& outcome = outcomes.policies[static_cast<std::size_t>(p)];
            outcome.seconds = RunPolicy(static_cast<Policy>(p), setup, *memory, baselineSeconds);
            if (p == 0)
                baselineSeconds = outcome.seconds;
            const double testTime = cell.daysToTest * 86400.0 + kTestHour;
            for (int word = 0; word < cell.words; ++word)
                if (!setup.known[static_cast<std::size_t>(word)])
                    outcome.forgotten += 1.0 - memory->Recall(word, testTime);
        }
        result.children.push_back(outcomes);
    }
    return result;
}

} // namespace learner_sim
