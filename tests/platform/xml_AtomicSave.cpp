#include "platform/fs/Files.h"
#include "platform/xml/AtomicFile.h"
#include "platform/xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::AtomicWriteStage;
using platform::EXmlError;
using platform::XmlDocument;

namespace {

const std::string kOld =
    "<CHILD name=\"P\"><Week_3><CAT word=\"CAT\" trys=\"1\" correct=\"1\"/></Week_3></CHILD>";

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FolderNames(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : platform::ListFolder(dir, "*"))
        names.push_back(e.name);
    return names;
}

class AtomicSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ =
            fs::temp_directory_path() / ("lexorin-atomic-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        target_ = dir_ / "P.xml";
        std::ofstream(target_) << kOld;
        // A record big enough that "half written" means something.
        doc_.LoadFromText(kOld);
        auto lesson = doc_.DocumentElement().FindChild("Week_3");
        for (int i = 0; i < 2000; ++i)
            lesson.AppendChild("W" + std::to_string(i)).SetAttribute("trys", i);
        newText_ = doc_.SaveToText();
    }
    void TearDown() override
    {
        platform::SetAtomicWriteHook({});
        fs::remove_all(dir_);
    }
    fs::path dir_, target_;
    XmlDocument doc_;
    std::string newText_;
};

} // namespace

TEST_F(AtomicSaveTest, TemporaryFileIsHiddenBesideTheTargetAndNeverListedAsARecord)
{
    fs::path seen;
    platform::SetAtomicWriteHook([&](AtomicWriteStage stage) {
        if (stage == AtomicWriteStage::Created) {
            for (const auto& e : fs::directory_iterator(dir_))
                if (e.path() != target_)
                    seen = e.path();
        }
    });
    doc_.SaveToFile(target_);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.parent_path(), dir_);
    const std::string name = seen.filename().string();
    EXPECT_EQ(name.rfind(".P.xml.tmp-", 0), 0u) << name;
    EXPECT_FALSE(platform::MatchesPattern(name, "*.xml"));
    EXPECT_FALSE(platform::MatchesPattern(name, "*.XML"));
    EXPECT_FALSE(platform::MatchesPattern(name, "*."));
    EXPECT_EQ(ReadFile(target_), newText_);
    EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"P.xml"});
}

TEST_F(AtomicSaveTest, FailureAtAnyStageLeavesTheOldFileAndNoTemporary)
{
    for (auto failAt : {AtomicWriteStage::Created, AtomicWriteStage::PartWritten, AtomicWriteStage::Written,
                        AtomicWriteStage::Flushed}) {
        platform::SetAtomicWriteHook([&](AtomicWriteStage stage) {
            if (stage == failAt)
                throw platform::EFileWriteError("injected");
        });
        EXPECT_THROW(doc_.SaveToFile(target_), EXmlError) << static_cast<int>(failAt);
        EXPECT_EQ(ReadFile(target_), kOld);
        EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"P.xml"});
    }
    platform::SetAtomicWriteHook({});
    doc_.SaveToFile(target_);
    EXPECT_EQ(ReadFile(target_), newText_);
}

TEST_F(AtomicSaveTest, RealWriteFailureHalfwayLeavesTheOldFile)
{
    // The file-size limit makes the kernel refuse the write in the middle of the record.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = newText_.size() / 3;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        doc_.SaveToFile(target_);
    } catch (const EXmlError& e) {
        message = e.Message();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(message, "Cannot write file \"" + target_.string() + "\". File too large");
    EXPECT_EQ(ReadFile(target_), kOld);
    EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"P.xml"});
}

