#pragma once

// Character-level rules of XML 1.0 on UTF-8 text, used by the document model to keep every
// document it loads or builds well-formed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::xmlchars {

// Decodes one UTF-8 sequence at `pos` (strictly: no overlong forms, surrogates or values past
// U+10FFFF) and advances `pos`; nullopt on invalid bytes.
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& pos);

bool IsNameStartChar(char32_t c);
bool IsNameChar(char32_t c);
// The Char production: tab, line feed, carriage return and the ranges above U+001F.
bool IsXmlChar(char32_t c);

// True when all of `text` is valid UTF-8 made of XML characters.
bool IsXmlText(std::string_view text);

// Replaces the five predefined entity references and numeric character references by their
// characters. Returns nullopt when an "&" does not start one of them, a numeric reference names
// a character that is not an XML character, or `text` holds "<" and `forbidLessThan` is set
// (attribute values).
std::optional<std::string> DecodeReferences(std::string_view text, bool forbidLessThan);

void AppendUtf8(std::string& out, char32_t c);

} // namespace platform::xmlchars
