#pragma once

#include "platform/xml/XmlDocument.h"

#include <cstdint>
#include <string>

// One word of the lesson being run, with the player's counts.
class TWordHandler {
public:
    std::int32_t Correct = 0; // times answered right (attribute "correct")
    std::int32_t Trys = 0;    // times an answer was judged (attribute "trys")
    std::string Word;         // as spelled: the clip's file name up to its first "."

    void SetCorrect(std::int32_t value) { Correct = value; }
    void SetTrys(std::int32_t value) { Trys = value; }

    // Writes "word" (the element name of the word), "trys" and "correct"; attributes
    // that exist keep their place.
    void SaveToNode(platform::XmlNode element) const;
};
