// Counts the paint events that widgets receive.
#pragma once

#include <QObject>

#include <map>

class QWidget;

class PaintCounter : public QObject {
public:
    void watch(QWidget* widget);
    int count(const QWidget* widget) const;
    void reset() { counts.clear(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::map<const QObject*, int> counts;
};
