// The image button played with the mouse: momentary presses, the right-button latch, toggle
// mode and exclusive groups, and the images it chooses. The images are flat colours made here.
#include "button.h"
#include "buttongroup.h"
#include "controlsignals.h"
#include "debuglog.h"

#include <QEnterEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

namespace {

using Face = Button::Face;

const QPoint kInside(8, 8);

QPixmap flat(const QColor& colour, int side = 200)
{
    QPixmap pixmap(side, side);
    pixmap.fill(colour);
    return pixmap;
}

void click(Button* button, Qt::MouseButton which = Qt::LeftButton)
{
    QTest::mousePress(button, which, {}, kInside);
    QTest::mouseRelease(button, which, {}, kInside);
}

class ButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        window.resize(100, 100);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // A loop button as the main widget makes them: normal and pressed images, 16 x 16.
    Button* makeButton(int tag)
    {
        auto* button = new Button(&window, tag);
        button->setGeometry(10 + 20 * tag, 10, 16, 16);
        button->setNormalPixmap(normal);
        button->setPressedPixmap(pressed);
        button->show();
        emitted.watch(button);
        return button;
    }

    Button* makeToggle(int tag)
    {
        Button* button = makeButton(tag);
        button->setCheckable(true);
        return button;
    }

    DebugLog log; // these buttons find no main widget and say so
    QWidget window;
    ControlSignals emitted;
    const QPixmap normal = flat(Qt::gray);
    const QPixmap pressed = flat(Qt::blue);
};

} // namespace

TEST_F(ButtonTest, LeftPressHoldsOneUntilTheRelease)
{
    Button* button = makeButton(0);
    EXPECT_EQ(button->shownFace(), Face::Normal);
    QTest::mousePress(button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(emitted.take(), (std::vector{valueOf(0, 1.0f), beginOf(0)}));
    EXPECT_EQ(button->shownFace(), Face::Pressed);
    QTest::mouseRelease(button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(emitted.take(), (std::vector{valueOf(0, 0.0f), endOf(0)}));
    EXPECT_EQ(button->shownFace(), Face::Normal);
}

TEST_F(ButtonTest, ReleaseOutsideCountsLikeReleaseOver)
{
    Button* button = makeButton(0);
    QTest::mousePress(button, Qt::LeftButton, {}, kInside);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(60, 70));
    EXPECT_EQ(emitted.take(),
              (std::vector{valueOf(0, 1.0f), beginOf(0), valueOf(0, 0.0f), endOf(0)}));
}

TEST_F(ButtonTest, RightPressLatchesOneUntilTheNextPressOfAnyButton)
{
    Button* button = makeButton(1);
    QTest::mousePress(button, Qt::RightButton, {}, kInside);
    EXPECT_EQ(emitted.take(), (std::vector{valueOf(1, 1.0f), beginOf(1)}));
    QTest::mouseRelease(button, Qt::RightButton, {}, kInside);
    EXPECT_TRUE(emitted.take().empty());
    EXPECT_EQ(button->shownFace(), Face::Pressed);
    EXPECT_TRUE(button->isRightLatched());

    QTest::mousePress(button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(emitted.take(), (std::vector{valueOf(1, 0.0f)}));
    EXPECT_EQ(button->shownFace(), Face::Normal);
    QTest::mouseRelease(button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(emitted.take(), (std::vector{valueOf(1, 0.0f), endOf(1)}));
    EXPECT_FALSE(button->isRightLatched());
}

TEST_F(ButtonTest, MiddlePressOnlyBeginsAndItsReleaseSendsZero)
{
    Button* button = makeButton(2);
    QTest::mousePress(button, Qt::MiddleButton, {}, kInside);
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(2)}));
    EXPECT_EQ(button->shownFace(), Face::Normal);
    QTest::mouseRelease(button, Qt::MiddleButton, {}, kInside);
    EXPECT_EQ(emitted.take(), (std::vector{valueOf(2, 0.0f), endOf(2)}));
}

TEST_F(ButtonTest, SetValueShowsTheStateFromHalfOnWithoutSendingIt)
{
    Button* button = makeButton(0);
    button->grab();
    button->setValue(0.5f);
    EXPECT_EQ(button->shownFace(), Face::Pressed);
    EXPECT_TRUE(button->isChanged());
    button->grab();
    EXPECT_FALSE(button->isChanged());
    button->setValue(0.49f);
    EXPECT_EQ(button->shownFace(), Face::Normal);
    EXPECT_TRUE(button->isChanged());
    button->grab();
    for (const float ignored :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        button->setValue(ignored);
        EXPECT_EQ(button->shownFace(), Face::Normal);
        EXPECT_FALSE(button->isChanged());
    }
    EXPECT_TRUE(emitted.take().empty());
}

