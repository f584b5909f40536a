// The contract between the controls, the main widget and the channel: registration, the
// record each edit writes into the UI FIFO, and what is never sent.
#include "button.h"
#include "channelfiles.h"
#include "controlsignals.h"
#include "debuglog.h"
#include "knob.h"
#include "mainwidget.h"
#include "oscilloscope.h"
#include "uicommunication.h"

#include <QMetaMethod>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

const QPoint kGrip(25, 30);

// Three moves of one pixel each between one press and one release.
void dragThreeSteps(Knob* knob)
{
    QTest::mousePress(knob, Qt::LeftButton, {}, kGrip);
    for (int step = 1; step <= 3; ++step)
        QTest::mouseEvent(QTest::MouseMove, knob, Qt::NoButton, {}, kGrip - QPoint(0, step));
    QTest::mouseRelease(knob, Qt::LeftButton, {}, kGrip - QPoint(0, 3));
}

std::vector<QByteArray> ownMethods(const QMetaObject& meta)
{
    std::vector<QByteArray> signatures;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        signatures.push_back(meta.method(i).methodSignature());
    return signatures;
}

class ControlWithChannel : public testing::Test {
protected:
    void SetUp() override
    {
        files.makeFifos();
        files.makeSharedBlock();
        files.openEnds();
        communication.emplace(files.instance);
        mainWidget.emplace(&*communication);
        communication->setMainWidget(&*mainWidget);
    }

    Knob* knob(const char* name) { return mainWidget->findChild<Knob*>(name); }

    // Records arriving from the plug-in, read by the UI's next poll.
    void deliver(const Bytes& records)
    {
        files.writePlugin(records);
        communication->processMessageFromPlugin();
    }

    ChannelFiles files{testInstanceNumber()};
    std::optional<UICommunication> communication;
    std::optional<MainWidget> mainWidget;
    ControlSignals emitted;
};

} // namespace

TEST_F(ControlWithChannel, EachValueOfADragIsWrittenBeforeValueChangedReturns)
{
    Knob* size2 = knob("m_valueKnob2");
    ASSERT_NE(size2, nullptr);
    emitted.watch(size2);
    // Connected after the control's own connection, so it runs after the record is written.
    std::vector<Bytes> waitingAtEachValue;
    QObject::connect(size2, &Control::valueChanged,
                     [&] { waitingAtEachValue.push_back(files.readUi()); });

    dragThreeSteps(size2);
    EXPECT_EQ(emitted.take(),
              (std::vector{beginOf(5), valueOf(5, 0.0078125f), valueOf(5, 0.015625f),
                           valueOf(5, 0.0234375f), endOf(5)}));
    EXPECT_EQ(waitingAtEachValue,
              (std::vector{parameterBytes(5, 0.0078125f), parameterBytes(5, 0.015625f),
                           parameterBytes(5, 0.0234375f)}));
    EXPECT_TRUE(files.readUi().empty()) << "begin and end are never sent";
}

