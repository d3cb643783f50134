#include "platform/xml/XmlDocument.h"
#include "support/TempFolderTest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::EXmlError;
using platform::IsXmlName;
using platform::XmlDocument;
using platform::XmlNode;

namespace {

const std::string kExample = "<CHILD name=\"Player_One\"><Week_3><CAT word=\"CAT\" trys=\"2\" correct=\"1\"/>"
                             "<DONXXUUXXT word=\"DONXXUUXXT\" trys=\"1\" correct=\"0\"/></Week_3></CHILD>";

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EXmlError& e) {
        return e.Message();
    }
    return "(no error)";
}

class XmlFileTest : public TempFolderTest {};

} // namespace

TEST(XmlDocumentTest, ExampleRecordBuiltThroughTheModelComesOutByteForByte)
{
    XmlDocument doc;
    doc.LoadFromText("<CHILD name=\"Player_One\" />");
    XmlNode lesson = doc.DocumentElement().AppendChild("Week_3");
    for (const auto& [word, trys, correct] : {std::tuple{"CAT", 2, 1}, std::tuple{"DONXXUUXXT", 1, 0}}) {
        XmlNode node = lesson.AppendChild(word);
        node.SetAttribute("word", word);
        node.SetAttribute("trys", trys);
        node.SetAttribute("correct", correct);
    }
    EXPECT_EQ(doc.SaveToText(), kExample);

    XmlDocument built;
    built.CreateDocumentElement("CHILD").SetAttribute("name", "Player_One");
    EXPECT_EQ(built.SaveToText(), "<CHILD name=\"Player_One\"/>");
}

TEST(XmlDocumentTest, ExampleReadsBackAndRoundTripsUnchanged)
{
    XmlDocument doc;
    doc.LoadFromText(kExample);
    const XmlNode root = doc.DocumentElement();
    EXPECT_EQ(root.NodeName(), "CHILD");
    EXPECT_EQ(root.Attribute("name"), "Player_One");
    const XmlNode lesson = root.FindChild("Week_3");
    ASSERT_FALSE(lesson.IsNull());
    EXPECT_TRUE(root.FindChild("week_3").IsNull()); // names are exact
    EXPECT_EQ(lesson.FindChild("CAT").AttributeAsInteger("trys"), 2);
    EXPECT_EQ(lesson.FindChild("DONXXUUXXT").AttributeAsInteger("correct"), 0);
    ASSERT_EQ(lesson.ChildElements().size(), 2u);
    EXPECT_EQ(lesson.ChildElements()[1].NodeName(), "DONXXUUXXT");
    EXPECT_EQ(doc.SaveToText(), kExample);
}

TEST(XmlDocumentTest, SetAttributeReplacesInPlaceAndAppendsNewOnesLast)
{
    XmlDocument doc;
    doc.LoadFromText("<CHILD><L><CAT correct=\"1\" trys=\"2\" extra=\"x\"/></L></CHILD>");
    XmlNode cat = doc.DocumentElement().FindChild("L").FindChild("CAT");
    cat.SetAttribute("word", "CAT");
    cat.SetAttribute("trys", 3);
    cat.SetAttribute("correct", -2147483647 - 1);
    EXPECT_EQ(doc.SaveToText(),
              "<CHILD><L><CAT correct=\"-2147483648\" trys=\"3\" extra=\"x\" word=\"CAT\"/></L></CHILD>");
}

