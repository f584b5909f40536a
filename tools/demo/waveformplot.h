// A picture of a render: the input's and the output's waveforms one above the
// other, each channel in its own strip, on a time axis in bars and beats, with
// the timeline's events marked and labelled and the stretches where the output
// differs from the input shaded. Qt Gui only: a QImage painted with QPainter.
#pragma once

#include "audiobuffer.h"
#include "timeline.h"

#include <QImage>
#include <QString>

#include <vector>

class QPainter;

namespace pl3demo {

struct PlotData {
    QString title;
    QString subtitle;
    const hostcore::PlanarBuffer* input = nullptr;
    const hostcore::PlanarBuffer* output = nullptr;
    double sampleRate = 44100.0;
    double tempo = 120.0;
    double startBeat = 0.0;
    std::vector<pl3render::TimelineEvent> events; // in position order
};

class WaveformPlot {
public:
    explicit WaveformPlot(PlotData data);

    QImage render() const;

private:
    // Events at one position share one marker and one label.
    struct Marker {
        double x = 0.0;
        QString heading; // the events' notes
        QString detail;  // the events themselves
        int row = 0;
        double width = 0.0;
    };
    struct Strip {
        const hostcore::PlanarBuffer* audio;
        int channel;
        double top;
        QString name;
        bool output;
    };

    std::vector<Marker> makeMarkers() const;
    // Answers the number of label rows used.
    int placeLabels(std::vector<Marker>& markers) const;
    double xOfFrame(double frame) const;
    double beats() const;

    void drawTitle(QPainter& p) const;
    void drawLabels(QPainter& p, const std::vector<Marker>& markers) const;
    void drawGrid(QPainter& p, double top, double bottom) const;
    void drawDifference(QPainter& p, const Strip& strip) const;
    void drawStrip(QPainter& p, const Strip& strip) const;
    void drawMarkers(QPainter& p, const std::vector<Marker>& markers, double top,
                     double bottom) const;
    void drawAxis(QPainter& p, double top) const;
    void drawLegend(QPainter& p, double top) const;

    PlotData data_;
    std::size_t frames_;
};

} // namespace pl3demo
