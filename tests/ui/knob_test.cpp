// The knob played with the mouse: drags, fine mode, reset, the frames it picks, and values
// from the plug-in. The knobs here sit in a window of their own, on a strip of 64 frames made
// here, each frame one flat colour, so that a rendered knob tells which frame it shows.
#include "controlsignals.h"
#include "debuglog.h"
#include "knob.h"
#include "paintcounter.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int kFrames = 64;
constexpr int kArtworkSide = 200;
constexpr int kArtworkLength = kArtworkSide * kFrames;
constexpr int kKnobSide = 51;
const QPoint kGrip(25, 30);

QColor frameColour(int frame)
{
    return QColor(4 * frame, 255 - 4 * frame, (frame * 37) % 256);
}

QPixmap colouredStrip(int width, int height, int frames, bool column = true)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int frame = 0; frame < frames; ++frame) {
        const int side = column ? width : height;
        const QRect area =
            column ? QRect(0, frame * side, side, side) : QRect(frame * side, 0, side, side);
        QPainter(&image).fillRect(area, frameColour(frame));
    }
    return QPixmap::fromImage(image);
}

// The colour at the knob's centre, as the knob paints itself now.
QColor centreColour(QWidget* widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image.pixelColor(widget->width() / 2, widget->height() / 2);
}

// One press, one move by dy pixels upwards, one release: a single move event.
void drag(Knob* knob, int dy, Qt::KeyboardModifiers modifiers = {})
{
    const QPoint end = kGrip - QPoint(0, dy);
    QTest::mousePress(knob, Qt::LeftButton, modifiers, kGrip);
    QTest::mouseEvent(QTest::MouseMove, knob, Qt::NoButton, modifiers, end);
    QTest::mouseRelease(knob, Qt::LeftButton, modifiers, end);
}

void ctrlClick(Knob* knob, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
{
    QTest::mousePress(knob, Qt::LeftButton, modifiers, kGrip);
    QTest::mouseRelease(knob, Qt::LeftButton, modifiers, kGrip);
}

class KnobTest : public testing::Test {
protected:
    void SetUp() override
    {
        window.resize(300, 300);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // As the main widget sets up its size knobs: 9 steps over 128 pixels, default 0.
    Knob* sizeKnob()
    {
        Knob* knob = makeKnob(4);
        knob->setRange(9);
        knob->setDefault(0);
        knob->setPixelsPerRange(128);
        return knob;
    }

    // As the main widget sets up its speed knobs: 200 steps, default 100, the drag speed the
    // knob starts with.
    Knob* speedKnob()
    {
        Knob* knob = makeKnob(8);
        knob->setRange(200);
        knob->setDefault(100);
        return knob;
    }

    Knob* makeKnob(int tag, QPixmap* knobStrip = nullptr)
    {
        auto* knob = new Knob(&window, tag, knobStrip ? knobStrip : &strip);
        knob->setGeometry(10, 10, kKnobSide, kKnobSide);
        knob->show();
        emitted.watch(knob);
        return knob;
    }

    DebugLog log; // these knobs find no main widget and say so
    QPixmap strip = colouredStrip(kArtworkSide, kArtworkLength, kFrames);
    QWidget window;
    ControlSignals emitted;
};

} // namespace

TEST_F(KnobTest, SpeedKnobDragged64PixelsUpFromItsDefaultReachesThreeQuartersAndFrame47)
{
    Knob* knob = speedKnob();
    knob->setValue(0.5f);
    EXPECT_EQ(knob->currentPosition(), 100.0);
    drag(knob, 64);
    EXPECT_EQ(knob->currentPosition(), 150.0);
    EXPECT_EQ(knob->currentValue(), 0.75f);
    EXPECT_EQ(knob->currentFrame(), 47);
    EXPECT_EQ(knob->currentText(), "150");
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(8), valueOf(8, 0.75f), endOf(8)}));
    EXPECT_EQ(centreColour(knob), frameColour(47));
}