TEST_F(ControlWithChannel, ButtonPressAndReleaseWriteOneAndZero)
{
    auto* loop1 = mainWidget->findChild<Button*>("m_loopButton1");
    ASSERT_NE(loop1, nullptr);
    QTest::mousePress(loop1, Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(files.readUi(), parameterBytes(0, 1.0f));
    QTest::mouseRelease(loop1, Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(files.readUi(), parameterBytes(0, 0.0f));
}

TEST_F(ControlWithChannel, ValueFromThePluginEmitsAndWritesNothing)
{
    Knob* speed1 = knob("m_speedKnob1");
    emitted.watch(speed1);
    speed1->setValue(0.3f);
    EXPECT_TRUE(speed1->isChanged());
    EXPECT_TRUE(emitted.take().empty());
    EXPECT_TRUE(files.readUi().empty());
}

TEST_F(ControlWithChannel, RightPressAndEditBracketsFromThePluginSendNothing)
{
    Knob* size1 = knob("m_valueKnob1");
    QTest::mousePress(size1, Qt::RightButton, {}, kGrip);
    QTest::mouseRelease(size1, Qt::RightButton, {}, kGrip);
    size1->plugBeginEdit(4);
    size1->plugEndEdit(4);
    EXPECT_TRUE(files.readUi().empty());
}

TEST_F(ControlWithChannel, SetParameterAutomatedSendsItsArgumentsNotTheTag)
{
    knob("m_valueKnob1")->setParameterAutomated(7, 0.25f);
    EXPECT_EQ(files.readUi(), parameterBytes(7, 0.25f));
}

TEST_F(ControlWithChannel, ANegativeTagIsEditedLocallyAndNeverSent)
{
    Knob loose(&*mainWidget, -1, nullptr);
    emitted.watch(&loose);
    dragThreeSteps(&loose);
    EXPECT_EQ(emitted.take().size(), 5u);
    EXPECT_TRUE(files.readUi().empty());
}

TEST_F(ControlWithChannel, DestroyingAControlTakesItOutOfTheRegistry)
{
    Knob* size2 = knob("m_valueKnob2");
    ASSERT_EQ(mainWidget->findControl(5), size2);
    delete size2;
    EXPECT_EQ(mainWidget->findControl(5), nullptr);
    mainWidget->setParameter(5, 0.5f);
    EXPECT_NE(mainWidget->findControl(4), nullptr);
    EXPECT_EQ(knob("m_valueKnob1")->currentValue(), 0.0f);
}

TEST_F(ControlWithChannel, AControlBesideTheEmbeddedMainWidgetFindsItBelowTheirWindow)
{
    QWidget container;
    container.setObjectName(QStringLiteral("container"));
    mainWidget->setParent(&container);
    auto* beside = new QWidget(&container);
    auto* found = new Knob(beside, 22, nullptr);
    EXPECT_EQ(mainWidget->findControl(22), found);
    QTest::mousePress(found, Qt::LeftButton, {}, kGrip);
    QTest::mouseEvent(QTest::MouseMove, found, Qt::NoButton, {}, kGrip - QPoint(0, 64));
    QTest::mouseRelease(found, Qt::LeftButton, {}, kGrip - QPoint(0, 64));
    EXPECT_EQ(files.readUi(), parameterBytes(22, 0.5f));
    delete beside;
    EXPECT_EQ(mainWidget->findControl(22), nullptr);
    mainWidget->setParent(nullptr);
}

TEST_F(ControlWithChannel, WithoutAChannelTheSameDragEmitsTheSameAndWritesNothing)
{
    MainWidget unconnected(nullptr);
    auto* size2 = unconnected.findChild<Knob*>("m_valueKnob2");
    emitted.watch(size2);
    dragThreeSteps(size2);
    EXPECT_EQ(emitted.take(),
              (std::vector{beginOf(5), valueOf(5, 0.0078125f), valueOf(5, 0.015625f),
                           valueOf(5, 0.0234375f), endOf(5)}));
    EXPECT_TRUE(files.readUi().empty());
}

TEST_F(ControlWithChannel, AControlWithoutAMainWidgetSaysSoOnceAndStaysALocalWidget)
{
    DebugLog log;
    QWidget window;
    Knob alone(&window, 4, nullptr);
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"PravoLindel3UI > Control ERROR!!! can't find mainwidget"});
    emitted.watch(&alone);
    dragThreeSteps(&alone);
    EXPECT_EQ(alone.currentValue(), 0.0234375f);
    EXPECT_EQ(emitted.take().size(), 5u);
    EXPECT_TRUE(files.readUi().empty());
    EXPECT_NE(mainWidget->findControl(4), &alone);
}

