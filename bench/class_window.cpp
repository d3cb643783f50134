// Opening the whole class's progress window on 30 players with 10,000 attempts each (a class
// after a long year of daily tests), local disk, warm cache: from the click through reading every
// record and history on the reading thread to the filled tables, on Qt's offscreen platform.
//
//   build/bench/bench_class_window --benchmark_repetitions=10 --benchmark_report_aggregates_only=true

#include "QtBenchmarkMain.h"

#include "app/PlayerRecord.h"
#include "app/TClassWindow.h"
#include "app/progress/AttemptHistory.h"
#include "platform/xml/XmlDocument.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

namespace {

constexpr int kPlayers = 30;
constexpr int kAttemptsEach = 10000;
constexpr int kLessons = 10;
constexpr int kWordsPerLesson = 20;
constexpr int kAnswersPerTest = 20;

using LessonWords = std::map<std::string, std::vector<std::string>>;

LessonWords MakeLessons()
{
    LessonWords lessons;
    static const char* const stems[] = {"SAID", "BECAUSE", "WHICH", "FRIEND", "THOUGHT"};
    for (int l = 0; l < kLessons; ++l)
        for (int w = 0; w < kWordsPerLesson; ++w)
            lessons["Week " + std::to_string(l)].push_back(stems[w % 5] + std::to_string(w));
    return lessons;
}

// One player's history, and the record whose counts it adds up to.
void WritePlayer(const std::filesystem::path& children, int player, const LessonWords& lessons)
{
    const std::string name = "Player_" + std::to_string(player);
    std::mt19937 random(static_cast<unsigned>(player + 1));
    std::map<std::pair<std::string, std::string>, std::pair<int, int>> counts;
    std::ofstream history(children / (name + ".history"), std::ios::binary | std::ios::trunc);
    for (int i = 0; i < kAttemptsEach; ++i) {
        const int test = i / kAnswersPerTest;
        const std::string lesson = "Week " + std::to_string(test % kLessons);
        const std::string& word = lessons.at(lesson)[random() % kWordsPerLesson];
        const bool right = random() % 4 != 0;
        auto& count = counts[{lesson, word}];
        ++count.first;
        count.second += right ? 1 : 0;
        const std::string run = "2026-" + std::to_string(1 + test / 60 % 12) + "-10T09:00:00.000+00:00";
        history << app::progress::AttemptToLine(
                       {run, run, lesson, word, right ? word : word.substr(1), right, count.first})
                << '\n';
    }
    platform::XmlDocument record;
    app::NewPlayerRecord(record, name);
    for (const auto& [lesson, words] : lessons) {
        const platform::XmlNode node = app::FindOrAddLessonNode(record, lesson);
        app::WordList list = app::LoadWords(node, words);
        for (auto& word : list) {
            word->Trys = counts[{lesson, word->Word}].first;
            word->Correct = counts[{lesson, word->Word}].second;
        }
        app::SaveWords(node, list);
    }
    record.SaveToFile(children / (name + ".xml"));
}

void BM_OpenClassWindow(benchmark::State& state)
{
    const LessonWords lessons = MakeLessons();
    const std::filesystem::path children =
        std::filesystem::current_path() / "bench-class-window" / "Children";
    std::filesystem::create_directories(children);
    for (int p = 0; p < kPlayers; ++p)
        WritePlayer(children, p, lessons);
    for (auto _ : state) {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        TClassWindow window(children, lessons, std::string("Week 3"));
        Clock::time_point shown;
        QObject::connect(&window, &TClassWindow::classRead, &window, [&] {
            shown = Clock::now();
            window.done(0);
        });
        window.exec();
        state.SetIterationTime(std::chrono::duration<double>(shown - start).count());
        state.counters["players"] = static_cast<double>(window.Report().players.size());
    }
    std::filesystem::remove_all(children.parent_path());
}

} // namespace

BENCHMARK(BM_OpenClassWindow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
