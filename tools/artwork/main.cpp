// Renders the UI's images into a folder laid out as the UI's resource folder:
//   pravolindel3-artwork <folder>
// Every file is written whole; an existing one is replaced.

#include "knobstrip.h"
#include "pill.h"
#include "pushbutton.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

using namespace pl3artwork;

struct Artwork {
    QString path; // relative to the output folder
    std::function<QImage()> render;
};

std::vector<Artwork> artworks()
{
    return {
        {"ombrel 2bis.png", renderKnobStrip},
        {"push blue ombrel/push blue ombrel.png",
         [] { return renderPushButton(PushButtonLight::Unlit); }},
        {"push blue ombrel/push blue ombrel1.png",
         [] { return renderPushButton(PushButtonLight::Dim); }},
        {"push blue ombrel/push blue ombrel2.png",
         [] { return renderPushButton(PushButtonLight::Lit); }},
        {"buttonnormal.png", [] { return renderPill(PillState::Normal); }},
        {"buttonactive.png", [] { return renderPill(PillState::Active); }},
        {"buttonpressed.png", [] { return renderPill(PillState::Pressed); }},
    };
}

// 8-bit RGBA PNG, compressed as far as zlib goes: the strip is most of the UI program's size.
bool writePng(const QImage& image, const QString& path)
{
    QImageWriter writer(path, "png");
    writer.setQuality(0);
    if (writer.write(image.convertToFormat(QImage::Format_ARGB32))) return true;
    std::fprintf(stderr, "pravolindel3-artwork: cannot write %s: %s\n", qPrintable(path),
                 qPrintable(writer.errorString()));
    return false;
}

bool writeArtwork(const QDir& folder, const Artwork& artwork)
{
    const QString path = folder.filePath(artwork.path);
    if (!QDir().mkpath(QFileInfo(path).path())) {
        std::fprintf(stderr, "pravolindel3-artwork: cannot create the folder of %s\n",
                     qPrintable(path));
        return false;
    }
    if (!writePng(artwork.render(), path)) return false;
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pravolindel3-artwork <output folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    for (const Artwork& artwork : artworks())
        if (!writeArtwork(folder, artwork)) return 1;
    return 0;
}
