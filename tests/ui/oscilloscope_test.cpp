// The oscilloscope's picture of the shared trace, its local feed, and the value display.
// Pictures are rendered onto a transparent image, so that every pixel the widget draws shows.
#include "eventloop.h"
#include "oscilloscope.h"
#include "paintcounter.h"
#include "sharedblock.h"
#include "simpledisplay.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;

const QColor kTrace(0, 143, 214, 254);
const QColor kGray(128, 128, 128);

// The widget as it paints itself now, on a transparent image one column wider than it is.
QImage picture(QWidget& widget)
{
    QImage image(widget.width() + 1, widget.height(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

bool isTrace(const QColor& pixel, int alpha)
{
    return pixel.alpha() == alpha && std::abs(pixel.red() - kTrace.red()) <= 3 &&
           std::abs(pixel.green() - kTrace.green()) <= 3 &&
           std::abs(pixel.blue() - kTrace.blue()) <= 3;
}

// The alpha of bar i of n: the oldest bars are the faintest.
int barAlpha(int i, int n)
{
    return int(float(i) * 200.0f / float(n) + 55.0f);
}

// The program's oscilloscope: 255 x 81, blue, drawing a shared block's trace.
class SharedTrace : public testing::Test {
protected:
    void SetUp() override
    {
        scope.setGeometry(0, 0, 255, 81);
        scope.setTraceColor(kTrace);
        scope.setBuffers(block->scopeMinima, block->scopeMaxima, scopePointCapacity);
    }

    std::unique_ptr<SharedBlock> block = std::make_unique<SharedBlock>();
    Oscilloscope scope{nullptr};
};

// An oscilloscope fed locally, W points across.
class LocalFeed : public testing::Test {
protected:
    void across(int width) { scope.setGeometry(0, 0, width, 81); }
    void feed(int from, int to)
    {
        for (int point = from; point <= to; ++point)
            scope.addPoint(-float(point), float(point));
    }

    Oscilloscope scope{nullptr};
};

} // namespace

TEST_F(SharedTrace, AFreshBlockDraws256BarsOnTheMiddleLineOverThreeGrayGuides)
{
    const QImage image = picture(scope);
    for (const int x : {0, 100, 254}) {
        EXPECT_EQ(image.pixelColor(x, 20), kGray) << x;
        EXPECT_EQ(image.pixelColor(x, 60), kGray) << x;
        EXPECT_NE(image.pixelColor(x, 40), kGray) << "a bar lies over the middle line";
        for (const int y : {10, 30, 39, 41, 50, 70})
            EXPECT_EQ(image.pixelColor(x, y).alpha(), 0) << x << "," << y;
    }
}

TEST_F(SharedTrace, Entry0WithMinusHalfAndAQuarterDrawsFromRow60ToRow30AtColumn0)
{
    block->scopeMinima[0] = -0.5f;
    block->scopeMaxima[0] = 0.25f;
    const QImage image = picture(scope);
    for (int y = 30; y < 60; ++y) {
        if (y == 40) continue; // the middle guide line
        EXPECT_TRUE(isTrace(image.pixelColor(0, y), 55)) << y;
    }
    EXPECT_NE(image.pixelColor(0, 60), kGray) << "the bar reaches row 60";
    EXPECT_EQ(image.pixelColor(0, 29).alpha(), 0);
    EXPECT_EQ(image.pixelColor(0, 61).alpha(), 0);
    EXPECT_EQ(image.pixelColor(1, 45).alpha(), 0) << "entry 1 is still zero";
}

TEST_F(SharedTrace, BarsFadeInFromAlpha55AtTheLeftAndTheNewestEntryLiesOutside)
{
    for (int i = 0; i < scopePointCapacity; ++i) {
        block->scopeMinima[i] = -0.5f;
        block->scopeMaxima[i] = 0.5f;
    }
    const QImage image = picture(scope);
    for (int x = 0; x < 255; ++x)
        EXPECT_TRUE(isTrace(image.pixelColor(x, 45), barAlpha(x, 256))) << x;
    EXPECT_EQ(image.pixelColor(0, 45).alpha(), 55);
    EXPECT_EQ(image.pixelColor(254, 45).alpha(), 253);
    // Entry 255, drawn with alpha 254 at x 255, is just outside the widget.
    EXPECT_EQ(barAlpha(255, 256), 254);
    EXPECT_EQ(image.pixelColor(255, 45).alpha(), 0);
}

TEST_F(SharedTrace, EntriesThatAreNotFiniteAreSkippedAndHugeOnesClipped)
{
    block->scopeMinima[3] = std::numeric_limits<float>::quiet_NaN();
    block->scopeMaxima[4] = std::numeric_limits<float>::infinity();
    block->scopeMinima[5] = -1.0e30f;
    block->scopeMaxima[5] = 1.0e30f;
    const QImage image = picture(scope);
    EXPECT_EQ(image.pixelColor(3, 40), kGray);
    EXPECT_EQ(image.pixelColor(4, 40), kGray);
    EXPECT_NE(image.pixelColor(6, 40), kGray);
    EXPECT_EQ(image.pixelColor(5, 0).alpha(), barAlpha(5, 256));
    EXPECT_EQ(image.pixelColor(5, 80).alpha(), barAlpha(5, 256));
}

TEST(Oscilloscope, WithoutBuffersDrawsItsOwnZeroedArraysAndRepaintsOnlyWhenTheyMove)
{
    Oscilloscope scope(nullptr);
    EXPECT_EQ(scope.size(), QSize(600, 300));
    EXPECT_EQ(scope.sizeHint(), QSize(300, 200));
    scope.setGeometry(0, 0, 255, 81);
    const QImage image = picture(scope);
    EXPECT_NE(image.pixelColor(200, 40), kGray);
    EXPECT_EQ(image.pixelColor(200, 45).alpha(), 0);

    scope.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scope));
    processEventsFor(100ms);
    PaintCounter paints;
    paints.watch(&scope);
    processEventsFor(300ms);
    EXPECT_EQ(paints.count(&scope), 0) << "a trace at rest is not drawn again";
    scope.addPoint(-0.5f, 0.5f);
    processEventsFor(100ms);
    EXPECT_EQ(paints.count(&scope), 1);
    processEventsFor(300ms);
    EXPECT_EQ(paints.count(&scope), 1);
}

