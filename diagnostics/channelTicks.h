#pragma once
#include <QIdentityProxyModel>
#include <QSet>

// The channel table with a tick box on each channel's name: the ticked
// channels are the ones plotted. Rows are the channels' indices in the
// decoder's order, so a tick names a channel for as long as the table lasts.
class TChannelTicks : public QIdentityProxyModel
{
    Q_OBJECT
public:
    explicit TChannelTicks(QObject *parent = nullptr);

    bool IsTicked(int channel) const { return ticked.contains(channel); }
    // Unticks everything without telling anyone (the table was emptied).
    void Forget() { ticked.clear(); }

    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    void tickChanged(int channel, bool ticked);

private:
    QSet<int> ticked;
};