TEST(XmlDocumentTest, ReaderAcceptsWhitespaceDeclarationAndOtherEncodings)
{
    XmlDocument doc;
    doc.LoadFromText("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<CHILD name=\"P\">\r\n  <Week_3>\n"
                     "    <CAT word=\"CAT\" trys=\"+2\" correct=\"1\" />\n  </Week_3>\n</CHILD>\n");
    EXPECT_EQ(doc.DocumentElement().FindChild("Week_3").FindChild("CAT").AttributeAsInteger("trys"), 2);

    // UTF-16 with its byte-order mark, as some editors save; written back as UTF-8.
    const std::u16string wide =
        u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?><CHILD name=\"\u00C9mile\"/>";
    doc.LoadFromText(std::string_view(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));
    EXPECT_EQ(doc.DocumentElement().Attribute("name"), "\xC3\x89mile");
    EXPECT_EQ(doc.SaveToText(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><CHILD name=\"\xC3\x89mile\"/>");
}

TEST(XmlDocumentTest, EscapesAreDecodedAndWrittenBack)
{
    XmlDocument doc;
    doc.LoadFromText("<CHILD name=\"a&amp;b &lt;&quot;&apos;&#65;&#x42;\"/>");
    EXPECT_EQ(doc.DocumentElement().Attribute("name"), "a&b <\"'AB");
    // A typed name with markup characters is stored as data, not as markup.
    XmlDocument built;
    built.CreateDocumentElement("CHILD").SetAttribute("name", "Bob \"<&>\" O'Neil");
    const std::string text = built.SaveToText();
    XmlDocument reread;
    reread.LoadFromText(text);
    EXPECT_EQ(reread.DocumentElement().Attribute("name"), "Bob \"<&>\" O'Neil");
}

TEST(XmlDocumentTest, MalformedTextRaisesWithPosition)
{
    XmlDocument doc;
    EXPECT_NE(MessageOf([&] { doc.LoadFromText("<CHILD name=\"a\"><L></CHILD>"); }).find("line 1"),
              std::string::npos);
    EXPECT_TRUE(doc.DocumentElement().IsNull()); // a failed load leaves nothing half-read
    const char* bad[] = {
        "",
        "   ",
        "just text",
        "<CHILD name=\"a\"b\" />",      // a quote pasted into the name
        "<CHILD name=\"a<b\" />",       // "<" in an attribute value
        "<CHILD name=\"a&b\" />",       // a bare ampersand
        "<CHILD name=\"&bogus;\" />",   // an undefined entity
        "<CHILD name=\"&#0;\" />",      // a reference to a character XML does not allow
        "<CHILD name=\"&#x110000;\"/>", // past Unicode
        "<CHILD a=\"1\" a=\"2\"/>",     // duplicate attribute
        "<A/><B/>",                     // two roots
        "<A/>trailing text",
        "<A/><![CDATA[x]]>",
        "<CHILD><L></CHILD>",     // cut off
        "<CHILD><1abc/></CHILD>", // digit-initial element
        ("<CHILD><a\xC3\x97"
         "b/></CHILD>"),              // multiplication sign is no name character
        "<CHILD>\x01</CHILD>",        // control character
        "<CHILD name=\"\xFF\xFE\"/>", // not UTF-8
        "<CHILD>&lt</CHILD>",
        "<?xml version=\"1.0\" encoding=\"UTF-<!--8\"?><a/>", // markup in the declaration
        "<?xml encoding=\"UTF-8\"?><a/>",                     // no version
        "<?xml version=\"1.0\" standalone=\"maybe\"?><a/>",
        "<a><!-- a -- b --></a>",        // "--" inside a comment
        "<a><?xml-ish x?><?XML y?></a>", // reserved target
    };
    for (const char* text : bad) {
        EXPECT_THROW(doc.LoadFromText(text), EXmlError) << text;
        EXPECT_TRUE(doc.DocumentElement().IsNull()) << text;
    }
}

TEST(XmlDocumentTest, CommentsInstructionsAndDeclarationSurviveASave)
{
    const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><!-- kept -->"
                             "<CHILD name=\"P\"><?tool keep?><![CDATA[<raw>]]></CHILD>";
    XmlDocument doc;
    doc.LoadFromText(text);
    EXPECT_EQ(doc.SaveToText(), text);
}

TEST(XmlDocumentTest, AttributeIntegers)
{
    XmlDocument doc;
    doc.LoadFromText("<R a=\"12\" b=\"-7\" c=\"x\" d=\"\" e=\"2147483648\" f=\" 3\" g=\"+-1\" h=\"1.5\" "
                     "i=\"-2147483648\"/>");
    const XmlNode r = doc.DocumentElement();
    EXPECT_EQ(r.AttributeAsInteger("a"), 12);
    EXPECT_EQ(r.AttributeAsInteger("b"), -7);
    EXPECT_EQ(r.AttributeAsInteger("i"), -2147483647 - 1);
    for (const char* name : {"c", "d", "e", "f", "g", "h", "missing"}) {
        EXPECT_THROW(r.AttributeAsInteger(name), EXmlError) << name;
        EXPECT_FALSE(r.TryAttributeAsInteger(name).has_value()) << name;
    }
    EXPECT_EQ(MessageOf([&] { r.AttributeAsInteger("c"); }), "'x' is not a valid integer value");
    EXPECT_FALSE(r.HasAttribute("missing"));
    EXPECT_EQ(r.Attribute("missing"), "");
}

TEST(XmlDocumentTest, InvalidNamesAreRefusedAndChangeNothing)
{
    XmlDocument doc;
    doc.LoadFromText("<CHILD/>");
    XmlNode root = doc.DocumentElement();
    for (const char* name : {"", "3RD_GRADE", "Week(3)", "A,B", "R&D", "ICE CREAM", "-x", ".x", "a<b", "a\"b",
                             "a/b", "\xC3\x97", "a\xFF"}) {
        EXPECT_THROW(root.AppendChild(name), EXmlError) << name;
        EXPECT_THROW(root.SetAttribute(name, "1"), EXmlError) << name;
        EXPECT_THROW(doc.CreateDocumentElement(name), EXmlError) << name;
    }
    EXPECT_EQ(MessageOf([&] { root.AppendChild("Week(3)"); }), "Invalid element name: \"Week(3)\"");
    EXPECT_EQ(doc.SaveToText(), "<CHILD/>");
    EXPECT_THROW(root.SetAttribute("name", "bell\x07"), EXmlError);
    EXPECT_THROW(XmlNode().AppendChild("x"), EXmlError);
    EXPECT_THROW(XmlDocument().SaveToText(), EXmlError);
}

TEST(XmlNameTest, FollowsTheNameProduction)
{
    for (const char* good : {"CAT", "DONXXUUXXT", "ICEXXUXCREAM", "_a", ":a", "a-b.c9", "Week_3",
                             "\xC3\x89mile", // É
                             "\xE5\xAD\x97", // CJK ideograph
                             ("a\xC2\xB7"
                              "b"),               // middle dot inside
                             "a\xCC\x81",         // combining acute inside
                             "\xF0\x90\x80\x80"}) // U+10000
        EXPECT_TRUE(IsXmlName(good)) << good;
    for (const char* bad : {"", "1a", "-a", ".a",
                            ("\xC2\xB7"
                             "a"),
                            ("\xCC\x81"
                             "a"),
                            "a b", "a(b", "a,b", "a&b", "a'b", "\xC3\x97", "\xC3\xB7", "\xC0\x80",
                            "\xED\xA0\x80", "\xEF\xBF\xBF", "\xF4\x90\x80\x80", "a\xE5\xAD"})
        EXPECT_FALSE(IsXmlName(bad)) << bad;
    EXPECT_FALSE(IsXmlName(std::string_view("a\0b", 3)));
}

TEST(XmlDocumentTest, DeepNestingLoadsAndSavesWithoutExhaustingTheStack)
{
    std::string text;
    constexpr int depth = 200000;
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    for (int i = 0; i < depth; ++i)
        text += "</a>";
    XmlDocument doc;
    doc.LoadFromText(text);
    EXPECT_EQ(doc.SaveToText().size(), depth * 7u - 3); // innermost collapsed to <a/>
}

TEST(XmlDocumentTest, ManyAttributesAreCheckedForDuplicatesQuickly)
{
    std::string text = "<R";
    for (int i = 0; i < 20000; ++i)
        text += " a" + std::to_string(i) + "=\"1\"";
    XmlDocument doc;
    doc.LoadFromText(text + "/>");
    EXPECT_TRUE(doc.DocumentElement().HasAttribute("a19999"));
    EXPECT_THROW(doc.LoadFromText(text + " a5=\"2\"/>"), EXmlError);
}

TEST_F(XmlFileTest, SaveAndLoadFile)
{
    XmlDocument doc;
    doc.LoadFromText(kExample);
    const fs::path file = dir_ / "Player_One.xml";
    doc.SaveToFile(file);
    EXPECT_EQ(ReadFile(file), kExample);
    XmlDocument again;
    again.LoadFromFile(file);
    EXPECT_EQ(again.SaveToText(), kExample);
    EXPECT_EQ(fs::directory_iterator(dir_)->path().filename(), "Player_One.xml"); // nothing else left behind
}

TEST_F(XmlFileTest, MissingOrUnreadableFileRaises)
{
    XmlDocument doc;
    EXPECT_EQ(MessageOf([&] { doc.LoadFromFile(dir_ / "Nobody.xml"); }),
              "Cannot open file \"" + (dir_ / "Nobody.xml").string() + "\". No such file or directory");
    EXPECT_THROW(doc.LoadFromFile(dir_), EXmlError);
    ASSERT_EQ(::mkfifo((dir_ / "pipe.xml").c_str(), 0600), 0);
    EXPECT_EQ(MessageOf([&] { doc.LoadFromFile(dir_ / "pipe.xml"); }),
              "Cannot open file \"" + (dir_ / "pipe.xml").string() + "\". Not a regular file");
    std::ofstream(dir_ / "empty.xml");
    EXPECT_THROW(doc.LoadFromFile(dir_ / "empty.xml"), EXmlError);
    std::ofstream(dir_ / "cut.xml") << kExample.substr(0, kExample.size() / 2);
    EXPECT_THROW(doc.LoadFromFile(dir_ / "cut.xml"), EXmlError);
    std::ofstream(dir_ / "locked.xml") << kExample;
    fs::permissions(dir_ / "locked.xml", fs::perms::none);
    if (::geteuid() != 0) {
        EXPECT_THROW(doc.LoadFromFile(dir_ / "locked.xml"), EXmlError);
    }
}

TEST_F(XmlFileTest, UnwritableTargetsRaiseAndLeaveNothing)
{
    XmlDocument doc;
    doc.LoadFromText(kExample);
    EXPECT_EQ(MessageOf([&] { doc.SaveToFile(dir_ / "missing" / "P.xml"); }),
              "Cannot create file \"" + (dir_ / "missing" / "P.xml").string() +
                  "\". No such file or directory");
    fs::create_directory(dir_ / "P.xml");
    EXPECT_THROW(doc.SaveToFile(dir_ / "P.xml"), EXmlError);               // a folder in the way
    EXPECT_THROW(doc.SaveToFile(dir_ / std::string(300, 'n')), EXmlError); // name too long
    fs::remove(dir_ / "P.xml");

    // A record its owner may not write (a parent froze it) is refused as the read-only folder
    // below is, also when root runs the tutor, directly and through a link, and stays as it was.
    const fs::path frozen = dir_ / "Frozen.xml";
    std::ofstream(frozen) << "<old/>";
    fs::permissions(frozen, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::create_symlink(frozen, dir_ / "link.xml");
    for (const fs::path& target : {frozen, dir_ / "link.xml"})
        EXPECT_EQ(MessageOf([&] { doc.SaveToFile(target); }),
                  "Cannot create file \"" + frozen.string() + "\". Permission denied");
    EXPECT_EQ(ReadFile(frozen), "<old/>");
    EXPECT_EQ(fs::status(frozen).permissions(),
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::remove(dir_ / "link.xml");
    fs::remove(frozen);
    EXPECT_TRUE(fs::is_empty(dir_));

    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(MessageOf([&] { doc.SaveToFile(dir_ / "P.xml"); }),
              "Cannot create file \"" + (dir_ / "P.xml").string() + "\". Permission denied");
}

TEST_F(XmlFileTest, SaveKeepsPermissionsAndWritesThroughLinks)
{
    const fs::path file = dir_ / "P.xml";
    std::ofstream(file) << "<old/>";
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    XmlDocument doc;
    doc.LoadFromText(kExample);
    doc.SaveToFile(file);
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    struct stat status {};
    if (::geteuid() == 0 && ::chown(file.c_str(), 65534, 65534) == 0) { // root keeps a shared record shared
        doc.SaveToFile(file);
        EXPECT_TRUE(::stat(file.c_str(), &status) == 0 && status.st_uid == 65534 && status.st_gid == 65534);
    }

    fs::create_symlink(file, dir_ / "link.xml");
    doc.CreateDocumentElement("NEW");
    doc.SaveToFile(dir_ / "link.xml");
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.xml"));
    EXPECT_EQ(ReadFile(file), "<NEW/>");
}