TEST(Oscilloscope, ZoomMapsZeroToOneOnto4To1024SamplesPerPoint)
{
    Oscilloscope scope(nullptr);
    EXPECT_EQ(scope.samplesPerPoint(), 176);
    scope.setZoom(0, 0.0f);
    EXPECT_EQ(scope.samplesPerPoint(), 4);
    scope.setZoom(7, 1.0f);
    EXPECT_EQ(scope.samplesPerPoint(), 1024);
    scope.setZoom(0, 2.0f);
    EXPECT_EQ(scope.samplesPerPoint(), 2044);
    for (const float ignored : {std::numeric_limits<float>::quiet_NaN(),
                                std::numeric_limits<float>::infinity(), 1.0e20f, -1.0e20f}) {
        scope.setZoom(0, ignored);
        EXPECT_EQ(scope.samplesPerPoint(), 2044) << ignored;
    }
}

TEST_F(LocalFeed, KikooModeWrapsAroundToTheLeftAfterWPoints)
{
    across(10);
    scope.setKikooMode(true);
    feed(1, 10);
    EXPECT_EQ(scope.points(), 10);
    feed(11, 11);
    EXPECT_EQ(scope.maximumAt(0), 11.0f);
    EXPECT_EQ(scope.maximumAt(1), 2.0f);
    feed(12, 12);
    EXPECT_EQ(scope.maximumAt(1), 12.0f);
    EXPECT_EQ(scope.maximumAt(9), 10.0f);
}

