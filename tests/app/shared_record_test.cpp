// Several tutors saving one player's record on a shared folder: the merging save under the
// player's lock, driven by separate processes that run the tutor's own save and append code.

#include "lock_holder.h"

#include "app/MergingSave.h"
#include "app/progress/AttemptHistory.h"
#include "platform/fs/RecordLock.h"
#include "platform/xml/AtomicFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <csignal>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kLessonWords = {"CAT", "DOG", "ICE-CREAM", "EMU"};

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class SharedRecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp_.isValid());
        children_ = fs::path(temp_.path().toStdString()) / "Children";
        fs::create_directories(children_);
        record_ = children_ / "Ann.xml";
    }

    // What a tutor does when its run starts: the lesson's words with their stored counts.
    app::WordList StartRun(app::MergingSave& save,
                           const std::vector<std::string>& lesson = kLessonWords) const
    {
        platform::XmlDocument doc;
        doc.LoadFromFile(record_);
        app::WordList words = app::LoadWords(app::FindOrAddLessonNode(doc, "Week_3"), lesson);
        save.Start(
            {record_, app::progress::HistoryPathOf(record_), "Week_3", "2026-12-10T09:00:00.000+00:00"},
            words);
        return words;
    }

    // A judged answer as the test counts it, waiting for the save.
    static void Answer(app::MergingSave& save, app::WordList& words, std::size_t word, bool right,
                       const std::string& typed)
    {
        ++words[word]->Trys;
        if (right)
            ++words[word]->Correct;
        save.Answered(word, typed, right, app::progress::LocalTimestampNow());
    }

    std::pair<std::int32_t, std::int32_t> Stored(const std::string& word) const
    {
        platform::XmlDocument doc;
        doc.LoadFromFile(record_);
        const auto counts = app::LoadWord(app::FindOrAddLessonNode(doc, "Week_3"), word);
        return {counts->Trys, counts->Correct};
    }

    // The history's answers as "typed try", in the file's order.
    std::vector<std::string> History() const
    {
        std::vector<std::string> lines;
        for (const auto& attempt : app::progress::ReadHistory(app::progress::HistoryPathOf(record_)).attempts)
            lines.push_back(attempt.typed + " " + std::to_string(attempt.tries));
        return lines;
    }

    QTemporaryDir temp_;
    fs::path children_;
    fs::path record_;
};

template <class E> bool Is(const std::exception& e)
{
    return dynamic_cast<const E*>(&e) != nullptr;
}

} // namespace

