#pragma once

// The drawing of the user's iPod (model and finish as the model settled them,
// a theme picture on its screen). Three clicks in a row reveal Cover Flow.

#include "device/themetypes.h"

#include <QElapsedTimer>
#include <QPointF>
#include <QWidget>
#include <optional>

class IPodIllustration;
class TavoModel;

// Counts clicks that follow each other closely enough and near enough, from
// their timestamps, the way the desktop counts a double click.
class ClickCounter
{
public:
    ClickCounter(int intervalMs, double distance) : m_interval(intervalMs), m_distance(distance) {}
    // The count including this click (1 for a click on its own).
    int press(qint64 timestampMs, QPointF position);

private:
    int m_interval;
    double m_distance;
    int m_count = 0;
    qint64 m_last = 0;
    QPointF m_where;
};

class IPodView : public QWidget
{
    Q_OBJECT
public:
    static constexpr double maxHeight = 370;

    IPodView(TavoModel *model, std::optional<ThemePreview> preview, double width, QWidget *parent = nullptr);
    void setPreview(const std::optional<ThemePreview> &preview);
    // Lets the drawing be at most this tall (it keeps the model's proportions,
    // so it narrows too); never more than maxHeight.
    void setMaxHeight(double height);
    double drawingMaxHeight() const { return m_maxHeight; }
    IPodIllustration *illustration() const { return m_illustration; }

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void showDevice();
    TavoModel *m_model;
    double m_width;
    double m_maxHeight = maxHeight;
    IPodIllustration *m_illustration;
    ClickCounter m_clicks;
};