TEST_F(LocalFeed, ScrollingDropsTheOldestOfWPoints)
{
    across(10);
    feed(1, 12);
    EXPECT_EQ(scope.points(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(scope.maximumAt(i), float(i + 3)) << i;
    EXPECT_EQ(scope.maximumAt(10), 0.0f);
}

TEST_F(LocalFeed, DrawsOnlyThePointsItWasFed)
{
    across(255);
    scope.setTraceColor(kTrace);
    for (int i = 0; i < 5; ++i)
        scope.addPoint(-0.5f, 0.5f);
    const QImage image = picture(scope);
    for (int x = 0; x < 5; ++x)
        EXPECT_TRUE(isTrace(image.pixelColor(x, 45), barAlpha(x, 5))) << x;
    EXPECT_EQ(image.pixelColor(5, 45).alpha(), 0);
    EXPECT_EQ(image.pixelColor(100, 40), kGray) << "no zero bars past the fed points";
    // A paint does not move the feed's position.
    scope.addPoint(-0.25f, 0.25f);
    EXPECT_EQ(scope.points(), 6);
    EXPECT_EQ(scope.maximumAt(5), 0.25f);
}

TEST_F(LocalFeed, KeepsItsPointsWithinTheArraysInUse)
{
    across(2000);
    feed(1, 1700);
    EXPECT_EQ(scope.points(), 1600);
    EXPECT_EQ(scope.maximumAt(1599), 1700.0f);

    // The shared block's arrays hold 256 entries.
    auto block = std::make_unique<SharedBlock>();
    scope.setBuffers(block->scopeMinima, block->scopeMaxima, scopePointCapacity);
    across(300);
    feed(1, 300);
    EXPECT_EQ(scope.points(), 256);
    EXPECT_EQ(block->scopeMaxima[255], 300.0f);
    EXPECT_EQ(block->scopeMaxima[0], 45.0f);
    EXPECT_EQ(block->scopePointCount, 0) << "the engine's count is not the widget's";
}

TEST_F(LocalFeed, ABlockGivesOnePointPerZoomSamplesOfBothChannelsMixed)
{
    across(255);
    scope.setZoom(0, 0.0f); // 4 samples per point
    std::vector<float> left{0.5f, 0.5f, 0.5f, 0.5f, -0.5f, -0.5f, -0.5f, -0.5f, 0.0f};
    std::vector<float> right{0.5f, 0.5f, 0.5f, 0.5f, -0.25f, -0.75f, -0.5f, -0.5f, 0.0f};
    float* first[] = {left.data(), right.data()};
    float* rest[] = {left.data() + 4, right.data() + 4};
    scope.process(first, 4);
    EXPECT_EQ(scope.points(), 0) << "a point is added when the frame after its window comes";
    scope.process(rest, 0);
    EXPECT_EQ(scope.points(), 0);
    // The window carries over from one block to the next.
    scope.process(rest, 5);
    ASSERT_EQ(scope.points(), 2);
    EXPECT_EQ(scope.minimumAt(0), 0.0f) << "every point spans 0";
    EXPECT_EQ(scope.maximumAt(0), 0.5f);
    EXPECT_EQ(scope.minimumAt(1), -0.625f);
    EXPECT_EQ(scope.maximumAt(1), 0.0f);
}

TEST_F(LocalFeed, Process2ReadsNothingWithoutARingAndWrapsAroundOne)
{
    across(300);
    scope.setZoom(0, 0.0f);
    scope.process2();
    EXPECT_EQ(scope.points(), 0);
    scope.setRing(nullptr, 8);
    scope.process2();
    EXPECT_EQ(scope.points(), 0);

    const float ring[] = {0.1f, -0.2f, 0.3f, -0.4f, 0.5f, -0.6f, 0.7f, -0.8f};
    scope.setRing(ring, 0);
    scope.process2();
    EXPECT_EQ(scope.points(), 0);
    scope.setRing(ring, 8);
    scope.process2();
    // 1,024 samples, a point at every fourth sample after the first window.
    ASSERT_EQ(scope.points(), 255);
    for (int i = 0; i < 255; ++i) {
        const bool firstHalf = i % 2 == 0;
        EXPECT_EQ(scope.minimumAt(i), firstHalf ? -0.4f : -0.8f) << i;
        EXPECT_EQ(scope.maximumAt(i), firstHalf ? 0.3f : 0.7f) << i;
    }
}

TEST(SimpleDisplay, SetTextMarksItChangedWithoutRepainting)
{
    SimpleDisplay display(nullptr);
    EXPECT_TRUE(display.currentText().isEmpty());
    EXPECT_FALSE(display.isChanged());
    display.resize(45, 16);
    display.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
    processEventsFor(50ms);
    PaintCounter paints;
    paints.watch(&display);
    display.setText(QStringLiteral("1/2 beat"));
    processEventsFor(100ms);
    EXPECT_EQ(paints.count(&display), 0);
    EXPECT_TRUE(display.isChanged());
    EXPECT_EQ(display.currentText(), "1/2 beat");
    display.grab();
    EXPECT_TRUE(display.isChanged()) << "painting leaves the mark to the main widget";
}