TEST_F(SharedRecordTest, ASingleTutorsSavesAreByteForByteAPlainSaveOfTheRunsCounts)
{
    struct Case {
        const char* record;
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {R"(<CHILD name="Ann"/>)", kLessonWords},
        {R"(<?xml version="1.0"?><CHILD name="Ann"><Other><X word="X" trys="4" correct="1"/></Other>)"
         R"(<Week_3><GONE trys="3" correct="1"/><CAT correct="2" trys="5" word="CAT"/></Week_3></CHILD>)",
         kLessonWords},
        {"<CHILD name=\"Ann\">\n  <Week_3>\n    <DOG word=\"DOG\" trys=\"1\" correct=\"0\"/>\n  "
         "</Week_3>\n</CHILD>",
         kLessonWords},
        // Two words with one element name: the last one written wins, as before.
        {R"(<CHILD name="Ann"><Week_3><AXXRRXXB word="AXXRRXXB" trys="6" correct="3"/></Week_3></CHILD>)",
         {"A B", "CAT", "AXXRRXXB"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record);
        WriteAll(record_, c.record);
        fs::remove(app::progress::HistoryPathOf(record_));

        platform::XmlDocument plain;
        plain.LoadFromFile(record_);
        const platform::XmlNode plainLesson = app::FindOrAddLessonNode(plain, "Week_3");
        app::MergingSave save;
        app::WordList words = StartRun(save, c.words);

        std::mt19937 rng(7);
        for (int step = 0; step < 12; ++step) {
            Answer(save, words, rng() % c.words.size(), rng() % 2 == 0, "typed");
            save.Save(words);
            app::SaveWords(plainLesson, words);
            ASSERT_EQ(ReadAll(record_), plain.SaveToText()) << "step " << step;
        }
        EXPECT_EQ(History().size(), 12u);
    }
}

TEST_F(SharedRecordTest, AnswersSavedElsewhereAreKeptAndTheRunsOwnCountsStayItsOwn)
{
    WriteAll(record_, R"(<CHILD name="Ann"><Week_3><CAT word="CAT" trys="2" correct="1"/></Week_3></CHILD>)");
    app::MergingSave mine, theirs;
    app::WordList myWords = StartRun(mine);
    app::WordList theirWords = StartRun(theirs);

    Answer(theirs, theirWords, 0, true, "CAT");
    theirs.Save(theirWords);
    Answer(mine, myWords, 0, false, "KAT");
    mine.Save(myWords);
    // A word and a lesson added by hand in between are kept; only the run's words change.
    std::string edited = ReadAll(record_);
    edited.replace(edited.find("</Week_3>"), 0, R"(<HAND word="HAND" trys="9" correct="9"/>)");
    edited.replace(edited.find("</CHILD>"), 0, R"(<Extra/>)");
    WriteAll(record_, edited);
    Answer(theirs, theirWords, 0, true, "CAT");
    theirs.Save(theirWords);

    EXPECT_EQ(Stored("CAT"), std::make_pair(5, 3));
    EXPECT_EQ(Stored("HAND"), std::make_pair(9, 9));
    EXPECT_NE(ReadAll(record_).find("<Extra/>"), std::string::npos);
    EXPECT_EQ(myWords[0]->Trys, 3); // the run start's 2 and its own answer
    EXPECT_EQ(theirWords[0]->Correct, 3);
    // The history's try is the merged count, in the order of the tries.
    EXPECT_EQ(History(), (std::vector<std::string>{"CAT 3", "KAT 4", "CAT 5"}));
}

TEST_F(SharedRecordTest, ASaveThatCannotBeMadeWritesNothingAndItsAnswersGoOutWithTheNext)
{
    const std::string original =
        R"(<CHILD name="Ann"><Week_3><CAT word="CAT" trys="1" correct="1"/></Week_3></CHILD>)";
    const fs::path history = app::progress::HistoryPathOf(record_);
    struct Case {
        const char* what;
        std::function<void()> spoil; // makes the save fail
        std::function<void()> mend;  // lets the next one succeed
        bool (*rightKind)(const std::exception&);
        std::vector<std::string> saying; // parts of the message
    };
    std::unique_ptr<LockHolder> holder;
    const Case cases[] = {
        {"a lock held by another process",
         [&] { holder = std::make_unique<LockHolder>(app::LockPathOf(record_)); },
         [&] { holder->Release(); },
         &Is<platform::ELockError>,
         {children_.string(), "go out with the next save"}},
        {"a record removed on another computer",
         [&] { fs::rename(record_, children_ / "moved"); },
         [&] { fs::rename(children_ / "moved", record_); },
         &Is<app::ERecordGone>,
         {children_.string()}},
        {"a damaged record",
         [&] { WriteAll(record_, "<CHILD"); },
         [&] { WriteAll(record_, original); },
         &Is<platform::EXmlError>,
         {}},
    };
    const auto recordNow = [&] { return fs::exists(record_) ? ReadAll(record_) : "(none)"; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteAll(record_, original);
        fs::remove(history);
        app::MergingSave save;
        app::WordList words = StartRun(save);
        Answer(save, words, 0, false, "KAT");
        c.spoil();
        const std::string spoilt = recordNow();
        try {
            save.Save(words, std::chrono::milliseconds(200));
            ADD_FAILURE() << "saved";
        } catch (const std::exception& e) {
            EXPECT_TRUE(c.rightKind(e)) << e.what();
            for (const std::string& part : c.saying)
                EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
        }
        EXPECT_EQ(recordNow(), spoilt); // neither written nor made anew
        EXPECT_FALSE(fs::exists(history));
        EXPECT_EQ(save.WaitingAnswers(), 1u);
        c.mend();

        Answer(save, words, 0, true, "CAT");
        save.Save(words);
        EXPECT_EQ(Stored("CAT"), std::make_pair(3, 2));
        EXPECT_EQ(History(), (std::vector<std::string>{"KAT 2", "CAT 3"}));
    }

    // A run whose last save failed hands what it kept to the next run on the same record and
    // lesson: the new run's counts are read without it, its first save adds it.
    WriteAll(record_, original);
    fs::remove(history);
    app::MergingSave save;
    app::WordList words = StartRun(save);
    Answer(save, words, 0, false, "KAT");
    {
        const LockHolder other(app::LockPathOf(record_));
        EXPECT_THROW(save.Save(words, std::chrono::milliseconds(100)), platform::ELockError);
    }
    words = StartRun(save);
    EXPECT_EQ(words[0]->Trys, 1);
    Answer(save, words, 0, true, "CAT");
    save.Save(words);
    EXPECT_EQ(Stored("CAT"), std::make_pair(3, 2));
    EXPECT_EQ(History(), (std::vector<std::string>{"KAT 2", "CAT 3"}));
}

TEST_F(SharedRecordTest, TheLockSurvivesClosingAnotherDescriptorOfItsFile)
{
    const fs::path lockFile = app::LockPathOf(record_);
    const platform::RecordLock lock(lockFile, std::chrono::milliseconds(0));
    ::close(::open(lockFile.c_str(), O_RDONLY)); // would drop a classic POSIX lock
    EXPECT_THROW(platform::RecordLock(lockFile, std::chrono::milliseconds(0)), platform::ELockError);
}

TEST_F(SharedRecordTest, TutorsAnsweringForOnePlayerAtRandomMomentsLoseNoAcknowledgedAnswer)
{
    WriteAll(record_, R"(<CHILD name="Ann"><Week_3><CAT word="CAT" trys="0" correct="0"/></Week_3></CHILD>)");
    constexpr int kTutors = 4;
    constexpr int kAnswers = 15;
    constexpr int kVictim = 2; // killed inside its third save, holding the lock
    const auto ackFile = [&](int tutor) {
        return children_.parent_path() / ("acks-" + std::to_string(tutor));
    };

    std::vector<pid_t> tutors;
    for (int tutor = 0; tutor < kTutors; ++tutor) {
        if (const pid_t pid = ::fork(); pid != 0) {
            tutors.push_back(pid);
            continue;
        }
        // The tutor: its own run, answers at random moments, each saved as the window saves it;
        // an answer is acknowledged (logged as "word right typed") once a save took it.
        app::MergingSave save;
        app::WordList words = StartRun(save);
        std::mt19937 rng(static_cast<unsigned>(tutor * 7919 + 1));
        int saves = 0;
        if (tutor == kVictim)
            platform::SetAtomicWriteHook([&](platform::AtomicWriteStage stage) {
                if (stage == platform::AtomicWriteStage::Flushed && saves == 2)
                    ::raise(SIGKILL);
            });
        std::ofstream log(ackFile(tutor));
        std::string waiting;
        for (int k = 0; k < kAnswers; ++k) {
            ::usleep(static_cast<useconds_t>(rng() % 3000));
            const std::size_t word = rng() % words.size();
            const bool right = rng() % 3 != 0;
            const std::string typed = "t" + std::to_string(tutor) + "-" + std::to_string(k);
            Answer(save, words, word, right, typed);
            waiting += kLessonWords[word] + (right ? " 1 " : " 0 ") + typed + "\n";
            try {
                save.Save(words);
                ++saves;
                log << waiting << std::flush;
                waiting.clear();
            } catch (const platform::ELockError&) {
                log << "timeout\n" << std::flush; // a wait past the timeout
            }
        }
        ::_exit(0);
    }
    int killed = 0;
    for (const pid_t pid : tutors) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        killed += WIFSIGNALED(status) ? 1 : 0;
    }
    EXPECT_EQ(killed, 1);

    std::map<std::string, std::pair<int, int>> acknowledged;
    std::multiset<std::string> acknowledgedLines, historyLines;
    for (int tutor = 0; tutor < kTutors; ++tutor) {
        std::ifstream log(ackFile(tutor));
        for (std::string line; std::getline(log, line);) {
            ASSERT_NE(line, "timeout") << "tutor " << tutor << " waited past the timeout";
            acknowledgedLines.insert(line);
            const std::string word = line.substr(0, line.find(' '));
            ++acknowledged[word].first;
            acknowledged[word].second += line[word.size() + 1] == '1' ? 1 : 0;
        }
    }
    // One history line per acknowledged answer, each word's tries counting up in the file's order.
    const auto history = app::progress::ReadHistory(app::progress::HistoryPathOf(record_));
    std::map<std::string, std::int64_t> lastTry;
    for (const auto& attempt : history.attempts) {
        EXPECT_EQ(attempt.tries, ++lastTry[attempt.word]) << attempt.word << " " << attempt.typed;
        historyLines.insert(attempt.word + (attempt.right ? " 1 " : " 0 ") + attempt.typed);
    }
    EXPECT_EQ(history.skippedLines, 0u);
    EXPECT_EQ(historyLines, acknowledgedLines);
    for (const std::string& word : kLessonWords)
        EXPECT_EQ(Stored(word), acknowledged[word]) << word;
    EXPECT_GE(acknowledgedLines.size(), static_cast<std::size_t>(kTutors - 1) * kAnswers);
}

