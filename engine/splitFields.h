#pragma once
#include <QChar>
#include <QString>
#include <QStringList>

// Splits text at separator. A double quote toggles a quoted state and is
// dropped; a separator outside quotes ends a field, which is kept even when
// empty; a separator inside quotes is kept; a non-empty last field is added.
QStringList SplitFields(const QString &text, QChar separator);
