// Saving and loading a big player record: 100 lessons of 100 words, through the calls the
// window makes after each judged answer (SaveWords, then the atomic save with its flush to
// disk and rename) and when a player and lesson are chosen (load, find the lesson, read its
// words). The file lives in the build folder's disk, not in /tmp, so the flush is a real one.
//
// The merged save (app::MergingSave: take the player's lock, read the record as it is on disk,
// add the run's gains, replace the file, append the answer's history line) is measured on the
// same record and on a record of 10 lessons.
//
// Counters: file_KiB (size of the record).
//
//   build-release/bench/bench_record_io --benchmark_repetitions=20 --benchmark_report_aggregates_only=true

#include "app/MergingSave.h"
#include "app/PlayerRecord.h"
#include "app/progress/AttemptHistory.h"
#include "platform/xml/XmlDocument.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kLessons = 100;
constexpr int kWords = 100;

std::string LessonName(int i)
{
    return "Week " + std::to_string(i + 1);
}

std::vector<std::string> LessonWords(int lesson)
{
    std::vector<std::string> words;
    for (int w = 0; w < kWords; ++w)
        words.push_back("WORD" + std::to_string(lesson) + "X" + std::to_string(w));
    return words;
}

// A record as a player would have it after a long school year: every word tried and counted.
std::filesystem::path WriteBigRecord(const std::filesystem::path& dir, int lessons = kLessons)
{
    platform::XmlDocument doc;
    app::NewPlayerRecord(doc, "Player_One");
    for (int l = 0; l < lessons; ++l) {
        platform::XmlNode lesson = app::FindOrAddLessonNode(doc, LessonName(l));
        app::WordList words = app::LoadWords(lesson, LessonWords(l));
        for (auto& word : words) {
            word->Trys = 7;
            word->Correct = 5;
        }
        app::SaveWords(lesson, words);
    }
    const std::filesystem::path path = dir / "Player_One.xml";
    doc.SaveToFile(path);
    return path;
}

std::filesystem::path BenchDir()
{
    const std::filesystem::path dir = std::filesystem::current_path() / "bench-record-io";
    std::filesystem::create_directories(dir);
    return dir;
}

void BM_SavePlayerRecord(benchmark::State& state)
{
    const std::filesystem::path path = WriteBigRecord(BenchDir());
    platform::XmlDocument doc;
    doc.LoadFromFile(path);
    platform::XmlNode lesson = app::FindOrAddLessonNode(doc, LessonName(kLessons / 2));
    app::WordList words = app::LoadWords(lesson, LessonWords(kLessons / 2));
    for (auto _ : state) {
        words.front()->Trys += 1; // one more judged answer
        app::SaveWords(lesson, words);
        doc.SaveToFile(path);
    }
    state.counters["file_KiB"] = static_cast<double>(std::filesystem::file_size(path)) / 1024.0;
    std::filesystem::remove_all(path.parent_path());
}

// One judged answer saved as the window saves it, on a record of state.range(0) lessons.
void BM_MergedSave(benchmark::State& state)
{
    const int lessons = static_cast<int>(state.range(0));
    const std::filesystem::path path = WriteBigRecord(BenchDir(), lessons);
    app::MergingSave save;
    app::WordList words;
    {
        platform::XmlDocument doc;
        doc.LoadFromFile(path);
        words =
            app::LoadWords(app::FindOrAddLessonNode(doc, LessonName(lessons / 2)), LessonWords(lessons / 2));
    }
    save.Start(
        {path, app::progress::HistoryPathOf(path), LessonName(lessons / 2), "2026-12-10T09:00:00.000+00:00"},
        words);
    for (auto _ : state) {
        words.front()->Trys += 1;
        save.Answered(0, "WROD", false, "2026-12-10T09:00:01.000+00:00");
        save.Save(words);
    }
    state.counters["file_KiB"] = static_cast<double>(std::filesystem::file_size(path)) / 1024.0;
    std::filesystem::remove_all(path.parent_path());
}

void BM_LoadPlayerRecord(benchmark::State& state)
{
    const std::filesystem::path path = WriteBigRecord(BenchDir());
    const std::vector<std::string> wordsOfLesson = LessonWords(kLessons - 1);
    for (auto _ : state) {
        platform::XmlDocument doc;
        doc.LoadFromFile(path);
        platform::XmlNode lesson = app::FindOrAddLessonNode(doc, LessonName(kLessons - 1));
        app::WordList words = app::LoadWords(lesson, wordsOfLesson);
        benchmark::DoNotOptimize(words.back()->Correct);
    }
    state.counters["file_KiB"] = static_cast<double>(std::filesystem::file_size(path)) / 1024.0;
    std::filesystem::remove_all(path.parent_path());
}

} // namespace

BENCHMARK(BM_SavePlayerRecord)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MergedSave)->Arg(kLessons)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadPlayerRecord)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
