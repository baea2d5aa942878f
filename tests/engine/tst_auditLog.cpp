// The audit log on its own: the chain, every way of tampering with it, a
// damaged end, the reading filters, and two processes appending at once.
#include "engine/auditLog.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace
{
QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(data), data.size());
}

AuditEntry Entry(const QString &serial, int value, const QDateTime &time = {})
{
    AuditEntry entry;
    entry.time = time;
    entry.action = QStringLiteral("write");
    entry.port = QStringLiteral("COM7");
    entry.node = QStringLiteral("/dev/pts/3");
    entry.product = QStringLiteral("TEMPRIS KDX530-3");
    entry.identity = QStringLiteral("9.63 PV=9 \"TEMPRIS KDX530-3\" [Q]");
    entry.serial = serial;
    entry.outcome = value % 2 ? AuditEntry::kNotVerified : AuditEntry::kVerified;
    if (value % 2)
        entry.notVerified = QStringList{QStringLiteral("OUTPUTINT")};
    entry.changes = {{QStringLiteral("OUTPUTINT"), QString::number(value), QString::number(value + 1)},
                     {QStringLiteral("USERINF"), QStringLiteral("-"), QStringLiteral("Mast \"north\"")}};
    return entry;
}

QList<QByteArray> Lines(const QByteArray &data)
{
    QList<QByteArray> lines = data.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray Joined(const QList<QByteArray> &lines)
{
    return lines.join('\n') + '\n';
}
} // namespace

