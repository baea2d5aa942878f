#include "base/fileNames.h"

#include <QStringList>

QString SuggestedSettingsFileName(const QString &product, const QString &serial, const QDate &date,
                                  const QString &suffix)
{
    QStringList parts;
    for (const QString &part : {product.trimmed(), serial.trimmed(), date.toString(Qt::ISODate), suffix.trimmed()})
        if (!part.isEmpty())
            parts << part;
    QString name = parts.join(QLatin1Char('_'));
    // Refused by Windows or Linux file systems, or a path separator.
    for (QChar &c : name)
        if (QStringLiteral("/\\:*?\"<>|").contains(c) || c.unicode() < 32)
            c = QLatin1Char('-');
    return name;
}
