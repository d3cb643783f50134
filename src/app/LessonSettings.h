#pragma once

// A lesson's own choices, kept in a hidden file inside the lesson's folder. Its name never
// ends in ".wav" in any letter case, so neither word listing takes it for a word. The test
// date applies to every child who uses the lesson.

#include "app/learning/CalendarDay.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace app {

inline constexpr std::string_view kLessonSettingsName = ".lesson.settings";

std::filesystem::path LessonSettingsPath(const std::filesystem::path& lessonFolder);

// The test day the file names; nullopt for none, a file that cannot be read or is damaged,
// and a date that does not exist.
std::optional<learning::Day> ReadTestDay(const std::filesystem::path& lessonFolder);

// The test day unless it has passed: a past date counts as none.
std::optional<learning::Day> CurrentTestDay(const std::filesystem::path& lessonFolder, learning::Day today);

// Sets the test day (nullopt: none), keeping the file's other choices. Raises
// platform::EFileWriteError with the file system's reason; the old file then stays.
void WriteTestDay(const std::filesystem::path& lessonFolder, std::optional<learning::Day> day);

} // namespace app
