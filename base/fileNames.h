#pragma once
#include <QDate>
#include <QString>

// A file name to propose for a device's settings: product, serial number
// (when known) and date, joined by '_', with an optional last word such as
// "backup". Characters that file systems refuse become '-'.
QString SuggestedSettingsFileName(const QString &product, const QString &serial, const QDate &date,
                                  const QString &suffix = QString());
