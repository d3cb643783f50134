#pragma once

// What makes a typed word a lesson word, for words added as a list (each word first made
// what the editor makes of it, EditorWord of WordText.h):
//
//   WordRefusal("a/b")           why the word cannot be a clip's name ("" when it can)
//   SplitWordList("a, b\nc")     {"a", "b", "c"}: one word a line or between commas
//   ClassifyWords(text, known)   each listed word with what adding it would do
//   ReadWordListFile(path, text) a word list from a text file, or why it is refused
//   WordOfClipName("MR.X.wav")   "MR": the word a clip's file name stands for
//   FolderHasWord(folder, word)  whether a lesson folder holds a clip of the word now

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The longest word, in characters.
inline constexpr size_t kMaxWordLength = 64;
// The largest word list file read.
inline constexpr std::uintmax_t kMaxWordListFileBytes = 1024 * 1024;

std::string WordRefusal(std::string_view word);
std::vector<std::string> SplitWordList(std::string_view text);

enum class WordStatus {
    New,       // no clip yet: one will be made
    HasClip,   // the lesson has a clip of it already (in any letter case)
    Duplicate, // listed before in the same list (in any letter case)
    Refused,   // the word rules refuse it
};

struct ListedWord {
    std::string word; // after EditorWord
    WordStatus status = WordStatus::New;
    std::string reason; // Refused only
};

// The list's words in order; empty entries are left out. `lessonWords` are the words that
// have a clip in the lesson.
std::vector<ListedWord> ClassifyWords(std::string_view text, const std::vector<std::string>& lessonWords);

// Reads the file into `text`; returns why it is refused ("" when read): larger than
// kMaxWordListFileBytes, not UTF-8 text, or unreadable.
std::string ReadWordListFile(const std::filesystem::path& path, std::string& text);

// A clip's file name up to its first ".": the word every list shows and the test asks.
std::string WordOfClipName(std::string_view fileName);

// True when a "*.wav" entry of `folder` (of any letter case) stands for `word` in any letter
// case: a clip of it would be listed as that word already.
bool FolderHasWord(const std::filesystem::path& folder, std::string_view word);

} // namespace app
