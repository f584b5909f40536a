// A minimal text label for the value displays under the knobs. Setting a text only marks the
// display changed; the main widget's refresh repaints it. GUI thread only.
#pragma once

#include <QString>
#include <QWidget>

class SimpleDisplay : public QWidget {
    Q_OBJECT

public:
    explicit SimpleDisplay(QWidget* parent);

    // Stores the text and marks the display changed, without repainting.
    void setText(const QString& newText);
    QString currentText() const { return text; }

    bool isChanged() const { return changed; }
    void clearChanged() { changed = false; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text;
    bool changed = false;
};
