#include "app/WordText.h"

#include "platform/AsciiCase.h"

namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";

} // namespace

std::string_view TrimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string EditorWord(std::string_view typed)
{
    return platform::UpperAscii(std::string(TrimBlanks(typed)));
}
