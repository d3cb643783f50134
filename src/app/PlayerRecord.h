#pragma once

// The player record file, without the window:
//
//   <CHILD name="Player_One"><Week_3><CAT word="CAT" trys="2" correct="1"/>...</Week_3></CHILD>
//
// The root element holds one element per lesson the player was tested on, named
// after the lesson (LessonToNodeName); each holds one element per word, named by
// WordToNodeName, with the attributes "word", "trys" and "correct".

#include "app/TWordHandler.h"
#include "platform/xml/XmlDocument.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace app {

using WordList = std::vector<std::unique_ptr<TWordHandler>>;

// Makes `doc` a new player's record: the root element "CHILD" with the attribute
// "name". The name goes through the document model, so any text makes a
// well-formed record.
void NewPlayerRecord(platform::XmlDocument& doc, std::string_view playerName);

// The lesson's element under the root (whatever the root is called); added as the
// last child when there is none. platform::EXmlError for a document without a root
// or an empty lesson name.
platform::XmlNode FindOrAddLessonNode(platform::XmlDocument& doc, std::string_view lesson);

// A record for the word with the player's counts from the lesson element: "correct"
// first, then "trys". A count that is missing or not a 32-bit integer is 0.
std::unique_ptr<TWordHandler> LoadWord(platform::XmlNode lessonNode, std::string word);

// The word list of a lesson: one record per word, in the given order.
WordList LoadWords(platform::XmlNode lessonNode, const std::vector<std::string>& words);

// Writes every record's counts into its word element, adding the elements that are
// missing at the end of the lesson element.
void SaveWords(platform::XmlNode lessonNode, const WordList& words);

} // namespace app
