#pragma once
#include "templates/ordaUserConfig.h"

#include <QDateTime>
#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;
struct PrintedReport;

// The settings summary: after a read from the device, which read commands
// had problems and what every other setting holds. Filled by the read,
// shown modally by the main window.
class TfrmSummary : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmSummary(QWidget *parent = nullptr);

    // Fills the window from a device element; with listProblems, the commands
    // whose read failed (valid 0) come first.
    void FillSummary(const QString &title, const IXMLdeviceType &device, bool listProblems);
    void ClearSummary();
    bool HasContent() const { return hasContent; }
    // The lines shown, for the session report.
    QStringList Lines() const { return lines; }
    // What "Save as PDF" writes: the caption, when it was made, the lines.
    PrintedReport Printed() const;

private:
    void SaveAsPdf();

    QPlainTextEdit *memo = nullptr;
    QPushButton *savePdf = nullptr;
    QString productName;
    QDateTime filledAt;
    QStringList lines;
    bool hasContent = false;
};
