// The line format of the attempt history: a flat JSON object written and read by hand,
// which keeps a history of hundreds of thousands of lines quick to read.

#include "app/progress/AttemptHistory.h"

#include "platform/xml/XmlChars.h"

#include <QDateTime>

#include <charconv>
#include <cstdio>

namespace app::progress {

namespace {

void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += c; // UTF-8 goes as it is
            }
        }
    }
    out += '"';
}

// A reader over one line. Every Read* returns false on text that is not what it reads.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    void SkipBlanks()
    {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r'))
            ++pos_;
    }
    bool AtEnd() const { return pos_ == text_.size(); }
    bool Take(char c)
    {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    char Peek()
    {
        SkipBlanks();
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }
    bool TakeWord(std::string_view word)
    {
        SkipBlanks();
        if (text_.substr(pos_, word.size()) != word)
            return false;
        pos_ += word.size();
        return true;
    }

    bool ReadString(std::string& out)
    {
        if (!Take('"'))
            return false;
        out.clear();
        while (pos_ < text_.size()) {
            // Plain characters go over in one piece; a quote, backslash or control
            // character ends the piece.
            std::size_t end = pos_;
            while (end < text_.size() && text_[end] != '"' && text_[end] != '\\' &&
                   static_cast<unsigned char>(text_[end]) >= 0x20)
                ++end;
            out.append(text_.data() + pos_, end - pos_);
            pos_ = end;
            if (pos_ == text_.size())
                break;
            const char c = text_[pos_++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (pos_ >= text_.size())
                return false;
            switch (text_[pos_++]) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u':
                if (!ReadEscapedCode(out))
                    return false;
                break;
            default:
                return false;
            }
        }
        return false;
    }

    bool ReadInteger(std::int64_t& value)
    {
        SkipBlanks();
        const char* begin = text_.data() + pos_;
        const char* end = text_.data() + text_.size();
        const auto [next, error] = std::from_chars(begin, end, value);
        if (error != std::errc() || next == begin)
            return false;
        pos_ += static_cast<std::size_t>(next - begin);
        return pos_ == text_.size() || (text_[pos_] != '.' && text_[pos_] != 'e' && text_[pos_] != 'E');
    }

    // A value of a key this reader does not know: a string, number, true, false or null.
    bool SkipScalar()
    {
        const char c = Peek();
        if (c == '"') {
            std::string ignored;
            return ReadString(ignored);
        }
        if (c == 't')
            return TakeWord("true");
        if (c == 'f')
            return TakeWord("false");
        if (c == 'n')
            return TakeWord("null");
        std::size_t start = pos_;
        while (pos_ < text_.size() &&
               std::string_view("+-.0123456789eE").find(text_[pos_]) != std::string_view::npos)
            ++pos_;
        return pos_ > start;
    }

private:
    bool ReadHex4(char32_t& code)
    {
        if (text_.size() - pos_ < 4)
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<char32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<char32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<char32_t>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    bool ReadEscapedCode(std::string& out)
    {
        char32_t code = 0;
        if (!ReadHex4(code))
            return false;
        if (code >= 0xD800 && code < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
            const std::size_t mark = pos_;
            pos_ += 2;
            char32_t low = 0;
            if (!ReadHex4(low))
                return false;
            if (low >= 0xDC00 && low < 0xE000) {
                platform::xmlchars::AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                return true;
            }
            pos_ = mark;
        }
        platform::xmlchars::AppendUtf8(out, code >= 0xD800 && code < 0xE000 ? char32_t{0xFFFD} : code);
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

std::string LocalTimestampNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toStdString() + zone;
}

std::string AttemptToLine(const Attempt& attempt)
{
    std::string line;
    line.reserve(96 + attempt.run.size() + attempt.time.size() + attempt.lesson.size() + attempt.word.size() +
                 attempt.typed.size());
    line += "{\"run\":";
    AppendQuoted(line, attempt.run);
    line += ",\"time\":";
    AppendQuoted(line, attempt.time);
    line += ",\"lesson\":";
    AppendQuoted(line, attempt.lesson);
    line += ",\"word\":";
    AppendQuoted(line, attempt.word);
    line += ",\"typed\":";
    AppendQuoted(line, attempt.typed);
    line += attempt.right ? ",\"right\":true" : ",\"right\":false";
    line += ",\"try\":" + std::to_string(attempt.tries);
    if (!attempt.phase.empty()) {
        line += ",\"phase\":";
        AppendQuoted(line, attempt.phase);
    }
    line += '}';
    return line;
}

std::optional<Attempt> AttemptFromLine(std::string_view line)
{
    LineReader in(line);
    if (!in.Take('{'))
        return std::nullopt;
    Attempt attempt;
    enum : unsigned {
        kRun = 1,
        kTime = 2,
        kLesson = 4,
        kWord = 8,
        kTyped = 16,
        kRight = 32,
        kTry = 64,
        kAll = 127
    };
    unsigned seen = 0;
    std::string key;
    if (!in.Take('}')) {
        do {
            if (!in.ReadString(key) || !in.Take(':'))
                return std::nullopt;
            bool ok = true;
            if (key == "run") {
                ok = in.ReadString(attempt.run);
                seen |= kRun;
            } else if (key == "time") {
                ok = in.ReadString(attempt.time);
                seen |= kTime;
            } else if (key == "lesson") {
                ok = in.ReadString(attempt.lesson);
                seen |= kLesson;
            } else if (key == "word") {
                ok = in.ReadString(attempt.word);
                seen |= kWord;
            } else if (key == "typed") {
                ok = in.ReadString(attempt.typed);
                seen |= kTyped;
            } else if (key == "right") {
                attempt.right = in.Peek() == 't';
                ok = in.TakeWord(attempt.right ? "true" : "false");
                seen |= kRight;
            } else if (key == "try") {
                ok = in.ReadInteger(attempt.tries);
                seen |= kTry;
            } else if (key == "phase") {
                ok = in.ReadString(attempt.phase);
            } else {
                ok = in.SkipScalar();
            }
            if (!ok)
                return std::nullopt;
        } while (in.Take(','));
        if (!in.Take('}'))
            return std::nullopt;
    }
    in.SkipBlanks();
    if (!in.AtEnd() || seen != kAll)
        return std::nullopt;
    return attempt;
}

HistoryReader::HistoryReader(std::size_t expectedAttempts)
{
    history_.attempts.reserve(expectedAttempts);
}

void HistoryReader::Add(std::string_view block)
{
    std::size_t end = block.find('\n');
    if (end == std::string_view::npos) {
        pending_.append(block);
        return;
    }
    if (pending_.empty()) {
        ReadLine(block.substr(0, end));
    } else {
        pending_.append(block.substr(0, end));
        ReadLine(pending_);
        pending_.clear();
    }
    block.remove_prefix(end + 1);
    while ((end = block.find('\n')) != std::string_view::npos) {
        ReadLine(block.substr(0, end));
        block.remove_prefix(end + 1);
    }
    pending_.assign(block);
}

void HistoryReader::ReadLine(std::string_view line)
{
    if (line.find_first_not_of(" \t\r") == std::string_view::npos)
        return;
    if (auto attempt = AttemptFromLine(line))
        history_.attempts.push_back(std::move(*attempt));
    else
        ++history_.skippedLines;
}

History HistoryReader::Finish() &&
{
    if (auto attempt = AttemptFromLine(pending_))
        history_.attempts.push_back(std::move(*attempt));
    pending_.clear();
    return std::move(history_);
}

History ParseHistory(std::string_view bytes)
{
    HistoryReader reader;
    reader.Add(bytes);
    return std::move(reader).Finish();
}

} // namespace app::progress
