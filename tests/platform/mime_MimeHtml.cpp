// Reading the page out of a MIME HTML document: the layouts web archives come in, the transfer
// encodings, and documents that are broken or hostile.

#include "platform/mime/MimeHtml.h"

#include <gtest/gtest.h>

#include <string>

using platform::HtmlOfMimeHtml;

namespace {

std::string Archive(const std::string& partHeaders, const std::string& partBody, const std::string& eol = "\r\n")
{
    return "From: <Saved by a browser>" + eol + "MIME-Version: 1.0" + eol +
           "Content-Type: multipart/related;" + eol + "\ttype=\"text/html\";" + eol +
           "\tboundary=\"----=_Part_1\"" + eol + eol + "This is a multi-part message in MIME format." + eol +
           eol + "------=_Part_1" + eol + partHeaders + eol + eol + partBody + eol + "------=_Part_1--" + eol;
}

} // namespace

TEST(MimeHtmlTest, QuotedPrintablePageWithSoftBreaksAndEscapes)
{
    const std::string doc = Archive("Content-Type: text/html; charset=\"utf-8\"\r\n"
                                    "Content-Transfer-Encoding: quoted-printable",
                                    "<p class=3D\"intro\">Spell it, then che=\r\nck it: caf=C3=A9</p>");
    const auto html = HtmlOfMimeHtml(doc);
    ASSERT_TRUE(html);
    EXPECT_EQ(*html, QString::fromUtf8("<p class=\"intro\">Spell it, then check it: caf\xC3\xA9</p>"));
}

TEST(MimeHtmlTest, Base64PageAndBareLineFeeds)
{
    // "<b>Lexorin</b>" in base64, split over two lines.
    const std::string doc =
        Archive("Content-Type: text/html\nContent-Transfer-Encoding: base64", "PGI+TGV4\nb3JpbjwvYj4=", "\n");
    const auto html = HtmlOfMimeHtml(doc);
    ASSERT_TRUE(html);
    EXPECT_EQ(*html, "<b>Lexorin</b>");
}

TEST(MimeHtmlTest, ThePageIsFoundAfterOtherPartsAndInsideNestedMultiparts)
{
    const std::string inner = "Content-Type: multipart/alternative; boundary=inner\r\n\r\n"
                              "--inner\r\nContent-Type: text/plain\r\n\r\nplain words\r\n"
                              "--inner\r\nContent-Type: TEXT/HTML\r\n\r\n<i>nested</i>\r\n--inner--\r\n";
    const std::string doc = "Content-Type: multipart/related; boundary=outer\r\n\r\n"
                            "--outer\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\niVBO\r\n"
                            "--outer\r\n" +
                            inner + "--outer--\r\n";
    const auto html = HtmlOfMimeHtml(doc);
    ASSERT_TRUE(html);
    EXPECT_EQ(*html, "<i>nested</i>");
}

TEST(MimeHtmlTest, ASinglePartHtmlDocumentAndALatin1Page)
{
    const auto single = HtmlOfMimeHtml("Content-Type: text/html; charset=iso-8859-1\r\n\r\nna\xEFve");
    ASSERT_TRUE(single);
    EXPECT_EQ(*single, QString::fromUtf8("na\xC3\xAFve"));
}

TEST(MimeHtmlTest, DocumentsWithoutAPageGiveNothing)
{
    EXPECT_FALSE(HtmlOfMimeHtml(""));
    EXPECT_FALSE(HtmlOfMimeHtml("just some text\r\n"));
    EXPECT_FALSE(HtmlOfMimeHtml(Archive("Content-Type: text/plain", "no page here")));
    // A multipart document without a boundary cannot be split.
    EXPECT_FALSE(HtmlOfMimeHtml("Content-Type: multipart/related\r\n\r\n--x\r\nContent-Type: text/html\r\n\r\n<p>"));
}

TEST(MimeHtmlTest, BrokenDocumentsAreReadAsFarAsTheyGo)
{
    // Cut off before the closing boundary: the last part is still the page.
    const std::string full = Archive("Content-Type: text/html", "<p>cut short</p>");
    const auto cut = HtmlOfMimeHtml(full.substr(0, full.find("------=_Part_1--")));
    ASSERT_TRUE(cut);
    EXPECT_TRUE(cut->contains("<p>cut short</p>"));
    // Malformed escapes are kept as written; a trailing '=' is not read past the end.
    const auto bad = HtmlOfMimeHtml("Content-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
                                    "100=% =G1 end=");
    ASSERT_TRUE(bad);
    EXPECT_EQ(*bad, "100=% =G1 end=");
    // Every shorter prefix of a real archive is read without harm.
    for (std::size_t n = 0; n < full.size(); ++n)
        (void)HtmlOfMimeHtml(std::string_view(full).substr(0, n));
}

TEST(MimeHtmlTest, DeepNestingStopsInsteadOfRecursingWithoutEnd)
{
    std::string doc;
    for (int i = 0; i < 10000; ++i) {
        const std::string boundary = "b" + std::to_string(i);
        doc += "Content-Type: multipart/mixed; boundary=" + boundary + "\r\n\r\n--" + boundary + "\r\n";
    }
    doc += "Content-Type: text/html\r\n\r\n<p>too deep</p>";
    EXPECT_FALSE(HtmlOfMimeHtml(doc));
}
