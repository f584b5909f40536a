#include "mainwidget.h"

#include "blockreading.h"
#include "button.h"
#include "knob.h"
#include "oscilloscope.h"
#include "parameters.h"
#include "simpledisplay.h"
#include "stylesheets.h"
#include "uicommunication.h"
#include "uifonts.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMutexLocker>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kWidth = 260;
constexpr int kHeight = 517;
constexpr int kGuiPeriodMs = 40;

// Parameter index = kind x 4 + loop.
constexpr int kFirstValue = 4;
constexpr int kFirstSpeed = 8;
constexpr int kFirstReverse = 12;
constexpr int kFirstFx = 16;
constexpr int kFirstFxSelect = 20;

constexpr int kStripWidth = 259;
constexpr int kStripHeight = 103;
constexpr int kStripPitch = 104;
// Loop 4's strip is built before loop 3's, so it lies below it in the stacking order.
constexpr std::array<int, 4> kStripCreationOrder{0, 1, 3, 2};

constexpr int kKnobSide = 51;
constexpr int kKnobY = 33;
constexpr int kValueKnobX = 51;
constexpr int kSpeedKnobX = 163;
// The size knob's 9 steps over 128 pixels of drag; the speed knob keeps the knob's own
// 100 units per 128 pixels, so its 200 steps take 256.
constexpr int kValueKnobSteps = 9;
constexpr int kValueKnobPixels = 128;
constexpr int kSpeedKnobSteps = 200;
constexpr int kSpeedKnobDefault = 100;

constexpr int kButtonSide = 16;
constexpr int kButtonY = 50;
constexpr int kLoopButtonX = 20;
constexpr int kFxButtonX = 125;
constexpr int kReverseButtonX = 230;

constexpr int kLabelMinimumWidth = 245;
// Below the minimum, so the minimum prevails: the labels stay 245 wide.
constexpr int kLabelMaximumWidth = 32;
constexpr int kLabelHeight = 16;

constexpr int kDisplayY = 80;
constexpr int kValueDisplayX = 56;
constexpr int kSpeedDisplayX = 166;
constexpr int kDisplayWidth = 45;
constexpr int kDisplayHeight = 16;

// A display text fills at most 15 of its entry's 16 bytes; the 16th is the terminator.

const QColor kTraceColour(0, 143, 214, 254);

const char* const kContext = "PravoLindel";
const char* const kTopCaptions[] = {
    "  LOOP 1      SIZE              FX             SPEED         REV",
    "  LOOP 2      SIZE              FX             SPEED        REV",
    "  LOOP 3      SIZE              FX             SPEED        REV",
    "  LOOP 4      SIZE              FX             SPEED        REV",
};
const char* const kBottomCaptions[] = {
    "  on/off                           on/off                        on/off ",
    "  on/off                          on/off                         on/off ",
    "  on/off                          on/off                         on/off ",
    "  on/off                          on/off                         on/off ",
};

const char* const kKnobStripPath = ":/Resources/ombrel 2bis.png";
const char* const kButtonNormalPath = ":/Resources/push blue ombrel/push blue ombrel.png";
const char* const kButtonPressedPath = ":/Resources/push blue ombrel/push blue ombrel2.png";

constexpr int kEffectCount = parameters::kNumEffects;
constexpr float kEffectValues[kEffectCount] = {0.0f, 0.25f, 0.5f, 0.75f};

QString translated(const char* text)
{
    return QCoreApplication::translate(kContext, text);
}

QString numbered(const char* name, int loop)
{
    return QString::fromLatin1(name) + QString::number(loop + 1);
}

// A missing image stays null: a knob then draws no picture, a button ignores it. The @2x
// image is drawn at half its pixel size, so either fills the same place.
QPixmap loadImage(const char* path, bool doubled)
{
    if (!doubled) return QPixmap(QString::fromLatin1(path));
    QPixmap image(QString::fromLatin1(path).chopped(4) + QStringLiteral("@2x.png"));
    image.setDevicePixelRatio(2.0);
    return image;
}

void refreshIfChanged(SimpleDisplay* display)
{
    if (!display->isChanged()) return;
    display->update();
    display->clearChanged();
}

} // namespace

