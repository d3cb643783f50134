// Each player's own report (BuildReport) gives their row, their words' last five answers and
// their patterns; the class's word shares count the first answer of each word in each test.

#include "app/progress/ClassReport.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace app::progress {

namespace {

constexpr std::size_t kRecentTests = 3;
constexpr std::size_t kHardestWords = 3;

using WordKey = std::pair<std::string, std::string>; // lesson, word

std::optional<double> ShareOf(int right, int asked)
{
    if (asked == 0)
        return std::nullopt;
    return static_cast<double>(right) / asked;
}

PlayerRow RowOf(const std::string& player, const ProgressReport& report)
{
    PlayerRow row;
    row.player = player;
    row.tests = report.summary.tests;
    if (!report.runs.empty()) {
        const RunShare& last = report.runs.back();
        row.lastTest = last.run.substr(0, 10);
        row.lastTestWords = last.words;
        row.lastTestFirstRight = last.firstRight;
    }
    row.share = ShareOf(report.summary.runWordsFirstRight, report.summary.runWords);
    int recentWords = 0, recentRight = 0;
    for (std::size_t i = report.runs.size() > kRecentTests ? report.runs.size() - kRecentTests : 0;
         i < report.runs.size(); ++i) {
        recentWords += report.runs[i].words;
        recentRight += report.runs[i].firstRight;
    }
    row.recentShare = ShareOf(recentRight, recentWords);
    for (const WordRow& word : report.words) { // trouble words come first
        if (word.trouble == 0)
            break;
        ++row.troubleWords;
        if (row.hardest.size() < kHardestWords)
            row.hardest.push_back(word.word);
    }
    return row;
}

// Players who need help first: the lowest recent share; players without tests, then players
// whose record could not be read, at the end; the name decides ties.
void SortNeedFirst(std::vector<PlayerRow>& rows)
{
    auto rank = [](const PlayerRow& row) {
        const int group = row.unread ? 2 : row.recentShare ? 0 : 1;
        return std::make_tuple(group, row.recentShare.value_or(0.0), row.player);
    };
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const PlayerRow& a, const PlayerRow& b) { return rank(a) < rank(b); });
}

void CountFirstAnswers(const ProgressReport& report, std::map<WordKey, ClassWord>& words)
{
    std::set<std::tuple<std::string, std::string, std::string>> seen; // run, lesson, word
    for (const Attempt* attempt : report.attempts) {
        if (!seen.emplace(attempt->run, attempt->lesson, attempt->word).second)
            continue;
        ClassWord& word = words[{attempt->lesson, attempt->word}];
        ++word.firstAnswers;
        word.firstAnswersRight += attempt->right ? 1 : 0;
    }
}

void CountMissingPlayers(const ProgressReport& report, std::map<WordKey, ClassWord>& words)
{
    for (const WordRow& row : report.words)
        if (std::find(row.lastFive.begin(), row.lastFive.end(), false) != row.lastFive.end())
            ++words[{row.lesson, row.word}].playersMissing;
}

std::vector<ClassWord> MostMissedFirst(std::map<WordKey, ClassWord>& byKey)
{
    std::vector<ClassWord> words;
    for (auto& [key, word] : byKey) {
        if (word.playersMissing == 0)
            continue;
        word.lesson = key.first;
        word.word = key.second;
        words.push_back(std::move(word));
    }
    std::stable_sort(words.begin(), words.end(), [](const ClassWord& a, const ClassWord& b) {
        if (a.playersMissing != b.playersMissing)
            return a.playersMissing > b.playersMissing;
        return a.FirstShare().value_or(1.0) < b.FirstShare().value_or(1.0);
    });
    return words;
}

void AddPatterns(const std::string& player, const ProgressReport& report, std::vector<ClassPattern>& patterns)
{
    for (const PatternCount& pattern : report.patterns) {
        if (pattern.answers == 0)
            continue;
        auto at = std::find_if(patterns.begin(), patterns.end(),
                               [&](const ClassPattern& p) { return p.kind == pattern.kind; });
        if (at == patterns.end())
            at = patterns.insert(patterns.end(), ClassPattern{pattern.kind, 0, {}});
        at->count += pattern.answers;
        at->players.push_back(player);
    }
}

} // namespace

std::optional<double> ClassWord::FirstShare() const
{
    return ShareOf(firstAnswersRight, firstAnswers);
}

ClassReport BuildClassReport(const std::vector<ClassMember>& members,
                             const std::optional<std::string>& lesson)
{
    ClassReport report;
    std::map<WordKey, ClassWord> words;
    for (const ClassMember& member : members) {
        if (!member.source) {
            report.players.push_back({});
            report.players.back().player = member.player;
            report.players.back().problem = member.problem;
            report.players.back().unread = true;
            continue;
        }
        const ProgressReport own =
            BuildReport(member.source->history.attempts, member.source->record, lesson);
        report.players.push_back(RowOf(member.player, own));
        report.players.back().problem = member.problem;
        CountFirstAnswers(own, words);
        CountMissingPlayers(own, words);
        AddPatterns(member.player, own, report.patterns);
    }
    SortNeedFirst(report.players);
    report.words = MostMissedFirst(words);
    std::stable_sort(report.patterns.begin(), report.patterns.end(),
                     [](const ClassPattern& a, const ClassPattern& b) { return a.count > b.count; });
    return report;
}

} // namespace app::progress
