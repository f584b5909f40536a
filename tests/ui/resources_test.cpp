// The UI's compiled-in resource bundle: which files it holds, how they are stored, and that
// the images have the sizes and the looks the widgets rely on.
#include <QColor>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QSet>
#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const QString kKnobStrip = QStringLiteral(":/Resources/ombrel 2bis.png");
const QString kButtonUnlit = QStringLiteral(":/Resources/push blue ombrel/push blue ombrel.png");
const QString kButtonDim = QStringLiteral(":/Resources/push blue ombrel/push blue ombrel1.png");
const QString kButtonLit = QStringLiteral(":/Resources/push blue ombrel/push blue ombrel2.png");
const QString kPillNormal = QStringLiteral(":/Resources/buttonnormal.png");
const QString kPillActive = QStringLiteral(":/Resources/buttonactive.png");
const QString kPillPressed = QStringLiteral(":/Resources/buttonpressed.png");

// The same name with "@2x": the image for an editor drawn at more than 1x.
QString doubled(const QString& path)
{
    return path.chopped(4) + QStringLiteral("@2x.png");
}

constexpr int kFrameSize = 200;
constexpr int kFrameCount = 64;

QSet<QString> bundleFiles()
{
    QSet<QString> files;
    QDirIterator it(QStringLiteral(":/Resources"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.insert(it.next());
    return files;
}

// An 8-bit RGBA PNG of the given size, loaded as the widgets load it.
void expectRgbaPng(const QString& path, QSize size)
{
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), "png") << qPrintable(path);
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << qPrintable(path) << ": " << qPrintable(reader.errorString());
    EXPECT_EQ(image.size(), size) << qPrintable(path);
    // Qt reads 8-bit RGBA PNGs as ARGB32; RGB ones, palettes and 16-bit ones otherwise.
    EXPECT_EQ(image.format(), QImage::Format_ARGB32) << qPrintable(path);
}

QImage load(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

// The blue of the value arc: strongly blue, clearly more blue than red, mostly opaque.
bool isAccent(QRgb pixel)
{
    return qAlpha(pixel) >= 128 && qBlue(pixel) >= 150 && qBlue(pixel) - qRed(pixel) >= 100;
}

struct AccentCount {
    int total = 0;
    int leftHalf = 0;  // x left of the centre
    int rightHalf = 0; // x right of the centre, beyond a small margin for the arc's glow
    int lowerLeft = 0; // below and left of the centre
};

AccentCount countAccent(const QImage& frame)
{
    AccentCount count;
    const int centre = frame.width() / 2;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            if (!isAccent(frame.pixel(x, y))) continue;
            ++count.total;
            if (x < centre) ++count.leftHalf;
            if (x > centre + 10) ++count.rightHalf;
            if (x < centre && y > centre) ++count.lowerLeft;
        }
    }
    return count;
}

class KnobStrip : public testing::Test {
protected:
    QImage frame(int index) const
    {
        return strip.copy(0, index * kFrameSize, kFrameSize, kFrameSize);
    }

    QImage strip = load(kKnobStrip);
};

} // namespace

TEST(ResourceBundle, HoldsTheKnobStripTheButtonImagesThePillsAndTheTwoFonts)
{
    QSet<QString> expected{QStringLiteral(":/Resources/TCCEB.TTF"),
                           QStringLiteral(":/Resources/TCCM.TTF")};
    for (const QString& image : {kKnobStrip, kButtonUnlit, kButtonDim, kButtonLit, kPillNormal,
                                 kPillActive, kPillPressed})
        expected += {image, doubled(image)};
    EXPECT_EQ(bundleFiles(), expected);
}

TEST(ResourceBundle, EveryEntryOpensWholeAndIsStoredUncompressed)
{
    const QSet<QString> files = bundleFiles();
    ASSERT_FALSE(files.isEmpty());
    for (const QString& path : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
        const QByteArray content = file.readAll();
        EXPECT_GT(content.size(), 0) << qPrintable(path);
        const QResource resource(path);
        EXPECT_EQ(resource.compressionAlgorithm(), QResource::NoCompression) << qPrintable(path);
        EXPECT_EQ(resource.size(), content.size()) << qPrintable(path);
    }
}

TEST_F(KnobStrip, IsAColumnOfSixtyFourSquareFramesOf200Pixels)
{
    expectRgbaPng(kKnobStrip, QSize(kFrameSize, kFrameSize * kFrameCount));
    ASSERT_EQ(strip.height() % strip.width(), 0);
    EXPECT_EQ(strip.height() / strip.width(), kFrameCount);
}

