#include "config/commitWatcher.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

TCommitWatcher::TCommitWatcher(std::function<void()> onCommit, QObject *parent)
    : QObject(parent), m_onCommit(std::move(onCommit))
{
}

void TCommitWatcher::Watch(QWidget *control)
{
    control->installEventFilter(this);
}

bool TCommitWatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        m_onCommit();
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            m_onCommit();
    }
    return QObject::eventFilter(watched, event);
}
