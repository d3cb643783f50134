#include "app/PlayerRecord.h"

#include "app/WordToNodeName.h"

namespace app {

void NewPlayerRecord(platform::XmlDocument& doc, std::string_view playerName)
{
    platform::XmlNode root = doc.CreateDocumentElement("CHILD");
    root.SetAttribute("name", playerName);
}

platform::XmlNode FindOrAddLessonNode(platform::XmlDocument& doc, std::string_view lesson)
{
    platform::XmlNode root = doc.DocumentElement();
    if (!root)
        throw platform::EXmlError("The player record has no root element.");
    const std::string name = LessonToNodeName(lesson);
    platform::XmlNode node = root.FindChild(name);
    return node ? node : root.AppendChild(name);
}

std::unique_ptr<TWordHandler> LoadWord(platform::XmlNode lessonNode, std::string word)
{
    auto record = std::make_unique<TWordHandler>();
    record->Word = std::move(word);
    if (const platform::XmlNode node = lessonNode.FindChild(WordToNodeName(record->Word))) {
        record->SetCorrect(node.TryAttributeAsInteger("correct").value_or(0));
        record->SetTrys(node.TryAttributeAsInteger("trys").value_or(0));
    }
    return record;
}

WordList LoadWords(platform::XmlNode lessonNode, const std::vector<std::string>& words)
{
    WordList list;
    list.reserve(words.size());
    for (const std::string& word : words)
        list.push_back(LoadWord(lessonNode, word));
    return list;
}

void SaveWords(platform::XmlNode lessonNode, const WordList& words)
{
    for (const auto& record : words) {
        const std::string name = WordToNodeName(record->Word);
        platform::XmlNode node = lessonNode.FindChild(name);
        if (!node)
            node = lessonNode.AppendChild(name);
        record->SaveToNode(node);
    }
}

} // namespace app