TEST_F(ButtonTest, SetValueWhileLatchedShowsTheValueButKeepsTheLatch)
{
    Button* button = makeButton(3);
    QTest::mousePress(button, Qt::RightButton, {}, kInside);
    QTest::mouseRelease(button, Qt::RightButton, {}, kInside);
    emitted.take();
    button->setValue(0.0f);
    EXPECT_EQ(button->shownFace(), Face::Normal);
    EXPECT_TRUE(button->isRightLatched());
    QTest::mousePress(button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(emitted.take(), (std::vector{valueOf(3, 0.0f)}));
    EXPECT_FALSE(button->isRightLatched());
    QTest::mouseRelease(button, Qt::LeftButton, {}, kInside);
}

TEST_F(ButtonTest, ToggleModeFlipsOnEachLeftClickAndReportsTheStateBeforeTheValue)
{
    Button* button = makeToggle(0);
    QTest::mousePress(button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(button->shownFace(), Face::Pressed);
    QTest::mouseRelease(button, Qt::LeftButton, {}, kInside);
    EXPECT_TRUE(button->isToggledOn());
    EXPECT_EQ(button->shownFace(), Face::Pressed) << "no active image: on shows pressed";
    click(button);
    EXPECT_FALSE(button->isToggledOn());
    EXPECT_EQ(button->shownFace(), Face::Normal);
    EXPECT_EQ(emitted.take(),
              (std::vector{beginOf(0), toggledOf(0, true), valueOf(0, 1.0f), endOf(0), beginOf(0),
                           toggledOf(0, false), valueOf(0, 0.0f), endOf(0)}));

    button->setActivePixmap(flat(Qt::cyan));
    click(button);
    EXPECT_EQ(button->shownFace(), Face::Active);
}

TEST_F(ButtonTest, ToggleModeSetValueTurnsOnForAnyValueButZeroAndSaysSo)
{
    Button* button = makeToggle(0);
    button->setValue(0.2f);
    EXPECT_TRUE(button->isToggledOn());
    button->setValue(0.0f);
    EXPECT_FALSE(button->isToggledOn());
    EXPECT_EQ(emitted.take(), (std::vector{toggledOf(0, true), toggledOf(0, false)}));
}

TEST_F(ButtonTest, LockingGroupTurnsTheSelectedButtonOffBeforeTheNewOneIsSent)
{
    Button* a = makeToggle(0);
    Button* b = makeToggle(1);
    ButtonGroup group;
    group.addButton(a);
    group.addButton(b);
    click(a);
    ASSERT_EQ(group.selected(), a);
    EXPECT_TRUE(a->isLocked());
    emitted.take();

    click(b);
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(1), toggledOf(1, true), toggledOf(0, false),
                                           valueOf(0, 0.0f), valueOf(1, 1.0f), endOf(1)}));
    EXPECT_FALSE(a->isLocked());
    EXPECT_FALSE(a->isToggledOn());
    EXPECT_EQ(a->shownFace(), Face::Normal);
    EXPECT_TRUE(b->isLocked());
    EXPECT_EQ(group.selected(), b);

    // The selected button is frozen: nothing, not even a begin.
    click(b);
    b->setValue(0.0f);
    EXPECT_TRUE(emitted.take().empty());
    EXPECT_TRUE(b->isToggledOn());

    // The right button is not stopped by the lock.
    QTest::mousePress(b, Qt::RightButton, {}, kInside);
    QTest::mouseRelease(b, Qt::RightButton, {}, kInside);
    EXPECT_EQ(emitted.take(), (std::vector{valueOf(1, 1.0f), beginOf(1)}));
}

TEST_F(ButtonTest, RemovingTheSelectedButtonForgetsItButLeavesItLocked)
{
    Button* a = makeToggle(0);
    Button* b = makeToggle(1);
    ButtonGroup group;
    group.addButton(a);
    group.addButton(b);
    click(a);
    group.removeButton(a);
    EXPECT_EQ(group.selected(), nullptr);
    EXPECT_TRUE(a->isLocked());
    click(b);
    EXPECT_EQ(group.selected(), b);
    EXPECT_TRUE(a->isToggledOn()) << "a left the group: b's selection does not touch it";
}

