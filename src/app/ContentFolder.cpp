#include "app/ContentFolder.h"

#include "platform/fs/Files.h"

#include <QDir>
#include <QSettings>
#include <QString>

#include <cstdlib>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace app {

namespace fs = std::filesystem;

namespace {

constexpr char kSettingsKey[] = "LessonsFolder";

std::string Quoted(const fs::path& path)
{
    return "\"" + path.string() + "\"";
}

// An absolute folder from an XDG variable, else `fallback` below the home folder.
fs::path XdgFolder(const char* variable, std::string_view fallback)
{
    if (const char* value = std::getenv(variable); value && fs::path(value).is_absolute())
        return value;
    return fs::path(QDir::homePath().toStdString()) / fallback;
}

std::string WhatToDo(ContentSource source)
{
    if (source == ContentSource::Saved || source == ContentSource::UserData)
        return "Choose another folder with \"Lessons Folder...\" (right-click the lesson list on the "
               "Lesson Editor page), or ask whoever looks after this computer to let you read it.";
    return "Ask whoever looks after this computer to let you read it, or start the tutor with "
           "--content and another folder.";
}

// Every lesson that comes with the program: its data's folders but Alpha and Children.
std::error_code CopySampleLessons(const fs::path& installedData, const fs::path& folder)
{
    std::error_code error;
    for (const platform::DirEntry& entry : platform::ListFolder(installedData, "*")) {
        if (!entry.directory || entry.hidden || entry.name == "Alpha" || entry.name == "Children")
            continue;
        fs::copy(installedData / entry.name, folder / entry.name, fs::copy_options::recursive, error);
        if (error)
            return error;
    }
    return error;
}

// Makes a new content folder with its Children folder and the sample lesson; a plain
// message when that fails (empty when done).
std::string MakeContentFolder(const fs::path& folder, const fs::path& installedData)
{
    std::error_code error;
    fs::create_directories(folder / "Children", error);
    if (error)
        return "The lessons folder " + Quoted(folder) + " could not be made (" + error.message() +
               "), so nothing can be saved. " + WhatToDo(ContentSource::UserData);
    if (CopySampleLessons(installedData, folder))
        return "The sample lesson could not be copied into " + Quoted(folder) + ".";
    return {};
}

// An existing folder: a message when it cannot be read.
ContentChoice Existing(fs::path folder, ContentSource source)
{
    ContentChoice choice{std::move(folder), source};
    if (!IsReadableFolder(choice.folder))
        choice.problem = "The lessons folder " + Quoted(choice.folder) +
                         " cannot be read, so no lessons or players are shown. " + WhatToDo(source);
    return choice;
}

ContentChoice FromCommandLine(const fs::path& given, const fs::path& installedData)
{
    fs::path folder = fs::absolute(given).lexically_normal();
    if (!folder.has_filename()) // "DIR/" names DIR
        folder = folder.parent_path();
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (fs::is_directory(status))
        return Existing(folder, ContentSource::CommandLine);
    if (fs::exists(status))
        throw EContentFolderError("--content: " + Quoted(folder) + " is a file, not a folder.");
    const fs::path parent = folder.parent_path();
    if (!platform::DirectoryExists(parent))
        throw EContentFolderError("--content: the folder " + Quoted(parent) + " that is to hold " +
                                  Quoted(folder) + " does not exist.");
    if (!fs::create_directory(folder, error) || error)
        throw EContentFolderError("--content: " + Quoted(folder) + " cannot be made (" + error.message() +
                                  ").");
    ContentChoice choice{folder, ContentSource::CommandLine, true};
    choice.problem = MakeContentFolder(folder, installedData);
    return choice;
}

ContentChoice FromUserData(const ContentPlaces& places)
{
    if (fs::exists(places.userDataDir))
        return Existing(places.userDataDir, ContentSource::UserData);
    ContentChoice choice{places.userDataDir, ContentSource::UserData, true};
    choice.problem = MakeContentFolder(places.userDataDir, places.installedData);
    return choice;
}

ContentChoice FromSaved(const fs::path& saved)
{
    if (platform::DirectoryExists(saved))
        return Existing(saved, ContentSource::Saved);
    ContentChoice choice{saved, ContentSource::Saved};
    choice.folderGone = true;
    choice.problem = "The lessons folder " + Quoted(saved) +
                     " cannot be found. It may be on a USB stick or a network folder that is not "
                     "connected: connect it and start the tutor again.\n\nChoose another lessons folder now?";
    return choice;
}

} // namespace

