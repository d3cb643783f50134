#include "platform/fs/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;
using platform::EPathError;
using platform::JoinContentPath;
using platform::ResolveContentPath;

namespace {

class ResolveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        base_ = fs::temp_directory_path() /
                ("lexorin-resolve-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(base_);
        fs::create_directories(base_ / "Alpha");
        for (const char* clip : {"PRACTICECOMPLETE.wav", "A.wav", "Correct.wav", "welcome.wav"})
            std::ofstream(base_ / "Alpha" / clip) << "x";
    }
    void TearDown() override { fs::remove_all(base_); }
    fs::path base_;
};

} // namespace

TEST_F(ResolveTest, FindsNamesWrittenInAnotherCase)
{
    EXPECT_EQ(ResolveContentPath(base_, "\\alpha\\PRACTICECOMPLETE.wav"),
              base_ / "Alpha" / "PRACTICECOMPLETE.wav");
    EXPECT_EQ(ResolveContentPath(base_, "Alpha\\a.wav"), base_ / "Alpha" / "A.wav");
    EXPECT_EQ(ResolveContentPath(base_ / "Alpha", "a.wav"), base_ / "Alpha" / "A.wav");
    EXPECT_EQ(ResolveContentPath(base_, "ALPHA/correct.WAV"), base_ / "Alpha" / "Correct.wav");
}

TEST_F(ResolveTest, ExactNameWinsOverOtherCase)
{
    std::ofstream(base_ / "Alpha" / "a.wav") << "lower";
    EXPECT_EQ(ResolveContentPath(base_, "Alpha\\a.wav"), base_ / "Alpha" / "a.wav");
    EXPECT_EQ(ResolveContentPath(base_, "Alpha\\A.wav"), base_ / "Alpha" / "A.wav");
    // Two candidates that differ only in case: the first in listing order is taken, every time.
    EXPECT_EQ(ResolveContentPath(base_, "alpha\\A.WAV"), base_ / "Alpha" / "A.wav");
}

TEST_F(ResolveTest, MissingPartsAreAppendedAsWritten)
{
    EXPECT_EQ(ResolveContentPath(base_, "alpha\\B.wav"), base_ / "Alpha" / "B.wav");
    EXPECT_EQ(ResolveContentPath(base_, "Week_3\\cat.wav"), base_ / "Week_3" / "cat.wav");
    // A file in place of a folder: nothing below it can resolve.
    EXPECT_EQ(ResolveContentPath(base_, "alpha\\a.wav\\x"), base_ / "Alpha" / "A.wav" / "x");
}

TEST_F(ResolveTest, OnlyAsciiLettersFold)
{
    fs::create_directories(base_ / "\xC3\x89t\xC3\xA9");
    EXPECT_EQ(ResolveContentPath(base_, "\xC3\xA9T\xC3\xA9"), base_ / "\xC3\xA9T\xC3\xA9");
    EXPECT_EQ(ResolveContentPath(base_, "\xC3\x89T\xC3\xA9"), base_ / "\xC3\x89t\xC3\xA9");
}

TEST(JoinContentPathTest, SeparatorsEmptyAndDotPartsAreNormalised)
{
    const fs::path base = "/exe";
    EXPECT_EQ(JoinContentPath(base, "Alpha\\Correct.wav"), fs::path("/exe/Alpha/Correct.wav"));
    EXPECT_EQ(JoinContentPath(base, "\\alpha\\X.wav"), fs::path("/exe/alpha/X.wav"));
    EXPECT_EQ(JoinContentPath(base, "a//b\\\\.\\c"), fs::path("/exe/a/b/c"));
    EXPECT_EQ(JoinContentPath(base, "/etc/passwd"), fs::path("/exe/etc/passwd"));
    EXPECT_EQ(JoinContentPath(base, ""), base);
    EXPECT_EQ(JoinContentPath(base, "..."), fs::path("/exe/..."));
}

TEST(JoinContentPathTest, NothingLeadsOutsideTheBase)
{
    const fs::path base = "/exe";
    for (const char* bad : {"..", "..\\secret", "Week\\..\\..\\x.wav", "a/../b", "Alpha\\..", "../"})
        EXPECT_THROW(JoinContentPath(base, bad), EPathError) << bad;
    EXPECT_THROW(JoinContentPath(base, std::string_view("a\0b.wav", 7)), EPathError);
    EXPECT_FALSE(platform::TryJoinContentPath(base, "..\\x").has_value());
    EXPECT_THROW(ResolveContentPath(base, "..\\x"), EPathError);
    try {
        JoinContentPath(base, "..\\x");
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid path: \"..\\x\"");
    }
}