class TestAuditLog : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;

    QString Path() const { return dir->filePath(QStringLiteral("audit.log")); }

    // A log of count entries, of two sensors.
    void MakeLog(int count)
    {
        const AuditLog log(Path());
        for (int i = 0; i < count; ++i)
            QVERIFY(log.Append(Entry(i % 2 ? QStringLiteral("111") : QStringLiteral("222"), i)).ok);
    }

    AuditVerifyResult VerifyData(const QByteArray &data)
    {
        const QString path = dir->filePath(QStringLiteral("changed.log"));
        WriteAll(path, data);
        return AuditLog(path).Verify();
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void entriesChainAndReadBackAsWritten()
    {
        const AuditLog log(Path());
        const AuditAppendResult first = log.Append(Entry(QStringLiteral("12345"), 4));
        QVERIFY2(first.ok, qPrintable(first.error));
        const AuditAppendResult second = log.Append(Entry(QStringLiteral("12345"), 5));
        QVERIFY(second.ok);
        const QList<QByteArray> lines = Lines(ReadAll(Path()));
        QCOMPARE(lines.size(), 2);
        const auto sha = [](const QByteArray &line) {
            return QString::fromLatin1(QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex());
        };
        QCOMPARE(first.hash, sha(lines[0]));
        QCOMPARE(second.hash, sha(lines[1]));
        // Each line is a JSON object naming the line before it.
        const QJsonObject one = QJsonDocument::fromJson(lines[0]).object();
        const QJsonObject two = QJsonDocument::fromJson(lines[1]).object();
        QCOMPARE(one.value("prev").toString(), AuditLog::ZeroHash());
        QCOMPARE(two.value("prev").toString(), first.hash);
        QVERIFY(one.value("time").toString().endsWith(QLatin1Char('Z')));
        QVERIFY(!one.value("user").toString().isEmpty());
        QVERIFY(!one.value("host").toString().isEmpty());

        const AuditReadResult read = log.Read();
        QVERIFY(read.readable);
        QCOMPARE(read.entries.size(), 2);
        const AuditEntry &entry = read.entries[1];
        QCOMPARE(entry.line, 2);
        QCOMPARE(entry.hash, second.hash);
        QCOMPARE(entry.outcome, AuditEntry::kNotVerified);
        QCOMPARE(entry.notVerified, QStringList{QStringLiteral("OUTPUTINT")});
        QCOMPARE(entry.changes.size(), 2);
        QCOMPARE(entry.changes[0].before, QStringLiteral("5"));
        QCOMPARE(entry.changes[0].after, QStringLiteral("6"));
        QCOMPARE(entry.changes[1].after, QStringLiteral("Mast \"north\""));
        QCOMPARE(entry.port, QStringLiteral("COM7"));
        QCOMPARE(entry.node, QStringLiteral("/dev/pts/3"));

        const AuditVerifyResult verified = log.Verify();
        QCOMPARE(verified.status, AuditVerifyResult::Status::Intact);
        QCOMPARE(verified.entries, 2);
        QCOMPARE(verified.lastHash, second.hash);
    }

    void changingAnyByteIsFound()
    {
        MakeLog(3);
        const QByteArray original = ReadAll(Path());
        QCOMPARE(VerifyData(original).status, AuditVerifyResult::Status::Intact);
        for (qsizetype i = 0; i < original.size(); ++i) {
            const char was = original[i];
            for (char now : {char(was ^ 0x01), '\n'}) {
                if (now == was)
                    continue;
                QByteArray changed = original;
                changed[i] = now;
                const AuditVerifyResult result = VerifyData(changed);
                if (result.status != AuditVerifyResult::Status::Broken)
                    QFAIL(qPrintable(QStringLiteral("byte %1 changed from %2 to %3 was not found")
                                         .arg(i)
                                         .arg(int(was))
                                         .arg(int(now))));
            }
        }
    }

    void deletedReorderedAndForgedLinesAreNamed_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("words");
        QTest::newRow("middle line deleted") << "delete 2" << 3 << "deleted";
        QTest::newRow("first line deleted") << "delete 0" << 1 << "deleted";
        QTest::newRow("two lines swapped") << "swap 1" << 2 << "reordered";
        QTest::newRow("a line copied to the end") << "copy 1" << 6 << "";
        QTest::newRow("a forged line appended") << "forge" << 6 << "forged";
        QTest::newRow("a line of text appended") << "text" << 6 << "not JSON";
        QTest::newRow("a line edited and re-hashed") << "rehash 2" << 4 << "";
        QTest::newRow("torn end") << "tear" << 5 << "";
    }

    void deletedReorderedAndForgedLinesAreNamed()
    {
        QFETCH(QString, change);
        QFETCH(int, line);
        QFETCH(QString, words);
        MakeLog(5);
        QList<QByteArray> lines = Lines(ReadAll(Path()));
        const QStringList parts = change.split(' ');
        const int at = parts.value(1).toInt();
        QByteArray data;
        if (parts[0] == "delete") {
            lines.removeAt(at);
        } else if (parts[0] == "swap") {
            lines.swapItemsAt(at, at + 1);
        } else if (parts[0] == "copy") {
            lines.append(lines[at]);
        } else if (parts[0] == "forge") {
            AuditEntry forged = Entry(QStringLiteral("111"), 9);
            forged.time = QDateTime::currentDateTimeUtc();
            forged.prev = QString(64, QLatin1Char('f'));
            lines.append(AuditLog::FormatLine(forged));
        } else if (parts[0] == "text") {
            lines.append("{\"serial\":\"111\"");
        } else if (parts[0] == "rehash") {
            // Edited with its own hash made right again: the next line still knows.
            QJsonObject object = QJsonDocument::fromJson(lines[at]).object();
            AuditEntry edited = Entry(object.value("serial").toString(), 7);
            edited.time = QDateTime::fromString(object.value("time").toString(), Qt::ISODateWithMs);
            edited.user = object.value("user").toString();
            edited.host = object.value("host").toString();
            edited.prev = object.value("prev").toString();
            lines[at] = AuditLog::FormatLine(edited);
        }
        data = Joined(lines);
        if (parts[0] == "tear")
            data.chop(20);
        const AuditVerifyResult result = VerifyData(data);
        QCOMPARE(result.status, AuditVerifyResult::Status::Broken);
        QCOMPARE(result.brokenLine, line);
        QVERIFY2(result.problem.startsWith(QStringLiteral("line %1 ").arg(line)), qPrintable(result.problem));
        QVERIFY2(result.problem.contains(words), qPrintable(result.problem));
    }

    void aDamagedEndRefusesLaterAppends_data()
    {
        QTest::addColumn<QByteArray>("tail");
        QTest::newRow("torn line") << QByteArray("{\"action\":\"wri");
        QTest::newRow("garbage line") << QByteArray("\x00\x00\x00\n", 4);
        QTest::newRow("an empty line") << QByteArray("\n");
    }

    void aDamagedEndRefusesLaterAppends()
    {
        QFETCH(QByteArray, tail);
        MakeLog(2);
        QFile file(Path());
        QVERIFY(file.open(QIODevice::Append));
        file.write(tail);
        file.close();
        const QByteArray damaged = ReadAll(Path());
        const AuditAppendResult result = AuditLog(Path()).Append(Entry(QStringLiteral("111"), 2));
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(QStringLiteral("damaged")), qPrintable(result.error));
        QCOMPARE(ReadAll(Path()), damaged); // nothing chained onto it
        const AuditVerifyResult verified = AuditLog(Path()).Verify();
        QCOMPARE(verified.status, AuditVerifyResult::Status::Broken);
        QCOMPARE(verified.brokenLine, 3);
    }

    void aLogThatCannotBeWrittenOrReadSaysWhy()
    {
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("audit.log"))); // a folder where the log should be
        const AuditAppendResult result = AuditLog(Path()).Append(Entry(QStringLiteral("111"), 2));
        QVERIFY(!result.ok);
        QVERIFY(result.error.contains(Path()));
        QCOMPARE(AuditLog(Path()).Verify().status, AuditVerifyResult::Status::Unreadable);
        const AuditVerifyResult missing = AuditLog(dir->filePath(QStringLiteral("none.log"))).Verify();
        QCOMPARE(missing.status, AuditVerifyResult::Status::Missing);
        QVERIFY(!AuditLog(dir->filePath(QStringLiteral("none.log"))).Read().readable);
        // An empty log is an intact one with no entries.
        WriteAll(dir->filePath(QStringLiteral("empty.log")), {});
        QCOMPARE(AuditLog(dir->filePath(QStringLiteral("empty.log"))).Verify().status,
                 AuditVerifyResult::Status::Intact);
    }

    void readingFiltersBySerialAndTime()
    {
        const AuditLog log(Path());
        const QDateTime start(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
        for (int day = 0; day < 4; ++day)
            for (const QString &serial : {QStringLiteral("111"), QStringLiteral("222")})
                QVERIFY(log.Append(Entry(serial, day, start.addDays(day))).ok);
        QCOMPARE(log.Read().entries.size(), 8);
        AuditFilter filter;
        filter.serial = QStringLiteral("222");
        QList<AuditEntry> entries = log.Read(filter).entries;
        QCOMPARE(entries.size(), 4);
        for (const AuditEntry &entry : entries)
            QCOMPARE(entry.serial, QStringLiteral("222"));
        filter.since = start.addDays(2);
        entries = log.Read(filter).entries;
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].time, start.addDays(2));
        QCOMPARE(entries[1].time, start.addDays(3));
        filter.serial.clear();
        filter.since = start.addDays(3).addSecs(1);
        QVERIFY(log.Read(filter).entries.isEmpty());
    }

    void twoProcessesAppendingAtOnceLoseNothing()
    {
        QProcess one, two;
        one.start(QStringLiteral(TALVEK_AUDIT_APPENDER), {Path(), QStringLiteral("500"), QStringLiteral("one")});
        two.start(QStringLiteral(TALVEK_AUDIT_APPENDER), {Path(), QStringLiteral("500"), QStringLiteral("two")});
        QVERIFY(one.waitForFinished(60000));
        QVERIFY(two.waitForFinished(60000));
        QCOMPARE(one.exitCode(), 0);
        QCOMPARE(two.exitCode(), 0);
        const QList<QByteArray> lines = Lines(ReadAll(Path()));
        QCOMPARE(lines.size(), 1000);
        int ones = 0;
        for (const QByteArray &line : lines) {
            const QJsonDocument document = QJsonDocument::fromJson(line);
            QVERIFY(document.isObject()); // every line whole
            ones += document.object().value("serial").toString() == QLatin1String("one");
        }
        QCOMPARE(ones, 500);
        const AuditVerifyResult verified = AuditLog(Path()).Verify();
        QVERIFY2(verified.status == AuditVerifyResult::Status::Intact, qPrintable(verified.problem));
        QCOMPARE(verified.entries, 1000);
    }
};

QTEST_GUILESS_MAIN(TestAuditLog)
#include "tst_auditLog.moc"