TEST(ControlMetaObjects, DeclareTheirSignalsSlotsAndPropertiesInOrder)
{
    EXPECT_EQ(ownMethods(Control::staticMetaObject),
              (std::vector<QByteArray>{"valueChanged(int,float)", "beginEdit(int)", "endEdit(int)",
                                       "setValue(float)", "setParameterAutomated(int,float)",
                                       "plugBeginEdit(int)", "plugEndEdit(int)"}));
    EXPECT_EQ(ownMethods(Knob::staticMetaObject), std::vector<QByteArray>{"setValue(float)"});
    EXPECT_EQ(ownMethods(Oscilloscope::staticMetaObject),
              (std::vector<QByteArray>{"setKikooMode(bool)", "setZoom(int,float)", "process2()"}));
    EXPECT_EQ(ownMethods(MainWidget::staticMetaObject),
              (std::vector<QByteArray>{"setParameter(int,float)", "processGui()",
                                       "processOscilloscope(float**,int)", "prepareMenu(QPoint)"}));

    const QMetaObject& button = Button::staticMetaObject;
    std::vector<QByteArray> properties;
    for (int i = button.propertyOffset(); i < button.propertyCount(); ++i)
        properties.push_back(button.property(i).name());
    EXPECT_EQ(properties, (std::vector<QByteArray>{"normalPIX", "pressedPIX", "activePIX",
                                                   "hoverPIX", "disabledPIX"}));
}

TEST_F(ControlWithChannel, SetValueThroughTheMetaObjectReachesTheKnob)
{
    Knob* speed2 = knob("m_speedKnob2");
    ASSERT_TRUE(
        QMetaObject::invokeMethod(static_cast<Control*>(speed2), "setValue", Q_ARG(float, 0.25f)));
    EXPECT_EQ(speed2->currentValue(), 0.25f);
}

// One move of the held left button, to height y in the knob.
void moveTo(Knob* knob, int y)
{
    QTest::mouseEvent(QTest::MouseMove, knob, Qt::NoButton, {}, QPoint(kGrip.x(), y));
}

// Up three pixels and back down one, the plug-in's echo of each step coming back later: every
// echo is of a value the knob has already left.
TEST_F(ControlWithChannel, EchoesOfItsOwnEarlierValuesNeverMoveADraggedKnobBack)
{
    Knob* size2 = knob("m_valueKnob2");
    QTest::mousePress(size2, Qt::LeftButton, {}, kGrip);
    moveTo(size2, kGrip.y() - 1);
    const Bytes up1 = files.readUi();
    moveTo(size2, kGrip.y() - 2);
    const Bytes up2 = files.readUi();
    const float held = size2->currentValue();
    deliver(up1);
    EXPECT_EQ(size2->currentValue(), held) << "the echo of the first step";
    moveTo(size2, kGrip.y() - 3);
    const Bytes up3 = files.readUi();
    moveTo(size2, kGrip.y() - 2);
    const Bytes down = files.readUi();
    ASSERT_EQ(size2->currentValue(), held);
    deliver(join({up2, up3}));
    EXPECT_EQ(size2->currentValue(), held) << "the echoes of the way up";
    QTest::mouseRelease(size2, Qt::LeftButton, {}, QPoint(kGrip.x(), kGrip.y() - 2));
    deliver(down);
    EXPECT_EQ(size2->currentValue(), held) << "the final value";

    deliver(parameterBytes(5, 0.5f));
    EXPECT_EQ(size2->currentValue(), 0.5f) << "the host's value, once every echo is back";
}

// The host's automation reached the plug-in just before the knob's value did: the plug-in ends
// on the knob's value, and so does the knob.
TEST_F(ControlWithChannel, AValueThePluginHadBeforeTheDraggedOneIsPassedOver)
{
    Knob* speed3 = knob("m_speedKnob3");
    QTest::mousePress(speed3, Qt::LeftButton, {}, kGrip);
    moveTo(speed3, kGrip.y() - 8);
    const Bytes dragged = files.readUi();
    const float held = speed3->currentValue();
    deliver(parameterBytes(10, 0.9f));
    EXPECT_EQ(speed3->currentValue(), held);
    deliver(dragged);
    EXPECT_EQ(speed3->currentValue(), held);
    QTest::mouseRelease(speed3, Qt::LeftButton, {}, QPoint(kGrip.x(), kGrip.y() - 8));
    deliver(parameterBytes(10, 0.9f));
    EXPECT_EQ(speed3->currentValue(), 0.9f) << "the host's value, once every echo is back";
}