MainWidget::MainWidget(UICommunication* communication, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), communication(communication)
{
    // Before the first control: each one finds the main widget by this name and takes its
    // channel.
    setObjectName(QStringLiteral("mainwidget"));
    setFixedSize(kWidth, kHeight);
    controls.reserve(sharedParameterCount);

    setStyleSheet(QString::fromLatin1(stylesheets::mainBackground));
    registerCaptionFontFile();
    loadImages();

    for (const int loop : kStripCreationOrder)
        buildStrip(loop);
    buildOscilloscope();
    setTexts();
    buildDisplays();

    for (const LoopStrip& strip : strips)
        connect(strip.box, &QWidget::customContextMenuRequested, this, &MainWidget::prepareMenu);
    guiTimer = new QTimer(this);
    connect(guiTimer, &QTimer::timeout, this, &MainWidget::processGui);
    guiTimer->start(kGuiPeriodMs);
}

MainWidget::~MainWidget()
{
    // The controls leave the registry as they go, so they must go while it still exists.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

Control* MainWidget::findControl(int index)
{
    const QMutexLocker lock(&controlsMutex);
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [index](Control* c) { return c->controlTag() == index; });
    return found == controls.end() ? nullptr : *found;
}

void MainWidget::removeControl(Control* control)
{
    const QMutexLocker lock(&controlsMutex);
    controls.removeOne(control);
}

void MainWidget::setParameter(int index, float value)
{
    if (index < 0 || index >= sharedParameterCount || !std::isfinite(value)) return;
    if (Control* control = findControl(index)) control->setValueFromPlugin(value);
    // The plug-in writes the text into the block before it sends the value.
    if (index >= kFirstValue && index < kFirstSpeed)
        m_valueDisplay[size_t(index - kFirstValue)]->setText(displayText(index));
    else if (index >= kFirstSpeed && index < kFirstReverse)
        m_speedDisplay[size_t(index - kFirstSpeed)]->setText(displayText(index));
}

void MainWidget::processGui()
{
    for (Control* control : std::as_const(controls))
        if (control->isChanged() && control->isVisible()) control->update();
    for (SimpleDisplay* display : m_speedDisplay)
        refreshIfChanged(display);
    for (SimpleDisplay* display : m_valueDisplay)
        refreshIfChanged(display);
}

void MainWidget::processOscilloscope(float** inputs, int sampleframes)
{
    if (oscilloscope) oscilloscope->process(inputs, sampleframes);
}

void MainWidget::prepareMenu(QPoint)
{
    const int loop = loopOfStrip(sender());
    if (loop < 0) return;

    QMenu menu;
    menu.setWindowFlags(menu.windowFlags() | Qt::FramelessWindowHint);
    menu.setAttribute(Qt::WA_TranslucentBackground);
    menu.setStyleSheet(QString::fromLatin1(stylesheets::menu));
    registerMenuFontFile();
    menu.setFont(menuFont());

    menu.addAction(QStringLiteral("Loop %1 FX").arg(loop + 1));
    std::array<QAction*, kEffectCount> effects{};
    for (int k = 0; k < kEffectCount; ++k) {
        effects[size_t(k)] = menu.addAction(QString::fromLatin1(parameters::kEffectNames[k]));
        effects[size_t(k)]->setCheckable(true);
    }
    if (const int selected = selectedEffect(loop); selected >= 0)
        effects[size_t(selected)]->setChecked(true);

    // At the pointer as it is now, not where the request was made.
    const QAction* chosen = menu.exec(QCursor::pos());
    const auto effect = std::find(effects.begin(), effects.end(), chosen);
    // The block, not the menu, keeps the choice: the next opening shows it once the plug-in
    // has applied it.
    if (chosen && effect != effects.end() && communication)
        communication->sendParameter(kFirstFxSelect + loop,
                                     kEffectValues[effect - effects.begin()]);
    setFocus(Qt::OtherFocusReason);
}

void MainWidget::setDrawingScale(qreal scale)
{
    const bool doubled = scale > 1.0;
    if (doubled == doubledImages) return;
    doubledImages = doubled;
    loadImages();
    handImagesToControls();
    update();
}

void MainWidget::loadImages()
{
    knobStrip = loadImage(kKnobStripPath, doubledImages);
    buttonNormal = loadImage(kButtonNormalPath, doubledImages);
    buttonPressed = loadImage(kButtonPressedPath, doubledImages);
}

