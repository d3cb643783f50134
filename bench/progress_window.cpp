// Opening the progress window on a history of 100,000 attempts (a class's worth of a
// year, or one child's many years): from the click (reading the record and the
// history) through exec() of the window to its first paint, on Qt's offscreen
// platform. The history holds 5,000 tests of 20 answers on 10 lessons of 40 words,
// about a quarter of them misspelled.
//
//   build/bench/bench_progress_window --benchmark_repetitions=15 --benchmark_report_aggregates_only=true

#include "app/PlayerRecord.h"
#include "app/TProgressWindow.h"
#include "app/progress/ProgressSource.h"
#include "platform/xml/XmlDocument.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDateTime>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

namespace {

constexpr int kAttempts = 100000;
constexpr int kAnswersPerTest = 20;
constexpr int kLessons = 10;
constexpr int kWordsPerLesson = 40;

std::string Word(int lesson, int word)
{
    static const char* const stems[] = {"TOMORROW", "BEAUTIFUL", "FRIEND", "JUMPED", "HOPE", "LIBRARY", "DOG", "HAPPY"};
    return std::string(stems[word % 8]) + std::to_string(lesson) + "X" + std::to_string(word);
}

// A misspelling of the kind children make: a letter left out, doubled or swapped.
std::string Misspell(std::string word, std::mt19937& random)
{
    const std::size_t at = random() % (word.size() - 1);
    switch (random() % 3) {
    case 0: word.erase(at, 1); break;
    case 1: word.insert(at, 1, word[at]); break;
    default: std::swap(word[at], word[at + 1]);
    }
    return word;
}

std::filesystem::path WriteFiles(std::map<std::string, std::vector<std::string>>& lessonWords)
{
    const std::filesystem::path dir = std::filesystem::current_path() / "bench-progress-window";
    std::filesystem::create_directories(dir);
    std::mt19937 random(20261208);
    std::ofstream history(dir / "Player_One.history", std::ios::binary | std::ios::trunc);
    std::map<std::pair<int, int>, std::pair<int, int>> counts; // tries, right
    QDateTime day = QDateTime::currentDateTime().addDays(-kAttempts / kAnswersPerTest);
    for (int i = 0; i < kAttempts; ++i) {
        if (i % kAnswersPerTest == 0)
            day = day.addDays(1);
        const int lesson = (i / kAnswersPerTest) % kLessons;
        const int word = static_cast<int>(random() % kWordsPerLesson);
        auto& count = counts[{lesson, word}];
        const bool right = random() % 4 != 0;
        ++count.first;
        count.second += right ? 1 : 0;
        const std::string spelled = Word(lesson, word);
        history << app::progress::AttemptToLine({day.toString(Qt::ISODateWithMs).toStdString(),
                                                 day.addSecs(i % kAnswersPerTest * 9).toString(Qt::ISODateWithMs).toStdString(),
                                                 "Week " + std::to_string(lesson), spelled,
                                                 right ? spelled : Misspell(spelled, random), right, count.first})
                << '\n';
    }
    platform::XmlDocument record;
    app::NewPlayerRecord(record, "Player_One");
    for (int lesson = 0; lesson < kLessons; ++lesson) {
        const std::string name = "Week " + std::to_string(lesson);
        for (int word = 0; word < kWordsPerLesson; ++word)
            lessonWords[name].push_back(Word(lesson, word));
        const platform::XmlNode node = app::FindOrAddLessonNode(record, name);
        app::WordList words = app::LoadWords(node, lessonWords[name]);
        for (int word = 0; word < kWordsPerLesson; ++word) {
            words[static_cast<std::size_t>(word)]->Trys = counts[{lesson, word}].first;
            words[static_cast<std::size_t>(word)]->Correct = counts[{lesson, word}].second;
        }
        app::SaveWords(node, words);
    }
    record.SaveToFile(dir / "Player_One.xml");
    return dir;
}

void BM_OpenProgressWindow(benchmark::State& state)
{
    std::map<std::string, std::vector<std::string>> lessonWords;
    const std::filesystem::path dir = WriteFiles(lessonWords);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TProgressWindow window(app::progress::LoadProgressSource("Player_One", dir / "Player_One.xml", lessonWords),
                               std::string("Week 3"));
        std::chrono::steady_clock::time_point painted;
        QObject::connect(&window, &TProgressWindow::firstPainted, &window, [&] {
            painted = std::chrono::steady_clock::now();
            window.done(0);
        });
        window.exec();
        state.SetIterationTime(std::chrono::duration<double>(painted - start).count());
        state.counters["attempts"] = static_cast<double>(window.Report().summary.attempts);
    }
    std::filesystem::remove_all(dir);
}

} // namespace

BENCHMARK(BM_OpenProgressWindow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
