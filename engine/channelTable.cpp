#include "engine/channelTable.h"

#include "base/translate.h"

#include <algorithm>

ChannelTable::ChannelTable(QObject *parent) : QAbstractTableModel(parent) {}

void ChannelTable::Add(const DecodedLine &line, const LineDecoder &decoder, qint64 time)
{
    now = std::max(now, time);
    TakeChannels(decoder);
    switch (line.status) {
    case LineStatus::Blank:
        return;
    case LineStatus::BadChecksum:
        ++badChecksums;
        Reject(line, time);
        return;
    case LineStatus::Undecodable:
        ++undecodable;
        Reject(line, time);
        return;
    case LineStatus::Decoded:
        break;
    }
    ++decoded;
    if (!line.valid)
        ++notValid;
    int first = int(rows.size()), last = -1;
    for (const ChannelValue &value : line.values) {
        if (value.channel < 0 || value.channel >= rows.size())
            continue;
        rows[value.channel].text = value.text;
        rows[value.channel].time = time;
        rows[value.channel].valid = line.valid;
        first = std::min(first, value.channel);
        last = std::max(last, value.channel);
    }
    if (last >= 0) // one signal a line: a view repaints once
        emit dataChanged(index(first, ValueColumn), index(last, AgeColumn));
}

void ChannelTable::TakeChannels(const LineDecoder &decoder)
{
    const QList<Channel> &channels = decoder.Channels();
    if (channels.size() <= rows.size())
        return;
    beginInsertRows(QModelIndex(), int(rows.size()), int(channels.size()) - 1);
    for (qsizetype i = rows.size(); i < channels.size(); ++i)
        rows.append(Row{channels[i], QString(), -1});
    endInsertRows();
}

void ChannelTable::Reject(const DecodedLine &line, qint64 time)
{
    rejected.append(RejectedLine{time, line.status, line.raw, line.reason});
    if (rejected.size() > kKeptRejected)
        rejected.removeFirst();
}

void ChannelTable::SetNow(qint64 time)
{
    now = time;
    if (!rows.isEmpty())
        emit dataChanged(index(0, AgeColumn), index(int(rows.size()) - 1, AgeColumn));
}

void ChannelTable::Clear()
{
    beginResetModel();
    rows.clear();
    rejected.clear();
    now = decoded = badChecksums = undecodable = notValid = 0;
    endResetModel();
}

QString ChannelTable::AgeText(qint64 time) const
{
    if (time < 0)
        return {};
    return QString::number(std::max<qint64>(0, now - time) / 100 / 10.0, 'f', 1) + QStringLiteral(" s");
}

int ChannelTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int ChannelTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ChannelTable::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows.size())
        return {};
    const Row &row = rows[index.row()];
    switch (index.column()) {
    case NameColumn:
        return row.channel.name;
    case ValueColumn:
        return row.valid || row.text.isEmpty() ? row.text : row.text + QLatin1Char(' ') + T(QStringLiteral("(not valid)"));
    case UnitColumn:
        return row.channel.unit;
    case AgeColumn:
        return AgeText(row.time);
    default:
        return {};
    }
}

QVariant ChannelTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return T(QStringLiteral("CHANNEL_NAME"));
    case ValueColumn:
        return T(QStringLiteral("CHANNEL_VALUE"));
    case UnitColumn:
        return T(QStringLiteral("CHANNEL_UNIT"));
    case AgeColumn:
        return T(QStringLiteral("CHANNEL_AGE"));
    default:
        return {};
    }
}
