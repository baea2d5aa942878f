#pragma once
// A printable document (a certificate, a settings summary) kept apart from
// how it is put on paper, so the PDF and its plain-text twin always say the
// same thing. Needs Qt Gui (fonts) but no widgets: the PDF writer runs
// under the offscreen platform in the command-line tool.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

struct ReportSection {
    QString heading;
    QList<QPair<QString, QString>> rows; // name, value
    QStringList lines;                   // shown as they are, in a fixed-pitch font
};

struct PrintedReport {
    QString title;
    QString subtitle;
    QList<ReportSection> sections;
};

// The report as plain text: the title underlined, each section's rows with
// their names aligned, then its lines.
QString ReportText(const PrintedReport &report);

// Writes the report as a PDF (A4), whole or not at all: an existing file at
// path is only replaced once the new one is complete. Needs a
// QGuiApplication. On failure error (when given) says why.
bool WriteReportPdf(const PrintedReport &report, const QString &path, QString *error = nullptr);

// Writes ReportText to path, whole or not at all (UTF-8).
bool WriteReportText(const PrintedReport &report, const QString &path, QString *error = nullptr);
