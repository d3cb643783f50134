#pragma once

// Saving a run's answers into a record that other tutors may be saving too (children at
// several computers on one shared folder). A save never writes back the copy loaded at run
// start: under the player's lock it reads the record as it is now, adds to each word what this
// run has added since its last successful save, replaces the file, appends the history lines of
// the answers it carries, and only then lets go of the lock. So no answer given elsewhere is
// lost, and the history's order is the order of the tries.
//
// With one tutor and no other writer the file comes out byte for byte as a plain save of the
// run's counts would write it. The run's own counts (the word list) are never changed here.

#include "app/PlayerRecord.h"
#include "platform/fs/RecordLock.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace app {

// The files and names one run saves to, fixed when the run opens the record.
struct SaveTarget {
    std::filesystem::path record;  // Children/<player>.xml
    std::filesystem::path history; // Children/<player>.history
    std::string lesson;            // as the lesson list shows it
    std::string run;               // when the run started, for the history lines
};

// The lock file of a record: "Children/.<player>.lock", hidden, and never named "*.xml" in any
// letter case, so the player list never shows it.
std::filesystem::path LockPathOf(const std::filesystem::path& record);

// The record is gone at save time (renamed or deleted on another computer); it is not made anew.
class ERecordGone : public rtl::Exception {
public:
    using Exception::Exception;
};

class MergingSave {
public:
    // A run begins: `words` hold the counts just loaded. What the last run's failed saves left
    // waiting goes out with this run's saves when both runs are on the same record and lesson.
    void Start(SaveTarget target, const WordList& words);

    // A judged answer of words[word] waits for the save that carries its counts. An answer
    // with a `phase` ("drill", "retest") changes no count: its history line carries the
    // word's try count as it stands and the phase.
    void Answered(std::size_t word, std::string typed, bool right, std::string judgedAt,
                  std::string phase = {});

    // Merges what `words` have gained since the last successful save into the record on disk
    // and appends the waiting answers to the history. On failure nothing is written and all
    // of it waits for the next save; the error says why (platform::ELockError, ERecordGone, or
    // the XML layer's error for a damaged or unwritable record).
    void Save(const WordList& words, std::chrono::milliseconds lockTimeout = platform::kRecordLockTimeout);

    // Appends the waiting answers' history lines without rewriting the record: under the lock,
    // with each word's try count as the record on disk holds it. Only while `words` have gained
    // nothing since the last successful save (else the answers wait for Save). False when they
    // wait; raises as Save does, the answers then waiting for the next save.
    bool SaveAnswers(const WordList& words,
                     std::chrono::milliseconds lockTimeout = platform::kRecordLockTimeout);

    const SaveTarget& Target() const { return target_; }
    std::size_t WaitingAnswers() const { return waiting_.size(); }

private:
    struct Counts {
        std::int32_t trys = 0;
        std::int32_t correct = 0;
    };
    struct WaitingAnswer {
        std::size_t word = 0;
        std::string typed;
        bool right = false;
        std::string judgedAt;
        std::string run;
        std::string phase;
    };
    // What a failed save left to go out, by word, for the next run on the same record.
    struct Unsaved {
        SaveTarget target;
        std::vector<std::pair<std::string, Counts>> gains;
        std::vector<std::pair<std::string, WaitingAnswer>> answers;
    };

    // Runs `write`; when it fails, what waits is kept for the next run on this record, and the
    // error goes on.
    void KeepingWhatFails(const WordList& words, const std::function<void()>& write);
    void SaveNow(const WordList& words, std::chrono::milliseconds lockTimeout);
    void AppendNow(const WordList& words, std::chrono::milliseconds lockTimeout);
    bool HasGains(const WordList& words) const;
    // The record as it is on disk now, under the lock taken by the caller.
    std::unique_ptr<platform::XmlDocument> ReadRecord();
    void KeepUnsaved(const WordList& words);
    void TakeOver(const Unsaved& carried, const WordList& words);
    platform::RecordLock LockRecord(std::chrono::milliseconds timeout) const;
    WordList Merged(platform::XmlNode lessonNode, const WordList& words) const;
    void AppendWaitingAnswers(const WordList& merged) const noexcept;

    SaveTarget target_;
    // The record as this run last wrote it, and its document: while the file still holds
    // exactly these bytes the document stands for it, and a save need not parse it again.
    std::string written_;
    std::unique_ptr<platform::XmlDocument> writtenDocument_;
    std::vector<Counts> saved_; // each word's counts as of the last successful save
    std::vector<WaitingAnswer> waiting_;
    std::optional<Unsaved> unsaved_;
};

} // namespace app
