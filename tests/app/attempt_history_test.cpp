// The attempt history file: lines that round-trip any text, damaged lines skipped and
// counted, a last line still being written left out quietly, a torn last line mended by
// the next append, blocks cut anywhere, and two processes appending at once without
// mixing their lines.

#include "app/progress/AttemptHistory.h"
#include "app/progress/ProgressSource.h"
#include "support/TempFolderTest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using app::progress::AppendAttempt;
using app::progress::Attempt;
using app::progress::AttemptFromLine;
using app::progress::AttemptToLine;
using app::progress::ParseHistory;
using app::progress::ReadHistory;

Attempt Sample(std::string typed, bool right = false, std::int64_t tries = 1)
{
    return {"2026-12-08T09:15:02.120+01:00",
            "2026-12-08T09:15:09.871+01:00",
            "Week_3",
            "DON'T",
            std::move(typed),
            right,
            tries};
}

class HistoryFileTest : public TempFolderTest {
protected:
    std::filesystem::path File() const { return dir_ / "Player_One.history"; }
    void Write(const std::string& bytes) const { std::ofstream(File(), std::ios::binary) << bytes; }
    std::string Read() const
    {
        std::ifstream in(File(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

TEST(AttemptLine, AnyTextRoundTripsOnOneLine)
{
    const char control[] = "nul \0 bell \a escape \x1b delete \x7f";
    const std::string texts[] = {
        "",
        "plain",
        "\"quoted\", with commas; and\ttabs",
        "two\nlines\r\nand a carriage return\r",
        "back\\slash \\u0041 not an escape",
        std::string(control, sizeof control - 1),
        "école naïve Straße ÇA",
        "日本語 한국어 עברית العربية",
        "emoji 🐈‍⬛ 👩🏽‍🏫 and a combining e\u0301",
        "\u2028line separator\u2029",
        "=SUM(A1:A9)",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        Attempt attempt = Sample(text, true, 2147483647);
        attempt.word = text;
        attempt.lesson = text;
        const std::string line = AttemptToLine(attempt);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        EXPECT_EQ(line.find('\r'), std::string::npos);
        const auto back = AttemptFromLine(line);
        ASSERT_TRUE(back.has_value()) << line;
        EXPECT_EQ(*back, attempt);
    }
    EXPECT_EQ(AttemptToLine(Sample("kat", false, 3)),
              R"({"run":"2026-12-08T09:15:02.120+01:00","time":"2026-12-08T09:15:09.871+01:00",)"
              R"("lesson":"Week_3","word":"DON'T","typed":"kat","right":false,"try":3})");
}

TEST(AttemptLine, LinesOfOtherJsonWritersReadToo)
{
    // As a script would write it: other key order, blanks, \u escapes (a surrogate
    // pair among them), an extra key.
    const auto attempt = AttemptFromLine(
        R"( { "try" : 4, "right" : true, "typed" : "caf\u00e9 \ud83d\ude00 \/", "word" : "CAFE",)"
        R"( "lesson" : "L", "time" : "t", "run" : "r", "note" : null } )");
    ASSERT_TRUE(attempt.has_value());
    EXPECT_EQ(attempt->typed, "café 😀 /");
    EXPECT_EQ(attempt->tries, 4);
    EXPECT_TRUE(attempt->right);
}

TEST(AttemptLine, ForeignAndDamagedLinesAreNotAttempts)
{
    const std::string whole = AttemptToLine(Sample("kat"));
    const std::string lines[] = {
        "garbage",
        "[1,2,3]",
        "{}",
        whole.substr(0, whole.size() / 2), // torn
        whole + "x",                       // trailing text
        R"({"run":"r","time":"t","lesson":"l","word":"w","typed":"x","right":"yes","try":1})", // right not a
                                                                                               // Boolean
        R"({"run":"r","time":"t","lesson":"l","word":"w","typed":"x","right":true,"try":1.5})",
        R"({"run":"r","time":"t","lesson":"l","word":"w","typed":"x","right":true})", // no try
        R"({"run":"r","time":"t","lesson":"l","word":"w","typed":"x","right":true,"try":1,"more":{"a":1}})",
        "{\"run\":\"r\",\"time\":\"t\",\"lesson\":\"l\",\"word\":\"w\",\"typed\":\"raw\ttab\",\"right\":true,"
        "\"try\":1}",
        R"({"run":"r","time":"t","lesson":"l","word":"w","typed":"\x","right":true,"try":1})",
    };
    for (const std::string& line : lines)
        EXPECT_FALSE(AttemptFromLine(line).has_value()) << line;
}

TEST(AttemptLine, DamagedLinesAreSkippedAndCountedTheRestIsRead)
{
    const std::string good1 = AttemptToLine(Sample("one"));
    const std::string good2 = AttemptToLine(Sample("two"));
    const std::string bytes =
        "garbage\n" + good1 + "\n\n  \n{\"run\":1}\n" + good1.substr(0, 30) + "\n" + good2 + "\r\n";
    const auto history = ParseHistory(bytes);
    ASSERT_EQ(history.attempts.size(), 2u);
    EXPECT_EQ(history.attempts[0].typed, "one");
    EXPECT_EQ(history.attempts[1].typed, "two");
    EXPECT_EQ(history.skippedLines, 3u); // blank lines are not counted

    // A last line without its line end is still being written: left out, not damaged;
    // once whole it counts.
    const auto writing = ParseHistory(bytes + good1.substr(0, 30));
    EXPECT_EQ(writing.attempts.size(), 2u);
    EXPECT_EQ(writing.skippedLines, 3u);
    EXPECT_EQ(ParseHistory(bytes + good1).attempts.size(), 3u);

    // Read in blocks cut anywhere (also inside a line, a line end and the UTF-8 of a
    // letter), the history is the same.
    const std::string all = bytes + AttemptToLine(Sample("é\"\n")) + "\n" + good1.substr(0, 30);
    for (std::size_t size : {1u, 2u, 7u, 64u}) {
        app::progress::HistoryReader reader;
        for (std::size_t at = 0; at < all.size(); at += size)
            reader.Add(std::string_view(all).substr(at, size));
        const auto blocks = std::move(reader).Finish();
        EXPECT_EQ(blocks.attempts, ParseHistory(all).attempts) << size;
        EXPECT_EQ(blocks.skippedLines, 3u) << size;
    }
}

TEST_F(HistoryFileTest, AppendsOneLinePerAttemptAndReadsThemBackInOrder)
{
    EXPECT_EQ(app::progress::HistoryPathOf(dir_ / "Children" / "Player_One.xml"),
              dir_ / "Children" / "Player_One.history");
    const auto none = ReadHistory(File());
    EXPECT_TRUE(none.attempts.empty());
    EXPECT_FALSE(none.unreadable);

    AppendAttempt(File(), Sample("kat", false, 1));
    AppendAttempt(File(), Sample("cat\n\"x\",", true, 2));
    EXPECT_EQ(Read(), AttemptToLine(Sample("kat", false, 1)) + "\n" +
                          AttemptToLine(Sample("cat\n\"x\",", true, 2)) + "\n");
    const auto history = ReadHistory(File());
    ASSERT_EQ(history.attempts.size(), 2u);
    EXPECT_EQ(history.attempts[1], Sample("cat\n\"x\",", true, 2));
    EXPECT_EQ(history.skippedLines, 0u);
}

TEST_F(HistoryFileTest, DrillAndRetestLinesReadBackButTheProgressFiguresSkipThem)
{
    Attempt drill = Sample("DONT", false, 2);
    drill.phase = "drill";
    Attempt retest = Sample("DON'T", true, 2);
    retest.phase = "retest";
    for (const Attempt& attempt : {Sample("DONT", false, 2), drill, retest})
        AppendAttempt(File(), attempt);
    EXPECT_EQ(ReadHistory(File()).attempts, (std::vector<Attempt>{Sample("DONT", false, 2), drill, retest}));
    EXPECT_NE(AttemptToLine(drill).find(",\"phase\":\"drill\"}"), std::string::npos);
    EXPECT_EQ(AttemptToLine(Sample("DONT")).find("phase"), std::string::npos); // a test line has none

    std::ofstream(dir_ / "Player_One.xml") << "<CHILD name=\"Player_One\"/>";
    const auto source = app::progress::LoadProgressSource("Player_One", dir_ / "Player_One.xml", {});
    EXPECT_EQ(source.history.attempts, std::vector<Attempt>{Sample("DONT", false, 2)});
}

TEST_F(HistoryFileTest, ATornLastLineIsSkippedAndTheNextAppendStartsOnAFreshLine)
{
    const std::string first = AttemptToLine(Sample("one"));
    Write(first + "\n" + first.substr(0, 40));       // the plug was pulled mid-line
    EXPECT_EQ(ReadHistory(File()).skippedLines, 0u); // as if still being written
    AppendAttempt(File(), Sample("two"));
    const auto history = ReadHistory(File());
    ASSERT_EQ(history.attempts.size(), 2u);
    EXPECT_EQ(history.attempts[1].typed, "two");
    EXPECT_EQ(history.skippedLines, 1u);

    // A whole last line that only lost its line end still counts.
    Write(first);
    AppendAttempt(File(), Sample("two"));
    EXPECT_EQ(ReadHistory(File()).attempts.size(), 2u);
    EXPECT_EQ(ReadHistory(File()).skippedLines, 0u);
}

TEST_F(HistoryFileTest, AHistoryThatCannotBeReadOrWrittenSaysSo)
{
    std::filesystem::create_directory(File()); // a folder where the file belongs
    EXPECT_TRUE(ReadHistory(File()).unreadable);
    EXPECT_THROW(AppendAttempt(File(), Sample("x")), std::system_error);
    EXPECT_THROW(AppendAttempt(dir_ / "no such folder" / "a.history", Sample("x")), std::system_error);
}

TEST_F(HistoryFileTest, TwoProcessesAppendingAtOnceNeverMixTheirLines)
{
    // Long lines, so that an unlocked append would be split by the other writer.
    constexpr int kLines = 100;
    const std::string padding(8000, 'p');
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            int status = 0;
            try {
                for (int i = 1; i <= kLines; ++i)
                    AppendAttempt(File(), Sample(std::to_string(c) + padding, c == 1, i));
            } catch (...) {
                status = 1;
            }
            ::_exit(status);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto history = ReadHistory(File());
    EXPECT_EQ(history.skippedLines, 0u);
    ASSERT_EQ(history.attempts.size(), 2u * kLines);
    std::map<bool, std::int64_t> lastTry; // each writer's lines arrive in its own order
    for (const Attempt& attempt : history.attempts) {
        EXPECT_EQ(attempt.typed.substr(1), padding);
        EXPECT_EQ(attempt.tries, lastTry[attempt.right] + 1);
        lastTry[attempt.right] = attempt.tries;
    }
}

TEST_F(HistoryFileTest, AnAppendWaitsForAnotherWritersLockAndStartsAfterItsTornLine)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another tutor holds the lock, then dies in the middle of its line.
        const int fd = ::open(File().c_str(), O_RDWR | O_CREAT | O_APPEND, 0666);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        const bool locked = fd >= 0 && ::fcntl(fd, F_SETLKW, &lock) == 0;
        const bool told = ::write(ready[1], "x", 1) == 1;
        ::usleep(300000);
        const bool wrote = ::write(fd, "{\"run\":\"torn", 12) == 12;
        ::_exit(locked && told && wrote ? 0 : 1);
    }
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    AppendAttempt(File(), Sample("after"));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(Read(), "{\"run\":\"torn\n" + AttemptToLine(Sample("after")) + "\n");
}

} // namespace