TEST_F(SharedRecordTest, DrillAnswersGoToTheHistoryAloneWithTheTriesOnDiskAndWaitBehindUnsavedGains)
{
    const std::string original =
        R"(<CHILD name="Ann"><Week_3><CAT word="CAT" trys="4" correct="2"/></Week_3></CHILD>)";
    struct Case {
        const char* what;
        bool testAnswerFirst;   // a test answer of the run is counted and not yet saved
        std::string otherTutor; // the record another tutor wrote meanwhile; empty for none
        bool writtenAtOnce;
        std::vector<std::string> history; // "typed try phase" once all is out
    };
    const Case cases[] = {
        {"drill lines alone", false, "", true, {"kat 4 drill", "CAT 4 drill"}},
        {"tries added elsewhere meanwhile",
         false,
         R"(<CHILD name="Ann"><Week_3><CAT word="CAT" trys="7" correct="2"/></Week_3></CHILD>)",
         true,
         {"kat 7 drill", "CAT 7 drill"}},
        {"behind a test answer still unsaved", true, "", false, {"KAT 5 ", "kat 5 drill", "CAT 5 drill"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteAll(record_, original);
        fs::remove(app::progress::HistoryPathOf(record_));
        app::MergingSave save;
        app::WordList words = StartRun(save);
        if (c.testAnswerFirst)
            Answer(save, words, 0, false, "KAT");
        if (!c.otherTutor.empty())
            WriteAll(record_, c.otherTutor);
        const std::string before = ReadAll(record_);
        save.Answered(0, "kat", false, app::progress::LocalTimestampNow(), "drill");
        save.Answered(0, "CAT", true, app::progress::LocalTimestampNow(), "drill");
        EXPECT_EQ(save.SaveAnswers(words), c.writtenAtOnce);
        EXPECT_EQ(ReadAll(record_), before); // never rewritten by drill lines
        if (!c.writtenAtOnce) {
            EXPECT_EQ(save.WaitingAnswers(), 3u);
            save.Save(words);
        }
        EXPECT_EQ(save.WaitingAnswers(), 0u);
        std::vector<std::string> lines;
        for (const auto& attempt : app::progress::ReadHistory(app::progress::HistoryPathOf(record_)).attempts)
            lines.push_back(attempt.typed + " " + std::to_string(attempt.tries) + " " + attempt.phase);
        EXPECT_EQ(lines, c.history);
    }

    // A lock held elsewhere: nothing is written, the lines wait for the next save.
    app::MergingSave save;
    app::WordList words = StartRun(save);
    save.Answered(0, "kat", false, app::progress::LocalTimestampNow(), "drill");
    {
        const LockHolder other(app::LockPathOf(record_));
        EXPECT_THROW(save.SaveAnswers(words, std::chrono::milliseconds(100)), platform::ELockError);
    }
    EXPECT_EQ(History().size(), 3u); // the lines of the last row
    EXPECT_TRUE(save.SaveAnswers(words));
    EXPECT_EQ(History().back(), "kat 5");
}
