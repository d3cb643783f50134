#include "platform/xml/XmlChars.h"

namespace platform::xmlchars {

namespace {

bool InRange(char32_t c, char32_t lo, char32_t hi)
{
    return c >= lo && c <= hi;
}

std::optional<char32_t> ParseNumericReference(std::string_view digits, bool hex)
{
    if (digits.empty())
        return std::nullopt;
    char32_t value = 0;
    for (char d : digits) {
        int v;
        if (d >= '0' && d <= '9')
            v = d - '0';
        else if (hex && d >= 'a' && d <= 'f')
            v = d - 'a' + 10;
        else if (hex && d >= 'A' && d <= 'F')
            v = d - 'A' + 10;
        else
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(v);
        if (value > 0x10FFFF)
            return std::nullopt;
    }
    if (!IsXmlChar(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length;
    char32_t value;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - pos < static_cast<std::size_t>(length))
        return std::nullopt;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || InRange(value, 0xD800, 0xDFFF))
        return std::nullopt;
    pos += static_cast<std::size_t>(length);
    return value;
}

bool IsNameStartChar(char32_t c)
{
    return c == ':' || InRange(c, 'A', 'Z') || c == '_' || InRange(c, 'a', 'z') || InRange(c, 0xC0, 0xD6) ||
           InRange(c, 0xD8, 0xF6) || InRange(c, 0xF8, 0x2FF) || InRange(c, 0x370, 0x37D) ||
           InRange(c, 0x37F, 0x1FFF) || InRange(c, 0x200C, 0x200D) || InRange(c, 0x2070, 0x218F) ||
           InRange(c, 0x2C00, 0x2FEF) || InRange(c, 0x3001, 0xD7FF) || InRange(c, 0xF900, 0xFDCF) ||
           InRange(c, 0xFDF0, 0xFFFD) || InRange(c, 0x10000, 0xEFFFF);
}

bool IsNameChar(char32_t c)
{
    return IsNameStartChar(c) || c == '-' || c == '.' || InRange(c, '0', '9') || c == 0xB7 ||
           InRange(c, 0x300, 0x36F) || InRange(c, 0x203F, 0x2040);
}

bool IsXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || InRange(c, 0x20, 0xD7FF) || InRange(c, 0xE000, 0xFFFD) ||
           InRange(c, 0x10000, 0x10FFFF);
}

bool IsXmlText(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        const auto c = DecodeUtf8(text, pos);
        if (!c || !IsXmlChar(*c))
            return false;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::optional<std::string> DecodeReferences(std::string_view text, bool forbidLessThan)
{
    if (forbidLessThan && text.find('<') != std::string_view::npos)
        return std::nullopt;
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t amp = text.find('&', pos);
        out.append(text.substr(pos, amp == std::string_view::npos ? std::string_view::npos : amp - pos));
        if (amp == std::string_view::npos)
            break;
        const std::size_t semi = text.find(';', amp);
        if (semi == std::string_view::npos)
            return std::nullopt;
        const std::string_view ref = text.substr(amp + 1, semi - amp - 1);
        if (ref == "lt")
            out += '<';
        else if (ref == "gt")
            out += '>';
        else if (ref == "amp")
            out += '&';
        else if (ref == "apos")
            out += '\'';
        else if (ref == "quot")
            out += '"';
        else if (ref.size() > 1 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const auto c = ParseNumericReference(ref.substr(hex ? 2 : 1), hex);
            if (!c)
                return std::nullopt;
            AppendUtf8(out, *c);
        } else {
            return std::nullopt;
        }
        pos = semi + 1;
    }
    return out;
}

} // namespace platform::xmlchars
