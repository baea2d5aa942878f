#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace {
constexpr int kSize = 64;
const QColor kAccent(0, 170, 220);

// Everything is drawn on a 64 x 64 grid.
void plug(QPainter &p)
{
    p.drawRoundedRect(QRectF(22, 14, 20, 18), 3, 3);
    p.drawLine(QLineF(27, 6, 27, 14));
    p.drawLine(QLineF(37, 6, 37, 14));
    p.drawLine(QLineF(32, 32, 32, 40));
    QPainterPath cable;
    cable.moveTo(32, 40);
    cable.cubicTo(32, 52, 14, 46, 12, 58);
    p.drawPath(cable);
}

void arrow(QPainter &p, QPointF from, QPointF to)
{
    p.drawLine(from, to);
    const QLineF shaft(to, from);
    for (qreal turn : {-30.0, 30.0}) {
        QLineF head = shaft;
        head.setLength(8);
        head.setAngle(shaft.angle() + turn);
        p.drawLine(head);
    }
}

void device(QPainter &p)
{
    p.drawRoundedRect(QRectF(10, 36, 44, 18), 3, 3);
    p.drawPoint(QPointF(18, 45));
    p.drawLine(QLineF(26, 45, 46, 45));
}

void document(QPainter &p)
{
    QPainterPath page;
    page.moveTo(16, 8);
    page.lineTo(38, 8);
    page.lineTo(48, 18);
    page.lineTo(48, 56);
    page.lineTo(16, 56);
    page.closeSubpath();
    p.drawPath(page);
    p.drawLine(QLineF(38, 8, 38, 18));
    p.drawLine(QLineF(38, 18, 48, 18));
}

void folder(QPainter &p)
{
    QPainterPath shape;
    shape.moveTo(8, 16);
    shape.lineTo(24, 16);
    shape.lineTo(28, 21);
    shape.lineTo(56, 21);
    shape.lineTo(56, 52);
    shape.lineTo(8, 52);
    shape.closeSubpath();
    p.drawPath(shape);
}

void disk(QPainter &p)
{
    QPainterPath body;
    body.moveTo(10, 10);
    body.lineTo(46, 10);
    body.lineTo(54, 18);
    body.lineTo(54, 54);
    body.lineTo(10, 54);
    body.closeSubpath();
    p.drawPath(body);
    p.drawRect(QRectF(20, 10, 22, 14));
    p.drawRect(QRectF(18, 34, 28, 20));
}

void laptop(QPainter &p)
{
    p.drawRoundedRect(QRectF(14, 14, 36, 26), 2, 2);
    p.drawLine(QLineF(6, 48, 58, 48));
    p.drawLine(QLineF(14, 40, 8, 48));
    p.drawLine(QLineF(50, 40, 56, 48));
}

void circularArrow(QPainter &p)
{
    p.drawArc(QRectF(14, 14, 36, 36), 60 * 16, 280 * 16);
    const QPointF end(32 + 18 * qCos(qDegreesToRadians(60.0)), 32 - 18 * qSin(qDegreesToRadians(60.0)));
    p.drawLine(end, end + QPointF(-9, -1));
    p.drawLine(end, end + QPointF(1, 9));
}

void gear(QPainter &p)
{
    for (int tooth = 0; tooth < 8; ++tooth) {
        const qreal angle = qDegreesToRadians(tooth * 45.0);
        p.drawLine(QPointF(32 + 16 * qCos(angle), 32 + 16 * qSin(angle)),
                   QPointF(32 + 24 * qCos(angle), 32 + 24 * qSin(angle)));
    }
    p.drawEllipse(QPointF(32, 32), 16, 16);
    p.drawEllipse(QPointF(32, 32), 6, 6);
}

void bug(QPainter &p)
{
    p.drawEllipse(QRectF(20, 20, 24, 32));
    p.drawEllipse(QRectF(25, 10, 14, 12));
    for (qreal y : {28.0, 36.0, 44.0}) {
        p.drawLine(QLineF(20, y, 10, y - 4));
        p.drawLine(QLineF(44, y, 54, y - 4));
    }
}

void info(QPainter &p)
{
    p.drawEllipse(QPointF(32, 32), 24, 24);
    p.drawLine(QLineF(32, 28, 32, 46));
    p.drawPoint(QPointF(32, 19));
}

void clockFace(QPainter &p)
{
    p.drawEllipse(QPointF(32, 32), 24, 24);
    p.drawLine(QLineF(32, 32, 32, 16));
    p.drawLine(QLineF(32, 32, 44, 38));
}

void terminal(QPainter &p)
{
    p.drawRoundedRect(QRectF(8, 12, 48, 40), 4, 4);
    p.drawLine(QLineF(16, 24, 24, 31));
    p.drawLine(QLineF(24, 31, 16, 38));
    p.drawLine(QLineF(28, 40, 42, 40));
}

void draw(QPainter &p, MenuIcon kind, const QColor &accent)
{
    QPen accentPen = p.pen();
    accentPen.setColor(accent);
    switch (kind) {
    case MenuIcon::ConnectAndRead:
        plug(p);
        p.setPen(accentPen);
        arrow(p, QPointF(50, 30), QPointF(50, 54));
        break;
    case MenuIcon::ConnectOnly:
        plug(p);
        break;
    case MenuIcon::Offline:
        laptop(p);
        break;
    case MenuIcon::SaveToDevice:
        device(p);
        p.setPen(accentPen);
        arrow(p, QPointF(32, 8), QPointF(32, 32));
        break;
    case MenuIcon::ReadFromDevice:
        device(p);
        p.setPen(accentPen);
        arrow(p, QPointF(32, 32), QPointF(32, 8));
        break;
    case MenuIcon::OpenFile:
        folder(p);
        break;
    case MenuIcon::SaveFile:
        disk(p);
        break;
    case MenuIcon::Backup:
        device(p);
        p.setPen(accentPen);
        p.drawRect(QRectF(22, 6, 20, 22));
        break;
    case MenuIcon::Restore:
        circularArrow(p);
        break;
    case MenuIcon::LoadTemplate:
        document(p);
        p.setPen(accentPen);
        p.drawLine(QLineF(22, 30, 42, 30));
        p.drawLine(QLineF(22, 38, 42, 38));
        p.drawLine(QLineF(22, 46, 34, 46));
        break;
    case MenuIcon::Back:
        arrow(p, QPointF(52, 32), QPointF(12, 32));
        break;
    case MenuIcon::ViewOutput:
        terminal(p);
        break;
    case MenuIcon::History:
        clockFace(p);
        break;
    case MenuIcon::About:
        info(p);
        break;
    case MenuIcon::Debug:
        bug(p);
        break;
    case MenuIcon::Settings:
        gear(p);
        break;
    }
}

QPixmap render(MenuIcon kind, const QColor &line, const QColor &accent)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(line, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    draw(p, kind, accent);
    return pixmap;
}
} // namespace

QIcon DrawMenuIcon(MenuIcon kind)
{
    QIcon icon;
    icon.addPixmap(render(kind, QColor(235, 235, 235), kAccent), QIcon::Normal);
    icon.addPixmap(render(kind, QColor(110, 110, 110), QColor(110, 110, 110)), QIcon::Disabled);
    return icon;
}
