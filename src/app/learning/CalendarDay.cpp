#include "app/learning/CalendarDay.h"

#include <chrono>
#include <cstdio>

namespace app::learning {

namespace {

std::optional<int> Digits(std::string_view text)
{
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::optional<Day> DayOfDate(std::string_view text)
{
    if (text.size() < 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const auto year = Digits(text.substr(0, 4));
    const auto month = Digits(text.substr(5, 2));
    const auto day = Digits(text.substr(8, 2));
    if (!year || !month || !day)
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok())
        return std::nullopt;
    return static_cast<Day>(std::chrono::sys_days(date).time_since_epoch().count());
}

std::string DateOfDay(Day day)
{
    const std::chrono::year_month_day date{std::chrono::sys_days(std::chrono::days(day))};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

} // namespace app::learning
