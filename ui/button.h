// The image push button: draws one of up to five state images stretched over its area and
// reports presses as the values 1.0 and 0.0.
//
// Momentary (the default): the left button holds the parameter at 1.0 until its release; the
// right button latches it at 1.0 until the next press of any button, which sends 0.0. Toggle
// mode (checkable): each left click flips an on/off state. GUI thread only.
#pragma once

#include "control.h"

#include <QColor>
#include <QPixmap>
#include <QString>

#include <array>

class Button : public Control {
    Q_OBJECT
    Q_PROPERTY(QPixmap normalPIX READ normalPIX WRITE setNormalPixmap)
    Q_PROPERTY(QPixmap pressedPIX READ pressedPIX WRITE setPressedPixmap)
    Q_PROPERTY(QPixmap activePIX READ activePIX WRITE setActivePixmap)
    Q_PROPERTY(QPixmap hoverPIX READ hoverPIX WRITE setHoverPixmap)
    Q_PROPERTY(QPixmap disabledPIX READ disabledPIX WRITE setDisabledPixmap)

public:
    // The state images. None: nothing has been shown yet.
    enum class Face { None, Normal, Pressed, Active, Hover, Disabled };

    Button(QWidget* parent, int tag);

    // Each takes the image as given (a null image is ignored) and works from a copy scaled to
    // the widget at every resize; an image with a device pixel ratio of 2 is scaled to twice
    // the widget's size and drawn at its size. The normal image also becomes the one shown.
    void setNormalPixmap(const QPixmap& pixmap);
    void setPressedPixmap(const QPixmap& pixmap);
    void setActivePixmap(const QPixmap& pixmap);
    void setHoverPixmap(const QPixmap& pixmap);
    void setDisabledPixmap(const QPixmap& pixmap);
    // Gives a state another drawing of its image (one for another scale), leaving the state
    // shown as it is. A null image is ignored.
    void replaceImage(Face face, const QPixmap& pixmap);
    // The images as they were set, unscaled.
    QPixmap normalPIX() const { return image(Face::Normal); }
    QPixmap pressedPIX() const { return image(Face::Pressed); }
    QPixmap activePIX() const { return image(Face::Active); }
    QPixmap hoverPIX() const { return image(Face::Hover); }
    QPixmap disabledPIX() const { return image(Face::Disabled); }

    void setCheckable(bool on) { checkable = on; }
    // A locked toggle button ignores left clicks, hovering and values: a group's selection.
    void setLocked(bool on) { locked = on; }
    bool isLocked() const { return locked; }
    bool isToggledOn() const { return toggledOn; }
    bool isRightLatched() const { return rightLatched; }
    // The state image that paint draws (which may be missing).
    Face shownFace() const { return currentFace; }
    // The working copy of a state image, scaled to the widget (in the image's device pixels);
    // null when that image is unset.
    QPixmap workingCopy(Face face) const;

    // The caption drawn over the image; with state texts it follows the toggle state.
    void setText(const QString& caption);
    void setStateTexts(const QString& whenOff, const QString& whenOn);
    QString caption() const { return text; }
    // Shown while the pointer is over the button.
    void setToolTipText(const QString& tip) { toolTipText = tip; }

    QSize sizeHint() const override;

public slots:
    // A value from the plug-in. Momentary: pressed image from 0.5 on. Toggle mode (unless
    // locked): on for any value but 0, and toggled is emitted. Not finite: ignored.
    void setValue(float v) override;

signals:
    void toggled(bool on);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static constexpr int kFaceCount = 6;

    QPixmap image(Face face) const;
    void setImage(Face face, const QPixmap& pixmap);
    bool hasImage(Face face) const;
    // The image of face scaled to area, in the image's device pixels.
    QPixmap fittedCopy(Face face, QSize area) const;
    // The toggle-mode image for on: the active image, or the pressed one without it.
    Face onFace() const;
    bool hovers() const;
    void unlatch();
    void releaseToggle();

    Face currentFace = Face::None;
    // Indexed by Face; the images as set, and their copies scaled to the widget.
    std::array<QPixmap, kFaceCount> images;
    std::array<QPixmap, kFaceCount> workingCopies;
    bool toggledOn = false;
    bool checkable = false;
    bool locked = false;
    QString text;
    QString offText;
    QString onText;
    QString toolTipText;
    bool rightLatched = false;
};