TEST_F(KnobTest, SizeKnobDragged128PixelsUpReachesOneAndTheLastFrameThenEmitsNothingMore)
{
    Knob* knob = sizeKnob();
    drag(knob, 128);
    EXPECT_EQ(knob->currentPosition(), 9.0);
    EXPECT_EQ(knob->currentValue(), 1.0f);
    EXPECT_EQ(knob->currentFrame(), 63);
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(4), valueOf(4, 1.0f), endOf(4)}));

    PaintCounter paints;
    paints.watch(knob);
    QTest::mousePress(knob, Qt::LeftButton, {}, kGrip);
    QTest::mouseEvent(QTest::MouseMove, knob, Qt::NoButton, {}, kGrip - QPoint(0, 40));
    QTest::mouseEvent(QTest::MouseMove, knob, Qt::NoButton, {}, kGrip - QPoint(0, 80));
    QTest::qWait(20);
    QTest::mouseRelease(knob, Qt::LeftButton, {}, kGrip - QPoint(0, 80));
    EXPECT_EQ(knob->currentPosition(), 9.0);
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(4), endOf(4)}));
    EXPECT_GE(paints.count(knob), 1) << "a move repaints even when the value stays";
    EXPECT_EQ(centreColour(knob), frameColour(63));
}

TEST_F(KnobTest, SizeKnobSendsContinuousValuesWhileItsPictureSteps)
{
    Knob* knob = sizeKnob();
    drag(knob, 1);
    EXPECT_EQ(knob->currentPosition(), 0.0703125);
    EXPECT_EQ(knob->currentValue(), 0.0078125f);
    EXPECT_EQ(knob->currentFrame(), 0);
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(4), valueOf(4, 0.0078125f), endOf(4)}));

    // Position k is first reached after ceil(k x 128 / 9) pixels from 0 and shows frame 7 k.
    int dragged = 1;
    for (int step = 1; step <= 9; ++step) {
        const int pixels = (step * 128 + 8) / 9;
        drag(knob, pixels - dragged);
        dragged = pixels;
        EXPECT_EQ(int(knob->currentPosition()), step);
        EXPECT_EQ(knob->currentFrame(), 7 * step) << step;
        EXPECT_EQ(centreColour(knob), frameColour(7 * step)) << step;
    }
}

TEST_F(KnobTest, ShiftMakesADragEightTimesFinerAndCtrlShiftDoesNot)
{
    Knob* knob = sizeKnob();
    drag(knob, 8, Qt::ShiftModifier);
    EXPECT_EQ(knob->currentPosition(), 0.0703125);
    EXPECT_EQ(knob->currentValue(), 0.0078125f);
    drag(knob, 1, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(knob->currentPosition(), 0.140625);
    EXPECT_EQ(knob->currentValue(), 0.015625f);
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(4), valueOf(4, 0.0078125f), endOf(4), beginOf(4),
                                           valueOf(4, 0.015625f), endOf(4)}));
}

TEST_F(KnobTest, CtrlClickResetsToTheDefaultBeforeBeginEditAndOnlyOncePerValue)
{
    Knob* knob = speedKnob();
    drag(knob, 32);
    emitted.take();
    ctrlClick(knob);
    EXPECT_EQ(knob->currentPosition(), 100.0);
    EXPECT_EQ(knob->currentFrame(), 31);
    EXPECT_EQ(emitted.take(), (std::vector{valueOf(8, 0.5f), beginOf(8), endOf(8)}));
    // The gesture already ended on 0.5: nothing new to send.
    ctrlClick(knob);
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(8), endOf(8)}));

    drag(knob, -64);
    emitted.take();
    ctrlClick(knob, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(knob->currentPosition(), 50.0);
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(8), endOf(8)}));
}

TEST_F(KnobTest, SizeKnobResetsToZero)
{
    Knob* knob = sizeKnob();
    drag(knob, 64);
    emitted.take();
    ctrlClick(knob);
    EXPECT_EQ(knob->currentValue(), 0.0f);
    EXPECT_EQ(emitted.take(), (std::vector{valueOf(4, 0.0f), beginOf(4), endOf(4)}));
}

