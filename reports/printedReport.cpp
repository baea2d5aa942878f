#include "reports/printedReport.h"

#include "base/fileSave.h"

#include <QBuffer>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <algorithm>

namespace {
QString Underline(const QString &text, QChar mark)
{
    return QString(text.size(), mark);
}

qsizetype WidestName(const ReportSection &section)
{
    qsizetype widest = 0;
    for (const auto &row : section.rows)
        widest = std::max(widest, row.first.size());
    return widest;
}

void AppendSectionText(const ReportSection &section, QStringList &out)
{
    out << QString();
    if (!section.heading.isEmpty())
        out << section.heading << Underline(section.heading, QLatin1Char('-'));
    const qsizetype width = WidestName(section);
    for (const auto &row : section.rows)
        out << (row.first + QLatin1Char(':')).leftJustified(width + 1) + QLatin1Char(' ') + row.second;
    out << section.lines;
}

QString Escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString SectionHtml(const ReportSection &section)
{
    QString html;
    if (!section.heading.isEmpty())
        html += QStringLiteral("<h3>%1</h3>").arg(Escaped(section.heading));
    if (!section.rows.isEmpty()) {
        html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\">");
        for (const auto &row : section.rows)
            html += QStringLiteral("<tr><td><b>%1</b></td><td>&nbsp;&nbsp;%2</td></tr>")
                        .arg(Escaped(row.first), Escaped(row.second));
        html += QStringLiteral("</table>");
    }
    if (!section.lines.isEmpty())
        html += QStringLiteral("<pre>%1</pre>").arg(Escaped(section.lines.join(QLatin1Char('\n'))));
    return html;
}

QString ReportHtml(const PrintedReport &report)
{
    QString html = QStringLiteral("<h2>%1</h2>").arg(Escaped(report.title));
    if (!report.subtitle.isEmpty())
        html += QStringLiteral("<p>%1</p>").arg(Escaped(report.subtitle));
    for (const ReportSection &section : report.sections)
        html += SectionHtml(section);
    return html;
}

QByteArray RenderPdf(const PrintedReport &report)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(report.title);
        writer.setCreator(QStringLiteral("Talvek"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        QTextDocument document;
        document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        document.setHtml(ReportHtml(report));
        document.print(&writer);
    } // the writer finishes the file when it goes
    return buffer.data();
}
} // namespace

QString ReportText(const PrintedReport &report)
{
    QStringList out{report.title, Underline(report.title, QLatin1Char('='))};
    if (!report.subtitle.isEmpty())
        out << report.subtitle;
    for (const ReportSection &section : report.sections)
        AppendSectionText(section, out);
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool WriteReportPdf(const PrintedReport &report, const QString &path, QString *error)
{
    const QByteArray pdf = RenderPdf(report);
    if (!pdf.startsWith("%PDF")) {
        if (error)
            *error = QStringLiteral("%1: the PDF could not be made").arg(path);
        return false;
    }
    return SaveFileWhole(path, pdf, error);
}

bool WriteReportText(const PrintedReport &report, const QString &path, QString *error)
{
    return SaveFileWhole(path, ReportText(report).toUtf8(), error);
}
