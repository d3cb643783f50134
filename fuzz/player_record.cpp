// Fuzz target: the player record loader. Arbitrary bytes as a record file go through
// what a run start does (load, find or add the lesson element, read every word's
// counts), then through a save and a second load, which must give the same counts.

#include "app/PlayerRecord.h"
#include "app/WordToNodeName.h"
#include "platform/xml/XmlDocument.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kWords = {"CAT", "DON'T", "ICE CREAM", "1st", "", "R&B"};
const char* const kLessons[] = {"Week_3", "3rd (week)", "CHILD"};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void RunLesson(platform::XmlDocument& doc, const char* lesson)
{
    platform::XmlNode node = app::FindOrAddLessonNode(doc, lesson);
    app::WordList words = app::LoadWords(node, kWords);
    Check(words.size() == kWords.size());
    for (auto& word : words)
        word->SetTrys(word->Trys ^ 1);
    app::SaveWords(node, words);

    platform::XmlDocument again;
    again.LoadFromText(doc.SaveToText()); // whatever was loaded or built saves well-formed
    const app::WordList reread = app::LoadWords(app::FindOrAddLessonNode(again, lesson), kWords);
    for (size_t i = 0; i < words.size(); ++i) {
        // Words whose encodings coincide share an element: the last write wins for both.
        const std::string name = WordToNodeName(words[i]->Word);
        const TWordHandler* last = words[i].get();
        for (const auto& other : words)
            if (WordToNodeName(other->Word) == name)
                last = other.get();
        Check(reread[i]->Trys == last->Trys);
        Check(reread[i]->Correct == last->Correct);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    platform::XmlDocument doc;
    try {
        doc.LoadFromText(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const platform::EXmlError&) {
        return 0; // a malformed record: the run does not start
    }
    for (const char* lesson : kLessons)
        RunLesson(doc, lesson);
    return 0;
}
