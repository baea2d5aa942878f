#pragma once
// Records decoded lines to a CSV file as they arrive: a header row naming
// each channel with its unit ("TEMP [C]"), then one row per decoded line
// with its time (UTC, milliseconds) and the values it carried (a channel the
// line did not carry stays empty). Each row goes to the system in one write,
// so a program reading the file while it grows sees whole rows. A live
// capture is not written whole-or-nothing; a failed write is reported
// (Failed, Error) and ends the recording.
#include "engine/lineDecoder.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>

class CsvRecorder
{
public:
    // Creates (or empties) path and writes the header; false and Error() when not.
    bool Open(const QString &path, const QList<Channel> &channels);
    // Writes a decoded line's row; false once a write has failed.
    bool Record(const DecodedLine &line, const QDateTime &time);
    void Close();

    bool IsOpen() const { return file.isOpen(); }
    bool Failed() const { return !error.isEmpty(); }
    QString Error() const { return error; }
    qint64 Rows() const { return rows; }
    // Values of channels that appeared after the header was written (an XDR
    // transducer beyond the report), which have no column.
    qint64 Unrecorded() const { return unrecorded; }

    static QString Quoted(const QString &text);

private:
    bool WriteRow(const QStringList &cells);

    QFile file;
    int columns = 0;
    QString error;
    qint64 rows = 0;
    qint64 unrecorded = 0;
};
