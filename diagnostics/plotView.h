#pragma once
#include <QChartView>

// A chart view the user zooms and pans: the wheel zooms in and out, a drag
// with the left button zooms to the box drawn, the right button zooms back
// out, and a drag with the middle button (or Shift and the left) pans.
class TPlotView : public QChartView
{
    Q_OBJECT
public:
    explicit TPlotView(QChart *chart, QWidget *parent = nullptr);

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    static bool StartsPan(const QMouseEvent *event);

    bool panning = false;
    QPointF panFrom;
};
