// The main widget: its widget tree, where values from the plug-in and from the shared block go,
// the batched repaints, and the FX menu of each loop strip.
#include "button.h"
#include "channelfiles.h"
#include "eventloop.h"
#include "knob.h"
#include "mainwidget.h"
#include "oscilloscope.h"
#include "paintcounter.h"
#include "simpledisplay.h"
#include "uicommunication.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>

namespace {

using namespace std::chrono_literals;

const QString kCaptionFamily = QStringLiteral("Tw Cen MT Condensed Extra Bold");
const QString kMenuFamily = QStringLiteral("Tw Cen MT Condensed");
const QStringList kEffects{"Bit Reducer", "Autopan", "Hipass", "Phazer"};
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

std::vector<QString> namesOf(const QList<QWidget*>& widgets)
{
    std::vector<QString> names;
    for (const QWidget* widget : widgets)
        names.push_back(widget->objectName());
    return names;
}

QGroupBox* strip(MainWidget& mainWidget, int loop)
{
    return mainWidget.findChild<QGroupBox*>(QStringLiteral("loop_%1").arg(loop));
}

// The displays of a strip in creation order: the size display, then the speed display.
QList<SimpleDisplay*> displaysOf(MainWidget& mainWidget, int loop)
{
    return strip(mainWidget, loop)->findChildren<SimpleDisplay*>(Qt::FindDirectChildrenOnly);
}

SimpleDisplay* valueDisplay(MainWidget& mainWidget, int loop)
{
    return displaysOf(mainWidget, loop).value(0);
}

SimpleDisplay* speedDisplay(MainWidget& mainWidget, int loop)
{
    return displaysOf(mainWidget, loop).value(1);
}

template <typename T> T* named(MainWidget& mainWidget, const QString& name)
{
    return mainWidget.findChild<T*>(name);
}

// What every control shows: knob values and button images, by parameter index.
std::vector<float> shownState(MainWidget& mainWidget)
{
    std::vector<float> state;
    for (int index = 0; index < 20; ++index) {
        Control* control = mainWidget.findControl(index);
        if (auto* knob = qobject_cast<Knob*>(control)) state.push_back(knob->currentValue());
        if (auto* button = qobject_cast<Button*>(control))
            state.push_back(float(int(button->shownFace())));
    }
    return state;
}

// What an open FX menu offered.
struct MenuLook {
    bool opened = false;
    QStringList texts;
    std::vector<bool> checkable;
    std::vector<bool> checked;
    QFont font;
    bool translucent = false;
    bool frameless = false;
    QString styleSheet;
};

MenuLook describe(QMenu* menu)
{
    MenuLook look;
    look.opened = true;
    for (const QAction* action : menu->actions()) {
        look.texts.push_back(action->text());
        look.checkable.push_back(action->isCheckable());
        look.checked.push_back(action->isChecked());
    }
    look.font = menu->font();
    look.translucent = menu->testAttribute(Qt::WA_TranslucentBackground);
    look.frameless = menu->windowFlags().testFlag(Qt::FramelessWindowHint);
    look.styleSheet = menu->styleSheet();
    return look;
}

// A right click on target as the window system delivers it. While a menu is open, choose gets
// it and must close it; the menu runs modally, so this returns once it is gone.
MenuLook rightClick(QWidget* target, const std::function<void(QMenu*)>& choose)
{
    MenuLook look;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        poll.stop();
        look = describe(menu);
        QTimer::singleShot(3000, menu, &QMenu::close); // never hang on a menu left open
        choose(menu);
    });
    poll.start(5);
    const QPoint at(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
    return look;
}

void dismiss(QMenu* menu)
{
    QTest::keyClick(menu, Qt::Key_Escape);
}

std::function<void(QMenu*)> chooseEntry(int entry)
{
    return [entry](QMenu* menu) {
        const QPoint centre = menu->actionGeometry(menu->actions().at(entry)).center();
        QTest::mouseClick(menu, Qt::LeftButton, {}, centre);
    };
}

std::vector<bool> checkedEffect(int effect)
{
    std::vector<bool> checked(5, false);
    if (effect >= 0) checked[size_t(effect + 1)] = true;
    return checked;
}

// The plug-in's side with its block, and the main widget built over it when a test says so.
class WithBlock : public testing::Test {
protected:
    void SetUp() override
    {
        files.makeFifos();
        files.makeSharedBlock();
        files.openEnds();
    }

