// Opening the progress window on a history of 100,000 attempts (a class's worth of a
// year, or one child's many years): from the click (reading the record and the
// history) through exec() of the window to its first paint, on Qt's offscreen
// platform. The history holds 5,000 tests of 20 answers on 10 lessons of 40 words,
// about a quarter of them misspelled.
//
// And reading a 50 MB history that has no line end.
//
//   build/bench/bench_progress_window --benchmark_repetitions=15 --benchmark_report_aggregates_only=true

#include "QtBenchmarkMain.h"

#include "app/PlayerRecord.h"
#include "app/TProgressWindow.h"
#include "app/progress/ProgressSource.h"
#include "platform/xml/XmlDocument.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDate>

#include <chrono>
#include <cstdio>
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
    static const char* const stems[] = {"TOMORROW", "BEAUTIFUL", "FRIEND", "JUMPED",
                                        "HOPE",     "LIBRARY",   "DOG",    "HAPPY"};
    return std::string(stems[word % 8]) + std::to_string(lesson) + "X" + std::to_string(word);
}

// A misspelling of the kind children make: a letter left out, doubled or swapped.
std::string Misspell(std::string word, std::mt19937& random)
{
    const std::size_t at = random() % (word.size() - 1);
    switch (random() % 3) {
    case 0:
        word.erase(at, 1);
        break;
    case 1:
        word.insert(at, 1, word[at]);
        break;
    default:
        std::swap(word[at], word[at + 1]);
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
    // One test a day, the newest today; its answers nine seconds apart.
    const qint64 firstDay = QDate::currentDate().toJulianDay() - kAttempts / kAnswersPerTest;
    std::string day;
    for (int i = 0; i < kAttempts; ++i) {
        if (i % kAnswersPerTest == 0)
            day = QDate::fromJulianDay(firstDay + i / kAnswersPerTest).toString(Qt::ISODate).toStdString();
        const int lesson = (i / kAnswersPerTest) % kLessons;
        const int word = static_cast<int>(random() % kWordsPerLesson);
        auto& count = counts[{lesson, word}];
        const bool right = random() % 4 != 0;
        ++count.first;
        count.second += right ? 1 : 0;
        const std::string spelled = Word(lesson, word);
        const int second = i % kAnswersPerTest * 9;
        char time[32];
        std::snprintf(time, sizeof time, "T10:%02d:%02d.000+01:00", second / 60, second % 60);
        history << app::progress::AttemptToLine(
                       {day + "T10:00:00.000+01:00", day + time, "Week " + std::to_string(lesson), spelled,
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
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        auto source = app::progress::LoadProgressSource("Player_One", dir / "Player_One.xml", lessonWords);
        const auto read = Clock::now();
        TProgressWindow window(std::move(source), std::string("Week 3"));
        const auto built = Clock::now();
        Clock::time_point painted;
        QObject::connect(&window, &TProgressWindow::firstPainted, &window, [&] {
            painted = Clock::now();
            window.done(0);
        });
        window.exec();
        state.SetIterationTime(std::chrono::duration<double>(painted - start).count());
        // Where the time goes: reading the files, building the window, showing it.
        auto ms = [](auto from, auto to) {
            return std::chrono::duration<double, std::milli>(to - from).count();
        };
        state.counters["read_ms"] = ms(start, read);
        state.counters["build_ms"] = ms(read, built);
        state.counters["show_ms"] = ms(built, painted);
        state.counters["lesson_attempts"] = static_cast<double>(window.Report().summary.attempts);
    }
    std::filesystem::remove_all(dir);
}

// Reading a 50 MB history without a single line end (a damaged file, or a line that
// never ends): the reader stays linear in the file's size.
void BM_ReadHistoryWithoutLineEnd(benchmark::State& state)
{
    constexpr std::size_t kSize = 50u << 20;
    const std::filesystem::path file = std::filesystem::current_path() / "bench-history-no-line-end.history";
    {
        const std::string line =
            app::progress::AttemptToLine({"2026-12-08T09:15:02.120+01:00", "2026-12-08T09:15:09.871+01:00",
                                          "Week 3", "TOMORROW", "tommorow", false, 3});
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        for (std::size_t written = 0; written < kSize; written += line.size())
            out << line;
    }
    for (auto _ : state) {
        const auto history = app::progress::ReadHistory(file);
        state.counters["attempts"] = static_cast<double>(history.attempts.size());
        state.counters["skipped"] = static_cast<double>(history.skippedLines);
    }
    std::filesystem::remove(file);
}

} // namespace

BENCHMARK(BM_OpenProgressWindow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_ReadHistoryWithoutLineEnd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
