// Appending one judged answer to the attempt history, as the window does after each
// record save: open, lock, check the last byte, write the line, flush it to disk
// (fsync), close. The file lives in the current folder's disk, not in /tmp, so the
// flush is a real one, and it grows as a child's history does.
//
//   build/bench/bench_history_append --benchmark_repetitions=20 --benchmark_report_aggregates_only=true

#include "app/progress/AttemptHistory.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

void BM_AppendAttempt(benchmark::State& state)
{
    const std::filesystem::path dir = std::filesystem::current_path() / "bench-history-append";
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "Player_One.history";
    app::progress::Attempt attempt{
        app::progress::LocalTimestampNow(), {}, "Week 3", "TOMORROW", "tommorow", false, 0};
    for (auto _ : state) {
        attempt.time = app::progress::LocalTimestampNow();
        ++attempt.tries;
        app::progress::AppendAttempt(file, attempt);
    }
    state.counters["file_KiB"] = static_cast<double>(std::filesystem::file_size(file)) / 1024.0;
    std::filesystem::remove_all(dir);
}

} // namespace

BENCHMARK(BM_AppendAttempt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
