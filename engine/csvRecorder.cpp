#include "engine/csvRecorder.h"

bool CsvRecorder::Open(const QString &path, const QList<Channel> &channels)
{
    Close();
    error.clear();
    rows = 0;
    unrecorded = 0;
    file.setFileName(path);
    // Unbuffered: each row reaches the system in the one write WriteRow makes.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    columns = int(channels.size());
    QStringList header{QStringLiteral("time")};
    for (const Channel &channel : channels)
        header << (channel.unit.isEmpty() ? channel.name : channel.name + QStringLiteral(" [") + channel.unit + ']');
    return WriteRow(header);
}

bool CsvRecorder::Record(const DecodedLine &line, const QDateTime &time)
{
    if (!file.isOpen() || Failed())
        return false;
    if (line.status != LineStatus::Decoded)
        return true;
    QStringList cells(columns + 1);
    cells[0] = time.toUTC().toString(Qt::ISODateWithMs);
    for (const ChannelValue &value : line.values) {
        if (value.channel >= 0 && value.channel < columns)
            cells[value.channel + 1] = value.text;
        else
            ++unrecorded;
    }
    if (!WriteRow(cells))
        return false;
    ++rows;
    return true;
}

bool CsvRecorder::WriteRow(const QStringList &cells)
{
    QStringList quoted;
    quoted.reserve(cells.size());
    for (const QString &cell : cells)
        quoted << Quoted(cell);
    const QByteArray row = (quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
    if (file.write(row) != row.size()) {
        error = file.fileName() + QStringLiteral(": ") + file.errorString();
        file.close();
        return false;
    }
    return true;
}

void CsvRecorder::Close()
{
    if (file.isOpen())
        file.close();
}

QString CsvRecorder::Quoted(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString inner = text;
    return QLatin1Char('"') + inner.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}
