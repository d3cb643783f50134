#include "app/LessonSettings.h"

#include "app/SettingsFile.h"

#include <string>

namespace app {

namespace {
constexpr const char* kTestDateKey = "test_date";
}

std::filesystem::path LessonSettingsPath(const std::filesystem::path& lessonFolder)
{
    return lessonFolder / std::string(kLessonSettingsName);
}

std::optional<learning::Day> ReadTestDay(const std::filesystem::path& lessonFolder)
{
    const ReadSettings read = ReadSettingsFile(LessonSettingsPath(lessonFolder));
    const auto found = read.values.find(kTestDateKey);
    if (read.damaged || found == read.values.end() || found->second.size() != 10)
        return std::nullopt;
    return learning::DayOfDate(found->second);
}

std::optional<learning::Day> CurrentTestDay(const std::filesystem::path& lessonFolder, learning::Day today)
{
    const auto day = ReadTestDay(lessonFolder);
    return day && *day >= today ? day : std::nullopt;
}

void WriteTestDay(const std::filesystem::path& lessonFolder, std::optional<learning::Day> day)
{
    const std::filesystem::path file = LessonSettingsPath(lessonFolder);
    SettingsValues values = ReadSettingsFile(file).values;
    if (day)
        values[kTestDateKey] = learning::DateOfDay(*day);
    else
        values.erase(kTestDateKey);
    WriteSettingsFile(file, values);
}

} // namespace app
