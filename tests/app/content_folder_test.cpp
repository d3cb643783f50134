// Which content folder the tutor uses, what a folder it makes gets, and the plain
// messages for folders it cannot use.

#include "app/ContentFolder.h"
#include "support/TempFolderTest.h"

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& file, const std::string& bytes = "RIFF")
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

} // namespace

class ContentFolderTest : public TempFolderTest {
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        places_ = {};
        places_.programDir = dir_ / "usr/bin";
        places_.installedData = dir_ / "usr/share/lexorin";
        places_.settingsFile = dir_ / "config/lexorin/lexorin.conf";
        places_.userDataDir = dir_ / "data/lexorin";
        fs::create_directories(places_.programDir);
        Touch(places_.installedData / "Alpha/welcome.wav");
        Touch(places_.installedData / "First Words/CAT.wav");
        Touch(places_.installedData / "LexorinHelp.mht", "help");
    }

    void Save(const std::string& text) const { Touch(places_.settingsFile, text); }

    app::ContentPlaces places_;
};

// Each source in turn, what it yields, and what a folder the tutor makes gets.
TEST_F(ContentFolderTest, EachSourceInItsOrderAndTheFirstRunCopy)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        fs::path expected; // below dir_
        app::ContentSource source;
        bool created;
        bool folderGone;
        const char* problemHas; // "" for none
    };
    const std::vector<Case> cases = {
        {"command line, an existing folder, over everything else",
         [this] {
             fs::create_directories(dir_ / "class");
             fs::create_directories(places_.programDir / "Alpha");
             places_.commandLine = dir_ / "class";
         },
         "class", app::ContentSource::CommandLine, false, false, ""},
        {"command line, a new folder in an existing one", [this] { places_.commandLine = dir_ / "new/"; },
         "new", app::ContentSource::CommandLine, true, false, ""},
        {"the program's own folder holding Alpha, over a saved choice",
         [this] {
             fs::create_directories(places_.programDir / "Alpha");
             fs::create_directories(dir_ / "share");
             Save("[General]\nLessonsFolder=" + (dir_ / "share").string() + "\n");
         },
         "usr/bin", app::ContentSource::ProgramFolder, false, false, ""},
        {"a saved folder",
         [this] {
             fs::create_directories(dir_ / "share");
             ASSERT_TRUE(app::SaveContentFolder(places_.settingsFile, dir_ / "share"));
         },
         "share", app::ContentSource::Saved, false, false, ""},
        {"a saved folder that is gone is kept and said",
         [this] { Save("[General]\nLessonsFolder=" + (dir_ / "usb").string() + "\n"); }, "usb",
         app::ContentSource::Saved, false, true, "cannot be found"},
        {"nothing saved: the user's data folder, made with the sample", [] {}, "data/lexorin",
         app::ContentSource::UserData, true, false, ""},
        {"an existing user's folder never gets the sample again",
         [this] { fs::create_directories(places_.userDataDir / "Children"); }, "data/lexorin",
         app::ContentSource::UserData, false, false, ""},
        {"a damaged settings file: the user's folder, and said",
         [this] { Save("[General]\nLessonsFolder=relative/folder\n"); }, "data/lexorin",
         app::ContentSource::UserData, true, false, "is damaged"},
        {"a settings file of garbage: the same", [this] { Save(std::string("\x89PNG\0\xff[[=\n", 10)); },
         "data/lexorin", app::ContentSource::UserData, true, false, "is damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.arrange();
        const app::ContentChoice choice = app::ChooseContentFolder(places_);
        EXPECT_EQ(choice.folder.lexically_normal(), (dir_ / c.expected).lexically_normal());
        EXPECT_EQ(choice.source, c.source);
        EXPECT_EQ(choice.created, c.created);
        EXPECT_EQ(choice.folderGone, c.folderGone);
        if (*c.problemHas) {
            EXPECT_NE(choice.problem.find(c.problemHas), std::string::npos) << choice.problem;
        } else {
            EXPECT_EQ(choice.problem, "");
        }
        EXPECT_EQ(fs::exists(choice.folder / "First Words/CAT.wav"), c.created);
        EXPECT_EQ(fs::is_directory(choice.folder / "Children"), c.created || c.expected == "data/lexorin");
        if (c.created) {
            EXPECT_FALSE(fs::exists(choice.folder / "Alpha")) << "the program's clips stay with the program";
        }
        if (c.folderGone) {
            EXPECT_FALSE(fs::exists(choice.folder)) << "a gone folder is never made";
        }
    }
}

