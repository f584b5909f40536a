// The main widget drawn by the scaling view at the sizes hosts give it: where it lands, where
// clicks and drags go, how it follows a resize, and which images it draws from. Screenshots
// of the 1x and 2x editor go to the build's screenshot folder for a person to look at.
#include "button.h"
#include "embedding.h"
#include "knob.h"
#include "mainwidget.h"
#include "mainwidgetprobe.h"
#include "scaledview.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The layout's own size, and where it is drawn in a window of another size.
constexpr QSize kLayout(260, 517);

struct Placement {
    const char* name;
    QSize window;
    double scale;
    QPointF topLeft; // of the drawn layout, in window pixels
};

// In an embedding container, as the program shows it; the container is resized as the host
// window would resize it.
class ScaledEditor : public testing::Test {
protected:
    void SetUp() override
    {
        view = qobject_cast<ScaledView*>(embedIntoWindow(0));
        ASSERT_NE(view, nullptr);
        moveIntoEmbedContainer(&mainWidget);
    }
    void TearDown() override { releaseEmbedContainers(); }

    void show(QSize size)
    {
        view->setFixedSize(size);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    }

    // Where a point of the main widget lies in the view's viewport.
    QPoint inView(QWidget* control, QPoint point) const
    {
        return view->mapFromScene(QPointF(control->mapTo(&mainWidget, point)));
    }

    QPoint centreInView(QWidget* control) const
    {
        return inView(control, control->rect().center());
    }

    template <typename T> T* control(int index)
    {
        return qobject_cast<T*>(mainWidget.findControl(index));
    }

    MainWidget mainWidget{nullptr};
    ScaledView* view = nullptr;
};

class AtWindowSize : public ScaledEditor, public testing::WithParamInterface<Placement> {};

} // namespace

TEST_P(AtWindowSize, TheLayoutFillsTheWindowKeepingItsProportionsAndCentred)
{
    const Placement placement = GetParam();
    show(placement.window);
    EXPECT_DOUBLE_EQ(view->scale(), placement.scale);
    const QPoint drawnTopLeft = view->mapFromScene(QPointF(0, 0));
    const QPoint drawnBottomRight = view->mapFromScene(QPointF(kLayout.width(), kLayout.height()));
    EXPECT_NEAR(drawnTopLeft.x(), placement.topLeft.x(), 1.0);
    EXPECT_NEAR(drawnTopLeft.y(), placement.topLeft.y(), 1.0);
    // The far corner: the same margin on the other side, never outside the window.
    EXPECT_NEAR(drawnBottomRight.x(), placement.window.width() - placement.topLeft.x(), 1.0);
    EXPECT_NEAR(drawnBottomRight.y(), placement.window.height() - placement.topLeft.y(), 1.0);
    EXPECT_LE(drawnBottomRight.x(), placement.window.width());
    EXPECT_LE(drawnBottomRight.y(), placement.window.height());
}

TEST_P(AtWindowSize, PressesAndDragsAtScaledPositionsReachTheirControls)
{
    const Placement placement = GetParam();
    show(placement.window);
    QWidget* viewport = view->viewport();

    auto* loopButton = control<Button>(1);
    QTest::mousePress(viewport, Qt::LeftButton, {}, centreInView(loopButton));
    EXPECT_TRUE(buttonPressed(mainWidget, 1));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, centreInView(loopButton));
    EXPECT_FALSE(buttonPressed(mainWidget, 1));

    auto* reverseButton = control<Button>(14);
    QTest::mousePress(viewport, Qt::RightButton, {}, centreInView(reverseButton));
    QTest::mouseRelease(viewport, Qt::RightButton, {}, centreInView(reverseButton));
    EXPECT_TRUE(reverseButton->isRightLatched());

    // 64 of the knob's own pixels upwards, however large they are drawn: a quarter of the
    // speed knob's travel, from where it starts without a shared block.
    auto* speedKnob = control<Knob>(9);
    const QPoint grip = inView(speedKnob, QPoint(25, 40));
    const QPoint end = inView(speedKnob, QPoint(25, 40 - 64));
    QTest::mousePress(viewport, Qt::LeftButton, {}, grip);
    QTest::mouseMove(viewport, end);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, end);
    EXPECT_FLOAT_EQ(knobValue(mainWidget, 9), 0.25f);
}

INSTANTIATE_TEST_SUITE_P(
    ScaledEditor, AtWindowSize,
    testing::Values(Placement{"at1x", QSize(260, 517), 1.0, QPointF(0, 0)},
                    Placement{"at1_5x", QSize(390, 776), 1.5, QPointF(0, 0.25)},
                    Placement{"at2x", QSize(520, 1034), 2.0, QPointF(0, 0)},
                    // Square: the height sets the scale, the width is shared either side.
                    Placement{"square", QSize(600, 600), 600.0 / 517.0, QPointF(149.13, 0)}),
    [](const testing::TestParamInfo<Placement>& info) { return std::string(info.param.name); });

TEST_F(ScaledEditor, AResizeOfTheWindowRescalesAndSwitchesTheImages)
{
    show(kLayout);
    auto* knob = control<Knob>(4);
    auto* button = control<Button>(0);
    mainWidget.setParameter(0, 1.0f);
    EXPECT_EQ(knob->currentFrameSize(), 51);

    view->setFixedSize(kLayout * 2);
    EXPECT_DOUBLE_EQ(view->scale(), 2.0);
    EXPECT_EQ(view->mapFromScene(QPointF(kLayout.width(), kLayout.height())),
              QPoint(2 * kLayout.width(), 2 * kLayout.height()));
    EXPECT_EQ(knob->currentFrameSize(), 102);
    EXPECT_EQ(button->workingCopy(Button::Face::Pressed).size(), QSize(32, 32));
    EXPECT_DOUBLE_EQ(button->workingCopy(Button::Face::Pressed).devicePixelRatio(), 2.0);
    EXPECT_TRUE(buttonPressed(mainWidget, 0)) << "the new images changed the state shown";

    view->setFixedSize(kLayout);
    EXPECT_DOUBLE_EQ(view->scale(), 1.0);
    EXPECT_EQ(knob->currentFrameSize(), 51);
    EXPECT_EQ(button->workingCopy(Button::Face::Pressed).size(), QSize(16, 16));
}

// Pixel for pixel what the main widget draws as a window of its own, the UI's standalone mode.
TEST_F(ScaledEditor, AtItsOwnSizeTheViewShowsTheMainWidgetAsAWindowShowsItself)
{
    show(kLayout);
    MainWidget standalone(nullptr);
    standalone.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&standalone));
    const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage drawn = standalone.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, drawn);
}

TEST_F(ScaledEditor, ScreenshotsAt1xAnd2x)
{
    const QString folder = QStringLiteral(PL3_SCREENSHOT_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const int scale : {1, 2}) {
        show(kLayout * scale);
        const QImage shot = view->grab().toImage();
        EXPECT_EQ(shot.size(), kLayout * scale);
        EXPECT_TRUE(shot.save(QStringLiteral("%1/editor-%2x.png").arg(folder).arg(scale)));
    }
}
