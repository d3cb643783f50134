#include "app/WordToNodeName.h"

#include "platform/xml/XmlDocument.h"

namespace {

void ReplaceAll(std::string& text, std::string_view what, std::string_view with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

bool KeptInEscape(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

} // namespace

std::string EscapeNodeName(std::string_view name)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string escaped = "_.";
    escaped.reserve(2 + name.size() * 3);
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (KeptInEscape(c)) {
            escaped += ch;
        } else {
            escaped += '.';
            escaped += hex[c >> 4];
            escaped += hex[c & 0x0F];
        }
    }
    return escaped;
}

std::string WordToNodeName(std::string_view word)
{
    std::string name(word);
    ReplaceAll(name, "'", "XXUUXX");
    ReplaceAll(name, " ", "XXRRXX");
    ReplaceAll(name, "-", "XXUX");
    return platform::IsXmlName(name) ? name : EscapeNodeName(name);
}

std::string LessonToNodeName(std::string_view lesson)
{
    if (lesson.empty() || platform::IsXmlName(lesson))
        return std::string(lesson);
    return EscapeNodeName(lesson);
}