    void build()
    {
        communication.emplace(files.instance);
        mainWidget.emplace(&*communication);
        communication->setMainWidget(&*mainWidget);
    }

    // Writes a parameter into the block as the engine does: the value and its display text.
    void publish(int index, float value, const char* text = "")
    {
        SharedParameterEntry& entry = files.block()->parameters[index];
        entry.value = value;
        std::memset(entry.text, 0, sizeof entry.text);
        std::strncpy(entry.text, text, sizeof entry.text - 1);
    }

    void showAndSettle()
    {
        mainWidget->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*mainWidget));
        processEventsFor(100ms);
    }

    QTimer* guiTimer() { return mainWidget->findChild<QTimer*>({}, Qt::FindDirectChildrenOnly); }

    ChannelFiles files{testInstanceNumber()};
    std::optional<UICommunication> communication;
    std::optional<MainWidget> mainWidget;
};

} // namespace

TEST(MainWidgetLayout, StripsComeInTheirOrderWithTheirGeometryFontAndStyles)
{
    MainWidget mainWidget(nullptr);
    const auto strips = mainWidget.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    EXPECT_EQ(namesOf(strips),
              (std::vector<QString>{"loop_1", "loop_2", "loop_4", "loop_3", "oscillo_group"}));
    for (int loop = 1; loop <= 4; ++loop) {
        QGroupBox* box = strip(mainWidget, loop);
        EXPECT_EQ(box->geometry(), QRect(0, 104 * (loop - 1), 259, 103)) << loop;
        EXPECT_TRUE(box->title().isEmpty());
        EXPECT_EQ(box->contextMenuPolicy(), Qt::CustomContextMenu);
        EXPECT_EQ(box->font().pointSize(), 14);
        EXPECT_EQ(box->font().families().value(0), kCaptionFamily);
        EXPECT_TRUE(box->styleSheet().contains("stop:0.115578 rgba(58, 58, 58, 255)"));
        EXPECT_TRUE(box->styleSheet().contains("border-top: 4px solid black"));
        EXPECT_TRUE(box->styleSheet().contains("border-bottom: 1px solid black"));
    }
    EXPECT_EQ(strip(mainWidget, 4)->minimumSize(), QSize(259, 103));
    EXPECT_EQ(strip(mainWidget, 4)->maximumSize(), QSize(259, 103));
    EXPECT_EQ(strip(mainWidget, 3)->minimumSize(), QSize(0, 0));
    EXPECT_EQ(strip(mainWidget, 1)->styleSheet(), strip(mainWidget, 4)->styleSheet());
    EXPECT_EQ(strip(mainWidget, 2)->styleSheet(), strip(mainWidget, 3)->styleSheet());

    auto* scopeStrip = named<QGroupBox>(mainWidget, "oscillo_group");
    EXPECT_EQ(scopeStrip->geometry(), QRect(0, 416, 259, 101));
    EXPECT_EQ(scopeStrip->contextMenuPolicy(), Qt::DefaultContextMenu);
    EXPECT_EQ(scopeStrip->font().pointSize(), 14);
    EXPECT_TRUE(scopeStrip->styleSheet().contains("stop:0.58794 rgba(26, 26, 26, 255)"));
    EXPECT_TRUE(scopeStrip->styleSheet().contains("border-bottom: 4px solid black"));
    EXPECT_TRUE(mainWidget.styleSheet().contains("stop:0.105528 rgba(40, 40, 40, 255)"));
    EXPECT_EQ(mainWidget.windowTitle(), "Pravo lindel");
}

