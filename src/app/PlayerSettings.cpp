#include "app/PlayerSettings.h"

#include "app/SettingsFile.h"

namespace app {

namespace {
constexpr const char* kPracticeFromMemoryKey = "practice_from_memory";
}

PlayerSettings ReadPlayerSettings(const std::filesystem::path& file)
{
    const ReadSettings read = ReadSettingsFile(file);
    PlayerSettings settings;
    const auto found = read.values.find(kPracticeFromMemoryKey);
    settings.practiceFromMemory = found != read.values.end() && found->second == "on";
    return settings;
}

void WritePlayerSettings(const std::filesystem::path& file, const PlayerSettings& settings)
{
    WriteSettingsFile(file, {{kPracticeFromMemoryKey, settings.practiceFromMemory ? "on" : "off"}});
}

} // namespace app
