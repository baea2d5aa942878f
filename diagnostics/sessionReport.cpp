#include "diagnostics/sessionReport.h"

#include "base/appdata.h"
#include "base/log.h"
#include "base/translate.h"
#include "base/version.h"
#include "ui/dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace
{
const QString kBlankLine = QStringLiteral("\r\n");
// Keeps the name well under the usual 255-byte limit of a file name.
constexpr int kMaxPartBytes = 100;

bool unsafeInFileName(QChar c)
{
    // '/' and NUL are impossible on Linux; the rest are refused by Windows
    // and would make a report impossible to copy there.
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    return c.unicode() < 0x20 || c.unicode() == 0x7f || forbidden.contains(c);
}

QString safePart(const QString &text)
{
    QString part = text;
    for (QChar &c : part) {
        if (unsafeInFileName(c))
            c = QLatin1Char('_');
    }
    while (part.toUtf8().size() > kMaxPartBytes) {
        part.chop(1);
        if (!part.isEmpty() && part.back().isHighSurrogate())
            part.chop(1);
    }
    return part;
}

QString candidateName(const QString &baseName, int copy)
{
    return copy == 1 ? baseName + QStringLiteral(".txt") : baseName + QStringLiteral("_%1.txt").arg(copy);
}
} // namespace

TfrmSessionReport::TfrmSessionReport(QObject *parent)
    : QObject(parent), clock([] { return QDateTime::currentDateTime(); })
{
}

TfrmSessionReport::~TfrmSessionReport()
{
    CloseReport();
}

void TfrmSessionReport::SetClock(Clock newClock)
{
    clock = std::move(newClock);
}

QString TfrmSessionReport::ReportFolder()
{
    return GetAppDataFolder() + QStringLiteral("SessionReports");
}

QString TfrmSessionReport::BaseFileName(const QString &productName, const QString &serialNumber, const QDateTime &when)
{
    QString name = safePart(productName) + QLatin1Char('_') + safePart(serialNumber) +
                   when.toString(QStringLiteral("'_'yyMMdd'_'HHmmss"));
    // A leading dot would hide the report from the user.
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_');
    return name;
}

bool TfrmSessionReport::OpenReport(const QString &productName, const QString &serialNumber)
{
    CloseReport();
    writeErrorLogged = false;
    const QString folder = ReportFolder();
    if (!ensureFolder(folder) || !createUniqueFile(folder, BaseFileName(productName, serialNumber, clock()))) {
        file.setFileName(QString());
        Dialogs().Message(T(QStringLiteral("Failed to open file")), T(QStringLiteral("Session Report Error")));
        return false;
    }
    WriteLine(QString::fromUtf8(kProgramCaption));
    WriteBanner(QStringLiteral("Session File Opened"));
    return true;
}

bool TfrmSessionReport::ensureFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return true;
    if (!QDir().mkpath(folder)) {
        Log(QStringLiteral("Unable to create the session report folder ") + folder);
        return false;
    }
    Log(QStringLiteral("Created Session Dir ") + folder);
    return true;
}

bool TfrmSessionReport::createUniqueFile(const QString &folder, const QString &baseName)
{
    // NewOnly refuses an existing file atomically: a second connection in the
    // same second must not wipe the first one's record.
    for (int copy = 1; copy <= kMaxSameSecond; ++copy) {
        file.setFileName(folder + QLatin1Char('/') + candidateName(baseName, copy));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!QFileInfo::exists(file.fileName()))
            break;
    }
    Log(QStringLiteral("Unable to create session report ") + file.fileName() + QStringLiteral(": ") +
        file.errorString());
    return false;
}

void TfrmSessionReport::WriteLine(const QString &text)
{
    if (!IsOpen())
        return;
    writeBytes(text.toUtf8() + "\r\n");
}

void TfrmSessionReport::WriteLines(const QStringList &texts)
{
    for (const QString &text : texts)
        WriteLine(text);
}

void TfrmSessionReport::WriteAction(const QString &text)
{
    WriteLine(kBlankLine);
    WriteLine(QStringLiteral("--> ") + text);
    WriteLine(kBlankLine);
}

void TfrmSessionReport::WriteBanner(const QString &text)
{
    const QDateTime now = clock();
    const QLocale locale;
    const QString stamp = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                          locale.toString(now.time(), QLocale::LongFormat);
    writeFramed(QLatin1Char('-'), {text, QStringLiteral("Time:") + stamp});
}

void TfrmSessionReport::WriteError(const QString &text)
{
    writeFramed(QLatin1Char('!'), {QStringLiteral("ERROR: ") + text});
}

void TfrmSessionReport::writeFramed(QChar frameChar, const QStringList &body)
{
    const QString frame(kFrameWidth, frameChar);
    WriteLine(kBlankLine);
    WriteLine(frame);
    WriteLines(body);
    WriteLine(frame);
    WriteLine(kBlankLine);
}

void TfrmSessionReport::CloseReport()
{
    if (IsOpen()) {
        WriteBanner(QStringLiteral("Report Closed"));
        file.close();
    }
}

void TfrmSessionReport::writeBytes(const QByteArray &bytes)
{
    // A report is a courtesy to support: a full disk must not stop the
    // connection, but it is worth one line in the debug log.
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    if (!written && !writeErrorLogged) {
        writeErrorLogged = true;
        Log(QStringLiteral("Unable to write session report ") + file.fileName() + QStringLiteral(": ") +
            file.errorString());
    }
}
