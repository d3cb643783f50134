#include "Report.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace learner_sim {

namespace {

struct Totals {
    double forgotten[kPolicies] = {};
    double seconds[kPolicies] = {};
    double unknown = 0;

    void Add(const ChildOutcomes& child)
    {
        unknown += child.unknownWords;
        for (int p = 0; p < kPolicies; ++p) {
            forgotten[p] += child.policies[static_cast<std::size_t>(p)].forgotten;
            seconds[p] += child.policies[static_cast<std::size_t>(p)].seconds;
        }
    }
    double Recall(Policy policy) const
    {
        return unknown > 0 ? 1.0 - forgotten[static_cast<int>(policy)] / unknown : 1.0;
    }
};

Totals TotalsOf(const CellResult& cell)
{
    Totals totals;
    for (const ChildOutcomes& child : cell.children)
        totals.Add(child);
    return totals;
}

Totals TotalsOf(const std::vector<CellResult>& cells)
{
    Totals totals;
    for (const CellResult& cell : cells)
        for (const ChildOutcomes& child : cell.children)
            totals.Add(child);
    return totals;
}

double ForgottenChange(const Totals& totals, Policy policy)
{
    const double base = totals.forgotten[static_cast<int>(Policy::Baseline)];
    return base > 0 ? totals.forgotten[static_cast<int>(policy)] / base - 1.0 : 0.0;
}

// Children resampled within each cell, the same draw for every policy (paired).
std::pair<double, double> BootstrapInterval(const std::vector<CellResult>& cells, Policy policy, int reps)
{
    std::mt19937_64 random(20261210);
    std::vector<double> changes;
    for (int rep = 0; rep < reps; ++rep) {
        Totals totals;
        for (const CellResult& cell : cells) {
            std::uniform_int_distribution<std::size_t> pick(0, cell.children.size() - 1);
            for (std::size_t i = 0; i < cell.children.size(); ++i)
                totals.Add(cell.children[pick(random)]);
        }
        changes.push_back(ForgottenChange(totals, policy));
    }
    std::sort(changes.begin(), changes.end());
    const auto at = [&](double q) { return changes[static_cast<std::size_t>(q * (changes.size() - 1))]; };
    return {at(0.025), at(0.975)};
}

} // namespace

double RecallOf(const std::vector<CellResult>& cells, Policy policy)
{
    return TotalsOf(cells).Recall(policy);
}

Summary Summarize(const std::vector<CellResult>& cells, Policy policy, int bootstrapReps)
{
    const Totals totals = TotalsOf(cells);
    Summary summary;
    summary.forgottenVsBaseline = ForgottenChange(totals, policy);
    std::tie(summary.low, summary.high) = BootstrapInterval(cells, policy, bootstrapReps);
    summary.worstCellPp = 1e9;
    for (const CellResult& cell : cells) {
        const Totals own = TotalsOf(cell);
        summary.worstCellPp =
            std::min(summary.worstCellPp, 100 * (own.Recall(policy) - own.Recall(Policy::Baseline)));
    }
    summary.vsLeitnerPp = 100 * (totals.Recall(policy) - totals.Recall(Policy::LeitnerRecall));
    const double baseSeconds = totals.seconds[static_cast<int>(Policy::Baseline)];
    summary.minutesVsBaseline = baseSeconds > 0 ? totals.seconds[static_cast<int>(policy)] / baseSeconds : 0;
    return summary;
}

std::string TableLines(const std::string& model, const std::vector<CellResult>& cells)
{
    std::string out;
    char line[512];
    for (const CellResult& cell : cells) {
        const Totals totals = TotalsOf(cell);
        const double children = static_cast<double>(cell.children.size());
        int n = std::snprintf(line, sizeof line, "cell model=%s words=%d days=%d cap=%d recall",
                              model.c_str(), cell.cell.words, cell.cell.daysToTest, cell.cell.capMinutes);
        for (int p = 0; p < kPolicies; ++p)
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), " %s=%.3f",
                               PolicyName(static_cast<Policy>(p)), totals.Recall(static_cast<Policy>(p)));
        n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), " minutes");
        for (int p = 0; p < kPolicies; ++p)
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), " %s=%.1f",
                               PolicyName(static_cast<Policy>(p)), totals.seconds[p] / 60 / children);
        out += line;
        out += '\n';
    }
    return out;
}

std::string SummaryLine(const std::string& model, const Summary& summary)
{
    char line[256];
    std::snprintf(
        line, sizeof line,
        "model=%s forgotten_vs_baseline=%+.1f%% [%+.1f,%+.1f] worst_cell_pp=%+.1f vs_leitner_pp=%+.1f "
        "minutes_vs_baseline=%.2f",
        model.c_str(), 100 * summary.forgottenVsBaseline, 100 * summary.low, 100 * summary.high,
        summary.worstCellPp, summary.vsLeitnerPp, summary.minutesVsBaseline);
    return line;
}

} // namespace learner_sim
