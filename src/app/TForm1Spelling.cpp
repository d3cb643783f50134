// Speaking a word and spelling it aloud: the word clip, the "is spelled" prompt and one
// clip per character, each played to its end before the next starts.

#include "app/TForm1.h"

#include <vector>

namespace {

// The characters of a UTF-8 word, each as its own text (a letter clip is named by it).
std::vector<std::string> Characters(const std::string& word)
{
    std::vector<std::string> characters;
    for (std::size_t i = 0; i < word.size();) {
        std::size_t length = 1;
        while (i + length < word.size() && (static_cast<unsigned char>(word[i + length]) & 0xC0) == 0x80)
            ++length;
        characters.push_back(word.substr(i, length));
        i += length;
    }
    return characters;
}

} // namespace

void TForm1::SpellOutWord()
{
    if (!CurrentWord)
        return;
    BusyScope busy(*this);
    // Copies: the sequence never looks at the word record again while it speaks.
    const std::string word = CurrentWord->Word;
    const std::int32_t correct = CurrentWord->Correct;
    const std::int32_t trys = CurrentWord->Trys;

    int passes = 1;
    if (correct < 1 && trys > 2)
        ++passes;
    // A word with more than five tries, fewer than half of them right.
    if (trys > 5 && static_cast<std::int64_t>(correct) * 2 < trys)
        ++passes;

    std::vector<std::string> clips;
    for (int pass = 0; pass < passes; ++pass) {
        clips.push_back(WordClipPath(word));
        clips.push_back(AlphaClipPath("IsSpelled.wav"));
        for (const std::string& c : Characters(word))
            clips.push_back(AlphaClipPath(c + ".wav"));
    }
    // Leaving the run ends the sequence at its next clip.
    for (const std::string& clip : clips) {
        if (!SequenceGoesOn())
            return;
        PlayClipAndWait(clip);
    }
}

void TForm1::SpellLetters()
{
    if (!CurrentWord)
        return;
    BusyScope busy(*this);
    const std::string word = CurrentWord->Word;
    for (const std::string& c : Characters(word)) {
        if (!SequenceGoesOn())
            return;
        PlayClipAndWait(AlphaClipPath(c + ".wav"));
    }
}
