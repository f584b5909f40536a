// The fonts the bundle carries and the fonts the widgets are given: the Tw Cen MT families
// where the system has them, the shipped Roboto Condensed cuts otherwise.
#include "uifonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

const QString kCaptionFamily = QStringLiteral("Tw Cen MT Condensed Extra Bold");
const QString kMenuFamily = QStringLiteral("Tw Cen MT Condensed");
const QString kShipped = QStringLiteral("Roboto Condensed");

QRawFont rawFont(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QRawFont(file.readAll(), 12);
}

// The family a role's font resolves to on this system.
QString expectedFamily(const QString& preferred)
{
    return QFontDatabase::hasFamily(preferred) ? preferred : kShipped;
}

class UiFonts : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(registerCaptionFontFile(), 0);
        ASSERT_GE(registerMenuFontFile(), 0);
    }
};

} // namespace

TEST(ShippedFonts, BothFilesRegisterAsRobotoCondensed)
{
    const int caption = registerCaptionFontFile();
    const int menu = registerMenuFontFile();
    ASSERT_GE(caption, 0);
    ASSERT_GE(menu, 0);
    EXPECT_EQ(QFontDatabase::applicationFontFamilies(caption), QStringList{kShipped});
    EXPECT_EQ(QFontDatabase::applicationFontFamilies(menu), QStringList{kShipped});
}

TEST(ShippedFonts, CaptionFileIsTheBoldCutAndMenuFileTheRegularOne)
{
    const QRawFont caption = rawFont(QStringLiteral(":/Resources/TCCEB.TTF"));
    const QRawFont menu = rawFont(QStringLiteral(":/Resources/TCCM.TTF"));
    ASSERT_TRUE(caption.isValid());
    ASSERT_TRUE(menu.isValid());
    EXPECT_EQ(caption.weight(), QFont::Bold);
    EXPECT_EQ(menu.weight(), QFont::Normal);
}

TEST(ShippedFonts, MenuFileRegistersAgainEachTime)
{
    const int first = registerMenuFontFile();
    const int second = registerMenuFontFile();
    EXPECT_GE(first, 0);
    EXPECT_GE(second, 0);
    EXPECT_NE(first, second);
}

TEST_F(UiFonts, GroupFontAsksForTheCaptionFamilyAt14PointAndFallsBackToTheShippedOne)
{
    const QFont font = groupFont();
    EXPECT_EQ(font.families(), (QStringList{kCaptionFamily, kShipped}));
    EXPECT_EQ(font.pointSize(), 14);
    EXPECT_EQ(QFontInfo(font).family(), expectedFamily(kCaptionFamily));
}

TEST_F(UiFonts, LabelFontAsksForTheCaptionFamilyAt9Point)
{
    const QFont font = labelFont();
    EXPECT_EQ(font.families(), (QStringList{kCaptionFamily, kShipped}));
    EXPECT_EQ(font.pointSize(), 9);
    EXPECT_EQ(QFontInfo(font).family(), expectedFamily(kCaptionFamily));
}

TEST_F(UiFonts, CaptionsAreBoldInEitherFamily)
{
    // The caption family is bold by design; its stand-in has to be asked for its bold cut.
    const bool standIn = !QFontDatabase::hasFamily(kCaptionFamily);
    for (const QFont& font : {groupFont(), labelFont()}) {
        const QFontInfo info(font);
        EXPECT_EQ(info.bold(), standIn) << qPrintable(info.family());
        EXPECT_EQ(info.weight(), standIn ? QFont::Bold : QFont::Normal)
            << qPrintable(info.family());
    }
}

TEST_F(UiFonts, MenuFontAsksForTheMenuFamilyAt12PointInItsRegularCut)
{
    const QFont font = menuFont();
    EXPECT_EQ(font.families(), (QStringList{kMenuFamily, kShipped}));
    EXPECT_EQ(font.pointSize(), 12);
    const QFontInfo info(font);
    EXPECT_EQ(info.family(), expectedFamily(kMenuFamily));
    EXPECT_FALSE(info.bold());
}
