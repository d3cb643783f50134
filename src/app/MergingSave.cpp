#include "app/MergingSave.h"

#include "app/progress/AttemptHistory.h"

#include <cerrno>
#include <map>
#include <optional>
#include <utility>

#include <sys/stat.h>

namespace app {

namespace {

// Counts are 32-bit numbers that wrap, as everywhere in the record.
std::int32_t WrappingAdd(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::int32_t WrappingSub(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

bool IsGone(const std::filesystem::path& record)
{
    struct stat info {};
    return ::stat(record.c_str(), &info) != 0 && errno == ENOENT;
}

} // namespace

std::filesystem::path LockPathOf(const std::filesystem::path& record)
{
    return record.parent_path() / ("." + record.stem().string() + ".lock");
}

void MergingSave::Start(SaveTarget target, const WordList& words)
{
    const std::optional<Unsaved> carried = std::exchange(unsaved_, std::nullopt);
    target_ = std::move(target);
    saved_.clear();
    for (const auto& word : words)
        saved_.push_back({word->Trys, word->Correct});
    waiting_.clear();
    written_.clear();
    writtenDocument_.reset();
    if (carried && carried->target.record == target_.record && carried->target.lesson == target_.lesson)
        TakeOver(*carried, words);
}

void MergingSave::TakeOver(const Unsaved& carried, const WordList& words)
{
    const auto indexOf = [&](const std::string& name) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < words.size(); ++i)
            if (words[i]->Word == name)
                return i;
        return std::nullopt; // the word left the lesson meanwhile
    };
    // The stored counts lack the carried gains: counting the saved state down by them makes the
    // next save add them with this run's own.
    for (const auto& [name, gain] : carried.gains)
        if (const auto i = indexOf(name)) {
            saved_[*i].trys = WrappingSub(saved_[*i].trys, gain.trys);
            saved_[*i].correct = WrappingSub(saved_[*i].correct, gain.correct);
        }
    for (auto [name, answer] : carried.answers)
        if (const auto i = indexOf(name)) {
            answer.word = *i;
            waiting_.push_back(std::move(answer));
        }
}

void MergingSave::Answered(std::size_t word, std::string typed, bool right, std::string judgedAt,
                           std::string phase)
{
    waiting_.push_back({word, std::move(typed), right, std::move(judgedAt), target_.run, std::move(phase)});
}

WordList MergingSave::Merged(platform::XmlNode lessonNode, const WordList& words) const
{
    // Every word reads the counts on disk before any is changed, so words whose element names
    // coincide each add to the same stored counts and the last one written wins, as in a plain save.
    WordList merged;
    merged.reserve(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        auto word = LoadWord(lessonNode, words[i]->Word);
        word->Trys = WrappingAdd(word->Trys, WrappingSub(words[i]->Trys, saved_[i].trys));
        word->Correct = WrappingAdd(word->Correct, WrappingSub(words[i]->Correct, saved_[i].correct));
        merged.push_back(std::move(word));
    }
    return merged;
}

void MergingSave::AppendWaitingAnswers(const WordList& merged) const noexcept
{
    // A word's last waiting test answer has its merged try count; the ones before it count
    // down. Drill and retest answers count no try: they carry the count of the test answers
    // before them.
    std::map<std::size_t, std::int32_t> laterTests;
    for (const WaitingAnswer& answer : waiting_)
        if (answer.phase.empty())
            ++laterTests[answer.word];
    try {
        for (const WaitingAnswer& answer : waiting_) {
            if (answer.phase.empty())
                --laterTests[answer.word];
            const std::int32_t tries = WrappingSub(merged[answer.word]->Trys, laterTests[answer.word]);
            progress::AppendAttempt(target_.history,
                                    {answer.run, answer.judgedAt, target_.lesson, merged[answer.word]->Word,
                                     answer.typed, answer.right, tries, answer.phase});
        }
    } catch (...) {
        // The child's test goes on; the progress window shows the history as incomplete.
    }
}

platform::RecordLock MergingSave::LockRecord(std::chrono::milliseconds timeout) const
{
    try {
        return platform::RecordLock(LockPathOf(target_.record), timeout);
    } catch (const platform::ELockError& error) {
        throw platform::ELockError(error.Message() +
                                   " Nothing was saved; the answers are kept and go out with the next save.");
    }
}

void MergingSave::Save(const WordList& words, std::chrono::milliseconds lockTimeout)
{
    KeepingWhatFails(words, [&] { SaveNow(words, lockTimeout); });
}

void MergingSave::KeepingWhatFails(const WordList& words, const std::function<void()>& write)
{
    try {
        write();
        unsaved_.reset();
    } catch (...) {
        KeepUnsaved(words);
        throw;
    }
}

void MergingSave::KeepUnsaved(const WordList& words)
{
    Unsaved kept{target_, {}, {}};
    for (std::size_t i = 0; i < words.size(); ++i)
        kept.gains.emplace_back(words[i]->Word, Counts{WrappingSub(words[i]->Trys, saved_[i].trys),
                                                       WrappingSub(words[i]->Correct, saved_[i].correct)});
    for (const WaitingAnswer& answer : waiting_)
        kept.answers.emplace_back(words[answer.word]->Word, answer);
    unsaved_ = std::move(kept);
}

std::unique_ptr<platform::XmlDocument> MergingSave::ReadRecord()
{
    if (IsGone(target_.record))
        throw ERecordGone("The record of this player is no longer in the folder \"" +
                          target_.record.parent_path().string() +
                          "\": it was renamed or deleted, perhaps on another computer. Nothing was saved.");
    const std::string text = platform::XmlDocument::ReadFileText(target_.record);
    // Taken out, so a save that fails from here on leaves no document that disagrees with the file.
    std::unique_ptr<platform::XmlDocument> record = std::move(writtenDocument_);
    if (!record || text != written_) {
        record = std::make_unique<platform::XmlDocument>();
        record->LoadFromText(text);
    }
    return record;
}

bool MergingSave::HasGains(const WordList& words) const
{
    for (std::size_t i = 0; i < words.size(); ++i)
        if (words[i]->Trys != saved_[i].trys || words[i]->Correct != saved_[i].correct)
            return true;
    return false;
}

bool MergingSave::SaveAnswers(const WordList& words, std::chrono::milliseconds lockTimeout)
{
    if (HasGains(words))
        return false;
    KeepingWhatFails(words, [&] { AppendNow(words, lockTimeout); });
    return true;
}

void MergingSave::AppendNow(const WordList& words, std::chrono::milliseconds lockTimeout)
{
    if (waiting_.empty())
        return;
    const platform::RecordLock lock = LockRecord(lockTimeout);
    std::unique_ptr<platform::XmlDocument> record = ReadRecord();
    // Read only: a lesson element missing on disk is added to this copy alone, never saved.
    const platform::XmlNode lessonNode = FindOrAddLessonNode(*record, target_.lesson);
    WordList onDisk;
    onDisk.reserve(words.size());
    for (const auto& word : words)
        onDisk.push_back(LoadWord(lessonNode, word->Word));
    AppendWaitingAnswers(onDisk);
    waiting_.clear();
}

void MergingSave::SaveNow(const WordList& words, std::chrono::milliseconds lockTimeout)
{
    const platform::RecordLock lock = LockRecord(lockTimeout);
    std::unique_ptr<platform::XmlDocument> record = ReadRecord();
    const platform::XmlNode lessonNode = FindOrAddLessonNode(*record, target_.lesson);
    const WordList merged = Merged(lessonNode, words);
    SaveWords(lessonNode, merged);
    written_ = record->SaveToFile(target_.record);
    writtenDocument_ = std::move(record);
    AppendWaitingAnswers(merged);

    for (std::size_t i = 0; i < words.size(); ++i)
        saved_[i] = {words[i]->Trys, words[i]->Correct};
    waiting_.clear();
}

} // namespace app
