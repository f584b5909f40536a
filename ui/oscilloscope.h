// The output trace: vertical min/max bars over three grey guide lines, fading from the oldest
// point at the left to the newest at the right, looked at 50 times a second and repainted
// when it moved.
//
// In the program the bars come from the shared block, whose arrays the engine keeps writing;
// every paint draws 256 of them. The widget can also compute its points itself from audio
// (the local feed: process, process2); once fed locally it draws the points it has, at most
// one per pixel column. GUI thread only.
#pragma once

#include <QColor>
#include <QMutex>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

class Oscilloscope : public QWidget {
    Q_OBJECT

public:
    explicit Oscilloscope(QWidget* parent);

    // Draws from these arrays of length entries each from now on, instead of the widget's own.
    // They belong to the caller and must outlive the widget.
    void setBuffers(float* minima, float* maxima, int length);
    void setTraceColor(const QColor& colour)
    {
        traceColor = colour;
        update();
    }
    QColor currentTraceColor() const { return traceColor; }

    // Local feed from one stereo block: both channels mixed, one point per zoom samples.
    void process(float** inputs, int sampleframes);
    // The source of process2: size samples read round and round. Null or a size below 1: none.
    void setRing(const float* ring, int size);
    // Appends one locally computed point: scrolling, or wrapping around in kikoo mode.
    void addPoint(float min, float max);

    int samplesPerPoint() const { return zoom; }
    // Where the next local point goes.
    int points() const { return pointCount; }
    // An entry of the arrays in use; 0 outside them.
    float minimumAt(int index) const;
    float maximumAt(int index) const;

    QSize sizeHint() const override;

public slots:
    // Local feed: wrap around like a sweeping beam instead of scrolling.
    void setKikooMode(bool status);
    // Local feed: value 0..1 gives 4..1,024 samples per point. Not finite: ignored.
    void setZoom(int tag, float value);
    // Local feed of 1,024 samples from the ring; nothing without one.
    void process2();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kOwnCapacity = 1600;
    static constexpr int kSharedPoints = 256;
    static constexpr int xStep = 1; // pixels between points

    // Running extremes of a stretch of samples; every point spans 0.
    struct Extremes {
        float minimum = 0.0f;
        float maximum = 0.0f;
        void fold(float sample);
    };

    // Points across the widget now, never more than the arrays hold.
    void refreshIfMoved();
    int pointsAcross() const;
    int barsToDraw();
    void drawGuides(QPainter& painter, int mid) const;
    void drawBar(QPainter& painter, int index, int bars, int mid, double scale) const;
    bool holds(int index) const { return index >= 0 && index < capacity; }

    std::vector<float> ownMinima = std::vector<float>(kOwnCapacity, 0.0f);
    std::vector<float> ownMaxima = std::vector<float>(kOwnCapacity, 0.0f);
    float* minima = ownMinima.data();
    float* maxima = ownMaxima.data();
    int capacity = kOwnCapacity; // entries in the arrays in use
    int pointCount = 0;
    // Once fed locally the widget draws the entries written so far instead of the whole trace.
    bool fedLocally = false;
    int localPoints = 0;
    bool kikooMode = false;
    int zoom = 176;
    int sampleCounter = 0;
    Extremes blockExtremes;
    Extremes ringExtremes;
    QMutex ringMutex;
    const float* ringBuffer = nullptr;
    int ringSize = 0;
    int ringReadPos = 0;
    std::unique_ptr<QTimer> refreshTimer;
    // The trace as the last paint drew it.
    std::vector<float> paintedMinima;
    std::vector<float> paintedMaxima;
    QColor traceColor{12, 255, 4};
};
