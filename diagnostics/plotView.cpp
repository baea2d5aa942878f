#include "diagnostics/plotView.h"

#include <QMouseEvent>
#include <QWheelEvent>

TPlotView::TPlotView(QChart *chart, QWidget *parent) : QChartView(chart, parent)
{
    setRubberBand(QChartView::RectangleRubberBand);
}

void TPlotView::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y();
    if (steps == 0) {
        event->ignore();
        return;
    }
    chart()->zoom(steps > 0 ? 1.25 : 0.8);
    event->accept();
}

bool TPlotView::StartsPan(const QMouseEvent *event)
{
    return event->button() == Qt::MiddleButton ||
           (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
}

void TPlotView::mousePressEvent(QMouseEvent *event)
{
    if (!StartsPan(event)) {
        QChartView::mousePressEvent(event);
        return;
    }
    panning = true;
    panFrom = event->position();
    event->accept();
}

void TPlotView::mouseMoveEvent(QMouseEvent *event)
{
    if (!panning) {
        QChartView::mouseMoveEvent(event);
        return;
    }
    const QPointF moved = event->position() - panFrom;
    panFrom = event->position();
    chart()->scroll(-moved.x(), moved.y()); // the data follows the pointer
    event->accept();
}

void TPlotView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!panning) {
        QChartView::mouseReleaseEvent(event);
        return;
    }
    panning = false;
    event->accept();
}
