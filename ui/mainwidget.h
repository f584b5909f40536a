// The UI's main window content: a fixed 260 x 517 widget that takes the parameter values the
// plug-in sends. For now it keeps the values and reports each one on the debug output.
// GUI thread only.
#pragma once

#include <QWidget>

#include <array>

class UICommunication;

class MainWidget : public QWidget {
    Q_OBJECT

public:
    // communication: the channel, or null when the UI runs without a plug-in.
    explicit MainWidget(UICommunication* communication, QWidget* parent = nullptr,
                        Qt::WindowFlags flags = {});

    // The last value set for a parameter index 0..23 (0 until one arrives), 0 outside it.
    float parameter(int index) const;

public slots:
    // A value that came from the plug-in; indices outside 0..23 are ignored.
    void setParameter(int index, float value);

private:
    static constexpr int kParameterCount = 24;

    UICommunication* communication;
    std::array<float, kParameterCount> values{};
};
