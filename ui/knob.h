// The rotary control: shows one frame of a film strip (square frames in a column, the minimum
// at the top) chosen from its position, and turns vertical drags into values 0..1.
//
// The knob works in units: a position 0..range, the value position / range, the frame scaled
// from the position. The value is continuous; only the picture steps. GUI thread only.
#pragma once

#include "control.h"

#include <QPixmap>
#include <QString>

class Knob : public Control {
    Q_OBJECT

public:
    // strip: the film strip, owned by the caller and shared by every knob that draws from it;
    // each knob rescales it to its own size when resized. Null: the knob draws no picture.
    Knob(QWidget* parent, int tag, QPixmap* strip);

    // Takes the frame size and count from the strip's shorter and longer side, in its pixels;
    // a strip with a device pixel ratio of 2 draws its frames at half their pixel size. A knob
    // that has had its size fits the strip to it at once. A null pointer or an empty image
    // changes nothing.
    void setPixmap(QPixmap* strip);
    // The units of the full travel, 1 or more; other values are ignored. Position, value and
    // drag speed are kept.
    void setRange(int n);
    // The position that Ctrl+click restores, minimum..range; other values are ignored.
    void setDefault(int n);
    // Offset of the value text only; ignored unless |n| < range.
    void setMinimum(int n);
    // The full travel takes this many pixels of drag (1 or more; other values are ignored),
    // for the range current at the call.
    void setPixelsPerRange(int pixels);
    // Frame from the truncated position in integers (the default), or from the exact position.
    void setIntegerFrames(bool on);
    // Draws the value text over the knob: always, or only during a gesture on a green plate.
    void setShowText(bool on, bool whileDragging);

    QSize sizeHint() const override;

    float currentValue() const { return value; }
    double currentPosition() const { return position; }
    int currentFrame() const { return frame; }
    int frameCount() const { return lastFrame + 1; }
    // In the strip's pixels.
    int currentFrameSize() const { return frameSize; }
    QString currentText() const { return valueText; }

public slots:
    // A value from the plug-in, 0..1; values outside, not finite or unchanged are ignored.
    void setValue(float v) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void resetToDefault();
    void dragBy(int dy, bool fine);
    // Frame and value text follow the position.
    void showPosition();
    // A value reached by a gesture is sent once, however many events reach it.
    void sendIfNew();
    // Rescales the shared strip so that a frame fills the smaller side of area, at most.
    void fitStrip(QSize area);

    QPixmap* stripPixmap = nullptr;
    QPixmap sourcePixmap;
    int lastFrame = 0;
    int frame = 0;
    int frameSize = 64;
    QString valueText = QStringLiteral("0");
    int lastMouseY = 0;
    int range = 100;
    double position = 0.0;
    double unitsPerPixel = 100 * 0.0078125; // the full travel of 100 units over 128 pixels
    int minimum = 0;
    float value = 0.0f;
    float lastSentValue = -1.0f;
    int defaultPosition = 0;
    bool integerFrames = true;
    bool showText = false;
    bool textWhileDragging = false;
    bool dragging = false;
};
