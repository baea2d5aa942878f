#include "config/configPage.h"

void TConfigPage::SetBottomPanel(QWidget *panel, int top)
{
    m_panel = panel;
    m_panelTop = top;
    PlacePanel();
}

void TConfigPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PlacePanel();
}

void TConfigPage::PlacePanel()
{
    if (m_panel)
        m_panel->setGeometry(0, m_panelTop, width(), qMax(0, height() - m_panelTop));
}

void SetEditorFont(QWidget *widget)
{
    QFont font = widget->font();
    font.setPointSize(EditorLayout::FontSize);
    widget->setFont(font);
}

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace
{
QPixmap DrawPicture(const QColor &fill, const QString &mark, bool triangle)
{
    const int size = 36; // drawn at twice the shown size, stretched down
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(fill.darker(160), 2));
    painter.setBrush(fill);
    if (triangle) {
        QPainterPath path;
        path.moveTo(size / 2.0, 2);
        path.lineTo(size - 2, size - 3);
        path.lineTo(2, size - 3);
        path.closeSubpath();
        painter.drawPath(path);
    } else {
        painter.drawEllipse(QRectF(2, 2, size - 4, size - 4));
    }
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(triangle ? Qt::black : Qt::white);
    painter.drawText(QRect(0, triangle ? 4 : 0, size, size), Qt::AlignCenter, mark);
    return pixmap;
}
} // namespace

QPixmap HelpPicture()
{
    return DrawPicture(QColor(30, 100, 200), QStringLiteral("?"), false);
}

QPixmap WarningPicture()
{
    return DrawPicture(QColor(250, 200, 0), QStringLiteral("!"), true);
}