TEST_F(KnobStrip, EveryFrameDiffersFromTheNextAndTheLastFromTheFirst)
{
    ASSERT_EQ(strip.height(), kFrameSize * kFrameCount);
    for (int i = 0; i + 1 < kFrameCount; ++i)
        EXPECT_NE(frame(i), frame(i + 1)) << "frames " << i << " and " << i + 1;
    EXPECT_NE(frame(0), frame(kFrameCount - 1));
}

TEST_F(KnobStrip, ValueArcIsEmptyAtTheTopAndGrowsInEveryFrame)
{
    ASSERT_EQ(strip.height(), kFrameSize * kFrameCount);
    EXPECT_EQ(countAccent(frame(0)).total, 0);
    for (int i = 0; i + 1 < kFrameCount; ++i)
        EXPECT_LT(countAccent(frame(i)).total, countAccent(frame(i + 1)).total)
            << "frames " << i << " and " << i + 1;
}

TEST_F(KnobStrip, ValueArcSweepsClockwiseFromSevenOClock)
{
    ASSERT_EQ(strip.height(), kFrameSize * kFrameCount);
    const AccentCount start = countAccent(frame(1));
    EXPECT_GT(start.lowerLeft, 0);
    EXPECT_EQ(start.lowerLeft, start.total);

    // Halfway the arc has climbed the left side up to twelve o'clock, no further.
    const AccentCount half = countAccent(frame(kFrameCount / 2 - 1));
    EXPECT_GT(half.leftHalf, 0);
    EXPECT_EQ(half.rightHalf, 0);

    const AccentCount full = countAccent(frame(kFrameCount - 1));
    EXPECT_GT(full.rightHalf, full.leftHalf / 2);
}

// Twice the size the editor shows them at: knobs of 51, push buttons of 16, pills as drawn.
TEST(DoubledImages, AreTwiceTheSizeTheEditorShowsThemAt)
{
    expectRgbaPng(doubled(kKnobStrip), QSize(102, 102 * kFrameCount));
    for (const QString& path : {kButtonUnlit, kButtonLit, kButtonDim})
        expectRgbaPng(doubled(path), QSize(32, 32));
    for (const QString& path : {kPillNormal, kPillActive, kPillPressed})
        expectRgbaPng(doubled(path), QSize(96, 32));
}

TEST(PushButtonImages, Load200By200)
{
    for (const QString& path : {kButtonUnlit, kButtonLit, kButtonDim})
        expectRgbaPng(path, QSize(200, 200));
}

TEST(PushButtonImages, UnlitCapIsGreyAndTheOthersBlueTheLitOneBrightest)
{
    const QRgb unlit = load(kButtonUnlit).pixel(100, 100);
    const QRgb lit = load(kButtonLit).pixel(100, 100);
    const QRgb dim = load(kButtonDim).pixel(100, 100);
    for (QRgb cap : {unlit, lit, dim})
        EXPECT_EQ(qAlpha(cap), 255);
    EXPECT_LE(std::abs(qRed(unlit) - qGreen(unlit)), 10);
    EXPECT_LE(std::abs(qGreen(unlit) - qBlue(unlit)), 10);
    EXPECT_GT(qBlue(lit), qRed(lit) + 60);
    EXPECT_GT(qBlue(dim), qRed(dim) + 60);
    EXPECT_GT(QColor(lit).value(), QColor(dim).value());
}

TEST(PushButtonImages, OnlyTheLitButtonGlowsAroundItsCap)
{
    // Halfway between the image's top edge and the dark bezel around the cap.
    const QPoint margin(100, 12);
    EXPECT_GT(qAlpha(load(kButtonLit).pixel(margin)), 0);
    EXPECT_GT(qBlue(load(kButtonLit).pixel(margin)), qRed(load(kButtonLit).pixel(margin)));
    EXPECT_EQ(qAlpha(load(kButtonUnlit).pixel(margin)), 0);
    EXPECT_EQ(qAlpha(load(kButtonDim).pixel(margin)), 0);
}

TEST(PillImages, Load48By16)
{
    for (const QString& path : {kPillNormal, kPillActive, kPillPressed})
        expectRgbaPng(path, QSize(48, 16));
}

TEST(PillImages, AreRoundedAtTheEndsAndTheNormalOneGrey)
{
    for (const QString& path : {kPillNormal, kPillActive, kPillPressed}) {
        const QImage pill = load(path);
        EXPECT_EQ(qAlpha(pill.pixel(0, 0)), 0) << qPrintable(path);
        EXPECT_EQ(qAlpha(pill.pixel(47, 15)), 0) << qPrintable(path);
        EXPECT_EQ(qAlpha(pill.pixel(24, 8)), 255) << qPrintable(path);
    }
    const QRgb normal = load(kPillNormal).pixel(24, 8);
    EXPECT_LE(std::abs(qRed(normal) - qBlue(normal)), 10);
}
