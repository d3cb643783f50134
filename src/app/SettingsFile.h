#pragma once

// The small settings files of a player and of a lesson: one "key=value" line per choice,
// replaced atomically, so a crash leaves the old choices or the new ones.

#include <filesystem>
#include <map>
#include <string>

namespace app {

using SettingsValues = std::map<std::string, std::string>;

struct ReadSettings {
    SettingsValues values; // empty for a file that is missing, unreadable or damaged
    bool damaged = false;  // the file exists but could not be read, or a line is not key=value
};

ReadSettings ReadSettingsFile(const std::filesystem::path& file);

// Writes the values as the file's whole content; raises platform::EFileWriteError with the
// file system's reason (a folder that cannot be written, a disk that is full), leaving the
// old file as it was.
void WriteSettingsFile(const std::filesystem::path& file, const SettingsValues& values);

} // namespace app
