// A simulated class learning a spelling lesson under each way of practising the tutor
// offers; docs/LEARNER_SIM.md says what it models and how to read its figures.
//
//   learner_sim [--quick] [--children N] [--threads N]

#include "Grid.h"
#include "Report.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace learner_sim;

struct Options {
    bool quick = false;
    int children = 500;
    int threads = 2;
    int bootstrapReps = 1000;
};

Options ParseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            options.quick = true;
            options.children = 40;
            options.bootstrapReps = 200;
        } else if (std::strcmp(argv[i], "--children") == 0 && i + 1 < argc) {
            options.children = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            options.threads = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: learner_sim [--quick] [--children N] [--threads N]\n");
            std::exit(2);
        }
    }
    return options;
}

std::vector<ModelSpec> Models(bool copyIsRetrieval)
{
    std::vector<ModelSpec> models;
    for (const double h : {0.01, 0.025, 0.1, 1.0})
        models.push_back({ModelSpec::Kind::ActR, h, copyIsRetrieval});
    models.push_back({ModelSpec::Kind::Fsrs6, 0, copyIsRetrieval});
    return models;
}

// Every (model, cell) on the worker threads; results[model][cell].
std::vector<std::vector<CellResult>> RunAll(const std::vector<ModelSpec>& models,
                                            const std::vector<Cell>& cells, const Options& options)
{
    std::vector<std::vector<CellResult>> results(models.size(), std::vector<CellResult>(cells.size()));
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t task; (task = next++) < models.size() * cells.size();) {
            const std::size_t model = task / cells.size();
            const std::size_t cell = task % cells.size();
            results[model][cell] =
                RunCell(models[model], cells[cell], static_cast<int>(cell), options.children);
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < options.threads; ++i)
        workers.emplace_back(work);
    for (std::thread& worker : workers)
        worker.join();
    return results;
}

bool MeetsTargets(const Summary& s)
{
    return s.forgottenVsBaseline <= -0.25 && s.high < 0 && s.worstCellPp >= -2 && s.vsLeitnerPp >= -1 &&
           s.minutesVsBaseline <= 1;
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv);
    const auto start = std::chrono::steady_clock::now();
    const std::vector<Cell> cells = GridCells(options.quick);
    const std::vector<ModelSpec> models = Models(false);
    const std::vector<ModelSpec> sensitivity = Models(true);
    std::vector<ModelSpec> all = models;
    all.insert(all.end(), sensitivity.begin(), sensitivity.end());
    const auto results = RunAll(all, cells, options);

    std::printf("learner_sim grid=%s cells=%zu children_per_cell=%d bootstrap=%d\n",
                options.quick ? "quick" : "full", cells.size(), options.children, options.bootstrapReps);
    std::vector<std::string> finalLines;
    std::string verdict;
    for (std::size_t m = 0; m < all.size(); ++m) {
        const bool sensitive = m >= models.size();
        const std::string name = all[m].Name();
        if (!sensitive)
            std::fputs(TableLines(name, results[m]).c_str(), stdout);
        for (int p = 1; p < kPolicies; ++p) {
            const auto policy = static_cast<Policy>(p);
            const Summary summary =
                Summarize(results[m], policy, policy == Policy::PlanRecall ? options.bootstrapReps : 100);
            std::printf("%spolicy=%s recall=%.3f baseline_recall=%.3f %s\n",
                        sensitive ? "sensitivity=copy_is_retrieval " : "summary ", PolicyName(policy),
                        RecallOf(results[m], policy), RecallOf(results[m], Policy::Baseline),
                        SummaryLine(name, summary).c_str());
            if (policy == Policy::PlanRecall && !sensitive) {
                finalLines.push_back(SummaryLine(name, summary));
                verdict += " " + name + (MeetsTargets(summary) ? "=met" : "=short");
            }
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("elapsed_seconds=%.1f threads=%d\n", seconds, options.threads);
    std::printf("targets%s\n", verdict.c_str());
    for (const std::string& line : finalLines)
        std::printf("%s\n", line.c_str());
    return 0;
}
