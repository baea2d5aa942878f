#pragma once
// How the device's replies are read: "NAME = value" lines and the report
// lists in the device's words, turned into the editor's words.
#include "templates/ordaUserConfig.h"

#include <QString>
#include <QStringList>

// Cuts a "NAME = value" reply down to the value; false (reply unchanged)
// when it has no "=".
bool ParseResponse(QString &reply);

// True for "NMEA" and the sentence names (older sensors' "MWV" too).
bool IsNmeaSentenceName(const QString &text);

// The forms a report list takes. Sentences only: all the sensor offers (or
// "NMEA" alone) is the NMEA format, fewer or in another order the
// user-defined sentence format; parameters with sentences are kept as the
// sensor lists them.
enum class ReportForm { Parameters, AllSentences, SentenceSubset, Mixed };
// offered: the report's sentences in the sensor's order (each counts as a
// sentence, as do the names IsNmeaSentenceName knows).
ReportForm ClassifyReport(const QStringList &fields, const QStringList &offered);
// The sentences the report param offers, in its order, without "NMEA".
QStringList OfferedSentences(const IXMLparamType &param);

// The device's report list in the editor's words, space-separated; ok is
// false when the list cannot be converted (an axis or polar word without its
// partner). A list of sentences only becomes "NMEA" when it is all of
// sentences (empty: the protocol's usual set), else "NMEA" and the
// sentences; a list that mixes parameters and sentences stays as the device
// lists it.
QString NormaliseReportList(const QString &value, int protocolVersion, const QString &productName, bool *ok,
                            const QStringList &sentences);
QString NormaliseXdrList(const QString &value);

// The measurement the category's sensor type names; false when the type is
// not configured, or (with error set) when the category has no sensor type
// param or its choice is out of range.
bool MeasurementOfSensorType(const IXMLcategoryType &category, QString &name, QString *error);
