#include "app/historyWin.h"

#include "base/translate.h"
#include "engine/auditLog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{
QString OutcomeText(const AuditEntry &entry)
{
    const QString outcome = T(entry.outcome);
    return entry.notVerified.isEmpty() ? outcome : outcome + QStringLiteral(": ") + entry.notVerified.join(", ");
}

QTreeWidgetItem *EntryItem(const AuditEntry &entry)
{
    auto *item = new QTreeWidgetItem(QStringList{entry.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                                                 entry.user + QLatin1Char('@') + entry.host, T(entry.action),
                                                 entry.port, OutcomeText(entry)});
    for (const AuditChange &change : entry.changes)
        new QTreeWidgetItem(item,
                            QStringList{QStringLiteral("%1: %2 -> %3").arg(change.cmd, change.before, change.after)});
    return item;
}
} // namespace

TfrmHistory::TfrmHistory(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHistory"));
    resize(760, 420);
    status = new QLabel;
    status->setObjectName(QStringLiteral("laHistoryStatus"));
    status->setWordWrap(true);
    entries = new QTreeWidget;
    entries->setObjectName(QStringLiteral("tvHistory"));
    entries->setColumnCount(5);
    entries->setEditTriggers(QAbstractItemView::NoEditTriggers);
    entries->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    closeButton = new QPushButton;
    closeButton->setObjectName(QStringLiteral("buHistoryClose"));
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(status);
    layout->addWidget(entries, 1);
    layout->addLayout(buttons);
}

void TfrmHistory::ShowEntries(const QString &logPath, const QString &serial)
{
    setWindowTitle(T(QStringLiteral("History")) + QStringLiteral(" - S/N ") + serial);
    closeButton->setText(T(QStringLiteral("Close")));
    entries->setHeaderLabels({T(QStringLiteral("Time (UTC)")), T(QStringLiteral("User")), T(QStringLiteral("Action")),
                              T(QStringLiteral("Port")), T(QStringLiteral("Outcome"))});
    entries->clear();
    AuditFilter filter;
    filter.serial = serial;
    const AuditReadResult read = AuditLog(logPath).Read(filter);
    // Newest first: the log is in the order the writes happened.
    for (auto entry = read.entries.crbegin(); entry != read.entries.crend(); ++entry) {
        QTreeWidgetItem *item = EntryItem(*entry);
        entries->addTopLevelItem(item);
        item->setExpanded(true);
    }
    status->setText(read.entries.isEmpty() ? T(QStringLiteral("No write to this sensor is recorded in the audit log."))
                                           : QStringLiteral("S/N %1: %2").arg(serial).arg(read.entries.size()));
}
