#pragma once
#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;

// A message box with a scrollable memo for lists too long for an ordinary
// box (the settings that failed to verify). The owner fills it with ShowList
// and then shows it modally; OK closes it.
class TfrmMemoMessageBox : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmMemoMessageBox(QWidget *parent = nullptr);

    // Clears the memo, sets the caption, then adds the header line and every
    // entry in order. The texts are shown as given.
    void ShowList(const QString &caption, const QString &header, const QStringList &list);

private:
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *BitBtn1 = nullptr;
};
