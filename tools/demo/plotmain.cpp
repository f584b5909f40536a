// pravolindel3-plot: draws a render's input and output with its timeline.
//   pravolindel3-plot [--tempo BPM] [--start BEATS] [--timeline FILE]
//                     [--title TEXT] [--subtitle TEXT] INPUT OUTPUT PNG
// Runs without a display: Qt's offscreen platform is all it needs.
#include "audiofile.h"
#include "numbers.h"
#include "temporaryfile.h"
#include "timeline.h"
#include "waveformplot.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QtGlobal>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Settings {
    double tempo = 120.0;
    double startBeat = 0.0;
    std::string timeline;
    std::string title = "PravoLindel3";
    std::string subtitle;
    std::vector<std::string> files; // input, output, picture
};

constexpr const char* kUsage = "usage: pravolindel3-plot [--tempo BPM] [--start BEATS] "
                               "[--timeline FILE] [--title TEXT] [--subtitle TEXT] "
                               "INPUT OUTPUT PNG";

double positive(const char* text, const char* option)
{
    const auto value = pl3render::parseDouble(text);
    if (!value || *value < 0.0) throw std::runtime_error(std::string(option) + " takes a number");
    return *value;
}

Settings parse(int argc, char** argv)
{
    Settings s;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool valued = i + 1 < argc;
        if (argument == "--tempo" && valued)
            s.tempo = positive(argv[++i], "--tempo");
        else if (argument == "--start" && valued)
            s.startBeat = positive(argv[++i], "--start");
        else if (argument == "--timeline" && valued)
            s.timeline = argv[++i];
        else if (argument == "--title" && valued)
            s.title = argv[++i];
        else if (argument == "--subtitle" && valued)
            s.subtitle = argv[++i];
        else if (argument.empty() || argument[0] != '-')
            s.files.push_back(argument);
        else
            throw std::runtime_error(kUsage);
    }
    if (s.files.size() != 3 || !(s.tempo > 0.0)) throw std::runtime_error(kUsage);
    return s;
}

// Qt's own notes go to stderr with the tool's name, except the offscreen
// platform's remark about a runtime folder it never uses.
void qtMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || message.contains("XDG_RUNTIME_DIR")) return;
    std::fprintf(stderr, "pravolindel3-plot: Qt: %s\n", message.toLocal8Bit().constData());
}

void writePng(const QImage& image, const std::string& path)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) throw std::runtime_error("cannot encode the picture");
    pl3render::TemporaryFile file(path);
    file.writeText(bytes.toStdString());
    file.commit();
}

} // namespace

int main(int argc, char** argv)
{
    // A picture needs no screen; this keeps the tool working over ssh and in CI.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(qtMessage);
    QGuiApplication application(argc, argv);
    try {
        const Settings s = parse(argc, argv);
        const pl3render::AudioData input = pl3render::readAudioFile(s.files[0]);
        const pl3render::AudioData output = pl3render::readAudioFile(s.files[1]);
        if (input.sampleRate != output.sampleRate)
            throw std::runtime_error("input and output have different sample rates");

        pl3demo::PlotData data;
        data.title = QString::fromStdString(s.title);
        data.subtitle = QString::fromStdString(s.subtitle);
        data.input = &input.samples;
        data.output = &output.samples;
        data.sampleRate = input.sampleRate;
        data.tempo = s.tempo;
        data.startBeat = s.startBeat;
        if (!s.timeline.empty()) data.events = pl3render::readTimelineFile(s.timeline);
        pl3render::sortByPosition(data.events);
        writePng(pl3demo::WaveformPlot(std::move(data)).render(), s.files[2]);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pravolindel3-plot: %s\n", error.what());
        return 1;
    }
}
