#include "diagnostics/channelTicks.h"

#include "engine/channelTable.h"

TChannelTicks::TChannelTicks(QObject *parent) : QIdentityProxyModel(parent) {}

Qt::ItemFlags TChannelTicks::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags base = QIdentityProxyModel::flags(index);
    return index.column() == ChannelTable::NameColumn ? base | Qt::ItemIsUserCheckable : base;
}

QVariant TChannelTicks::data(const QModelIndex &index, int role) const
{
    if (role == Qt::CheckStateRole && index.column() == ChannelTable::NameColumn)
        return ticked.contains(index.row()) ? Qt::Checked : Qt::Unchecked;
    return QIdentityProxyModel::data(index, role);
}

bool TChannelTicks::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != ChannelTable::NameColumn)
        return QIdentityProxyModel::setData(index, value, role);
    const bool on = Qt::CheckState(value.toInt()) == Qt::Checked;
    if (on == ticked.contains(index.row()))
        return true;
    if (on)
        ticked.insert(index.row());
    else
        ticked.remove(index.row());
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit tickChanged(index.row(), on);
    return true;
}