TEST(MainWidgetLayout, EachStripBuildsItsChildrenInOrder)
{
    MainWidget mainWidget(nullptr);
    const auto children = [&](int loop) {
        return namesOf(strip(mainWidget, loop)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    };
    EXPECT_EQ(children(1),
              (std::vector<QString>{"m_valueKnob1", "m_speedKnob1", "m_loopButton1", "label_top_1",
                                    "m_fxButton1", "m_reverseButton1", "label_bottom_1", "", ""}));
    for (int loop = 2; loop <= 4; ++loop) {
        const QString n = QString::number(loop);
        EXPECT_EQ(children(loop),
                  (std::vector<QString>{"m_valueKnob" + n, "m_speedKnob" + n, "m_loopButton" + n,
                                        "m_fxButton" + n, "m_reverseButton" + n,
                                        "label_bottom_" + n, "label_top_" + n, "", ""}));
    }
}

TEST(MainWidgetLayout, ControlsCarryTheirParameterIndexGeometryAndStyle)
{
    MainWidget mainWidget(nullptr);
    const struct {
        const char* name;
        int firstTag;
        QRect geometry;
    } kinds[] = {
        {"m_loopButton", 0, {20, 50, 16, 16}}, {"m_valueKnob", 4, {51, 33, 51, 51}},
        {"m_speedKnob", 8, {163, 33, 51, 51}}, {"m_reverseButton", 12, {230, 50, 16, 16}},
        {"m_fxButton", 16, {125, 50, 16, 16}},
    };
    for (const auto& kind : kinds) {
        for (int loop = 0; loop < 4; ++loop) {
            Control* control = mainWidget.findControl(kind.firstTag + loop);
            ASSERT_NE(control, nullptr) << kind.name << loop;
            EXPECT_EQ(control->objectName(), kind.name + QString::number(loop + 1));
            EXPECT_EQ(control->parentWidget(), strip(mainWidget, loop + 1));
            EXPECT_EQ(control->geometry(), kind.geometry) << kind.name << loop;
            EXPECT_EQ(control->minimumSize(), control->maximumSize());
            if (qobject_cast<Button*>(control)) {
                EXPECT_EQ(control->styleSheet(), "border:transparent; background:transparent;");
                EXPECT_TRUE(control->testAttribute(Qt::WA_NoMousePropagation));
            } else {
                EXPECT_EQ(control->styleSheet(),
                          "background:transparent;\nborder-color:transparent;");
            }
        }
    }
    for (int index = 20; index < 24; ++index)
        EXPECT_EQ(mainWidget.findControl(index), nullptr) << index;
}

TEST(MainWidgetLayout, CaptionsHaveTheirGeometryTextsFontAndStyles)
{
    MainWidget mainWidget(nullptr);
    const char* tops[] = {
        "  LOOP 1      SIZE              FX             SPEED         REV",
        "  LOOP 2      SIZE              FX             SPEED        REV",
        "  LOOP 3      SIZE              FX             SPEED        REV",
        "  LOOP 4      SIZE              FX             SPEED        REV",
    };
    const char* bottomOfLoop1 =
        "  on/off                           on/off                        on/off ";
    const char* bottomOfOthers =
        "  on/off                          on/off                         on/off ";
    const char* captionStyle = "color: rgb(255, 255, 255);\nbackground-color: rgb(47, 47, 47);\n"
                               "color: rgb(255, 255, 255);\nborder-radius:3px;\n"
                               "border: 1px solid gray;";
    const QString bottomStyle = "color: rgb(255, 255, 255);\nbackground-color: rgb(47, 47, 47);\n"
                                "color: rgb(255, 255, 255);\nborder-radius:3px;\n"
                                "border: transparent;";
    for (int loop = 1; loop <= 4; ++loop) {
        const QString n = QString::number(loop);
        auto* top = named<QLabel>(mainWidget, "label_top_" + n);
        auto* bottom = named<QLabel>(mainWidget, "label_bottom_" + n);
        ASSERT_TRUE(top && bottom) << loop;
        EXPECT_EQ(top->geometry(), loop == 1 ? QRect(7, 11, 245, 16) : QRect(5, 10, 245, 16));
        EXPECT_EQ(bottom->geometry(), QRect(7, 80, 245, 16));
        EXPECT_EQ(top->minimumSize(), QSize(245, 16));
        EXPECT_EQ(top->maximumSize(), QSize(32, 16));
        EXPECT_EQ(top->text(), tops[loop - 1]);
        EXPECT_EQ(bottom->text(), loop == 1 ? bottomOfLoop1 : bottomOfOthers);
        EXPECT_EQ(top->font().pointSize(), 9);
        EXPECT_EQ(bottom->font().families().value(0), kCaptionFamily);
        EXPECT_EQ(top->styleSheet(), captionStyle);
        EXPECT_EQ(bottom->styleSheet(), loop == 2 ? bottomStyle + "\n" : bottomStyle);
    }
}

TEST(MainWidgetLayout, DisplaysSitUnderTheKnobsAndTheScopeInItsStrip)
{
    MainWidget mainWidget(nullptr);
    for (int loop = 1; loop <= 4; ++loop) {
        ASSERT_EQ(displaysOf(mainWidget, loop).size(), 2) << loop;
        for (SimpleDisplay* display : displaysOf(mainWidget, loop)) {
            EXPECT_TRUE(display->objectName().isEmpty());
            EXPECT_TRUE(display->currentText().isEmpty());
            EXPECT_EQ(display->font().pointSize(), 9);
            EXPECT_EQ(display->styleSheet(),
                      "color: rgb(255, 255, 255);\nbackground:transparent;\nborder: transparent;");
        }
        EXPECT_EQ(valueDisplay(mainWidget, loop)->geometry(), QRect(56, 80, 45, 16));
        EXPECT_EQ(speedDisplay(mainWidget, loop)->geometry(), QRect(166, 80, 45, 16));
    }
    auto* scope = named<Oscilloscope>(mainWidget, "oscilloscope");
    ASSERT_NE(scope, nullptr);
    EXPECT_EQ(scope->parentWidget(), named<QGroupBox>(mainWidget, "oscillo_group"));
    EXPECT_EQ(scope->geometry(), QRect(2, 10, 255, 81));
    EXPECT_EQ(scope->styleSheet(), "border:transparent;\nbackground:transparent;");
    EXPECT_EQ(scope->currentTraceColor(), QColor(0, 143, 214, 254));
}

TEST(MainWidgetLayout, KnobsAndButtonsGetTheBundlesImages)
{
    MainWidget mainWidget(nullptr);
    const QPixmap strip(QStringLiteral(":/Resources/ombrel 2bis.png"));
    const QPixmap unlit(QStringLiteral(":/Resources/push blue ombrel/push blue ombrel.png"));
    const QPixmap lit(QStringLiteral(":/Resources/push blue ombrel/push blue ombrel2.png"));
    const int frames = strip.isNull() ? 1 : strip.height() / strip.width();
    for (int index = 0; index < 20; ++index) {
        Control* control = mainWidget.findControl(index);
        if (auto* knob = qobject_cast<Knob*>(control)) {
            EXPECT_EQ(knob->frameCount(), frames);
        }
        if (auto* button = qobject_cast<Button*>(control)) {
            EXPECT_EQ(button->normalPIX().toImage(), unlit.toImage()) << index;
            EXPECT_EQ(button->pressedPIX().toImage(), lit.toImage()) << index;
            EXPECT_TRUE(button->activePIX().isNull());
        }
    }
}

TEST(MainWidgetLayout, SizeKnobsCoverTheirRangeIn128PixelsAndSpeedKnobsIn256)
{
    MainWidget mainWidget(nullptr);
    const QPoint grip(25, 30);
    auto drag = [&](Knob* knob, int dy) {
        QTest::mousePress(knob, Qt::LeftButton, {}, grip);
        QTest::mouseEvent(QTest::MouseMove, knob, Qt::NoButton, {}, grip - QPoint(0, dy));
        QTest::mouseRelease(knob, Qt::LeftButton, {}, grip - QPoint(0, dy));
    };
    auto ctrlClick = [&](Knob* knob) {
        QTest::mouseClick(knob, Qt::LeftButton, Qt::ControlModifier, grip);
    };
    auto* size = named<Knob>(mainWidget, "m_valueKnob3");
    auto* speed = named<Knob>(mainWidget, "m_speedKnob3");
    drag(size, 64);
    EXPECT_EQ(size->currentValue(), 0.5f);
    drag(size, 64);
    EXPECT_EQ(size->currentValue(), 1.0f);
    ctrlClick(size);
    EXPECT_EQ(size->currentValue(), 0.0f);
    drag(speed, 128);
    EXPECT_EQ(speed->currentValue(), 0.5f);
    drag(speed, 128);
    EXPECT_EQ(speed->currentValue(), 1.0f);
    ctrlClick(speed);
    EXPECT_EQ(speed->currentValue(), 0.5f);
}

TEST(MainWidgetLayout, RefreshRunsEvery40MillisecondsFromConstruction)
{
    MainWidget mainWidget(nullptr);
    const auto timers = mainWidget.findChildren<QTimer*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(timers.size(), 1);
    EXPECT_EQ(timers[0]->interval(), 40);
    EXPECT_TRUE(timers[0]->isActive());
}

TEST_F(WithBlock, ControlsAndDisplaysStartFromTheBlock)
{
    publish(0, 1.0f);
    publish(5, 0.5f, "1/2 beat");
    publish(9, 0.75f, "x 1.50");
    publish(13, 1.0f);
    publish(17, 0.25f);
    files.block()->scopeMinima[0] = -0.5f;
    build();
    EXPECT_EQ(named<Button>(*mainWidget, "m_loopButton1")->shownFace(), Button::Face::Pressed);
    EXPECT_EQ(named<Button>(*mainWidget, "m_loopButton2")->shownFace(), Button::Face::Normal);
    EXPECT_EQ(named<Button>(*mainWidget, "m_reverseButton2")->shownFace(), Button::Face::Pressed);
    EXPECT_EQ(named<Button>(*mainWidget, "m_fxButton2")->shownFace(), Button::Face::Normal);
    EXPECT_EQ(named<Knob>(*mainWidget, "m_valueKnob2")->currentValue(), 0.5f);
    EXPECT_EQ(named<Knob>(*mainWidget, "m_speedKnob2")->currentValue(), 0.75f);
    EXPECT_EQ(valueDisplay(*mainWidget, 2)->currentText(), "1/2 beat");
    EXPECT_EQ(speedDisplay(*mainWidget, 2)->currentText(), "x 1.50");
    EXPECT_TRUE(valueDisplay(*mainWidget, 1)->currentText().isEmpty());

    // The oscilloscope draws the block's own arrays, as the engine keeps writing them.
    auto* scope = named<Oscilloscope>(*mainWidget, "oscilloscope");
    EXPECT_EQ(scope->minimumAt(0), -0.5f);
    files.block()->scopeMaxima[255] = 0.125f;
    EXPECT_EQ(scope->maximumAt(255), 0.125f);
}

TEST_F(WithBlock, ValuesInTheBlockThatAreNotFiniteAreIgnored)
{
    publish(0, -kInfinity);
    publish(6, kNaN);
    publish(10, kInfinity);
    publish(13, kInfinity);
    build();
    EXPECT_EQ(named<Button>(*mainWidget, "m_loopButton1")->shownFace(), Button::Face::Normal);
    EXPECT_EQ(named<Button>(*mainWidget, "m_reverseButton2")->shownFace(), Button::Face::Normal);
    EXPECT_EQ(named<Knob>(*mainWidget, "m_valueKnob3")->currentValue(), 0.0f);
    EXPECT_EQ(named<Knob>(*mainWidget, "m_speedKnob3")->currentValue(), 0.0f);
}

TEST_F(WithBlock, DisplayTextsAreCopiedAtMostFifteenCharactersLong)
{
    // A text without its terminator, followed by the next entry's non-zero value.
    SharedParameterEntry& entry = files.block()->parameters[5];
    std::memset(entry.text, 'A', sizeof entry.text);
    files.block()->parameters[6].value = 0.5f;
    build();
    EXPECT_EQ(valueDisplay(*mainWidget, 2)->currentText(), QString(15, 'A'));
    std::memset(files.block()->parameters[8].text, 'B', sizeof entry.text);
    mainWidget->setParameter(8, 0.25f);
    EXPECT_EQ(speedDisplay(*mainWidget, 1)->currentText(), QString(15, 'B'));
}

TEST_F(WithBlock, RecordForIndex5MovesTheSizeKnobAndShowsTheBlocksTextWithinATick)
{
    build();
    showAndSettle();
    auto* size2 = named<Knob>(*mainWidget, "m_valueKnob2");
    SimpleDisplay* display2 = valueDisplay(*mainWidget, 2);
    PaintCounter paints;
    paints.watch(size2);
    paints.watch(display2);

    publish(5, 0.5f, "1/2 beat");
    files.writePlugin(parameterBytes(5, 0.5f));
    ASSERT_TRUE(processEventsUntil([&] { return size2->currentValue() == 0.5f; }, 2s));
    EXPECT_EQ(size2->currentPosition(), 4.5);
    EXPECT_EQ(display2->currentText(), "1/2 beat");
    EXPECT_TRUE(processEventsUntil(
        [&] { return paints.count(size2) > 0 && paints.count(display2) > 0; }, 500ms));
    EXPECT_FALSE(size2->isChanged());
    EXPECT_FALSE(display2->isChanged());
    EXPECT_TRUE(files.readUi().empty()) << "a value from the plug-in is not sent back";
}

TEST_F(WithBlock, Index12ShowsTheReverseButtonPressedAndChangesNoDisplay)
{
    build();
    mainWidget->processGui();
    mainWidget->setParameter(12, 1.0f);
    EXPECT_EQ(named<Button>(*mainWidget, "m_reverseButton1")->shownFace(), Button::Face::Pressed);
    for (int loop = 1; loop <= 4; ++loop)
        for (SimpleDisplay* display : displaysOf(*mainWidget, loop))
            EXPECT_FALSE(display->isChanged()) << loop;
}

TEST_F(WithBlock, Index21ChangesNoControlAndLoop2sNextMenuFollowsTheBlock)
{
    build();
    const std::vector<float> before = shownState(*mainWidget);
    mainWidget->setParameter(21, 0.5f);
    EXPECT_EQ(shownState(*mainWidget), before);
    EXPECT_EQ(rightClick(strip(*mainWidget, 2), dismiss).checked, checkedEffect(0));
    publish(21, 0.5f);
    EXPECT_EQ(rightClick(strip(*mainWidget, 2), dismiss).checked, checkedEffect(2));
}

TEST_F(WithBlock, IndicesOutsideTheParametersAndValuesNotFiniteChangeNothing)
{
    publish(5, 0.0f, "1 beat");
    build();
    mainWidget->processGui();
    const std::vector<float> before = shownState(*mainWidget);
    for (const int index : {24, -1, 100, INT_MAX, INT_MIN})
        mainWidget->setParameter(index, 1.0f);
    publish(5, 0.5f, "1/2 beat");
    for (const float value : {kNaN, kInfinity, -kInfinity})
        mainWidget->setParameter(5, value);
    EXPECT_EQ(shownState(*mainWidget), before);
    EXPECT_EQ(valueDisplay(*mainWidget, 2)->currentText(), "1 beat");
    EXPECT_FALSE(valueDisplay(*mainWidget, 2)->isChanged());
}

TEST_F(WithBlock, NothingRepaintsBeforeTheRefreshTick)
{
    build();
    showAndSettle();
    guiTimer()->stop();
    auto* size2 = named<Knob>(*mainWidget, "m_valueKnob2");
    auto* reverse1 = named<Button>(*mainWidget, "m_reverseButton1");
    SimpleDisplay* display2 = valueDisplay(*mainWidget, 2);
    PaintCounter paints;
    for (QWidget* widget : std::initializer_list<QWidget*>{size2, reverse1, display2})
        paints.watch(widget);

    publish(5, 0.5f, "1/2 beat");
    mainWidget->setParameter(5, 0.5f);
    mainWidget->setParameter(12, 1.0f);
    processEventsFor(150ms);
    EXPECT_EQ(paints.count(size2), 0);
    EXPECT_EQ(paints.count(reverse1), 0);
    EXPECT_EQ(paints.count(display2), 0);
    EXPECT_TRUE(size2->isChanged());
    EXPECT_TRUE(display2->isChanged());

    mainWidget->processGui();
    processEventsFor(50ms);
    EXPECT_EQ(paints.count(size2), 1);
    EXPECT_EQ(paints.count(reverse1), 1);
    EXPECT_EQ(paints.count(display2), 1);
    EXPECT_FALSE(size2->isChanged());
    EXPECT_FALSE(reverse1->isChanged());
    EXPECT_FALSE(display2->isChanged());
}

TEST_F(WithBlock, ABurstOfValuesRepaintsEachWidgetOnce)
{
    build();
    showAndSettle();
    auto* speed4 = named<Knob>(*mainWidget, "m_speedKnob4");
    SimpleDisplay* display4 = speedDisplay(*mainWidget, 4);
    PaintCounter paints;
    paints.watch(speed4);
    paints.watch(display4);
    for (int step = 1; step <= 10; ++step)
        mainWidget->setParameter(11, float(step) / 10.0f);
    ASSERT_TRUE(processEventsUntil([&] { return paints.count(speed4) > 0; }, 500ms));
    processEventsFor(120ms);
    EXPECT_EQ(paints.count(speed4), 1);
    EXPECT_EQ(paints.count(display4), 1);
    EXPECT_EQ(speed4->currentValue(), 1.0f);
}

TEST_F(WithBlock, MenuOffersTheLoopsEffectsAndChecksTheOneTheBlockNames)
{
    build();
    const MenuLook look = rightClick(strip(*mainWidget, 1), dismiss);
    ASSERT_TRUE(look.opened);
    EXPECT_EQ(look.texts, QStringList({"Loop 1 FX"}) + kEffects);
    EXPECT_EQ(look.checkable, (std::vector<bool>{false, true, true, true, true}));
    EXPECT_EQ(look.font.pointSize(), 12);
    EXPECT_EQ(look.font.families().value(0), kMenuFamily);
    EXPECT_TRUE(look.translucent);
    EXPECT_TRUE(look.frameless);
    EXPECT_TRUE(look.styleSheet.contains("QMenu::item:selected"));
    EXPECT_TRUE(look.styleSheet.contains("rgba(0, 143, 214, 254)"));
    EXPECT_TRUE(look.styleSheet.contains("rgba(58, 58, 58, 192)"));

    // The block's value times four, truncated toward zero, names the entry.
    const struct {
        float value;
        int effect;
    } cases[] = {{0.0f, 0},  {0.3f, 1},   {0.5f, 2},  {0.75f, 3},     {1.0f, -1},
                 {-0.2f, 0}, {-0.3f, -1}, {kNaN, -1}, {kInfinity, -1}};
    for (const auto& c : cases) {
        publish(20, c.value);
        EXPECT_EQ(rightClick(strip(*mainWidget, 1), dismiss).checked, checkedEffect(c.effect))
            << c.value;
    }
    EXPECT_EQ(rightClick(strip(*mainWidget, 3), dismiss).texts.value(0), "Loop 3 FX");
    EXPECT_EQ(rightClick(strip(*mainWidget, 4), dismiss).texts.value(0), "Loop 4 FX");
}

TEST_F(WithBlock, ChoosingHipassInLoop3SendsParameter22WithHalf)
{
    build();
    const std::vector<float> before = shownState(*mainWidget);
    ASSERT_TRUE(rightClick(strip(*mainWidget, 3), chooseEntry(3)).opened);
    EXPECT_EQ(files.readUi(), parameterBytes(22, 0.5f));
    EXPECT_EQ(files.block()->parameters[22].value, 0.0f) << "the plug-in keeps the choice";
    EXPECT_EQ(shownState(*mainWidget), before);

    ASSERT_TRUE(rightClick(strip(*mainWidget, 2), chooseEntry(4)).opened);
    EXPECT_EQ(files.readUi(), parameterBytes(21, 0.75f));
    ASSERT_TRUE(rightClick(strip(*mainWidget, 1), chooseEntry(1)).opened);
    EXPECT_EQ(files.readUi(), parameterBytes(20, 0.0f));
}

TEST_F(WithBlock, TheTitleEntryAndDismissingSendNothing)
{
    build();
    ASSERT_TRUE(rightClick(strip(*mainWidget, 4), chooseEntry(0)).opened);
    ASSERT_TRUE(rightClick(strip(*mainWidget, 4), dismiss).opened);
    EXPECT_TRUE(files.readUi().empty());
}

TEST_F(WithBlock, OnlyTheLoopStripsAndWhatPassesRightClicksOnOpenAMenu)
{
    build();
    EXPECT_FALSE(rightClick(named<QGroupBox>(*mainWidget, "oscillo_group"), dismiss).opened);
    EXPECT_FALSE(rightClick(named<Oscilloscope>(*mainWidget, "oscilloscope"), dismiss).opened);
    EXPECT_FALSE(rightClick(named<Button>(*mainWidget, "m_fxButton2"), dismiss).opened)
        << "a button keeps its clicks from the strip";
    EXPECT_TRUE(rightClick(named<Knob>(*mainWidget, "m_valueKnob2"), dismiss).opened)
        << "a knob passes them on";
}

TEST(MainWidgetWithoutBlock, StartsFromDefaultsAndChecksBitReducer)
{
    MainWidget mainWidget(nullptr);
    EXPECT_EQ(named<Knob>(mainWidget, "m_speedKnob1")->currentValue(), 0.0f);
    EXPECT_EQ(named<Button>(mainWidget, "m_loopButton1")->shownFace(),
              named<Button>(mainWidget, "m_loopButton1")->normalPIX().isNull()
                  ? Button::Face::None
                  : Button::Face::Normal);
    const MenuLook look = rightClick(strip(mainWidget, 2), chooseEntry(3));
    EXPECT_EQ(look.checked, checkedEffect(0));
    mainWidget.setParameter(5, 0.5f);
    EXPECT_EQ(named<Knob>(mainWidget, "m_valueKnob2")->currentValue(), 0.5f);
    EXPECT_TRUE(valueDisplay(mainWidget, 2)->currentText().isEmpty());
}
