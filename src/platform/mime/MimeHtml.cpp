#include "platform/mime/MimeHtml.h"

#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace platform {

namespace {

// Web archives nest at most a level or two; anything deeper is not a help page.
constexpr int kMaxNesting = 8;
constexpr std::size_t kMaxParts = 1000;

std::string Lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// One line without its CR LF or LF; `pos` moves past the line end.
std::string_view NextLine(std::string_view text, std::size_t& pos)
{
    const std::size_t start = pos;
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
        end = text.size();
    pos = std::min(end + 1, text.size());
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

struct Entity {
    std::string contentType;    // lower case, e.g. "multipart/related"
    std::string boundary;       // as written
    std::string charset;        // lower case
    std::string transferCoding; // lower case
    std::string_view body;
};

// The value of a `name=value` or `name="value"` parameter of a header, or empty.
std::string Parameter(std::string_view header, std::string_view name)
{
    const std::string lower = Lower(header);
    std::size_t at = 0;
    while ((at = lower.find(name, at)) != std::string::npos) {
        const bool starts = at == 0 || lower[at - 1] == ';' || std::isspace(static_cast<unsigned char>(lower[at - 1]));
        std::size_t pos = at + name.size();
        while (pos < header.size() && header[pos] == ' ')
            ++pos;
        if (!starts || pos >= header.size() || header[pos] != '=') {
            at += name.size();
            continue;
        }
        ++pos;
        while (pos < header.size() && header[pos] == ' ')
            ++pos;
        if (pos < header.size() && header[pos] == '"') {
            const std::size_t close = header.find('"', pos + 1);
            const std::size_t end = close == std::string_view::npos ? header.size() : close;
            return std::string(header.substr(pos + 1, end - pos - 1));
        }
        std::size_t end = pos;
        while (end < header.size() && header[end] != ';' && !std::isspace(static_cast<unsigned char>(header[end])))
            ++end;
        return std::string(header.substr(pos, end - pos));
    }
    return {};
}

// Splits headers from body; folded header lines are joined to the line they continue.
Entity ParseEntity(std::string_view text)
{
    std::vector<std::string> headers;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::string_view line = NextLine(text, pos);
        if (line.empty())
            break;
        if ((line.front() == ' ' || line.front() == '\t') && !headers.empty())
            headers.back().append(" ").append(Trim(line));
        else
            headers.emplace_back(line);
    }
    Entity entity;
    entity.body = text.substr(pos);
    for (const std::string& header : headers) {
        const std::size_t colon = header.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string name = Lower(Trim(std::string_view(header).substr(0, colon)));
        const std::string_view value = Trim(std::string_view(header).substr(colon + 1));
        if (name == "content-type") {
            entity.contentType = Lower(Trim(value.substr(0, value.find(';'))));
            entity.boundary = Parameter(value, "boundary");
            entity.charset = Lower(Parameter(value, "charset"));
        } else if (name == "content-transfer-encoding") {
            entity.transferCoding = Lower(value);
        }
    }
    return entity;
}

// The bodies between "--boundary" lines, up to the closing "--boundary--".
std::vector<std::string_view> SplitParts(std::string_view body, const std::string& boundary)
{
    std::vector<std::string_view> parts;
    const std::string delimiter = "--" + boundary;
    std::size_t pos = 0;
    std::size_t partStart = std::string_view::npos;
    while (pos < body.size() && parts.size() < kMaxParts) {
        const std::size_t lineStart = pos;
        const std::string_view line = NextLine(body, pos);
        if (line.substr(0, delimiter.size()) != delimiter)
            continue;
        const std::string_view rest = Trim(line.substr(delimiter.size()));
        if (partStart != std::string_view::npos) {
            // The line break before a delimiter belongs to the delimiter.
            std::size_t end = lineStart;
            if (end > partStart && body[end - 1] == '\n')
                --end;
            if (end > partStart && body[end - 1] == '\r')
                --end;
            parts.push_back(body.substr(partStart, end - partStart));
        }
        if (rest.substr(0, 2) == "--")
            return parts;
        partStart = pos;
    }
    if (partStart != std::string_view::npos && partStart < body.size() && parts.size() < kMaxParts)
        parts.push_back(body.substr(partStart)); // a document cut short keeps its last part
    return parts;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '=') {
            out += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\n') { // soft line break
            i += 1;
            continue;
        }
        if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 2;
            continue;
        }
        const int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
            out += c; // not an escape: keep it as written
            continue;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string DecodeBase64(std::string_view text)
{
    static const std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve(text.size() / 4 * 3);
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        if (c == '=')
            break;
        const std::size_t value = alphabet.find(c);
        if (value == std::string_view::npos)
            continue; // line breaks and stray characters
        bits = (bits << 6) | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

QString ToText(const std::string& bytes, const std::string& charset)
{
    const QByteArray raw = QByteArray::fromStdString(bytes);
    if (!charset.empty() && charset != "utf-8" && charset != "utf8" && charset != "us-ascii") {
        QStringDecoder decoder(charset.c_str());
        if (decoder.isValid())
            return decoder.decode(raw);
        if (charset.rfind("windows-", 0) == 0 || charset.rfind("iso-8859", 0) == 0)
            return QString::fromLatin1(raw); // near enough for the letters a page uses
    }
    return QString::fromUtf8(raw);
}

std::optional<QString> FindHtml(std::string_view text, int depth)
{
    const Entity entity = ParseEntity(text);
    if (entity.contentType == "text/html") {
        std::string bytes;
        if (entity.transferCoding == "quoted-printable")
            bytes = DecodeQuotedPrintable(entity.body);
        else if (entity.transferCoding == "base64")
            bytes = DecodeBase64(entity.body);
        else
            bytes.assign(entity.body);
        return ToText(bytes, entity.charset);
    }
    if (entity.contentType.rfind("multipart/", 0) != 0 || entity.boundary.empty() || depth >= kMaxNesting)
        return std::nullopt;
    for (const std::string_view part : SplitParts(entity.body, entity.boundary)) {
        if (auto html = FindHtml(part, depth + 1))
            return html;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> HtmlOfMimeHtml(std::string_view document)
{
    return FindHtml(document, 0);
}

} // namespace platform
