// The player record without the window: element names and the word list.

#include "app/PlayerRecord.h"
#include "app/WordToNodeName.h"

#include <gtest/gtest.h>

#include <set>

using platform::XmlDocument;

TEST(WordToNodeName, EncodesApostropheBlankAndHyphenAndNothingElse)
{
    EXPECT_EQ(WordToNodeName("ICE-CREAM"), "ICEXXUXCREAM");
    EXPECT_EQ(WordToNodeName("DON'T"), "DONXXUUXXT");
    EXPECT_EQ(WordToNodeName("ICE CREAM"), "ICEXXRRXXCREAM");
    EXPECT_EQ(WordToNodeName("CAT"), "CAT");
    EXPECT_EQ(WordToNodeName("cat"), "cat");
    EXPECT_EQ(WordToNodeName("A'B C-D''"), "AXXUUXXBXXRRXXCXXUXDXXUUXXXXUUXX");
    EXPECT_EQ(WordToNodeName("caf\xC3\xA9"), "caf\xC3\xA9"); // non-ASCII letters are name characters
}

TEST(WordToNodeName, WordsThatWouldNotBeXmlNamesAreEscapedIntoValidNames)
{
    const std::string invalid[] = {"1st", "R&B", "A(B)", "A,B", "", "A\"B", "A<B", "9", "\xFF\xFE", "9-X"};
    std::set<std::string> names;
    for (const std::string& word : invalid) {
        const std::string name = WordToNodeName(word);
        EXPECT_TRUE(platform::IsXmlName(name)) << word << " -> " << name;
        EXPECT_EQ(name.rfind("_.", 0), 0u) << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), std::size(invalid)); // never two alike
    EXPECT_EQ(WordToNodeName("1st"), "_.1st");
    EXPECT_EQ(WordToNodeName("R&B"), "_.R.26B");
    EXPECT_EQ(WordToNodeName(""), "_.");
    EXPECT_EQ(WordToNodeName("9-X"), "_.9XXUXX"); // encoded first, then escaped
    EXPECT_EQ(WordToNodeName("-X"), "XXUXX");     // valid once encoded: the plain rule
}

TEST(WordToNodeName, EscapedNamesNeverCollideWithPlainNames)
{
    // A plain name never holds a "." (words and lesson names have none), an escaped one always does.
    for (const char* word : {"_", "_X", "X_2E", "XXUX", "_2E"}) {
        const std::string name = WordToNodeName(word);
        EXPECT_EQ(name.find('.'), std::string::npos) << name;
    }
}

TEST(LessonToNodeName, ValidLessonNamesStayAsTheyAreOthersAreEscaped)
{
    EXPECT_EQ(LessonToNodeName("Week_3"), "Week_3");
    EXPECT_EQ(LessonToNodeName("alpha"), "alpha");
    EXPECT_EQ(LessonToNodeName("3rd (week)"), "_.3rd.20.28week.29");
    EXPECT_TRUE(platform::IsXmlName(LessonToNodeName("spring words")));
    EXPECT_EQ(LessonToNodeName(""), ""); // refused by the record: no lesson chosen
}

TEST(PlayerRecord, NewRecordHoldsOnlyTheRootWithItsName)
{
    XmlDocument doc;
    app::NewPlayerRecord(doc, "Player_One");
    EXPECT_EQ(doc.SaveToText(), R"(<CHILD name="Player_One"/>)");
    app::NewPlayerRecord(doc, R"(a"b<c&d)");
    EXPECT_EQ(doc.DocumentElement().Attribute("name"), R"(a"b<c&d)");
    XmlDocument reloaded;
    reloaded.LoadFromText(doc.SaveToText());
    EXPECT_EQ(reloaded.DocumentElement().Attribute("name"), R"(a"b<c&d)");
}

TEST(PlayerRecord, LessonElementIsFoundUnderAnyRootOrAddedLast)
{
    XmlDocument doc;
    doc.LoadFromText(R"(<KID><Week_3/><Other/></KID>)");
    const platform::XmlNode found = app::FindOrAddLessonNode(doc, "Week_3");
    EXPECT_EQ(found, doc.DocumentElement().FindChild("Week_3"));
    app::FindOrAddLessonNode(doc, "New");
    EXPECT_EQ(doc.SaveToText(), R"(<KID><Week_3/><Other/><New/></KID>)");
    EXPECT_THROW(app::FindOrAddLessonNode(doc, ""), platform::EXmlError);
    XmlDocument empty;
    EXPECT_THROW(app::FindOrAddLessonNode(empty, "Week_3"), platform::EXmlError);
}

TEST(PlayerRecord, WordsLoadTheirCountsAndSaveThemBackInPlace)
{
    XmlDocument doc;
    doc.LoadFromText(R"(<CHILD><L><CAT correct="2" extra="x" trys="3"/></L></CHILD>)");
    platform::XmlNode lesson = doc.DocumentElement().FindChild("L");
    app::WordList words = app::LoadWords(lesson, {"CAT", "DON'T"});
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0]->Trys, 3);
    EXPECT_EQ(words[0]->Correct, 2);
    EXPECT_EQ(words[1]->Word, "DON'T");
    EXPECT_EQ(words[1]->Trys, 0);
    words[0]->SetTrys(4);
    app::SaveWords(lesson, words);
    EXPECT_EQ(doc.SaveToText(), R"(<CHILD><L><CAT correct="2" extra="x" trys="4" word="CAT"/>)"
                                R"(<DONXXUUXXT word="DONXXUUXXT" trys="0" correct="0"/></L></CHILD>)");
}

TEST(PlayerRecord, WordsWhoseEncodingsCoincideShareOneElement)
{
    XmlDocument doc;
    app::NewPlayerRecord(doc, "Ann");
    platform::XmlNode lesson = app::FindOrAddLessonNode(doc, "L");
    app::WordList words = app::LoadWords(lesson, {"A B", "AXXRRXXB"});
    words[0]->SetTrys(1);
    words[1]->SetTrys(2);
    app::SaveWords(lesson, words);
    EXPECT_EQ(lesson.ChildElements().size(), 1u);
    EXPECT_EQ(lesson.ChildElements()[0].Attribute("trys"), "2");
}

TEST(PlayerRecord, SaveToNodeWritesWordTrysAndCorrectInThatOrder)
{
    XmlDocument doc;
    platform::XmlNode root = doc.CreateDocumentElement("W");
    TWordHandler word;
    word.Word = "ICE CREAM";
    word.SetTrys(-1);
    word.SetCorrect(2147483647);
    word.SaveToNode(root);
    EXPECT_EQ(doc.SaveToText(), R"(<W word="ICEXXRRXXCREAM" trys="-1" correct="2147483647"/>)");
}
