#include "app/progress/ProgressSource.h"

#include "app/PlayerRecord.h"
#include "platform/xml/XmlDocument.h"

#include <set>

namespace app::progress {

ProgressSource LoadProgressSource(const std::string& player, const std::filesystem::path& recordPath,
                                  const std::map<std::string, std::vector<std::string>>& lessonWords)
{
    ProgressSource source;
    source.player = player;
    platform::XmlDocument record;
    record.LoadFromFile(recordPath);
    source.history = ReadHistory(HistoryPathOf(recordPath));
    source.tricky = TrickyWords(source.history.attempts);
    // Every figure counts test answers only: drill and retest lines are left out.
    std::erase_if(source.history.attempts, [](const Attempt& attempt) { return !attempt.phase.empty(); });

    // Each lesson's words in the folder's order, then those known only from the history.
    std::map<std::string, std::vector<std::string>> words = lessonWords;
    std::map<std::string, std::set<std::string>> known;
    for (const auto& [lesson, list] : words)
        known[lesson].insert(list.begin(), list.end());
    for (const Attempt& attempt : source.history.attempts)
        if (known[attempt.lesson].insert(attempt.word).second)
            words[attempt.lesson].push_back(attempt.word);

    for (const auto& [lesson, list] : words) {
        if (lesson.empty())
            continue; // no lesson element can be named so
        source.lessons.push_back(lesson);
        // The document is never saved: a lesson element added here stays in memory.
        const platform::XmlNode node = FindOrAddLessonNode(record, lesson);
        for (const std::string& word : list) {
            const auto counts = LoadWord(node, word);
            source.record.push_back({lesson, word, counts->Trys, counts->Correct});
        }
    }
    return source;
}

} // namespace app::progress
