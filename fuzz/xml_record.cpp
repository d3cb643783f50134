// Feeds arbitrary bytes to the XML document model as a player record and walks it the way the
// tutor's record loader and saver do. Whatever loads must save as text that loads again to the
// same content: the model never writes a record it could not read back.

#include "platform/xml/XmlDocument.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void WalkRecord(platform::XmlDocument& doc)
{
    platform::XmlNode root = doc.DocumentElement();
    Check(!root.IsNull());
    (void)root.Attribute("name");
    int lessons = 0;
    for (platform::XmlNode lesson : root.ChildElements()) {
        if (++lessons > 50)
            break;
        // The loader finds its lesson by name: the first element of that name.
        const platform::XmlNode found = root.FindChild(lesson.NodeName());
        Check(!found.IsNull() && found.NodeName() == lesson.NodeName());
        std::int64_t tries = 0, correct = 0;
        int words = 0;
        for (platform::XmlNode word : found.ChildElements()) {
            if (++words > 200)
                break;
            const platform::XmlNode again = found.FindChild(word.NodeName());
            Check(!again.IsNull());
            tries += again.TryAttributeAsInteger("trys").value_or(0);
            correct += again.TryAttributeAsInteger("correct").value_or(0);
            // A hand-edited value that is no integer must fail as an error, never crash.
            try {
                (void)again.AttributeAsInteger("trys");
            } catch (const platform::EXmlError&) {
            }
            // The saver rewrites the counts in place.
            platform::XmlNode target = again;
            target.SetAttribute("word", word.NodeName());
            target.SetAttribute("trys", static_cast<std::int32_t>(tries & 0x7fffffff));
            target.SetAttribute("correct", static_cast<std::int32_t>(correct & 0x7fffffff));
        }
    }
    // A run on a new lesson adds its element and its words.
    platform::XmlNode lesson = root.FindChild("Week_3");
    if (lesson.IsNull())
        lesson = root.AppendChild("Week_3");
    if (lesson.FindChild("CAT").IsNull())
        lesson.AppendChild("CAT").SetAttribute("trys", 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    platform::XmlDocument doc;
    try {
        doc.LoadFromText(text);
    } catch (const platform::EXmlError&) {
        Check(doc.DocumentElement().IsNull());
        return 0;
    }
    WalkRecord(doc);
    const std::string saved = doc.SaveToText();
    platform::XmlDocument reread;
    try {
        reread.LoadFromText(saved);
    } catch (const platform::EXmlError&) {
        std::abort(); // the model wrote something it cannot read
    }
    // One save and load may still change character data the way any XML reader does (a carriage
    // return becomes a line feed, a text of only white space is dropped); after that it is fixed.
    const std::string resaved = reread.SaveToText();
    platform::XmlDocument third;
    third.LoadFromText(resaved);
    Check(third.SaveToText() == resaved);
    return 0;
}
