#pragma once
#include <QObject>
#include <functional>

class QWidget;

// Calls back when the user commits an entry in a watched control: Enter
// pressed in it, or the focus leaving it.
class TCommitWatcher : public QObject
{
public:
    TCommitWatcher(std::function<void()> onCommit, QObject *parent);
    void Watch(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_onCommit;
};