// Each knob fits the shared strip to itself in place, so each starts again from the strip as
// it was loaded. The buttons keep showing the state they show.
void MainWidget::handImagesToControls()
{
    const QPixmap loaded = knobStrip;
    for (const LoopStrip& strip : strips) {
        for (Knob* knob : {strip.valueKnob, strip.speedKnob}) {
            knobStrip = loaded;
            knob->setPixmap(&knobStrip);
        }
        for (Button* button : {strip.loopButton, strip.fxButton, strip.reverseButton}) {
            button->replaceImage(Button::Face::Normal, buttonNormal);
            button->replaceImage(Button::Face::Pressed, buttonPressed);
        }
    }
}

SharedBlock* MainWidget::sharedBlock() const
{
    return communication ? communication->sharedBlock() : nullptr;
}

// Loop 1 builds its top caption right after its loop button; the other loops build both
// captions after their buttons, the bottom one first.
void MainWidget::buildStrip(int loop)
{
    LoopStrip& strip = strips[size_t(loop)];
    strip.box = makeStripBox(loop);

    strip.valueKnob =
        makeKnob(strip.box, numbered("m_valueKnob", loop), kFirstValue + loop, kValueKnobX);
    strip.valueKnob->setRange(kValueKnobSteps);
    strip.valueKnob->setDefault(0);
    initialiseFromBlock(strip.valueKnob);
    strip.valueKnob->setPixelsPerRange(kValueKnobPixels);

    strip.speedKnob =
        makeKnob(strip.box, numbered("m_speedKnob", loop), kFirstSpeed + loop, kSpeedKnobX);
    strip.speedKnob->setRange(kSpeedKnobSteps);
    strip.speedKnob->setDefault(kSpeedKnobDefault);
    initialiseFromBlock(strip.speedKnob);

    strip.loopButton = makeButton(strip.box, numbered("m_loopButton", loop), loop, kLoopButtonX);
    if (loop == 0) strip.top = makeTopLabel(loop);
    strip.fxButton =
        makeButton(strip.box, numbered("m_fxButton", loop), kFirstFx + loop, kFxButtonX);
    strip.reverseButton = makeButton(strip.box, numbered("m_reverseButton", loop),
                                     kFirstReverse + loop, kReverseButtonX);
    strip.bottom = makeBottomLabel(loop);
    if (loop != 0) strip.top = makeTopLabel(loop);
}

QGroupBox* MainWidget::makeStripBox(int loop)
{
    auto* box = new QGroupBox(this);
    box->setObjectName(numbered("loop_", loop));
    box->setGeometry(0, kStripPitch * loop, kStripWidth, kStripHeight);
    if (loop == 3) box->setFixedSize(kStripWidth, kStripHeight);
    box->setFont(groupFont());
    const bool outer = loop == 0 || loop == 3;
    box->setStyleSheet(
        QString::fromLatin1(outer ? stylesheets::loopBoxOuter : stylesheets::loopBoxInner));
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    return box;
}

Knob* MainWidget::makeKnob(QGroupBox* box, const QString& name, int tag, int x)
{
    auto* knob = new Knob(box, tag, &knobStrip);
    knob->setObjectName(name);
    knob->setGeometry(x, kKnobY, kKnobSide, kKnobSide);
    knob->setFixedSize(kKnobSide, kKnobSide);
    knob->setStyleSheet(QString::fromLatin1(stylesheets::knob));
    return knob;
}

// The images come before the value, so that a button starts out showing its parameter.
Button* MainWidget::makeButton(QGroupBox* box, const QString& name, int tag, int x)
{
    auto* button = new Button(box, tag);
    button->setObjectName(name);
    button->setGeometry(x, kButtonY, kButtonSide, kButtonSide);
    button->setFixedSize(kButtonSide, kButtonSide);
    button->setStyleSheet(QString::fromLatin1(stylesheets::button));
    // A press on a button is never also a press on its strip, which has the FX menu.
    button->setAttribute(Qt::WA_NoMousePropagation);
    button->setNormalPixmap(buttonNormal);
    button->setPressedPixmap(buttonPressed);
    initialiseFromBlock(button);
    return button;
}

