#include "diagnostics/logo.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {
const QColor kAccent(0, 122, 163);
const QColor kDark(54, 54, 54);

// A three-cup anemometer seen from above: the maker's mark.
void drawAnemometer(QPainter &p, QPointF centre, qreal radius, const QColor &colour)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, qMax(1.5, radius / 9), Qt::SolidLine, Qt::RoundCap));
    p.setBrush(colour);
    for (int arm = 0; arm < 3; ++arm) {
        const qreal angle = qDegreesToRadians(-90.0 + arm * 120.0);
        const QPointF tip = centre + QPointF(qCos(angle), qSin(angle)) * radius;
        p.drawLine(centre, tip);
        p.drawEllipse(tip, radius / 3.2, radius / 3.2);
    }
    p.drawEllipse(centre, radius / 5, radius / 5);
    p.restore();
}
} // namespace

QPixmap DrawWordmark(int height)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(qRound(height * 0.62));
    const QString name = QStringLiteral("TALVEK");
    const int textWidth = QFontMetrics(font).horizontalAdvance(name);
    QPixmap pixmap(height + 8 + textWidth + 4, height);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    drawAnemometer(p, QPointF(height / 2.0, height / 2.0), height * 0.34, kAccent);
    p.setFont(font);
    p.setPen(kDark);
    p.drawText(QRect(height + 8, 0, textWidth + 4, height), Qt::AlignVCenter | Qt::AlignLeft, name);
    return pixmap;
}

namespace
{
// Translations differ in length: the words shrink until they fit their box.
void fitPixelSize(QFont &font, int pixelSize, const QString &text, int width)
{
    font.setPixelSize(pixelSize);
    while (pixelSize > 7 && QFontMetrics(font).horizontalAdvance(text) > width) {
        --pixelSize;
        font.setPixelSize(pixelSize);
    }
}
} // namespace

QPixmap DrawProductBadge(const QString &family, const QString &detail, int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 244, 247));
    p.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 6, 6);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    fitPixelSize(font, qMax(9, height / 3), family, width - 8);
    p.setFont(font);
    p.setPen(kAccent);
    p.drawText(QRect(0, 2, width, height / 2), Qt::AlignHCenter | Qt::AlignBottom, family);
    font.setBold(false);
    fitPixelSize(font, qMax(8, height / 4), detail, width - 8);
    p.setFont(font);
    p.setPen(kDark);
    p.drawText(QRect(0, height / 2 + 2, width, height / 2 - 4), Qt::AlignHCenter | Qt::AlignTop, detail);
    return pixmap;
}

QPixmap DrawSplash(QSize size, const QString &subtitle)
{
    QPixmap pixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(18, 78, 120));
    sky.setColorAt(1, QColor(120, 180, 210));
    p.fillRect(pixmap.rect(), sky);

    // Rolling hills and a mast carrying a sensor.
    QPainterPath hills;
    hills.moveTo(0, size.height() * 0.78);
    hills.cubicTo(size.width() * 0.3, size.height() * 0.66, size.width() * 0.6, size.height() * 0.9, size.width(),
                  size.height() * 0.74);
    hills.lineTo(size.width(), size.height());
    hills.lineTo(0, size.height());
    p.fillPath(hills, QColor(46, 96, 70));
    const QPointF mastFoot(size.width() * 0.72, size.height() * 0.8);
    const QPointF mastTop(size.width() * 0.72, size.height() * 0.32);
    p.setPen(QPen(QColor(230, 230, 230), 4));
    p.drawLine(mastFoot, mastTop);
    drawAnemometer(p, mastTop, size.height() * 0.07, QColor(245, 245, 245));

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(size.height() / 9);
    p.setFont(font);
    p.setPen(Qt::white);
    const QRect titleBox(size.width() / 14, size.height() / 5, size.width() / 2, size.height() / 6);
    p.drawText(titleBox, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Talvek"));
    font.setBold(false);
    const QRect subtitleBox(titleBox.left(), titleBox.bottom() + 4, size.width() * 0.62, titleBox.height());
    fitPixelSize(font, size.height() / 26, subtitle, subtitleBox.width());
    p.setFont(font);
    p.drawText(subtitleBox, Qt::AlignLeft | Qt::AlignTop, subtitle);
    return pixmap;
}
