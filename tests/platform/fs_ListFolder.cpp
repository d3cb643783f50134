#include "platform/fs/Files.h"
#include "support/TempFolderTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::DirEntry;
using platform::ListFolder;
using platform::MatchesPattern;

namespace {

class ListFolderTest : public TempFolderTest {
protected:
    void File(const std::string& name) { std::ofstream(dir_ / name) << "x"; }
    void Folder(const std::string& name) { fs::create_directories(dir_ / name); }
    std::vector<std::string> Names(std::string_view pattern) const
    {
        std::vector<std::string> names;
        for (const DirEntry& e : ListFolder(dir_, pattern))
            names.push_back(e.name);
        return names;
    }
    const DirEntry& Find(const std::vector<DirEntry>& entries, const std::string& name)
    {
        const auto it =
            std::find_if(entries.begin(), entries.end(), [&](const DirEntry& e) { return e.name == name; });
        if (it == entries.end())
            throw std::runtime_error("no entry " + name);
        return *it;
    }
};

using NameList = std::vector<std::string>;

} // namespace

TEST(MatchesPatternTest, StarDotMeansNoExtensionAtAll)
{
    EXPECT_TRUE(MatchesPattern("README", "*."));
    EXPECT_TRUE(MatchesPattern("alpha", "*."));
    EXPECT_FALSE(MatchesPattern("Week.3", "*."));
    EXPECT_FALSE(MatchesPattern("a.b.c", "*."));
    EXPECT_FALSE(MatchesPattern(".hidden", "*."));
    EXPECT_FALSE(MatchesPattern("trailing.", "*."));
    EXPECT_TRUE(MatchesPattern("abc", "abc."));
    EXPECT_FALSE(MatchesPattern("abd", "abc."));
}

TEST(MatchesPatternTest, WavPatternIgnoresCaseAndTakesDottedNames)
{
    EXPECT_TRUE(MatchesPattern("CAT.wav", "*.wav"));
    EXPECT_TRUE(MatchesPattern("A.WAV", "*.wav"));
    EXPECT_TRUE(MatchesPattern("MR.SMITH.wav", "*.wav"));
    EXPECT_TRUE(MatchesPattern(".wav", "*.wav"));
    EXPECT_FALSE(MatchesPattern("CAT.wave", "*.wav"));
    EXPECT_FALSE(MatchesPattern("CATwav", "*.wav"));
    EXPECT_FALSE(MatchesPattern("CAT.wav.bak", "*.wav"));
    EXPECT_TRUE(MatchesPattern("Player_One.xml", "*.xml"));
    EXPECT_FALSE(MatchesPattern(".Player_One.xml.tmp-abc123", "*.xml"));
}

TEST(MatchesPatternTest, StarQuestionMarkAndLiterals)
{
    EXPECT_TRUE(MatchesPattern("", "*"));
    EXPECT_TRUE(MatchesPattern("anything.at.all", "*"));
    EXPECT_TRUE(MatchesPattern("a.wav", "?.wav"));
    EXPECT_FALSE(MatchesPattern("ab.wav", "?.wav"));
    EXPECT_TRUE(MatchesPattern("abcabd", "*ab?"));
    EXPECT_FALSE(MatchesPattern("abc", "abcd"));
    EXPECT_FALSE(MatchesPattern("", "?"));
    // Non-ASCII letters are compared as bytes: only A-Z fold.
    EXPECT_FALSE(MatchesPattern("\xC3\x89.wav", "\xC3\xA9.wav"));
    EXPECT_TRUE(MatchesPattern("\xC3\x89.wav", "\xC3\x89.WAV"));
}

