#pragma once
// The settings document the main window's tests start from: the shipped
// defaults with short serial timings and the scan starting at the simulated
// sensor's port.
#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>

inline QByteArray QuickSettings(int sensorCom, int responseTimeout = 100)
{
    QFile defaults(QStringLiteral(TALVEK_TEST_APP_DIR "/TalvekDefaultSettings.tsf"));
    QString text = defaults.open(QIODevice::ReadOnly) ? QString::fromUtf8(defaults.readAll()) : QString();
    const QList<QPair<QString, QString>> values = {{"firsttryport", QString::number(sensorCom)},
                                                   {"userDelayEnabled", "1"},
                                                   {"responseTimeout", QString::number(responseTimeout)},
                                                   {"interCharDelay", "0"},
                                                   {"powerOnDelay", "50"}};
    for (const auto &[key, value] : values) {
        const QRegularExpression element(QStringLiteral("<GS%1>[^<]*</GS%1>").arg(key));
        text.replace(element, QStringLiteral("<GS%1>%2</GS%1>").arg(key, value));
    }
    return text.toUtf8();
}
