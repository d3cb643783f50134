#include "app/WordRules.h"

#include "app/WordText.h"
#include "platform/AsciiCase.h"
#include "platform/fs/Files.h"

#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <fstream>
#include <system_error>

namespace app {

namespace {

bool IsControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool KnownIgnoringCase(const std::vector<std::string>& words, std::string_view word)
{
    return std::any_of(words.begin(), words.end(), [&](const std::string& known) {
        return platform::EqualsIgnoreAsciiCase(known, word);
    });
}

} // namespace

std::string WordRefusal(std::string_view word)
{
    if (word.empty())
        return "it is empty";
    const std::u32string characters =
        QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size())).toStdU32String();
    if (characters.size() > kMaxWordLength)
        return "it is longer than " + std::to_string(kMaxWordLength) + " characters";
    for (const char* sign : {"/", "\\", "."})
        if (word.find(sign) != std::string_view::npos)
            return std::string("it holds \"") + sign + "\"";
    if (std::any_of(characters.begin(), characters.end(), IsControl))
        return "it holds a control character";
    return {};
}

std::vector<std::string> SplitWordList(std::string_view text)
{
    std::vector<std::string> words;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n' || text[i] == ',') {
            words.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return words;
}

std::vector<ListedWord> ClassifyWords(std::string_view text, const std::vector<std::string>& lessonWords)
{
    std::vector<ListedWord> listed;
    std::vector<std::string> seen;
    for (const std::string& entry : SplitWordList(text)) {
        ListedWord item{::EditorWord(entry), WordStatus::New, {}};
        if (item.word.empty())
            continue;
        if (item.reason = WordRefusal(item.word); !item.reason.empty())
            item.status = WordStatus::Refused;
        else if (KnownIgnoringCase(seen, item.word))
            item.status = WordStatus::Duplicate;
        else if (KnownIgnoringCase(lessonWords, item.word))
            item.status = WordStatus::HasClip;
        seen.push_back(item.word);
        listed.push_back(std::move(item));
    }
    return listed;
}

std::string ReadWordListFile(const std::filesystem::path& path, std::string& text)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return "it cannot be read (" + error.message() + ")";
    if (size > kMaxWordListFileBytes)
        return "it is larger than 1 MiB; a list of words is much smaller";
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        return "it cannot be read";
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError() || bytes.find('\0') != std::string::npos)
        return "it is not plain text (UTF-8)";
    text = decoded.toStdString(); // without a byte order mark
    return {};
}

std::string WordOfClipName(std::string_view fileName)
{
    return std::string(fileName.substr(0, fileName.find('.')));
}

bool FolderHasWord(const std::filesystem::path& folder, std::string_view word)
{
    const std::vector<platform::DirEntry> clips = platform::ListFolder(folder, "*.wav");
    return std::any_of(clips.begin(), clips.end(), [&](const platform::DirEntry& clip) {
        return platform::EqualsIgnoreAsciiCase(WordOfClipName(clip.name), word);
    });
}

} // namespace app