TEST(MatchesPatternTest, ManyStarsOnLongNameStaysQuick)
{
    const std::string name(4000, 'a');
    EXPECT_FALSE(MatchesPattern(name, "*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(MatchesPattern(name, "*a*a*a*a*a*a*a*a*"));
}

TEST_F(ListFolderTest, LessonPatternListsExtensionlessFilesAndFoldersWithAttributes)
{
    Folder("alpha");
    Folder("Alpha");
    Folder("Children");
    Folder("Week.3");
    Folder(".hidden");
    File("README");
    File("lexorin");
    File("LexorinHelp.mht");
    // Every extensionless entry is listed; skipping Alpha, Children and hidden ones is the caller's rule.
    EXPECT_EQ(Names("*."), (NameList{"Alpha", "alpha", "Children", "lexorin", "README"}));

    const auto entries = ListFolder(dir_, "*.");
    EXPECT_TRUE(Find(entries, "alpha").directory);
    EXPECT_FALSE(Find(entries, "README").directory);
    for (const auto& e : entries) {
        EXPECT_FALSE(e.hidden) << e.name;
        EXPECT_FALSE(e.system) << e.name;
    }
}

TEST_F(ListFolderTest, EntriesAreSortedWithoutRegardToCase)
{
    for (const char* name : {"b.wav", "C.wav", "a.wav", "B.wav", "A.wav"})
        File(name);
    EXPECT_EQ(Names("*.wav"), (NameList{"A.wav", "a.wav", "B.wav", "b.wav", "C.wav"}));
}

TEST_F(ListFolderTest, WordPatternTakesEverythingIncludingHiddenAndFolders)
{
    File("CAT.wav");
    File("MR.SMITH.wav");
    File(".wav");
    File("DOG.WAV");
    File("notes.txt");
    Folder("odd.wav");
    const auto entries = ListFolder(dir_, "*.wav");
    EXPECT_EQ(Names("*.wav"), (NameList{".wav", "CAT.wav", "DOG.WAV", "MR.SMITH.wav", "odd.wav"}));
    EXPECT_TRUE(Find(entries, ".wav").hidden);
    EXPECT_TRUE(Find(entries, "odd.wav").directory);
    EXPECT_FALSE(Find(entries, "CAT.wav").hidden);
}

TEST_F(ListFolderTest, ReadOnlyAndSystemAttributes)
{
    File("locked");
    fs::permissions(dir_ / "locked",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    File("plain");
    ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0600), 0);
    fs::create_symlink(dir_ / "nowhere", dir_ / "dangling");
    Folder("real");
    fs::create_directory_symlink(dir_ / "real", dir_ / "linked");

    const auto entries = ListFolder(dir_, "*");
    EXPECT_TRUE(Find(entries, "locked").readOnly);
    EXPECT_FALSE(Find(entries, "plain").readOnly);
    EXPECT_TRUE(Find(entries, "pipe").system);
    EXPECT_TRUE(Find(entries, "dangling").system);
    EXPECT_FALSE(Find(entries, "plain").system);
    EXPECT_TRUE(Find(entries, "linked").directory);
    EXPECT_FALSE(Find(entries, "linked").system);
}

TEST_F(ListFolderTest, MissingUnreadableOrFileFolderGivesEmptyList)
{
    EXPECT_TRUE(ListFolder(dir_ / "missing", "*").empty());
    File("afile");
    EXPECT_TRUE(ListFolder(dir_ / "afile", "*").empty());
    EXPECT_TRUE(ListFolder("", "*").empty());

    Folder("locked");
    std::ofstream(dir_ / "locked" / "inside.wav") << "x";
    fs::permissions(dir_ / "locked", fs::perms::none);
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any folder";
    EXPECT_TRUE(ListFolder(dir_ / "locked", "*.wav").empty());
}

TEST_F(ListFolderTest, ExistenceTestsAndForceDirectories)
{
    File("f");
    Folder("d");
    EXPECT_TRUE(platform::FileExists(dir_ / "f"));
    EXPECT_FALSE(platform::FileExists(dir_ / "d"));
    EXPECT_FALSE(platform::FileExists(dir_ / "none"));
    EXPECT_TRUE(platform::DirectoryExists(dir_ / "d"));
    EXPECT_FALSE(platform::DirectoryExists(dir_ / "f"));
    EXPECT_FALSE(platform::DirectoryExists(dir_ / "none"));

    EXPECT_TRUE(platform::ForceDirectories(dir_ / "a" / "b" / "Children"));
    EXPECT_TRUE(platform::DirectoryExists(dir_ / "a" / "b" / "Children"));
    EXPECT_TRUE(platform::ForceDirectories(dir_ / "a" / "b" / "Children")); // already there
    EXPECT_FALSE(platform::ForceDirectories(dir_ / "f" / "below-a-file"));
    EXPECT_FALSE(platform::ForceDirectories(""));
}

TEST(PlainFileNameTest, RefusesSeparatorsAndDotNames)
{
    EXPECT_TRUE(platform::IsPlainFileName("Player_One.xml"));
    EXPECT_TRUE(platform::IsPlainFileName(".xml"));
    EXPECT_TRUE(platform::IsPlainFileName("a<b"));
    EXPECT_FALSE(platform::IsPlainFileName(""));
    EXPECT_FALSE(platform::IsPlainFileName("."));
    EXPECT_FALSE(platform::IsPlainFileName(".."));
    EXPECT_FALSE(platform::IsPlainFileName("a/b"));
    EXPECT_FALSE(platform::IsPlainFileName("a\\b"));
    EXPECT_FALSE(platform::IsPlainFileName(std::string_view("a\0b", 3)));
}
