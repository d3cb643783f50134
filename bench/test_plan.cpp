// Start Test with a test date: reading a history of 100,000 answers and computing the
// day's plan from it. The history holds a year of daily sessions over 10 lessons of
// 40 words, a quarter of the answers wrong; the plan is made for one of the lessons.
//
//   build/bench/bench_test_plan --benchmark_repetitions=9 --benchmark_report_aggregates_only=true

#include "app/learning/TestPlan.h"
#include "app/progress/AttemptHistory.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

using app::learning::Day;

constexpr int kAttempts = 100000;
constexpr int kLessons = 10;
constexpr int kWordsPerLesson = 40;
const Day kToday = *app::learning::DayOfDate("2026-12-10");

std::string Word(int lesson, int word)
{
    return "WORD" + std::to_string(lesson) + "X" + std::to_string(word);
}

std::filesystem::path WriteHistory()
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "bench-test-plan.history";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937 random(7);
    for (int i = 0; i < kAttempts; ++i) {
        const Day day = kToday - 365 + i * 365 / kAttempts;
        const int lesson = static_cast<int>(random() % kLessons);
        const std::string word = Word(lesson, static_cast<int>(random() % kWordsPerLesson));
        const std::string stamp = app::learning::DateOfDay(day) + "T17:00:00.000+01:00";
        const bool right = random() % 4 != 0;
        out << app::progress::AttemptToLine(
                   {stamp, stamp, "Lesson" + std::to_string(lesson), word, right ? word : "X", right, i})
            << '\n';
    }
    return path;
}

void BM_PlanOnStartTest(benchmark::State& state)
{
    const std::filesystem::path path = WriteHistory();
    std::vector<std::string> lessonWords;
    for (int word = 0; word < kWordsPerLesson; ++word)
        lessonWords.push_back(Word(3, word));
    for (auto _ : state) {
        const app::progress::History history = app::progress::ReadHistory(path);
        auto plan = app::learning::MakeTestPlan(history.attempts, "Lesson3", lessonWords, kToday + 5, kToday);
        benchmark::DoNotOptimize(plan);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_PlanOnStartTest)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
