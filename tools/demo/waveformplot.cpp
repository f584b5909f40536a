#include "waveformplot.h"

#include "eventschedule.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace pl3demo {

namespace {

constexpr int kWidth = 1800;
constexpr double kLeft = 118.0;
constexpr double kRight = 28.0;
constexpr double kTitleHeight = 78.0;
constexpr double kLabelRowHeight = 40.0;
constexpr double kStripHeight = 92.0;
constexpr double kStripGap = 6.0;
constexpr double kLaneGap = 34.0;
constexpr double kAxisHeight = 46.0;
constexpr double kLegendHeight = 34.0;
constexpr double kLabelPadding = 6.0;
constexpr double kLabelSpacing = 8.0;
constexpr double kBeatsPerBar = 4.0;
// Below this a difference is rounding, not a change the looper made.
constexpr float kDifferent = 1e-6f;

const QColor kBackground(0xfb, 0xfb, 0xfc);
const QColor kStripBackground(0xff, 0xff, 0xff);
const QColor kFrame(0xc9, 0xce, 0xd6);
const QColor kBarLine(0xd5, 0xd9, 0xe0);
const QColor kBeatLine(0xee, 0xf0, 0xf3);
const QColor kText(0x21, 0x25, 0x29);
const QColor kMuted(0x6c, 0x75, 0x7d);
const QColor kInputWave(0x2f, 0x6d, 0xb5);
const QColor kOutputWave(0xd9, 0x48, 0x0f);
const QColor kDifference(0xff, 0xe8, 0xd6);
const QColor kMarker(0x5f, 0x3d, 0xc4);
const QColor kMarkerQuiet(0xa0, 0xa7, 0xb0);

QFont font(int pixels, bool bold = false)
{
    QFont f("DejaVu Sans");
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QString eventText(const pl3render::TimelineEvent& event)
{
    const std::string text = pl3render::formatEvent(event);
    return QString::fromStdString(text.substr(0, text.rfind('@')));
}

QColor lighter(const QColor& colour, int alpha)
{
    QColor c = colour;
    c.setAlpha(alpha);
    return c;
}

} // namespace

WaveformPlot::WaveformPlot(PlotData data)
    : data_(std::move(data)), frames_(std::max(data_.input->frames(), data_.output->frames()))
{
}

double WaveformPlot::beats() const
{
    return frames_ * data_.tempo / (60.0 * data_.sampleRate);
}

double WaveformPlot::xOfFrame(double frame) const
{
    const double width = kWidth - kLeft - kRight;
    return kLeft + (frames_ ? frame / frames_ * width : 0.0);
}

std::vector<WaveformPlot::Marker> WaveformPlot::makeMarkers() const
{
    // The axis counts beats at one tempo, and so do the markers.
    const hostcore::TempoMap tempo(data_.tempo);
    std::vector<Marker> markers;
    double lastBeat = -1.0;
    for (const auto& event : data_.events) {
        const auto frame = std::max<std::int64_t>(
            0, pl3render::frameOfBeat(event.beat, data_.startBeat, tempo, data_.sampleRate));
        if (static_cast<std::size_t>(frame) > frames_) continue;
        if (markers.empty() || event.beat != lastBeat) {
            markers.emplace_back();
            markers.back().x = xOfFrame(frame);
        }
        lastBeat = event.beat;
        Marker& marker = markers.back();
        const QString note = QString::fromStdString(event.note);
        if (!note.isEmpty()) marker.heading += (marker.heading.isEmpty() ? "" : " · ") + note;
        marker.detail += (marker.detail.isEmpty() ? "" : ", ") + eventText(event);
    }
    return markers;
}

// Labels go in the first row where they clear the label before them, so
// events close together stack instead of overlapping.
int WaveformPlot::placeLabels(std::vector<Marker>& markers) const
{
    const QFontMetricsF headingMetrics(font(13, true));
    const QFontMetricsF detailMetrics(font(11));
    std::vector<double> rowEnds;
    for (Marker& marker : markers) {
        marker.width = std::max(headingMetrics.horizontalAdvance(marker.heading),
                                detailMetrics.horizontalAdvance(marker.detail)) +
                       2 * kLabelPadding;
        std::size_t row = 0;
        while (row < rowEnds.size() && rowEnds[row] + kLabelSpacing > marker.x)
            ++row;
        if (row == rowEnds.size()) rowEnds.push_back(0.0);
        rowEnds[row] = marker.x + marker.width;
        marker.row = static_cast<int>(row);
    }
    return std::max(1, static_cast<int>(rowEnds.size()));
}

QImage WaveformPlot::render() const
{
    std::vector<Marker> markers = makeMarkers();
    const int labelRows = placeLabels(markers);

    const double lanesTop = kTitleHeight + labelRows * kLabelRowHeight + 14.0;
    const double laneHeight = 2 * kStripHeight + kStripGap;
    const std::vector<Strip> strips = {
        {data_.input, 0, lanesTop, "Input L", false},
        {data_.input, 1, lanesTop + kStripHeight + kStripGap, "Input R", false},
        {data_.output, 0, lanesTop + laneHeight + kLaneGap, "Output L", true},
        {data_.output, 1, lanesTop + laneHeight + kLaneGap + kStripHeight + kStripGap, "Output R",
         true},
    };
    const double lanesBottom = strips.back().top + kStripHeight;
    const int height = static_cast<int>(lanesBottom + kAxisHeight + kLegendHeight + 10.0);

    QImage image(kWidth, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(kBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    drawTitle(p);
    for (const Strip& strip : strips) {
        drawDifference(p, strip);
        drawGrid(p, strip.top, strip.top + kStripHeight);
        drawStrip(p, strip);
    }
    drawMarkers(p, markers, kTitleHeight, lanesBottom);
    drawLabels(p, markers);
    drawAxis(p, lanesBottom);
    drawLegend(p, lanesBottom + kAxisHeight);
    return image;
}

void WaveformPlot::drawTitle(QPainter& p) const
{
    p.setPen(kText);
    p.setFont(font(24, true));
    p.drawText(QPointF(kLeft, 36.0), data_.title);
    p.setPen(kMuted);
    p.setFont(font(14));
    p.drawText(QPointF(kLeft, 60.0), data_.subtitle);
}

void WaveformPlot::drawLabels(QPainter& p, const std::vector<Marker>& markers) const
{
    for (const Marker& marker : markers) {
        const double top = kTitleHeight + marker.row * kLabelRowHeight;
        const bool noted = !marker.heading.isEmpty();
        const double left = std::min(marker.x, kWidth - kRight - marker.width);
        const QRectF box(left, top, marker.width, kLabelRowHeight - 6.0);
        p.setPen(QPen(noted ? kMarker : kMarkerQuiet, 1.0));
        p.setBrush(noted ? QColor(0xf3, 0xf0, 0xff) : QColor(0xf4, 0xf5, 0xf7));
        p.drawRoundedRect(box, 4.0, 4.0);
        if (noted) {
            p.setPen(kMarker.darker(130));
            p.setFont(font(13, true));
            p.drawText(QPointF(left + kLabelPadding, top + 15.0), marker.heading);
        }
        p.setPen(kMuted);
        p.setFont(font(11));
        p.drawText(QPointF(left + kLabelPadding, top + (noted ? 29.0 : 22.0)), marker.detail);
    }
}

void WaveformPlot::drawGrid(QPainter& p, double top, double bottom) const
{
    const double samplesPerBeat = 60.0 * data_.sampleRate / data_.tempo;
    for (int beat = 0; beat <= static_cast<int>(beats()); ++beat) {
        const bool bar = beat % static_cast<int>(kBeatsPerBar) == 0;
        p.setPen(QPen(bar ? kBarLine : kBeatLine, 1.0));
        const double x = xOfFrame(beat * samplesPerBeat);
        p.drawLine(QPointF(x, top), QPointF(x, bottom));
    }
}

void WaveformPlot::drawDifference(QPainter& p, const Strip& strip) const
{
    p.fillRect(QRectF(kLeft, strip.top, kWidth - kLeft - kRight, kStripHeight), kStripBackground);
    if (!strip.output) return;
    const auto& in = *data_.input;
    const auto& out = *data_.output;
    const std::size_t common = std::min(in.frames(), out.frames());
    for (int x = static_cast<int>(kLeft); x < kWidth - kRight; ++x) {
        const auto begin =
            static_cast<std::size_t>((x - kLeft) / (kWidth - kLeft - kRight) * frames_);
        const auto end =
            std::min(common, static_cast<std::size_t>((x + 1 - kLeft) / (kWidth - kLeft - kRight) *
                                                      frames_));
        bool differs = false;
        for (std::size_t f = begin; f < end && !differs; ++f)
            differs = std::fabs(in.at(strip.channel % in.channels(), f) -
                                out.at(strip.channel, f)) > kDifferent;
        if (differs) p.fillRect(QRectF(x, strip.top, 1.0, kStripHeight), kDifference);
    }
}

void WaveformPlot::drawStrip(QPainter& p, const Strip& strip) const
{
    const auto& audio = *strip.audio;
    const int channel = strip.channel % audio.channels();
    const double middle = strip.top + kStripHeight / 2.0;
    const double scale = kStripHeight / 2.0 - 3.0;
    const QColor colour = strip.output ? kOutputWave : kInputWave;
    p.setPen(QPen(kFrame, 1.0));
    p.drawLine(QPointF(kLeft, middle), QPointF(kWidth - kRight, middle));

    for (int x = static_cast<int>(kLeft); x < kWidth - kRight; ++x) {
        const double span = kWidth - kLeft - kRight;
        const auto begin = static_cast<std::size_t>((x - kLeft) / span * frames_);
        const auto end =
            std::min(audio.frames(), static_cast<std::size_t>((x + 1 - kLeft) / span * frames_));
        if (begin >= end) continue;
        float low = 0.0f, high = 0.0f;
        double energy = 0.0;
        for (std::size_t f = begin; f < end; ++f) {
            const float s = audio.at(channel, f);
            low = std::min(low, s);
            high = std::max(high, s);
            energy += double(s) * s;
        }
        const double rms = std::sqrt(energy / (end - begin));
        p.setPen(QPen(lighter(colour, 110), 1.0));
        p.drawLine(QPointF(x + 0.5, middle - high * scale), QPointF(x + 0.5, middle - low * scale));
        p.setPen(QPen(colour, 1.0));
        p.drawLine(QPointF(x + 0.5, middle - rms * scale), QPointF(x + 0.5, middle + rms * scale));
    }

    p.setPen(QPen(kFrame, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(kLeft, strip.top, kWidth - kLeft - kRight, kStripHeight));
    p.setPen(strip.output ? kOutputWave.darker(120) : kInputWave.darker(120));
    p.setFont(font(14, true));
    p.drawText(QRectF(8.0, strip.top, kLeft - 16.0, kStripHeight),
               Qt::AlignRight | Qt::AlignVCenter, strip.name);
}

void WaveformPlot::drawMarkers(QPainter& p, const std::vector<Marker>& markers, double top,
                               double bottom) const
{
    for (const Marker& marker : markers) {
        const bool noted = !marker.heading.isEmpty();
        QPen pen(lighter(noted ? kMarker : kMarkerQuiet, noted ? 200 : 170), 1.2);
        pen.setDashPattern({4.0, 3.0});
        p.setPen(pen);
        const double from = top + marker.row * kLabelRowHeight + kLabelRowHeight - 6.0;
        p.drawLine(QPointF(marker.x, from), QPointF(marker.x, bottom + 6.0));
        QPainterPath tip;
        tip.moveTo(marker.x, bottom + 2.0);
        tip.lineTo(marker.x - 4.5, bottom + 10.0);
        tip.lineTo(marker.x + 4.5, bottom + 10.0);
        tip.closeSubpath();
        p.fillPath(tip, noted ? kMarker : kMarkerQuiet);
    }
}

void WaveformPlot::drawAxis(QPainter& p, double top) const
{
    const double samplesPerBeat = 60.0 * data_.sampleRate / data_.tempo;
    const int bars = static_cast<int>(std::ceil(beats() / kBeatsPerBar));
    p.setFont(font(12));
    for (int beat = 0; beat <= static_cast<int>(beats()); ++beat) {
        const double x = xOfFrame(beat * samplesPerBeat);
        const bool bar = beat % static_cast<int>(kBeatsPerBar) == 0;
        p.setPen(QPen(bar ? kText : kMuted, 1.0));
        p.drawLine(QPointF(x, top + 12.0), QPointF(x, top + (bar ? 22.0 : 17.0)));
        if (bar && beat / kBeatsPerBar < bars)
            p.drawText(QRectF(x + 3.0, top + 14.0, 60.0, 18.0), Qt::AlignLeft | Qt::AlignVCenter,
                       QString::number(static_cast<int>(beat / kBeatsPerBar) + 1));
    }
    p.setPen(kMuted);
    p.drawText(QRectF(8.0, top + 14.0, kLeft - 16.0, 18.0), Qt::AlignRight | Qt::AlignVCenter,
               "bar");
    p.drawText(QRectF(kLeft, top + 28.0, kWidth - kLeft - kRight, 16.0),
               Qt::AlignRight | Qt::AlignVCenter,
               QString("ticks: beats at %1 BPM; bar lines every 4 beats").arg(data_.tempo));
}

void WaveformPlot::drawLegend(QPainter& p, double top) const
{
    double x = kLeft;
    const auto swatch = [&](const QColor& colour, const QString& text) {
        p.fillRect(QRectF(x, top + 8.0, 18.0, 12.0), colour);
        p.setPen(kText);
        p.setFont(font(12));
        p.drawText(QPointF(x + 24.0, top + 19.0), text);
        x += 34.0 + QFontMetricsF(font(12)).horizontalAdvance(text);
    };
    swatch(kInputWave, "input");
    swatch(kOutputWave, "output (pale: peaks, dark: RMS)");
    swatch(kDifference.darker(108), "output differs from the input");
    swatch(kMarker, "timeline event, as the timeline names it");
}

} // namespace pl3demo
