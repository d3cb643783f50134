// Which content folder the tutor uses, what a folder it makes gets, and the plain
// messages for folders it cannot use.

#include "app/ContentFolder.h"
#include "support/TempFolderTest.h"

#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

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
        for (const char* file : {"Alpha/welcome.wav", "First Words/CAT.wav", "LexorinHelp.mht"})
            Touch(places_.installedData / file);
    }

    static void Touch(const fs::path& file, const std::string& bytes = "RIFF")
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }

    // The message of the refusal to use `commandLine`; empty when it was used.
    std::string Refusal(const fs::path& commandLine)
    {
        places_.commandLine = commandLine;
        try {
            app::ChooseContentFolder(places_);
        } catch (const app::EContentFolderError& error) {
            return error.what();
        }
        return "";
    }

    app::ContentPlaces places_;
};

// Each source in turn, what it yields, and what a folder the tutor makes gets.
TEST_F(ContentFolderTest, EachSourceInItsOrderAndTheFirstRunCopy)
{
    struct Case {
        std::vector<const char*> folders; // made below dir_ first
        const char* commandLine;          // below dir_; nullptr for none
        std::string settings;             // "$" stands for dir_; "" for no settings file
        fs::path expected;                // below dir_
        app::ContentSource source;
        bool created;
        bool gone;
        const char* problemHas; // "" for none
    };
    using S = app::ContentSource;
    const std::string share = "[General]\nLessonsFolder=$/share\n", garbage("\x89PNG\0\xff[[=\n", 10);
    const fs::path user = "data/lexorin";
    const std::vector<Case> cases = {
        // The command line: an existing folder, over everything else; a new folder in an existing one.
        {{"class", "usr/bin/Alpha"}, "class", share, "class", S::CommandLine, false, false, ""},
        {{}, "new/", "", "new", S::CommandLine, true, false, ""},
        // The program's own folder holding Alpha, over a saved choice.
        {{"usr/bin/Alpha", "share"}, nullptr, share, "usr/bin", S::ProgramFolder, false, false, ""},
        // A saved folder; one that is gone is kept and said.
        {{"share"}, nullptr, share, "share", S::Saved, false, false, ""},
        {{}, nullptr, "[General]\nLessonsFolder=$/usb\n", "usb", S::Saved, false, true, "cannot be found"},
        // Nothing saved: the user's data folder, made with the sample; an existing one never gets it again.
        {{}, nullptr, "", user, S::UserData, true, false, ""},
        {{"data/lexorin/Children"}, nullptr, "", user, S::UserData, false, false, ""},
        // A damaged settings file or one of garbage: the user's folder, and said.
        {{}, nullptr, "[General]\nLessonsFolder=relative\n", user, S::UserData, true, false, "is damaged"},
        {{}, nullptr, garbage, user, S::UserData, true, false, "is damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases.data());
        TearDown();
        SetUp();
        for (const char* folder : c.folders)
            fs::create_directories(dir_ / folder);
        if (c.commandLine)
            places_.commandLine = dir_ / c.commandLine;
        if (!c.settings.empty()) {
            std::string settings = c.settings;
            if (const auto at = settings.find('$'); at != std::string::npos)
                settings.replace(at, 1, dir_.string());
            Touch(places_.settingsFile, settings);
        }
        const app::ContentChoice choice = app::ChooseContentFolder(places_);
        EXPECT_EQ(choice.folder.lexically_normal(), (dir_ / c.expected).lexically_normal());
        EXPECT_EQ(choice.source, c.source);
        EXPECT_EQ(choice.created, c.created);
        EXPECT_EQ(choice.folderGone, c.gone);
        EXPECT_EQ(choice.problem.empty(), !*c.problemHas) << choice.problem;
        EXPECT_NE(choice.problem.find(c.problemHas), std::string::npos) << choice.problem;
        EXPECT_EQ(fs::exists(choice.folder / "First Words/CAT.wav"), c.created);
        EXPECT_EQ(fs::is_directory(choice.folder / "Children"), c.created || c.expected == user);
        EXPECT_FALSE(c.created && fs::exists(choice.folder / "Alpha"))
            << "the program's clips stay with the program";
        EXPECT_EQ(fs::exists(choice.folder), !c.gone) << "a gone folder is never made";
    }
    // The chooser reads back what the tutor saves.
    ASSERT_TRUE(app::SaveContentFolder(places_.settingsFile, dir_ / "share"));
    EXPECT_EQ(app::ChooseContentFolder(places_).folder, dir_ / "share");
}

TEST_F(ContentFolderTest, ACommandLineFolderThatCannotBeUsedIsRefusedWithAPlainMessage)
{
    Touch(dir_ / "notes.txt", "text");
    for (const auto& [given, says] : {std::pair{dir_ / "notes.txt", "is a file, not a folder"},
                                      std::pair{dir_ / "missing/lessons", "does not exist"}}) {
        const std::string refusal = Refusal(given);
        EXPECT_NE(refusal.find(says), std::string::npos) << given << ": " << refusal;
        EXPECT_NE(refusal.find(given.string()), std::string::npos) << refusal;
    }
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(ContentFolderTest, AFolderThatCannotBeReadOrWrittenIsSaidOrRefused)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads and writes through any permission";
    fs::create_directories(dir_ / "locked");
    fs::create_directories(dir_ / "readonly");
    ASSERT_EQ(::chmod((dir_ / "locked").c_str(), 0), 0);
    ASSERT_EQ(::chmod((dir_ / "readonly").c_str(), 0555), 0);
    places_.commandLine = dir_ / "locked";
    const app::ContentChoice locked = app::ChooseContentFolder(places_);
    EXPECT_EQ(locked.folder, dir_ / "locked");
    EXPECT_NE(locked.problem.find("\"" + (dir_ / "locked").string() + "\" cannot be read"), std::string::npos)
        << locked.problem;

    EXPECT_NE(Refusal(dir_ / "readonly/lessons"), "");
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

TEST_F(ContentFolderTest, TheContentOptionIsReadInBothFormsAndPlacesFollowTheEnvironment)
{
    const char* spaced[] = {"lexorin", "--content", "/srv/class"};
    const char* joined[] = {"lexorin", "--content=/srv/class"};
    const char* none[] = {"lexorin", "-platform", "offscreen"};
    EXPECT_EQ(app::ContentArgument(3, spaced), fs::path("/srv/class"));
    EXPECT_EQ(app::ContentArgument(2, joined), fs::path("/srv/class"));
    EXPECT_EQ(app::ContentArgument(3, none), std::nullopt);
    EXPECT_THROW(app::ContentArgument(2, spaced), app::EContentFolderError); // --content without a folder

    const app::ContentPlaces installed = app::PlacesFor(dir_ / "usr/bin", std::nullopt);
    EXPECT_EQ(installed.installedData, dir_ / "usr/share/lexorin");
    EXPECT_EQ(installed.settingsFile, fs::path(std::getenv("XDG_CONFIG_HOME")) / "lexorin/lexorin.conf");
    EXPECT_EQ(installed.userDataDir, fs::path(std::getenv("XDG_DATA_HOME")) / "lexorin");
    fs::create_directories(dir_ / "portable/Alpha");
    EXPECT_EQ(app::PlacesFor(dir_ / "portable", std::nullopt).installedData, dir_ / "portable");
}
