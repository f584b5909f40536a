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

// The editor's knobs are 51 pixels and its push buttons 16; it reduces the larger drawings to
// that. A 2x editor shows them at twice those sizes, so that is all their @2x images need.
constexpr int kEditorKnobSide = 51;
constexpr int kEditorPushButtonSide = 16;

// Each image comes twice: as the editor draws it at 1x, and under the same name with "@2x"
// for an editor drawn larger.
struct Artwork {
    QString path; // of the 1x image, relative to the output folder
    std::function<QImage()> render;
    std::function<QImage()> renderDouble;
};

Artwork pushButton(const QString& path, PushButtonLight light)
{
    return {path, [light] { return renderPushButton(light); },
            [light] { return renderPushButton(light, 2 * kEditorPushButtonSide); }};
}

Artwork pill(const QString& path, PillState state)
{
    return {path, [state] { return renderPill(state); }, [state] { return renderPill(state, 2); }};
}

std::vector<Artwork> artworks()
{
    return {
        {"ombrel 2bis.png", [] { return renderKnobStrip(); },
         [] { return renderKnobStrip(2 * kEditorKnobSide); }},
        pushButton("push blue ombrel/push blue ombrel.png", PushButtonLight::Unlit),
        pushButton("push blue ombrel/push blue ombrel1.png", PushButtonLight::Dim),
        pushButton("push blue ombrel/push blue ombrel2.png", PushButtonLight::Lit),
        pill("buttonnormal.png", PillState::Normal),
        pill("buttonactive.png", PillState::Active),
        pill("buttonpressed.png", PillState::Pressed),
    };
}

// "name.png" -> "name@2x.png", the name under which Qt looks for an image's 2x version.
QString doublePath(const QString& path)
{
    return path.chopped(4) + QStringLiteral("@2x.png");
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

bool writeImage(const QDir& folder, const QString& relativePath, const QImage& image)
{
    const QString path = folder.filePath(relativePath);
    if (!QDir().mkpath(QFileInfo(path).path())) {
        std::fprintf(stderr, "pravolindel3-artwork: cannot create the folder of %s\n",
                     qPrintable(path));
        return false;
    }
    if (!writePng(image, path)) return false;
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool writeArtwork(const QDir& folder, const Artwork& artwork)
{
    return writeImage(folder, artwork.path, artwork.render()) &&
           writeImage(folder, doublePath(artwork.path), artwork.renderDouble());
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