QLabel* MainWidget::makeTopLabel(int loop)
{
    auto* label = new QLabel(strips[size_t(loop)].box);
    label->setObjectName(numbered("label_top_", loop));
    label->setGeometry(loop == 0 ? QRect(7, 11, kLabelMinimumWidth, kLabelHeight)
                                 : QRect(5, 10, kLabelMinimumWidth, kLabelHeight));
    label->setMinimumSize(kLabelMinimumWidth, kLabelHeight);
    label->setMaximumSize(kLabelMaximumWidth, kLabelHeight);
    label->setFont(labelFont());
    label->setStyleSheet(QString::fromLatin1(stylesheets::caption));
    return label;
}

QLabel* MainWidget::makeBottomLabel(int loop)
{
    auto* label = new QLabel(strips[size_t(loop)].box);
    label->setObjectName(numbered("label_bottom_", loop));
    label->setGeometry(7, 80, kLabelMinimumWidth, kLabelHeight);
    label->setMinimumSize(kLabelMinimumWidth, kLabelHeight);
    label->setMaximumSize(kLabelMaximumWidth, kLabelHeight);
    label->setFont(labelFont());
    label->setStyleSheet(QString::fromLatin1(loop == 1 ? stylesheets::bottomCaptionLoop2
                                                       : stylesheets::bottomCaption));
    return label;
}

void MainWidget::initialiseFromBlock(Control* control)
{
    if (const SharedBlock* block = sharedBlock())
        if (const auto value = blockreading::parameterValue(*block, control->controlTag()))
            control->setValue(*value);
}

void MainWidget::buildOscilloscope()
{
    oscilloGroup = new QGroupBox(this);
    oscilloGroup->setObjectName(QStringLiteral("oscillo_group"));
    oscilloGroup->setGeometry(0, 416, kStripWidth, 101);
    oscilloGroup->setFont(groupFont());
    oscilloGroup->setStyleSheet(QString::fromLatin1(stylesheets::scopeBox));

    oscilloscope = new Oscilloscope(oscilloGroup);
    oscilloscope->setObjectName(QStringLiteral("oscilloscope"));
    oscilloscope->setGeometry(2, 10, 255, 81);
    oscilloscope->setStyleSheet(QString::fromLatin1(stylesheets::scope));
    oscilloscope->setTraceColor(kTraceColour);
    if (SharedBlock* block = sharedBlock())
        oscilloscope->setBuffers(block->scopeMinima, block->scopeMaxima, scopePointCapacity);
}

void MainWidget::setTexts()
{
    setWindowTitle(translated("Pravo lindel"));
    for (size_t loop = 0; loop < strips.size(); ++loop) {
        const LoopStrip& strip = strips[loop];
        strip.box->setTitle(QString());
        strip.top->setText(translated(kTopCaptions[loop]));
        strip.bottom->setText(translated(kBottomCaptions[loop]));
    }
    oscilloGroup->setTitle(QString());
}

SimpleDisplay* MainWidget::makeDisplay(QGroupBox* box, int x, int index)
{
    auto* display = new SimpleDisplay(box);
    display->setGeometry(x, kDisplayY, kDisplayWidth, kDisplayHeight);
    display->setFont(labelFont());
    display->setStyleSheet(QString::fromLatin1(stylesheets::valueDisplay));
    display->setText(displayText(index));
    return display;
}

// Over the gaps of the bottom caption line, under the two knobs.
void MainWidget::buildDisplays()
{
    for (int loop = 0; loop < kLoopCount; ++loop) {
        QGroupBox* box = strips[size_t(loop)].box;
        m_valueDisplay[size_t(loop)] = makeDisplay(box, kValueDisplayX, kFirstValue + loop);
        m_speedDisplay[size_t(loop)] = makeDisplay(box, kSpeedDisplayX, kFirstSpeed + loop);
    }
}

QString MainWidget::displayText(int index) const
{
    const SharedBlock* block = sharedBlock();
    return block ? QString::fromUtf8(blockreading::displayText(*block, index).data()) : QString();
}

int MainWidget::selectedEffect(int loop) const
{
    const SharedBlock* block = sharedBlock();
    return block ? blockreading::selectedEffect(*block, loop) : 0;
}

int MainWidget::loopOfStrip(const QObject* box) const
{
    for (int loop = 0; loop < kLoopCount; ++loop)
        if (box && strips[size_t(loop)].box == box) return loop;
    return -1;
}
