#pragma once

// A player's own choices, kept in "Children/<player>.settings" beside the record (a name
// that never ends in ".xml", so the player list never shows it). Rename Player and Delete
// Player carry it with the record and the history.

#include <filesystem>
#include <string_view>

namespace app {

inline constexpr std::string_view kPlayerSettingsExtension = ".settings";

struct PlayerSettings {
    // The practice page runs look, cover, write, check instead of three copies, and a
    // word missed in a test is asked once more later in the run.
    bool practiceFromMemory = false;
};

// A missing or damaged file gives the defaults.
PlayerSettings ReadPlayerSettings(const std::filesystem::path& file);
// Raises platform::EFileWriteError with the file system's reason; the old file stays.
void WritePlayerSettings(const std::filesystem::path& file, const PlayerSettings& settings);

} // namespace app