TEST_F(AtomicSaveTest, CrashAtAnyStageLeavesOldOrNewNeverBroken)
{
    for (auto crashAt : {AtomicWriteStage::Created, AtomicWriteStage::PartWritten, AtomicWriteStage::Written,
                         AtomicWriteStage::Flushed}) {
        std::ofstream(target_, std::ios::trunc) << kOld;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            platform::SetAtomicWriteHook([&](AtomicWriteStage stage) {
                if (stage == crashAt)
                    ::_exit(42); // no unwinding, no cleanup: as if the power went
            });
            try {
                doc_.SaveToFile(target_);
            } catch (...) {
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 42);

        EXPECT_EQ(ReadFile(target_), kOld) << static_cast<int>(crashAt);
        XmlDocument check;
        EXPECT_NO_THROW(check.LoadFromFile(target_));
        // The leftover temporary is hidden and never taken for a player.
        const auto records = platform::ListFolder(dir_, "*.xml");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].name, "P.xml");
        for (const auto& e : platform::ListFolder(dir_, "*"))
            EXPECT_TRUE(e.name == "P.xml" || e.hidden) << e.name;
    }
}

TEST_F(AtomicSaveTest, TheNextGoodSaveRemovesTemporariesOfKilledSavesOlderThanTenMinutes)
{
    // Each killed save leaves its half-written temporary behind; the newest one is the litter.
    auto killedSave = [&](const fs::path& target) {
        const pid_t child = ::fork();
        if (child == 0) {
            platform::SetAtomicWriteHook([](AtomicWriteStage stage) {
                if (stage == AtomicWriteStage::PartWritten)
                    ::_exit(42);
            });
            try {
                doc_.SaveToFile(target);
            } catch (...) {
            }
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42);
        fs::path newest;
        for (const auto& e : fs::directory_iterator(dir_))
            if (e.path().filename().string().find(".tmp-") != std::string::npos &&
                (newest.empty() || fs::last_write_time(e) > fs::last_write_time(newest)))
                newest = e.path();
        return newest;
    };
    auto age = [](const fs::path& file, std::chrono::minutes minutes) {
        fs::last_write_time(file, fs::file_time_type::clock::now() - minutes);
        return file.filename().string();
    };
    const std::string stale = age(killedSave(target_), std::chrono::minutes(11));
    // Younger: perhaps another tutor's save still under way on a shared folder.
    const std::string young = age(killedSave(target_), std::chrono::minutes(9));
    const std::string otherRecord = age(killedSave(dir_ / "Q.xml"), std::chrono::minutes(60));
    std::ofstream(dir_ / (stale + ".bak")) << "not a temporary";
    age(dir_ / (stale + ".bak"), std::chrono::minutes(60));
    std::ofstream(dir_ / "Q.xml") << kOld;

    // A failed save removes nothing.
    platform::SetAtomicWriteHook([](AtomicWriteStage stage) {
        if (stage == AtomicWriteStage::Flushed)
            throw platform::EFileWriteError("injected");
    });
    EXPECT_THROW(doc_.SaveToFile(target_), EXmlError);
    EXPECT_EQ(FolderNames(dir_).size(), 6u);

    platform::SetAtomicWriteHook({});
    doc_.SaveToFile(target_);
    std::vector<std::string> left = FolderNames(dir_),
                             wanted{"P.xml", "Q.xml", young, otherRecord, stale + ".bak"};
    std::sort(left.begin(), left.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(left, wanted);
    EXPECT_EQ(ReadFile(target_), newText_);
}

TEST_F(AtomicSaveTest, NewFileInEmptyFolderAndRepeatedSaves)
{
    const fs::path fresh = dir_ / ".xml"; // the empty player's record
    for (int i = 0; i < 3; ++i) {
        doc_.DocumentElement().SetAttribute("round", i);
        doc_.SaveToFile(fresh);
        XmlDocument check;
        check.LoadFromFile(fresh);
        EXPECT_EQ(check.DocumentElement().AttributeAsInteger("round"), i);
    }
    EXPECT_EQ(FolderNames(dir_), (std::vector<std::string>{".xml", "P.xml"}));

    // A name near the file system's limit still saves: the temporary name is cut to fit.
    const std::string longName = std::string(251, 'L') + ".xml";
    doc_.SaveToFile(dir_ / longName);
    EXPECT_EQ(ReadFile(dir_ / longName), doc_.SaveToText());
    EXPECT_EQ(FolderNames(dir_).size(), 3u);
}
