// The word rules for words added as a list, and word list files from outside.

#include "app/WordRules.h"

#include "support/TempFolderTest.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using app::ClassifyWords;
using app::WordStatus;

TEST(WordRules, RefusedWordsSayWhy)
{
    EXPECT_EQ(app::WordRefusal("KITE"), "");
    EXPECT_EQ(app::WordRefusal("ICE-CREAM'S"), "");
    EXPECT_EQ(app::WordRefusal(std::string(64, 'A')), "");
    // 64 letters of two bytes each are 64 characters, not 128.
    std::string accented;
    for (int i = 0; i < 64; ++i)
        accented += "\xC3\x89";
    EXPECT_EQ(app::WordRefusal(accented), "");
    EXPECT_EQ(app::WordRefusal(accented + "A"), "it is longer than 64 characters");
    EXPECT_EQ(app::WordRefusal(""), "it is empty");
    EXPECT_EQ(app::WordRefusal("A/B"), "it holds \"/\"");
    EXPECT_EQ(app::WordRefusal("A\\B"), "it holds \"\\\"");
    EXPECT_EQ(app::WordRefusal(".."), "it holds \".\"");
    EXPECT_EQ(app::WordRefusal("MR.SMITH"), "it holds \".\"");
    EXPECT_EQ(app::WordRefusal(std::string("A\0B", 3)), "it holds a control character");
    EXPECT_EQ(app::WordRefusal("A\tB"), "it holds a control character");
    EXPECT_EQ(app::WordRefusal("A\x7F"), "it holds a control character");
    EXPECT_EQ(app::WordRefusal("A\xC2\x85"), "it holds a control character"); // U+0085
}

TEST(WordRules, APastedListIsSplitAtLinesAndCommasAndEachWordClassified)
{
    const auto listed = ClassifyWords(" kite , Moon\r\n\n,,cat\nKITE\n../x\n  \nsun.\nmoon", {"CAT", "Sun"});
    std::vector<std::pair<std::string, WordStatus>> got;
    for (const auto& item : listed)
        got.emplace_back(item.word, item.status);
    const std::vector<std::pair<std::string, WordStatus>> want = {
        {"KITE", WordStatus::New},       {"MOON", WordStatus::New},     {"CAT", WordStatus::HasClip},
        {"KITE", WordStatus::Duplicate}, {"../X", WordStatus::Refused}, {"SUN.", WordStatus::Refused},
        {"MOON", WordStatus::Duplicate},
    };
    EXPECT_EQ(got, want);
    EXPECT_EQ(listed[4].reason, "it holds \"/\"");
}

class WordListFileTest : public TempFolderTest {
protected:
    std::string Read(const std::string& bytes, std::string& text)
    {
        std::ofstream(dir_ / "words.txt", std::ios::binary) << bytes;
        return app::ReadWordListFile(dir_ / "words.txt", text);
    }
};

TEST_F(WordListFileTest, UTF8TextIsReadWithoutItsByteOrderMark)
{
    std::string text;
    EXPECT_EQ(Read("\xEF\xBB\xBFkite\nsch\xC3\xB6n\n", text), "");
    EXPECT_EQ(text, "kite\nsch\xC3\xB6n\n");
}

TEST_F(WordListFileTest, HugeBinaryOrMissingFilesAreRefusedWithAReasonAndGiveNoText)
{
    std::string text = "unchanged";
    EXPECT_EQ(Read(std::string(1024 * 1024 + 1, 'a'), text),
              "it is larger than 1 MiB; a list of words is much smaller");
    EXPECT_EQ(Read("kite\n\xFF\xFEmoon", text), "it is not plain text (UTF-8)");
    EXPECT_EQ(Read(std::string("kite\0moon", 9), text), "it is not plain text (UTF-8)");
    EXPECT_EQ(Read("caf\xC3", text), "it is not plain text (UTF-8)"); // cut in the middle of a character
    EXPECT_EQ(text, "unchanged");
    EXPECT_NE(app::ReadWordListFile(dir_ / "none.txt", text), "");
    EXPECT_EQ(Read(std::string(1024 * 1024, 'a'), text), "") << "exactly 1 MiB is still read";
}

} // namespace
