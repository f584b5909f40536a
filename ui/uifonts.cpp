#include "uifonts.h"

#include <QFontDatabase>
#include <QString>
#include <QStringList>

namespace {

const QString kCaptionFamily = QStringLiteral("Tw Cen MT Condensed Extra Bold");
const QString kMenuFamily = QStringLiteral("Tw Cen MT Condensed");
// The family of both shipped files: the bold cut stands in for the caption family, the
// regular cut for the menu family.
const QString kShippedFamily = QStringLiteral("Roboto Condensed");

constexpr int kGroupPointSize = 14;
constexpr int kLabelPointSize = 9;
constexpr int kMenuPointSize = 12;

// The caption family is a bold design at normal weight; its stand-in is the bold cut of a
// family with several weights. So the weight follows whichever family will be found: asking
// the caption family for bold would thicken it a second time.
QFont captionFont(int pointSize)
{
    QFont font;
    font.setFamilies({kCaptionFamily, kShippedFamily});
    font.setPointSize(pointSize);
    font.setWeight(QFontDatabase::hasFamily(kCaptionFamily) ? QFont::Normal : QFont::Bold);
    return font;
}

} // namespace

int registerCaptionFontFile()
{
    return QFontDatabase::addApplicationFont(QStringLiteral(":/Resources/TCCEB.TTF"));
}

int registerMenuFontFile()
{
    return QFontDatabase::addApplicationFont(QStringLiteral(":/Resources/TCCM.TTF"));
}

QFont groupFont()
{
    return captionFont(kGroupPointSize);
}

QFont labelFont()
{
    return captionFont(kLabelPointSize);
}

QFont menuFont()
{
    QFont font;
    font.setFamilies({kMenuFamily, kShippedFamily});
    font.setPointSize(kMenuPointSize);
    font.setWeight(QFont::Normal);
    return font;
}