bool IsReadableFolder(const fs::path& folder)
{
    return platform::DirectoryExists(folder) && ::access(folder.c_str(), R_OK | X_OK) == 0;
}

ContentPlaces PlacesFor(const fs::path& programDir, std::optional<fs::path> commandLine)
{
    ContentPlaces places;
    places.commandLine = std::move(commandLine);
    places.programDir = programDir;
    places.settingsFile = XdgFolder("XDG_CONFIG_HOME", ".config") / "lexorin" / "lexorin.conf";
    places.userDataDir = XdgFolder("XDG_DATA_HOME", ".local/share") / "lexorin";
    places.installedData = platform::DirectoryExists(programDir / "Alpha")
                               ? programDir
                               : (programDir / ".." / "share" / "lexorin").lexically_normal();
    return places;
}

ContentChoice ChooseContentFolder(const ContentPlaces& places)
{
    if (places.commandLine)
        return FromCommandLine(*places.commandLine, places.installedData);
    if (platform::DirectoryExists(places.programDir / "Alpha"))
        return Existing(places.programDir, ContentSource::ProgramFolder);
    try {
        if (const std::optional<fs::path> saved = SavedContentFolder(places.settingsFile))
            return FromSaved(*saved);
    } catch (const EContentFolderError& damaged) {
        ContentChoice choice = FromUserData(places);
        const std::string more = choice.problem.empty() ? std::string() : "\n\n" + choice.problem;
        choice.problem = std::string(damaged.what()) + " The tutor uses the lessons folder " +
                         Quoted(choice.folder) + " until you choose one with \"Lessons Folder...\"." + more;
        return choice;
    }
    return FromUserData(places);
}

std::optional<fs::path> SavedContentFolder(const fs::path& settingsFile)
{
    if (!fs::exists(settingsFile))
        return std::nullopt;
    const QSettings settings(QString::fromStdString(settingsFile.string()), QSettings::IniFormat);
    const QVariant value = settings.value(kSettingsKey);
    const std::string damaged =
        "The settings file " + Quoted(settingsFile) + " is damaged or cannot be read.";
    if (settings.status() != QSettings::NoError || ::access(settingsFile.c_str(), R_OK) != 0)
        throw EContentFolderError(damaged);
    // The tutor writes the file only with the folder in it: a file without one is damaged.
    const fs::path folder = value.toString().toStdString();
    if (!value.isValid() || !folder.is_absolute())
        throw EContentFolderError(damaged);
    return folder;
}

bool SaveContentFolder(const fs::path& settingsFile, const fs::path& folder)
{
    platform::ForceDirectories(settingsFile.parent_path());
    QSettings settings(QString::fromStdString(settingsFile.string()), QSettings::IniFormat);
    settings.setValue(kSettingsKey, QString::fromStdString(folder.string()));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::optional<fs::path> ContentArgument(int argc, const char* const* argv)
{
    constexpr std::string_view option = "--content";
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view value;
        if (arg == option && i + 1 < argc)
            value = argv[i + 1];
        else if (arg.substr(0, option.size() + 1) == "--content=")
            value = arg.substr(option.size() + 1);
        else if (arg != option)
            continue;
        if (value.empty())
            throw EContentFolderError("--content needs a folder: lexorin --content DIR");
        return fs::path(value);
    }
    return std::nullopt;
}

std::string LessonsFolderRefusal(ContentSource source)
{
    switch (source) {
    case ContentSource::ProgramFolder:
        return "This copy of the tutor keeps its lessons beside the program. Start it with "
               "--content DIR to use another folder.";
    case ContentSource::CommandLine:
        return "The lessons folder was given with --content when the tutor was started.";
    default:
        return {};
    }
}

} // namespace app
