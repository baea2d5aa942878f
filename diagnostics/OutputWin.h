#pragma once
#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// The terminal window that shows the sensor's continuous output. The main
// window shows it modally and appends every received line; the memo starts
// empty on every show and keeps only the latest kMaxLines lines, so a long
// session does not grow without bound.
class TfrmOutput : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMaxLines = 5000;

    explicit TfrmOutput(QWidget *parent = nullptr);

    // Adds one received line (a trailing CR or LF is dropped) and keeps the
    // view at the end.
    void AppendLine(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();

    QPlainTextEdit *memoTerminal = nullptr;
    QPushButton *BitBtn1 = nullptr;
};