TEST_F(ContentFolderTest, ACommandLineFolderThatCannotBeUsedIsRefusedWithAPlainMessage)
{
    Touch(dir_ / "notes.txt", "text");
    const std::vector<std::pair<fs::path, std::string>> refused = {
        {dir_ / "notes.txt", "is a file, not a folder"},
        {dir_ / "missing/lessons", "does not exist"},
    };
    for (const auto& [given, says] : refused) {
        places_.commandLine = given;
        try {
            app::ChooseContentFolder(places_);
            ADD_FAILURE() << given << " was accepted";
        } catch (const app::EContentFolderError& error) {
            EXPECT_NE(std::string(error.what()).find(says), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(given.string()), std::string::npos) << error.what();
        }
    }
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(ContentFolderTest, AFolderThatCannotBeReadOrWrittenIsSaidOrRefused)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads and writes through any permission";
    fs::create_directories(dir_ / "locked");
    ASSERT_EQ(::chmod((dir_ / "locked").c_str(), 0), 0);
    places_.commandLine = dir_ / "locked";
    const app::ContentChoice locked = app::ChooseContentFolder(places_);
    EXPECT_EQ(locked.folder, dir_ / "locked");
    EXPECT_NE(locked.problem.find("cannot be read"), std::string::npos) << locked.problem;
    EXPECT_NE(locked.problem.find((dir_ / "locked").string()), std::string::npos) << locked.problem;

    fs::create_directories(dir_ / "readonly");
    ASSERT_EQ(::chmod((dir_ / "readonly").c_str(), 0555), 0);
    places_.commandLine = dir_ / "readonly/lessons";
    EXPECT_THROW(app::ChooseContentFolder(places_), app::EContentFolderError);

    // A read-only folder is used as it is: its lists show, each write says it failed.
    places_.commandLine = dir_ / "readonly";
    EXPECT_EQ(app::ChooseContentFolder(places_).problem, "");

    // The user's data folder cannot be made: said, and no other folder is used instead.
    places_.commandLine.reset();
    places_.userDataDir = dir_ / "readonly/lexorin";
    const app::ContentChoice unmade = app::ChooseContentFolder(places_);
    EXPECT_EQ(unmade.folder, dir_ / "readonly/lexorin");
    EXPECT_NE(unmade.problem.find("could not be made"), std::string::npos) << unmade.problem;
}

TEST_F(ContentFolderTest, TheContentOptionIsReadInBothForms)
{
    const char* spaced[] = {"lexorin", "--content", "/srv/class"};
    const char* joined[] = {"lexorin", "--content=/srv/class"};
    const char* none[] = {"lexorin", "-platform", "offscreen"};
    const char* bare[] = {"lexorin", "--content"};
    EXPECT_EQ(app::ContentArgument(3, spaced), fs::path("/srv/class"));
    EXPECT_EQ(app::ContentArgument(2, joined), fs::path("/srv/class"));
    EXPECT_EQ(app::ContentArgument(3, none), std::nullopt);
    EXPECT_THROW(app::ContentArgument(2, bare), app::EContentFolderError);
}

TEST_F(ContentFolderTest, PlacesFollowTheEnvironmentAndTheProgramsFolder)
{
    const app::ContentPlaces installed = app::PlacesFor(dir_ / "usr/bin", std::nullopt);
    EXPECT_EQ(installed.installedData, dir_ / "usr/share/lexorin");
    EXPECT_EQ(installed.settingsFile, fs::path(std::getenv("XDG_CONFIG_HOME")) / "lexorin/lexorin.conf");
    EXPECT_EQ(installed.userDataDir, fs::path(std::getenv("XDG_DATA_HOME")) / "lexorin");
    fs::create_directories(dir_ / "portable/Alpha");
    EXPECT_EQ(app::PlacesFor(dir_ / "portable", std::nullopt).installedData, dir_ / "portable");
}
