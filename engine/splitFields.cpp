#include "engine/splitFields.h"

QStringList SplitFields(const QString &text, QChar separator)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == separator && !quoted) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty())
        fields << field;
    return fields;
}
