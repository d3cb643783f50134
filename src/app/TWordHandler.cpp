#include "app/TWordHandler.h"

#include "app/WordToNodeName.h"

void TWordHandler::SaveToNode(platform::XmlNode element) const
{
    element.SetAttribute("word", WordToNodeName(Word));
    element.SetAttribute("trys", Trys);
    element.SetAttribute("correct", Correct);
}
