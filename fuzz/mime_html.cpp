// Feeds arbitrary bytes to the MIME HTML reader that shows the help document when the desktop
// cannot. Whatever page comes out must be readable text; the reader must never over-read,
// recurse without end or take unbounded memory.

#include "platform/mime/MimeHtml.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view document(reinterpret_cast<const char*>(data), size);
    if (const auto html = platform::HtmlOfMimeHtml(document))
        (void)html->size();
    return 0;
}
