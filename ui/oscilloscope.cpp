#include "oscilloscope.h"

#include "blockreading.h"

#include <QMutexLocker>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr int kRefreshPeriodMs = 20;
constexpr int kRingSamplesPerCall = 1024;

bool fitsInt(float number)
{
    return number >= float(std::numeric_limits<int>::min()) &&
           number < float(std::numeric_limits<int>::max());
}

} // namespace

void Oscilloscope::Extremes::fold(float sample)
{
    if (sample > maximum) maximum = sample;
    if (sample < minimum) minimum = sample;
}

Oscilloscope::Oscilloscope(QWidget* parent) : QWidget(parent)
{
    resize(600, 300); // the layout sets the real geometry
    refreshTimer = std::make_unique<QTimer>();
    connect(refreshTimer.get(), &QTimer::timeout, this, &Oscilloscope::refreshIfMoved);
    refreshTimer->start(kRefreshPeriodMs);
}

void Oscilloscope::setBuffers(float* minima, float* maxima, int length)
{
    if (!minima || !maxima || length < 1) return;
    this->minima = minima;
    this->maxima = maxima;
    capacity = length;
    pointCount = 0;
    localPoints = 0;
    fedLocally = false;
    update();
}

// The trace is looked at every period but drawn again only when it moved since
// the last paint, so an editor over a stopped transport costs next to nothing.
void Oscilloscope::refreshIfMoved()
{
    const auto bytes = size_t(capacity) * sizeof(float);
    const bool unchanged = paintedMinima.size() == size_t(capacity) &&
                           std::memcmp(paintedMinima.data(), minima, bytes) == 0 &&
                           std::memcmp(paintedMaxima.data(), maxima, bytes) == 0;
    if (!unchanged) update();
}

float Oscilloscope::minimumAt(int index) const
{
    return holds(index) ? minima[index] : 0.0f;
}

float Oscilloscope::maximumAt(int index) const
{
    return holds(index) ? maxima[index] : 0.0f;
}

QSize Oscilloscope::sizeHint() const
{
    return {300, 200};
}

void Oscilloscope::setKikooMode(bool status)
{
    kikooMode = status;
}

void Oscilloscope::setZoom(int, float value)
{
    const float samples = value * 1020.0f + 4.0f;
    if (std::isfinite(samples) && fitsInt(samples)) zoom = int(samples);
}

void Oscilloscope::process(float** inputs, int sampleframes)
{
    if (sampleframes <= 0 || !inputs || !inputs[0] || !inputs[1]) return;
    for (int k = 0; k < sampleframes; ++k) {
        if (sampleCounter >= zoom) {
            addPoint(blockExtremes.minimum, blockExtremes.maximum);
            blockExtremes = {};
            sampleCounter = 0;
        }
        blockExtremes.fold((inputs[0][k] + inputs[1][k]) * 0.5f);
        ++sampleCounter;
    }
}

void Oscilloscope::setRing(const float* ring, int size)
{
    const bool usable = ring && size >= 1;
    ringBuffer = usable ? ring : nullptr;
    ringSize = usable ? size : 0;
    ringReadPos = 0;
}

void Oscilloscope::process2()
{
    if (!ringBuffer) return;
    for (int n = 0; n < kRingSamplesPerCall; ++n) {
        if (ringReadPos >= ringSize) ringReadPos = 0;
        if (sampleCounter >= zoom) {
            const QMutexLocker lock(&ringMutex);
            addPoint(ringExtremes.minimum, ringExtremes.maximum);
            ringExtremes = {};
            sampleCounter = 0;
        }
        ringExtremes.fold(ringBuffer[ringReadPos]);
        ++ringReadPos;
        ++sampleCounter;
    }
}

void Oscilloscope::addPoint(float min, float max)
{
    fedLocally = true;
    const int across = pointsAcross();
    if (across < 1) return;
    // The widget may have shrunk since the last point.
    pointCount = std::min(pointCount, across);
    localPoints = std::min(localPoints, across);
    if (pointCount < across) {
        minima[pointCount] = min;
        maxima[pointCount] = max;
        ++pointCount;
    } else if (kikooMode) {
        // The beam starts over at the left, over the points of its last sweep.
        minima[0] = min;
        maxima[0] = max;
        pointCount = 1;
    } else {
        std::copy(minima + 1, minima + across, minima);
        std::copy(maxima + 1, maxima + across, maxima);
        minima[across - 1] = min;
        maxima[across - 1] = max;
    }
    localPoints = std::max(localPoints, pointCount);
}

int Oscilloscope::pointsAcross() const
{
    return std::min(width() / xStep, capacity);
}

int Oscilloscope::barsToDraw()
{
    if (fedLocally) return std::min(localPoints, pointsAcross());
    // The engine's own count is not consulted: points it has not written yet are zero and
    // lie on the middle line.
    pointCount = std::min(kSharedPoints, capacity);
    return pointCount;
}

void Oscilloscope::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);

    const int mid = height() / 2;
    drawGuides(painter, mid);
    const int bars = barsToDraw();
    const double scale = height() * 0.5;
    for (int i = 0; i < bars; ++i)
        drawBar(painter, i, bars, mid, scale);
    paintedMinima.assign(minima, minima + capacity);
    paintedMaxima.assign(maxima, maxima + capacity);
}

void Oscilloscope::drawGuides(QPainter& painter, int mid) const
{
    painter.setPen(QColor(QStringLiteral("gray")));
    for (const int y : {mid, height() / 4, 3 * height() / 4})
        painter.drawLine(0, y, width(), y);
}

// The oldest bars are the faintest.
void Oscilloscope::drawBar(QPainter& painter, int index, int bars, int mid, double scale) const
{
    const auto rows = blockreading::barRows(minima[index], maxima[index], mid, scale);
    if (!rows) return;
    QColor colour = traceColor;
    colour.setAlpha(int(float(index) * 200.0f / float(bars) + 55.0f));
    // A one-pixel column filled, not a line drawn: no pen to make for each of the 256 bars
    // of every frame the trace moves.
    const int x = index * xStep;
    const int first = std::min(rows->top, rows->bottom);
    painter.fillRect(x, first, 1, std::abs(rows->bottom - rows->top) + 1, colour);
}
