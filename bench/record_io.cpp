// Saving and loading a big player record: 100 lessons of 100 words, through the calls the
// window makes after each judged answer (SaveWords, then the atomic save with its flush to
// disk and rename) and when a player and lesson are chosen (load, find the lesson, read its
// words). The file lives in the build folder's disk, not in /tmp, so the flush is a real one.
//
// Counters: file_KiB (size of the record).
//
//   build-release/bench/bench_record_io --benchmark_repetitions=20 --benchmark_report_aggregates_only=true

#include "app/PlayerRecord.h"
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
std::filesystem::path WriteBigRecord(const std::filesystem::path& dir)
{
    platform::XmlDocument doc;
    app::NewPlayerRecord(doc, "Player_One");
    for (int l = 0; l < kLessons; ++l) {
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
BENCHMARK(BM_LoadPlayerRecord)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
