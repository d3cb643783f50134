#pragma once

// Where the tutor keeps its lessons and players (the content folder), and where the
// program's own data lies (prompt and letter clips, help, the sample lesson).
//
// The content folder is chosen at start, first match wins:
//   1. --content DIR on the command line (made when its parent exists);
//   2. the program's own folder when it holds an `Alpha` folder (build tree, portable copy);
//   3. the folder saved by "Lessons Folder..." in the settings file;
//   4. the user's data folder, $XDG_DATA_HOME/lexorin.
// A folder the tutor makes gets `Children` and a copy of the sample lesson. Problems are
// said in plain words; the tutor never quietly uses another folder.

#include "rtl/Exception.h"

#include <filesystem>
#include <optional>
#include <string>

namespace app {

enum class ContentSource { CommandLine, ProgramFolder, Saved, UserData };

// What the choice starts from: the command line, the program and the user's environment.
struct ContentPlaces {
    std::optional<std::filesystem::path> commandLine; // --content DIR
    std::filesystem::path programDir;                 // the executable's folder
    std::filesystem::path settingsFile;               // $XDG_CONFIG_HOME/lexorin/lexorin.conf
    std::filesystem::path userDataDir;                // $XDG_DATA_HOME/lexorin
    std::filesystem::path installedData;              // clips, help and sample lesson
};

struct ContentChoice {
    std::filesystem::path folder;
    ContentSource source = ContentSource::UserData;
    bool created = false;    // made just now, with Children and the sample lesson
    std::string problem;     // a plain message for the user; empty when all is well
    bool folderGone = false; // the saved folder is not there: offer another
};

// A --content the tutor refuses (a file, a folder whose parent is missing).
class EContentFolderError : public rtl::Exception {
public:
    using Exception::Exception;
};

// The places from the environment: XDG_CONFIG_HOME and XDG_DATA_HOME (else their defaults
// under HOME) and the program's folder; the installed data is the program's own folder
// when it holds `Alpha`, else ../share/lexorin beside the program's folder.
ContentPlaces PlacesFor(const std::filesystem::path& programDir,
                        std::optional<std::filesystem::path> commandLine);

// Chooses and, where needed, makes the content folder. Raises EContentFolderError for a
// --content that cannot be used.
ContentChoice ChooseContentFolder(const ContentPlaces& places);

// The folder saved in the settings file; nullopt when there is no settings file. Raises
// EContentFolderError when the file is damaged (unreadable, or naming no absolute folder).
std::optional<std::filesystem::path> SavedContentFolder(const std::filesystem::path& settingsFile);
// Saves the choice; false when the settings file cannot be written.
bool SaveContentFolder(const std::filesystem::path& settingsFile, const std::filesystem::path& folder);

// Reads --content DIR (or --content=DIR) from the arguments; nullopt without it. Raises
// EContentFolderError for a --content without a folder.
std::optional<std::filesystem::path> ContentArgument(int argc, const char* const* argv);

// A folder this user may list and enter.
bool IsReadableFolder(const std::filesystem::path& folder);

// The sentence that tells why "Lessons Folder..." is not offered for a folder of this
// source; empty for the sources it serves.
std::string LessonsFolderRefusal(ContentSource source);

} // namespace app
