// The pictures reach a program through the static library lexorin_pictures alone, even
// by way of another static library: this test links it only through PictureUser's
// library, as the tutor links it through its application library, and calls no
// resource initialiser.
#include "LexorinPictures.h"
#include "PictureUser.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <cstdlib>
#include <set>
#include <string>

namespace {

struct Expected {
    const char* name;
    int width;
    int height;
};

constexpr Expected kPictures[] = {
    {content::kBannerPicture, 312, 60},    {content::kLessonPicture, 400, 150},
    {content::kSpeakerGlyph, 18, 18},      {content::kSpeakerDownGlyph, 18, 18},
    {content::kForwardGlyph, 20, 16},      {content::kExitGlyph, 24, 24},
    {content::kWindowIcon, 256, 256},
};

// Share of pixels that are not fully transparent.
double Coverage(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            opaque += qAlpha(argb.pixel(x, y)) > 0;
    return double(opaque) / (argb.width() * argb.height());
}

TEST(ContentPictures, EveryPictureLoadsAsPixmapAtItsSize)
{
    for (const Expected& e : kPictures) {
        SCOPED_TRACE(e.name);
        const QPixmap pixmap(e.name);
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.width(), e.width);
        EXPECT_EQ(pixmap.height(), e.height);
    }
}

TEST(ContentPictures, ReachAProgramThroughAnotherStaticLibrary)
{
    EXPECT_EQ(PictureSizeSeenByLibrary(content::kBannerPicture), QSize(312, 60));
    EXPECT_EQ(PictureSizeSeenByLibrary(content::kWindowIcon), QSize(256, 256));
}

TEST(ContentPictures, ResourceFolderHoldsExactlyTheNamedPictures)
{
    std::set<std::string> listed;
    for (const QString& name : QDir(":/pictures").entryList(QDir::Files))
        listed.insert(":/pictures/" + name.toStdString());
    std::set<std::string> named;
    for (const QString& name : content::PictureResources())
        named.insert(name.toStdString());
    EXPECT_EQ(listed, named);
    EXPECT_EQ(named.size(), std::size(kPictures));
}

TEST(ContentPictures, BannerIsTransparentAroundItsLettering)
{
    const QImage banner(content::kBannerPicture);
    ASSERT_TRUE(banner.hasAlphaChannel());
    EXPECT_EQ(qAlpha(banner.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(banner.pixel(banner.width() - 1, banner.height() - 1)), 0);
    const double coverage = Coverage(banner);
    EXPECT_GT(coverage, 0.15); // there is lettering
    EXPECT_LT(coverage, 0.8);  // and it does not fill the box
}

TEST(ContentPictures, TestPagePictureFillsItsFrame)
{
    const QImage lesson(content::kLessonPicture);
    // Opaque in the middle, only the rounded corners see through.
    EXPECT_EQ(qAlpha(lesson.pixel(200, 75)), 255);
    EXPECT_GT(Coverage(lesson), 0.98);
}

TEST(ContentPictures, GlyphsAreDrawnOnTransparentGround)
{
    for (const char* name : {content::kSpeakerGlyph, content::kSpeakerDownGlyph,
                             content::kForwardGlyph, content::kExitGlyph}) {
        SCOPED_TRACE(name);
        const QImage glyph(name);
        ASSERT_TRUE(glyph.hasAlphaChannel());
        EXPECT_EQ(qAlpha(glyph.pixel(0, glyph.height() - 1)), 0);
        const double coverage = Coverage(glyph);
        EXPECT_GT(coverage, 0.2);
        EXPECT_LT(coverage, 0.9);
    }
}

TEST(ContentPictures, SpeakerStatesDiffer)
{
    const QImage up = QImage(content::kSpeakerGlyph).convertToFormat(QImage::Format_ARGB32);
    const QImage down = QImage(content::kSpeakerDownGlyph).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(up.size(), down.size());
    EXPECT_NE(up, down);
}

TEST(ContentPictures, WindowIconServesSmallSizesToo)
{
    const QIcon icon(content::kWindowIcon);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(32, 32).size(), QSize(32, 32));
    EXPECT_EQ(icon.pixmap(256, 256).size(), QSize(256, 256));
}

TEST(ContentPictures, UnknownNamesLoadNothing)
{
    EXPECT_TRUE(QPixmap(":/pictures/missing.png").isNull());
    EXPECT_TRUE(QPixmap(":/pictures/banner.svg").isNull());
    EXPECT_TRUE(QPixmap(":/banner.png").isNull());
}

} // namespace

int main(int argc, char** argv)
{
    // QPixmap needs a GUI application; no display is needed for it.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
