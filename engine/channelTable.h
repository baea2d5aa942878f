#pragma once
// The latest value of each decoded channel, with its unit and age, as a
// table model a view can show; and the count of lines that decoded and of
// those that did not, which are kept (the newest kKeptRejected) so none is
// lost without a trace. Times are milliseconds since the epoch, passed in
// so the caller (and a test) owns the clock. UI thread only.
#include "engine/lineDecoder.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

struct RejectedLine {
    qint64 time = 0;
    LineStatus status = LineStatus::Undecodable;
    QString raw;
    QString reason;
};

class ChannelTable : public QAbstractTableModel
{
public:
    enum Column { NameColumn, ValueColumn, UnitColumn, AgeColumn, ColumnCount };
    static constexpr int kKeptRejected = 200;

    explicit ChannelTable(QObject *parent = nullptr);

    // One line from decoder (whose channels may have grown with it), at time.
    void Add(const DecodedLine &line, const LineDecoder &decoder, qint64 time);
    // Ages are shown relative to now; a view's timer calls this.
    void SetNow(qint64 now);
    // Forgets every channel, value, count and kept line (a new viewing).
    void Clear();

    qint64 Decoded() const { return decoded; }
    qint64 BadChecksums() const { return badChecksums; }
    qint64 Undecodable() const { return undecodable; }
    qint64 Errors() const { return badChecksums + undecodable; }
    // Decoded lines the sensor marked not valid (their values are shown, marked).
    qint64 NotValid() const { return notValid; }
    const QList<RejectedLine> &Rejected() const { return rejected; }

    struct Row {
        Channel channel;
        QString text; // empty until a value came
        qint64 time = -1;
        bool valid = true; // the line the value came with was valid data
    };
    const QList<Row> &Rows() const { return rows; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void TakeChannels(const LineDecoder &decoder);
    void Reject(const DecodedLine &line, qint64 time);
    QString AgeText(qint64 time) const;

    QList<Row> rows;
    QList<RejectedLine> rejected;
    qint64 now = 0;
    qint64 decoded = 0;
    qint64 badChecksums = 0;
    qint64 undecodable = 0;
    qint64 notValid = 0;
};
