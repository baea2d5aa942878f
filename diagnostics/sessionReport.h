#pragma once
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <functional>

// The session report: one text file per device connection in the folder
// "SessionReports" of the application data folder, recording what the user
// did and what the device answered, in a form a user can send to support.
//
// Every operation does nothing while no report is open, so callers never
// test first. Each line is flushed as it is written, so a crash loses
// nothing already reported. Lines end with CR LF; the text is UTF-8.
// UI thread only.
class TfrmSessionReport : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    static constexpr int kFrameWidth = 75;
    // Reports of the same product, serial and second get "_2" ... up to this.
    static constexpr int kMaxSameSecond = 999;

    explicit TfrmSessionReport(QObject *parent = nullptr);
    ~TfrmSessionReport() override; // closes an open report with its closing banner

    // Creates a new report file (never replacing an existing one) and writes
    // the program caption and the opening banner. On failure the user is told
    // once and the report stays closed. An open report is closed first.
    bool OpenReport(const QString &productName, const QString &serialNumber);
    void WriteLine(const QString &text);
    void WriteLines(const QStringList &texts);
    void WriteAction(const QString &text);
    void WriteBanner(const QString &text);
    void WriteError(const QString &text);
    void CloseReport();

    bool IsOpen() const { return file.isOpen(); }
    // The full path of the open report or of the last one opened; empty
    // after a failed open.
    QString FilePath() const { return file.fileName(); }

    // The time source (local time by default); tests fix it.
    void SetClock(Clock newClock);

    // GetAppDataFolder() + "SessionReports".
    static QString ReportFolder();
    // product + "_" + serial + "_yyMMdd_HHmmss", made safe as a file name
    // (no extension, no counter).
    static QString BaseFileName(const QString &productName, const QString &serialNumber, const QDateTime &when);

private:
    bool ensureFolder(const QString &folder);
    bool createUniqueFile(const QString &folder, const QString &baseName);
    void writeFramed(QChar frameChar, const QStringList &body);
    void writeBytes(const QByteArray &bytes);

    QFile file;
    Clock clock;
    bool writeErrorLogged = false;
};
