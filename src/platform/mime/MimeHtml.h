#pragma once

// Reads the page out of a MIME HTML document (".mht", a web archive): the first text/html
// part, found through nested multipart bodies, with its transfer encoding undone
// (quoted-printable, base64, 7bit/8bit/binary) and its charset turned into text.
//
//   HtmlOfMimeHtml(bytes) -> optional<QString>   nullopt when the document holds no HTML page
//
// A single-part document whose own type is text/html counts as its page. The reader never
// trusts the document: header lines, boundaries and nesting are bounded, and malformed
// escapes are kept as they stand.

#include <QString>

#include <optional>
#include <string_view>

namespace platform {

std::optional<QString> HtmlOfMimeHtml(std::string_view document);

} // namespace platform
