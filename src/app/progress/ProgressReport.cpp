// The report is built in one pass over the history (in the order judged), keyed by
// lesson and word, then joined with the record's counts.

#include "app/progress/ProgressReport.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace app::progress {

namespace {

using WordKey = std::pair<std::string, std::string>; // lesson, word

struct WordTrail {
    int attempts = 0;
    int right = 0;
    std::int64_t lastTry = 0;
    bool gap = false; // a try number skipped
    bool firstTryAfterOne = false;
    std::string lastTried;
    std::vector<bool> results; // kept to the newest five
};

struct RunTrail {
    RunShare share;
    std::set<std::string> words;
};

void Follow(WordTrail& trail, const Attempt& attempt)
{
    if (trail.attempts == 0)
        trail.firstTryAfterOne = attempt.tries > 1;
    else if (attempt.tries > trail.lastTry + 1)
        trail.gap = true;
    trail.lastTry = std::max(trail.lastTry, attempt.tries);
    ++trail.attempts;
    trail.right += attempt.right ? 1 : 0;
    trail.lastTried = attempt.time;
    trail.results.push_back(attempt.right);
    if (trail.results.size() > 5)
        trail.results.erase(trail.results.begin());
}

WordRow MakeRow(const WordKey& key, const RecordWord* counts, const WordTrail* trail)
{
    WordRow row;
    row.lesson = key.first;
    row.word = key.second;
    if (counts) {
        row.tries = counts->tries;
        row.right = counts->right;
    }
    if (trail) {
        row.historyAttempts = trail->attempts;
        row.historyRight = trail->right;
        row.lastTried = trail->lastTried;
        row.lastFive = trail->results;
        row.incomplete = trail->gap || trail->lastTry < row.tries;
        row.trouble = static_cast<int>(std::count(row.lastFive.begin(), row.lastFive.end(), false));
    } else {
        row.incomplete = false;
        row.trouble = row.tries > row.right ? 1 : 0;
    }
    return row;
}

// The share the table's order uses: the history's, else the record's.
double OrderShare(const WordRow& row)
{
    if (const auto share = row.ShareRight())
        return *share;
    return row.tries > 0 ? static_cast<double>(row.right) / row.tries : 1.0;
}

void SortTroubleFirst(std::vector<WordRow>& rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](const WordRow& a, const WordRow& b) {
        if (a.trouble != b.trouble)
            return a.trouble > b.trouble;
        if (OrderShare(a) != OrderShare(b))
            return OrderShare(a) < OrderShare(b);
        return std::tie(a.lesson, a.word) < std::tie(b.lesson, b.word);
    });
}

} // namespace

std::optional<double> WordRow::ShareRight() const
{
    if (historyAttempts == 0)
        return std::nullopt;
    return static_cast<double>(historyRight) / historyAttempts;
}

ProgressReport BuildReport(const std::vector<Attempt>& history, const std::vector<RecordWord>& record,
                           const std::optional<std::string>& lesson)
{
    ProgressReport report;
    if (!history.empty())
        report.historySince = history.front().time;
    auto inScope = [&](const std::string& name) { return !lesson || *lesson == name; };

    std::map<WordKey, WordTrail> trails;
    std::map<std::pair<std::string, std::string>, std::size_t> runIndex; // (run, lesson) -> runs
    std::vector<RunTrail> runs;
    std::set<std::string> lessons;
    for (const Attempt& attempt : history) {
        if (!inScope(attempt.lesson))
            continue;
        report.attempts.push_back(&attempt);
        lessons.insert(attempt.lesson);
        Follow(trails[{attempt.lesson, attempt.word}], attempt);
        auto [at, isNew] = runIndex.try_emplace({attempt.run, attempt.lesson}, runs.size());
        if (isNew)
            runs.push_back({RunShare{attempt.run, attempt.lesson, 0, 0}, {}});
        RunTrail& run = runs[at->second];
        if (run.words.insert(attempt.word).second) {
            ++run.share.words;
            run.share.firstRight += attempt.right ? 1 : 0;
        }
        if (!attempt.right)
            report.misspellings.push_back(&attempt);
    }
    std::reverse(report.misspellings.begin(), report.misspellings.end());
    report.patterns = CountPatterns(report.attempts);

    std::map<WordKey, const RecordWord*> counts;
    for (const RecordWord& word : record) {
        if (!inScope(word.lesson))
            continue;
        counts[{word.lesson, word.word}] = &word;
        if (word.tries > 0)
            lessons.insert(word.lesson);
    }
    std::set<WordKey> keys;
    for (const auto& entry : counts)
        keys.insert(entry.first);
    for (const auto& entry : trails)
        keys.insert(entry.first);
    for (const WordKey& key : keys) {
        const auto count = counts.find(key);
        const auto trail = trails.find(key);
        report.words.push_back(MakeRow(key, count == counts.end() ? nullptr : count->second,
                                       trail == trails.end() ? nullptr : &trail->second));
        const WordRow& row = report.words.back();
        report.incomplete = report.incomplete || row.incomplete;
        report.triesBeforeHistory = report.triesBeforeHistory ||
                                    (trail != trails.end() && trail->second.firstTryAfterOne) ||
                                    (trail == trails.end() && row.tries > 0);
    }
    SortTroubleFirst(report.words);

    ProgressSummary& summary = report.summary;
    summary.lessons = static_cast<int>(lessons.size());
    summary.tests = static_cast<int>(runs.size());
    summary.attempts = report.attempts.size();
    for (RunTrail& run : runs) {
        summary.runWords += run.share.words;
        summary.runWordsFirstRight += run.share.firstRight;
        report.runs.push_back(std::move(run.share));
    }
    if (!report.runs.empty()) {
        summary.firstTest = report.runs.front().run;
        summary.lastTest = report.runs.back().run;
    }
    return report;
}

} // namespace app::progress
