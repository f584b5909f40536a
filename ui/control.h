// The base of the UI's parameter controls (Knob, Button): a widget bound to one parameter
// index, its tag. At construction it registers with the main widget, so that values from the
// plug-in reach it, and it sends every edit the user makes to the plug-in through the main
// widget's channel. GUI thread only.
#pragma once

#include <QPointer>
#include <QWidget>

#include <deque>

class MainWidget;
class UICommunication;

class Control : public QWidget {
    Q_OBJECT

public:
    // parent: the widget the control sits in, inside the main widget's window. A control that
    // finds no main widget says so once and stays a local widget that sends nothing.
    explicit Control(QWidget* parent);
    ~Control() override;

    // The parameter index this control shows and edits; negative: edits are not sent.
    int controlTag() const { return tag; }
    // A value the plug-in sent for this control's parameter. The plug-in echoes every value the
    // control sends it, 10 to 30 ms later; until the echo of the last one is back, what arrives
    // is older than what the control shows (an echo, or a value the plug-in had before it took
    // the control's), and showing it would move the control back under the user's hand. Once
    // every echo is back, values go to setValue.
    void setValueFromPlugin(float value);
    // A value came from outside and has not been painted yet.
    bool isChanged() const { return changed; }

signals:
    void valueChanged(int tag, float value);
    void beginEdit(int index);
    void endEdit(int index);

public slots:
    // Shows a value from the plug-in: stores it and marks the control changed, without
    // emitting anything or repainting (the main widget's refresh repaints).
    virtual void setValue(float value) = 0;
    // Sends one parameter record through the channel; nothing without a channel or for a
    // negative tag.
    void setParameterAutomated(int tag, float value);
    // Edit brackets from the plug-in's side: nothing sends them, and they change nothing.
    void plugBeginEdit(int index);
    void plugEndEdit(int index);

protected:
    int tag = -1;
    bool changed = false;

private:
    void registerWith(MainWidget* widget);

    // Guarded: a control found the main widget by a search and may outlive it.
    QPointer<MainWidget> mainWidget;
    UICommunication* communication = nullptr;
    // Values this control sent whose echo has not come back yet, oldest first.
    std::deque<float> unechoed;
};