TEST_F(ButtonTest, NonLockingGroupKeepsItsSelectionWhenItIsTurnedOnAgain)
{
    Button* a = makeToggle(0);
    Button* b = makeToggle(1);
    ButtonGroup group;
    group.setLockSelected(false);
    group.addButton(a);
    group.addButton(b);
    click(a);
    EXPECT_FALSE(a->isLocked());
    click(a); // off by hand: still the selected one
    EXPECT_EQ(group.selected(), a);
    click(a); // on again: it stays on
    EXPECT_TRUE(a->isToggledOn());
    emitted.take();
    click(b);
    EXPECT_FALSE(a->isToggledOn());
    EXPECT_EQ(emitted.take(), (std::vector{beginOf(1), toggledOf(1, true), toggledOf(0, false),
                                           valueOf(0, 0.0f), valueOf(1, 1.0f), endOf(1)}));
}

TEST_F(ButtonTest, DisabledImageShowsWhileDisabledAndStaysUntilTheNextStateChange)
{
    Button* button = makeButton(0);
    button->setDisabledPixmap(flat(Qt::darkGray));
    button->setEnabled(false);
    button->grab();
    EXPECT_EQ(button->shownFace(), Face::Disabled);
    button->setEnabled(true);
    button->grab();
    EXPECT_EQ(button->shownFace(), Face::Disabled);
    button->setValue(1.0f);
    EXPECT_EQ(button->shownFace(), Face::Pressed);
}

TEST_F(ButtonTest, HoverImageShowsWhileThePointerIsOverAnOffButton)
{
    Button* button = makeButton(0);
    button->setHoverPixmap(flat(Qt::yellow));
    QEnterEvent enter(kInside, button->mapTo(&window, kInside), button->mapToGlobal(kInside));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &enter);
    EXPECT_EQ(button->shownFace(), Face::Hover);
    QApplication::sendEvent(button, &leave);
    EXPECT_EQ(button->shownFace(), Face::Normal);

    Button* without = makeButton(1);
    QApplication::sendEvent(without, &enter);
    EXPECT_EQ(without->shownFace(), Face::Normal);
}

TEST_F(ButtonTest, ImagesAreScaledToTheWidgetAndReadBackAsSet)
{
    Button* button = makeButton(0);
    EXPECT_EQ(button->workingCopy(Face::Normal).size(), QSize(16, 16));
    EXPECT_EQ(button->workingCopy(Face::Pressed).size(), QSize(16, 16));
    EXPECT_EQ(button->sizeHint(), QSize(16, 16));
    EXPECT_EQ(button->property("normalPIX").value<QPixmap>().size(), QSize(200, 200));
    button->setProperty("hoverPIX", QVariant::fromValue(flat(Qt::red, 40)));
    EXPECT_EQ(button->hoverPIX().size(), QSize(40, 40));
    button->resize(30, 20);
    EXPECT_EQ(button->workingCopy(Face::Hover).size(), QSize(30, 20));
    EXPECT_TRUE(button->workingCopy(Face::Active).isNull());
}

TEST_F(ButtonTest, WithoutImagesItDrawsNothingButStillSends)
{
    auto* button = new Button(&window, 5);
    emitted.watch(button);
    button->setNormalPixmap(QPixmap());
    button->show();
    EXPECT_EQ(button->shownFace(), Face::None);
    EXPECT_EQ(button->sizeHint(), QSize(32, 32));
    button->resize(16, 16);
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    button->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    EXPECT_EQ(image.pixelColor(8, 8).alpha(), 0);
    click(button);
    EXPECT_EQ(emitted.take(),
              (std::vector{valueOf(5, 1.0f), beginOf(5), valueOf(5, 0.0f), endOf(5)}));
}

TEST_F(ButtonTest, StateTextsFollowTheToggle)
{
    Button* button = makeToggle(0);
    button->setText(QStringLiteral("FX"));
    button->setStateTexts(QStringLiteral("off"), QStringLiteral("on"));
    click(button);
    button->grab();
    EXPECT_EQ(button->caption(), QStringLiteral("on"));
    click(button);
    button->grab();
    EXPECT_EQ(button->caption(), QStringLiteral("off"));
}
