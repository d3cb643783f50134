#pragma once

// Calendar days as the plan counts them: whole days since 1970-01-01 of the local
// calendar, read from the date at the front of a history timestamp.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace app::learning {

using Day = std::int32_t;

// The day of "YYYY-MM-DD", or of a timestamp that begins with one; nullopt for
// anything else (a damaged line, an impossible date).
std::optional<Day> DayOfDate(std::string_view text);
// "YYYY-MM-DD" of a day.
std::string DateOfDay(Day day);

} // namespace app::learning
