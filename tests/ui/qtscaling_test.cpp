// The environment the UI sets for itself before Qt starts, so that Qt leaves the scaling to it.
#include "qtscaling.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <map>

namespace {

const char* const kVariables[] = {"QT_ENABLE_HIGHDPI_SCALING", "QT_FONT_DPI", "QT_SCALE_FACTOR",
                                  "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR"};

// Puts the variables back as they were: the UI programs the other tests start inherit them.
class QtScaling : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : kVariables)
            if (qEnvironmentVariableIsSet(name)) saved[name] = qgetenv(name);
    }
    void TearDown() override
    {
        for (const char* name : kVariables)
            saved.count(name) ? qputenv(name, saved[name]) : qunsetenv(name);
    }

    std::map<const char*, QByteArray> saved;
};

} // namespace

TEST_F(QtScaling, SwitchesScalingOffPinsTheFontResolutionAndDropsTheFactors)
{
    qputenv("QT_ENABLE_HIGHDPI_SCALING", QByteArrayLiteral("1"));
    qputenv("QT_FONT_DPI", QByteArrayLiteral("192"));
    qputenv("QT_SCALE_FACTOR", QByteArrayLiteral("2"));
    qputenv("QT_SCREEN_SCALE_FACTORS", QByteArrayLiteral("DP-1=1.5;HDMI-1=2"));
    qputenv("QT_AUTO_SCREEN_SCALE_FACTOR", QByteArrayLiteral("1"));
    switchOffQtScaling();
    EXPECT_EQ(qgetenv("QT_ENABLE_HIGHDPI_SCALING"), QByteArray("0"));
    EXPECT_EQ(qgetenv("QT_FONT_DPI"), QByteArray("96"));
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_SCALE_FACTOR"));
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_SCREEN_SCALE_FACTORS"));
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_AUTO_SCREEN_SCALE_FACTOR"));
}
