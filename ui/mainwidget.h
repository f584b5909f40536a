// The whole visible editor: four loop strips (a size and a speed knob, loop, FX and reverse
// buttons, captions and two value displays each) and the oscilloscope strip, in a fixed
// 260 x 517 window.
//
// Values from the plug-in only mark controls and displays as changed; a 40 ms refresh repaints
// them, so a burst of automation costs at most one repaint per widget per tick. Edits reach the
// plug-in through the controls themselves; the main widget only sends the FX menu's choices.
// GUI thread only.
#pragma once

#include "sharedblock.h"

#include <QList>
#include <QMutex>
#include <QPixmap>
#include <QPoint>
#include <QWidget>

#include <array>

class Button;
class Control;
class Knob;
class Oscilloscope;
class QGroupBox;
class QLabel;
class QTimer;
class SimpleDisplay;
class UICommunication;

class MainWidget : public QWidget {
    Q_OBJECT

public:
    // communication: the channel, or null when the UI runs without a plug-in. The controls
    // start from the values the plug-in has published in the channel's shared block.
    explicit MainWidget(UICommunication* communication, QWidget* parent = nullptr,
                        Qt::WindowFlags flags = {});
    ~MainWidget() override;

    MainWidget(const MainWidget&) = delete;
    MainWidget& operator=(const MainWidget&) = delete;

    // The first registered control whose tag is index, or null.
    Control* findControl(int index);
    // Called by a control that goes away.
    void removeControl(Control* control);
    // The scale the main widget is shown at. Above 1 the knobs and buttons draw from the
    // bundle's @2x images, which a 2x view maps onto the screen pixel for pixel; at 1 and below
    // from the 1x images.
    void setDrawingScale(qreal scale);

public slots:
    // A value that came from the plug-in: moves the parameter's control (unless it is older
    // than what the control shows, Control::setValueFromPlugin) and shows the block's display
    // text under its knob. Indices outside 0..23 and values that are not finite change nothing.
    void setParameter(int index, float value);
    // The 40 ms refresh: repaints what changed since the last tick.
    void processGui();
    // Hands a stereo block to the oscilloscope's local feed.
    void processOscilloscope(float** inputs, int sampleframes);
    // The FX menu of the loop strip that asked for it.
    void prepareMenu(QPoint);

private:
    friend class Control; // registers itself in controls and takes the channel

    static constexpr int kLoopCount = 4;

    struct LoopStrip {
        QGroupBox* box = nullptr;
        Knob* valueKnob = nullptr;
        Knob* speedKnob = nullptr;
        Button* loopButton = nullptr;
        Button* fxButton = nullptr;
        Button* reverseButton = nullptr;
        QLabel* top = nullptr;
        QLabel* bottom = nullptr;
    };

    SharedBlock* sharedBlock() const;
    // Loads the knob strip and the two button faces at the resolution the scale asks for.
    void loadImages();
    void handImagesToControls();
    void buildStrip(int loop);
    QGroupBox* makeStripBox(int loop);
    Knob* makeKnob(QGroupBox* box, const QString& name, int tag, int x);
    Button* makeButton(QGroupBox* box, const QString& name, int tag, int x);
    QLabel* makeTopLabel(int loop);
    QLabel* makeBottomLabel(int loop);
    void initialiseFromBlock(Control* control);
    void buildOscilloscope();
    void setTexts();
    SimpleDisplay* makeDisplay(QGroupBox* box, int x, int index);
    void buildDisplays();
    // The display text of a parameter, copied from the block bounded; empty without a block.
    QString displayText(int index) const;
    // Which effect the block says loop has: 0..3, or -1 when its value names none.
    int selectedEffect(int loop) const;
    int loopOfStrip(const QObject* box) const;

    UICommunication* communication;
    QTimer* guiTimer = nullptr;
    Oscilloscope* oscilloscope = nullptr;
    QList<Control*> controls;
    QMutex controlsMutex;
    // One strip for every knob, rescaled to the knobs' size; and the two button faces.
    QPixmap knobStrip;
    QPixmap buttonNormal;
    QPixmap buttonPressed;
    bool doubledImages = false;
    std::array<LoopStrip, kLoopCount> strips;
    QGroupBox* oscilloGroup = nullptr;
    std::array<SimpleDisplay*, kLoopCount> m_valueDisplay{};
    std::array<SimpleDisplay*, kLoopCount> m_speedDisplay{};
};
