#pragma once
#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

// The audit trail of one sensor, read-only: its recorded writes, newest
// first, each with the settings it changed.
class TfrmHistory : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmHistory(QWidget *parent = nullptr);

    // Reads the log again and lists the entries of the sensor with serial.
    void ShowEntries(const QString &logPath, const QString &serial);

    QTreeWidget *Entries() const { return entries; }
    QLabel *Status() const { return status; }
    QPushButton *CloseButton() const { return closeButton; }

private:
    QTreeWidget *entries = nullptr;
    QLabel *status = nullptr;
    QPushButton *closeButton = nullptr;
};
