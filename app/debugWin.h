#pragma once
#include <QWidget>

class QCheckBox;
class QPlainTextEdit;

// The debug log window. It is the sink of Log(): while "Enabled" is ticked
// each logged text is appended; nothing logged before is shown.
class TfrmDebugWin : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmDebugWin(QWidget *parent = nullptr);
    ~TfrmDebugWin() override;

    QPlainTextEdit *Memo1 = nullptr;
    QCheckBox *cbEnabled = nullptr;

private:
    void append(const QString &text);
};