TEST_F(KnobTest, RightButtonOnlyBracketsAnEditAndAMoveWithTwoButtonsDoesNothing)
{
    Knob* knob = speedKnob();
    QTest::mousePress(knob, Qt::RightButton, {}, kGrip);
    QTest::mouseRelease(knob, Qt::RightButton, {}, kGrip);
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(8), endOf(8)}));

    QTest::mousePress(knob, Qt::LeftButton, {}, kGrip);
    QTest::mousePress(knob, Qt::RightButton, {}, kGrip);
    QTest::mouseEvent(QTest::MouseMove, knob, Qt::NoButton, {}, kGrip - QPoint(0, 20));
    QTest::mouseRelease(knob, Qt::RightButton, {}, kGrip - QPoint(0, 20));
    QTest::mouseRelease(knob, Qt::LeftButton, {}, kGrip - QPoint(0, 20));
    EXPECT_EQ(knob->currentPosition(), 0.0);
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(8), beginOf(8), endOf(8), endOf(8)}));
}

TEST_F(KnobTest, SetValueMovesThePictureOnlyAndIgnoresWhatIsOutOfRangeOrUnchanged)
{
    Knob* knob = sizeKnob();
    knob->grab(); // a paint clears the changed mark
    ASSERT_FALSE(knob->isChanged());
    knob->setValue(0.5f);
    EXPECT_EQ(knob->currentPosition(), 4.5);
    EXPECT_EQ(knob->currentText(), "4");
    EXPECT_EQ(knob->currentFrame(), 28);
    EXPECT_TRUE(knob->isChanged());
    knob->grab();
    EXPECT_FALSE(knob->isChanged());

    for (const float ignored :
         {1.5f, -0.1f, 0.5f, std::numeric_limits<float>::quiet_NaN(),
          std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
        knob->setValue(ignored);
        EXPECT_EQ(knob->currentValue(), 0.5f) << ignored;
        EXPECT_EQ(knob->currentPosition(), 4.5) << ignored;
        EXPECT_FALSE(knob->isChanged()) << ignored;
    }
    EXPECT_TRUE(emitted.take().empty());
}

TEST_F(KnobTest, AGestureSendsAgainAValueThatOnlyThePluginHadSetMeanwhile)
{
    Knob* knob = speedKnob();
    ctrlClick(knob);
    drag(knob, 64);
    emitted.take();
    knob->setValue(0.5f);
    ctrlClick(knob);
    EXPECT_EQ(emitted.take(), (std::vector{valueOf(8, 0.5f), beginOf(8), endOf(8)}));
}

TEST_F(KnobTest, FrameSizeAndCountComeFromTheStrip)
{
    // Before any resize, as the strip is given.
    const Knob fresh(&window, 6, &strip);
    EXPECT_EQ(fresh.frameCount(), 64);
    EXPECT_EQ(fresh.currentFrameSize(), 200);
    EXPECT_EQ(fresh.sizeHint(), QSize(200, 12800));

    QPixmap square = colouredStrip(80, 80, 1);
    QPixmap row = colouredStrip(600, 200, 3, false);
    QPixmap empty;
    Knob* fromArtwork = makeKnob(1);
    Knob* fromSquare = makeKnob(2, &square);
    Knob* fromRow = makeKnob(3, &row);
    auto* withoutStrip = new Knob(&window, 5, &empty);
    EXPECT_EQ(fromArtwork->frameCount(), 64);
    EXPECT_EQ(fromSquare->frameCount(), 1);
    EXPECT_EQ(fromRow->frameCount(), 3);
    EXPECT_EQ(withoutStrip->frameCount(), 1);
    EXPECT_EQ(withoutStrip->currentFrameSize(), 64);
}

TEST_F(KnobTest, ResizingScalesTheSharedStripDownButNeverUp)
{
    Knob* knob = makeKnob(4);
    EXPECT_EQ(strip.size(), QSize(kKnobSide, kKnobSide * kFrames));
    EXPECT_EQ(knob->currentFrameSize(), kKnobSide);

    knob->resize(300, 250);
    EXPECT_EQ(strip.size(), QSize(kArtworkSide, kArtworkSide * kFrames));
    EXPECT_EQ(knob->currentFrameSize(), kArtworkSide);

    // A second knob on the same strip rescales it in turn.
    Knob* other = makeKnob(5);
    EXPECT_EQ(strip.size(), QSize(kKnobSide, kKnobSide * kFrames));
    EXPECT_EQ(other->currentFrameSize(), kKnobSide);
}

// A strip for a 2x view: frames of twice the knob's size, drawn at the knob's size.
TEST_F(KnobTest, StripWithDevicePixelRatio2FillsTheKnobWithFramesOfTwiceItsSize)
{
    strip.setDevicePixelRatio(2.0);
    Knob* knob = makeKnob(4);
    knob->setRange(63);
    knob->setValue(40.0f / 63.0f);
    EXPECT_EQ(strip.size(), QSize(2 * kKnobSide, 2 * kKnobSide * kFrames));
    EXPECT_EQ(knob->currentFrameSize(), 2 * kKnobSide);
    EXPECT_EQ(knob->sizeHint(), QSize(kArtworkSide / 2, kArtworkLength / 2));
    EXPECT_EQ(centreColour(knob), frameColour(40));
}

TEST_F(KnobTest, RowStripFramesRunLeftToRight)
{
    QPixmap row = colouredStrip(600, 200, 3, false);
    Knob* knob = makeKnob(4, &row);
    knob->setRange(2);
    knob->setValue(1.0f);
    EXPECT_EQ(knob->currentFrame(), 2);
    EXPECT_EQ(row.size(), QSize(3 * kKnobSide, kKnobSide));
    EXPECT_EQ(centreColour(knob), frameColour(2));
}

TEST_F(KnobTest, ZeroRangeAndZeroPixelsAreRejected)
{
    Knob* knob = sizeKnob();
    knob->setRange(0);
    knob->setRange(-3);
    knob->setPixelsPerRange(0);
    knob->setPixelsPerRange(-128);
    // Still 9 units over 128 pixels.
    drag(knob, 64);
    EXPECT_EQ(knob->currentPosition(), 4.5);
    EXPECT_EQ(knob->currentValue(), 0.5f);
}

TEST_F(KnobTest, DefaultAndMinimumOutsideTheRangeAreIgnored)
{
    Knob* knob = speedKnob();
    knob->setDefault(201);
    knob->setDefault(-1);
    drag(knob, 20);
    ctrlClick(knob);
    EXPECT_EQ(knob->currentPosition(), 100.0);

    // A range below the default takes the default back to 0.
    knob->setRange(50);
    drag(knob, 20);
    ctrlClick(knob);
    EXPECT_EQ(knob->currentPosition(), 0.0);

    knob->setMinimum(50);
    knob->setMinimum(-49);
    knob->setValue(0.5f);
    EXPECT_EQ(knob->currentText(), "-24");
}

TEST_F(KnobTest, ExactFramesUseThePositionBeforeTruncating)
{
    Knob* knob = sizeKnob();
    knob->setIntegerFrames(false);
    knob->setValue(0.5f);
    EXPECT_EQ(knob->currentFrame(), 31);
}

TEST_F(KnobTest, TextWhileDraggingShowsAGreenPlateOnlyDuringTheGesture)
{
    QPixmap none;
    Knob* knob = makeKnob(4, &none);
    knob->setShowText(true, true);
    auto plateAlpha = [&] {
        QImage image(knob->size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        knob->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        return image.pixelColor(4, 10);
    };
    QTest::mousePress(knob, Qt::LeftButton, {}, kGrip);
    QTest::mouseEvent(QTest::MouseMove, knob, Qt::NoButton, {}, kGrip - QPoint(0, 5));
    const QColor during = plateAlpha();
    EXPECT_NEAR(during.green(), 255, 2);
    EXPECT_EQ(during.red(), 0);
    EXPECT_NEAR(during.alpha(), 128, 1);
    QTest::mouseRelease(knob, Qt::LeftButton, {}, kGrip - QPoint(0, 5));
    EXPECT_EQ(plateAlpha().alpha(), 0);
}
