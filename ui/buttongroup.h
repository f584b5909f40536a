// Makes a set of toggle buttons an exclusive selection: a button toggled on becomes the
// selected one and the one selected before is turned off, its parameter sent as 0.0. A
// locking group also locks its selected button, so that clicking it again does nothing.
// GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>

class Button;

class ButtonGroup : public QObject {
    Q_OBJECT

public:
    ButtonGroup() = default;

    void addButton(Button* button);
    // Forgets the button; when it was the selected one, nothing is selected any more (the
    // button keeps its lock).
    void removeButton(Button* button);

    // Locking is on from construction.
    void setLockSelected(bool on) { lockSelected = on; }
    Button* selected() const { return selectedButton; }

private slots:
    void exclusivitor(bool on);

private:
    QPointer<Button> selectedButton;
    bool lockSelected = true;
};
