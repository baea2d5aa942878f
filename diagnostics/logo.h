#pragma once
#include <QPixmap>
#include <QString>

// The program's pictures are drawn, not shipped: the wordmark of the header
// and about box, a product badge, and the start page's splash picture.
QPixmap DrawWordmark(int height);
QPixmap DrawProductBadge(const QString &family, const QString &detail, int width, int height);
QPixmap DrawSplash(QSize size, const QString &subtitle);
