#include "knobstrip.h"

#include "palette.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace pl3artwork {
namespace {

// Angles on a clock face: degrees clockwise from twelve o'clock. Seven o'clock to five
// o'clock clockwise leaves the usual gap at the bottom.
constexpr double kMinimumAngle = 210.0;
constexpr double kSweep = 300.0;

// Radii in frame pixels around the centre. The arc sits outside the knob's skirt so that it
// stays readable when the frame is scaled down to a quarter.
constexpr double kArcRadius = 88.0;
constexpr double kArcWidth = 10.0;
constexpr double kShadowRadius = 84.0;
constexpr double kSkirtRadius = 76.0;
constexpr double kBodyRadius = 64.0;
constexpr double kFaceRadius = 55.0;
constexpr double kPointerInner = 20.0;
constexpr double kPointerOuter = 58.0;

QRectF circle(double radius)
{
    return QRectF(-radius, -radius, 2 * radius, 2 * radius);
}

// QPainter counts arcs in sixteenths of a degree, counter-clockwise from three o'clock.
int qtArcAngle(double clockAngle)
{
    return static_cast<int>(std::lround((90.0 - clockAngle) * 16.0));
}

int qtArcSpan(double clockwiseDegrees)
{
    return static_cast<int>(std::lround(-clockwiseDegrees * 16.0));
}

void drawArc(QPainter& p, double radius, double fromAngle, double sweep, const QPen& pen)
{
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(circle(radius), qtArcAngle(fromAngle), qtArcSpan(sweep));
}

// The knob stands on the panel: a soft shadow falls below it, lit from the upper left.
void drawShadow(QPainter& p)
{
    QRadialGradient shadow(QPointF(0, 6), kShadowRadius);
    shadow.setColorAt(0.0, QColor(0, 0, 0, 190));
    shadow.setColorAt(0.78, QColor(0, 0, 0, 120));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(circle(kShadowRadius).translated(0, 6));
}

// A groove cut into the panel for the whole sweep, dark with a faint lit lower lip.
void drawArcTrack(QPainter& p)
{
    QPen groove(QColor(8, 8, 8, 230), kArcWidth + 2, Qt::SolidLine, Qt::FlatCap);
    drawArc(p, kArcRadius, kMinimumAngle, kSweep, groove);
    QPen lip(QColor(255, 255, 255, 28), 1.5, Qt::SolidLine, Qt::FlatCap);
    drawArc(p, kArcRadius + kArcWidth / 2 + 1.5, kMinimumAngle, kSweep, lip);
}

// The value from the minimum to the pointer, glowing a little into the groove. Nothing is
// drawn at the minimum: the arc is empty there.
void drawValueArc(QPainter& p, double position)
{
    const double sweep = kSweep * position;
    if (sweep <= 0.0) return;
    QColor halo = accentBlue();
    halo.setAlpha(70);
    drawArc(p, kArcRadius, kMinimumAngle, sweep,
            QPen(halo, kArcWidth + 6, Qt::SolidLine, Qt::FlatCap));
    drawArc(p, kArcRadius, kMinimumAngle, sweep,
            QPen(accentBlue(), kArcWidth - 2, Qt::SolidLine, Qt::FlatCap));
    drawArc(p, kArcRadius - 1, kMinimumAngle, sweep,
            QPen(QColor(140, 210, 250, 200), 2.5, Qt::SolidLine, Qt::FlatCap));
}

// The skirt: a turned aluminium ring whose reflections stay put while the knob turns.
void drawSkirt(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(10, 10, 10));
    p.drawEllipse(circle(kSkirtRadius + 1.5));

    QConicalGradient metal(QPointF(0, 0), 0);
    const QColor light(205, 205, 208);
    const QColor mid(128, 128, 132);
    const QColor dark(62, 62, 66);
    metal.setColorAt(0.00, mid);
    metal.setColorAt(0.10, dark);
    metal.setColorAt(0.25, mid);
    metal.setColorAt(0.37, light);
    metal.setColorAt(0.50, mid);
    metal.setColorAt(0.62, dark);
    metal.setColorAt(0.75, mid);
    metal.setColorAt(0.87, light);
    metal.setColorAt(1.00, mid);
    p.setBrush(metal);
    p.drawEllipse(circle(kSkirtRadius));

    // Shade the ring's lower half so that it reads as a cylinder lit from above.
    QLinearGradient shade(QPointF(0, -kSkirtRadius), QPointF(0, kSkirtRadius));
    shade.setColorAt(0.0, QColor(255, 255, 255, 40));
    shade.setColorAt(0.5, QColor(0, 0, 0, 0));
    shade.setColorAt(1.0, QColor(0, 0, 0, 120));
    p.setBrush(shade);
    p.drawEllipse(circle(kSkirtRadius));
}

// The cap: dark plastic, a radial gradient lit from the upper left, with a bright edge on the
// lit side and a darker one opposite.
void drawBody(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(12, 12, 12));
    p.drawEllipse(circle(kBodyRadius + 2));

    QRadialGradient body(QPointF(0, 0), kBodyRadius * 1.25, QPointF(-24, -28));
    body.setColorAt(0.0, QColor(104, 104, 108));
    body.setColorAt(0.45, QColor(58, 58, 62));
    body.setColorAt(1.0, QColor(22, 22, 24));
    p.setBrush(body);
    p.drawEllipse(circle(kBodyRadius));

    QPen litEdge(QColor(255, 255, 255, 80), 2.0, Qt::SolidLine, Qt::FlatCap);
    drawArc(p, kBodyRadius - 1, 250.0, 140.0, litEdge);
    QPen darkEdge(QColor(0, 0, 0, 110), 2.0, Qt::SolidLine, Qt::FlatCap);
    drawArc(p, kBodyRadius - 1, 70.0, 140.0, darkEdge);
}

// A slightly dished top face: lit on the far side from the light, as a hollow is.
void drawFace(QPainter& p)
{
    QLinearGradient dish(QPointF(-kFaceRadius, -kFaceRadius), QPointF(kFaceRadius, kFaceRadius));
    dish.setColorAt(0.0, QColor(30, 30, 33));
    dish.setColorAt(1.0, QColor(74, 74, 78));
    p.setPen(QPen(QColor(0, 0, 0, 90), 1.5));
    p.setBrush(dish);
    p.drawEllipse(circle(kFaceRadius));
}

// The reflection of the light on the cap, a soft oval towards the upper left.
void drawHighlight(QPainter& p)
{
    p.save();
    p.rotate(-35);
    QRadialGradient gloss(QPointF(0, -32), 38);
    gloss.setColorAt(0.0, QColor(255, 255, 255, 95));
    gloss.setColorAt(0.6, QColor(255, 255, 255, 25));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawEllipse(QRectF(-38, -56, 76, 48));
    p.restore();
}

// The white line on the cap, with its shadow cast down and to the right.
void drawPointer(QPainter& p, double clockAngle)
{
    p.save();
    p.rotate(clockAngle);
    const QLineF line(0, -kPointerInner, 0, -kPointerOuter);
    p.setPen(QPen(QColor(0, 0, 0, 150), 10, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(line.translated(QPointF(1.5, 2.5) * QTransform().rotate(-clockAngle)));
    p.setPen(QPen(QColor(236, 236, 236), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(line);
    p.setPen(QPen(QColor(255, 255, 255), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(line.translated(-1, 0));
    p.restore();
}

} // namespace

QImage renderKnobFrame(double position, int frameSize)
{
    QImage frame(frameSize, frameSize, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    QPainter p(&frame);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(frameSize) / kKnobFrameSize, double(frameSize) / kKnobFrameSize);
    p.translate(kKnobFrameSize / 2.0, kKnobFrameSize / 2.0);
    drawShadow(p);
    drawArcTrack(p);
    drawValueArc(p, position);
    drawSkirt(p);
    drawBody(p);
    drawFace(p);
    drawHighlight(p);
    drawPointer(p, kMinimumAngle + kSweep * position);
    return frame;
}

QImage renderKnobStrip(int frameSize)
{
    QImage strip(frameSize, frameSize * kKnobFrameCount, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    for (int i = 0; i < kKnobFrameCount; ++i)
        p.drawImage(0, i * frameSize,
                    renderKnobFrame(static_cast<double>(i) / (kKnobFrameCount - 1), frameSize));
    return strip;
}

} // namespace pl3artwork
