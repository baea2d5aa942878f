#include "base/appdata.h"
#include "base/log.h"
#include "serial/comms.h"
#include "tests/support/ptypeer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>
#include <unistd.h>

namespace
{
constexpr int comNumber = 42;
constexpr int testResponseTimeout = 250; // ms on top of the baud rate's own time
constexpr int fastBaud = 9;              // 115200: 27 ms extra response time

PortParams params(int baudCode = fastBaud)
{
    PortParams p;
    p.baudCode = baudCode;
    return p;
}

double processCpuMs()
{
    struct rusage usage {
    };
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0 + usage.ru_stime.tv_sec * 1000.0 +
           usage.ru_stime.tv_usec / 1000.0;
}

// Counts the link's line notifications.
class LineWatcher : public QObject
{
public:
    int notified = 0;
    bool event(QEvent *e) override
    {
        if (!IsRxLineEvent(e))
            return QObject::event(e);
        ++notified;
        return true;
    }
};

// A sensor that answers a few commands the way the real ones do.
QList<QByteArray> sensorReply(const QByteArray &line)
{
    if (line == "SERIAL")
        return {"SERIAL = 12345 "};
    if (line == "%%%")
        return {"ID:TST 1.0 [7]"};
    if (line == "*")
        return {"OK"};
    if (line == "BLANK")
        return {"   ", "\t"};
    if (line == "TWO")
        return {"LINE ONE", "LINE TWO"};
    return {};
}
} // namespace

class TestComms : public QObject
{
    Q_OBJECT
    QTemporaryDir dataDir;
    std::unique_ptr<PtyPeer> peer;
    std::unique_ptr<TComms> link;
    int portIndex = -1;
    QStringList debugLog;

    // The port log's entries without their time stamps.
    QStringList portLogEntries() const
    {
        QFile file(TfrmComPortUtils::LogFilePath(portIndex));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList entries;
        static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d "));
        for (const QString &line : QString::fromLatin1(file.readAll()).split(QLatin1Char('\n')))
            if (stamp.match(line).hasMatch())
                entries << line.mid(13);
        return entries;
    }

    void openLink(int responseTimeout = testResponseTimeout, int interCharDelay = 0, int baudCode = fastBaud)
    {
        link = std::make_unique<TComms>(nullptr, responseTimeout, interCharDelay);
        QCOMPARE(link->Init(portIndex, params(baudCode), 0), 0);
        QCOMPARE(link->OpenPortLog(), 0);
    }

    void startTransacting()
    {
        QCOMPARE(link->StartRxService(nullptr), 0);
        QCOMPARE(link->SetRxServiceMode(RX_MODE_TRANSACTING), 0);
    }

    int waitingLines()
    {
        int count = -1;
        link->GetRxLineCount(count);
        return count;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dataDir.isValid());
        SetAppDataFolder(dataDir.path());
        SetBusyRetryTime(300);
    }

    void init()
    {
        debugLog.clear();
        SetLogSink([this](const QString &text) { debugLog << text; });
        peer = std::make_unique<PtyPeer>();
        QVERIFY(peer->IsOpen());
        peer->SetResponder(sensorReply);
        portIndex = AddComAlias(*peer, comNumber);
        QFile::remove(TfrmComPortUtils::LogFilePath(portIndex));
    }

    void cleanup()
    {
        link.reset();
        peer.reset();
        SetLogSink({});
    }

    void baudTableAndTimingRules_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("extraResponse");
        const int extra[] = {29090, 10666, 2666, 8000, 666, 333, 166, 83, 55, 27};
        const char *names[] = {"110", "300", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
        for (int code = 0; code < 10; ++code)
            QTest::newRow(names[code]) << code << QString::fromLatin1(names[code]) << extra[code];
    }
    void baudTableAndTimingRules()
    {
        QFETCH(int, code);
        QFETCH(QString, name);
        QFETCH(int, extraResponse);
        link = std::make_unique<TComms>(nullptr, 0, 20);
        QCOMPARE(link->effectiveResponseTime, 0); // nothing set yet
        QCOMPARE(link->Init(portIndex, params(code), 0), 0);
        QCOMPARE(link->effectiveResponseTime, extraResponse);
        QCOMPARE(link->effectiveCharDelay, 21);
        QCOMPARE(peer->BaudRate(), name.toInt()); // the line really runs at that rate
        QString got;
        QCOMPARE(link->GetBaudName(code, got), 0);
        QCOMPARE(got, name);

        TComms slow(nullptr, 500, 7);
        QCOMPARE(slow.Init(portIndex, params(code), 0), ERR_PORT_NOT_OPEN); // the port is ours already
        link.reset();
        QCOMPARE(slow.Init(portIndex, params(code), 0), 0);
        QCOMPARE(slow.effectiveResponseTime, 500 + extraResponse);
        QCOMPARE(slow.effectiveCharDelay, 8);
    }

    void baudNamesOutsideTheTableAndTheBaudList()
    {
        TComms comms(nullptr, 0, 0);
        QString name = QStringLiteral("kept");
        QCOMPARE(comms.GetBaudName(10, name), ERR_PORT_PARAMETERS);
        QCOMPARE(comms.GetBaudName(-1, name), ERR_PORT_PARAMETERS);
        QCOMPARE(name, QStringLiteral("kept"));
        QStringList list{QStringLiteral("old")};
        QCOMPARE(comms.GetBaudList(list), 0);
        QCOMPARE(list, (QStringList{"4800", "9600", "19200", "38400", "57600"}));
    }

    void operationsOnAClosedPort()
    {
        TComms comms(nullptr, 0, 0);
        QCOMPARE(comms.port, -1);
        QCOMPARE(comms.SetBaud(6), ERR_PORT_NOT_OPEN);
        QCOMPARE(comms.OpenPortLog(), ERR_PORT_NOT_OPEN);
        QCOMPARE(comms.ClosePortLog(), 0);
        QCOMPARE(comms.ClosePort(), 0);
    }

    void initOnAMissingDeviceSaysWhy()
    {
        QFile::remove(GetAppDataFolder() + QStringLiteral("ports/COM43"));
        QFile::link(QStringLiteral("/dev/talvek-no-such-device"), GetAppDataFolder() + QStringLiteral("ports/COM43"));
        TComms comms(nullptr, 0, 0);
        QCOMPARE(comms.Init(42, params(), 0), ERR_PORT_NOT_OPEN);
        QCOMPARE(comms.port, -1);
        QVERIFY(debugLog.contains(QStringLiteral("SioReset Error.")));
        QVERIFY2(comms.OpenErrorText().contains(QStringLiteral("not present")), qPrintable(comms.OpenErrorText()));
        QVERIFY(debugLog.contains(comms.OpenErrorText()));
    }

    void aDeviceWithoutPermissionSaysWhatToDo()
    {
        if (geteuid() == 0)
            QSKIP("root may open any device");
        // Our own pseudo-terminal, closed to everyone.
        QVERIFY(QFile::setPermissions(peer->SlavePath(), QFileDevice::Permissions()));
        TComms comms(nullptr, 0, 0);
        QCOMPARE(comms.Init(portIndex, params(), 0), ERR_PORT_NOT_OPEN);
        const QString why = comms.OpenErrorText();
        QVERIFY2(why.startsWith(QStringLiteral("No permission to open ") + peer->SlavePath()), qPrintable(why));
        QVERIFY2(why.contains(QStringLiteral("group ")), qPrintable(why));
        QVERIFY(debugLog.contains(QStringLiteral("SioReset Error.")));
        QVERIFY(debugLog.contains(why));
    }

    void initWithLineSettingsTheDriverRefuses()
    {
        TComms comms(nullptr, 0, 0);
        PortParams bad = params();
        bad.dataBits = 9;
        QCOMPARE(comms.Init(portIndex, bad, 0), ERR_PORT_PARAMETERS);
        QVERIFY(debugLog.contains(QStringLiteral("SioParms Error.")));
        QCOMPARE(comms.port, -1);
        // Closed again: a second link may have it now.
        TComms other(nullptr, 0, 0);
        QCOMPARE(other.Init(portIndex, params(), 0), 0);
    }

    void aPortHeldByAnotherLinkIsReportedInUse()
    {
        openLink();
        TComms second(nullptr, 0, 0);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(second.Init(portIndex, params(), 0), ERR_PORT_NOT_OPEN);
        QVERIFY(clock.elapsed() >= 250); // it kept trying for the retry time
        QVERIFY2(second.OpenErrorText().contains(QStringLiteral("in use by another program")),
                 qPrintable(second.OpenErrorText()));
        QVERIFY(debugLog.contains(second.OpenErrorText()));
        link.reset();
        QCOMPARE(second.Init(portIndex, params(), 0), 0);
    }

    void exchangesNeedARunningThreadInTransactingMode()
    {
        openLink();
        QString response = QStringLiteral("x");
        QStringList list;
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, true), ERR_RX_SERVICE_NOT_STARTED);
        QCOMPARE(response, QStringLiteral("UNDEFINED"));
        QCOMPARE(link->SendCmdGetMultipleResp(QStringLiteral("SERIAL"), list), ERR_RX_SERVICE_NOT_STARTED);
        QCOMPARE(link->SetRxServiceMode(RX_MODE_TRANSACTING), ERR_RX_SERVICE_NOT_STARTED);
        int count = 7;
        QCOMPARE(link->GetRxLineCount(count), ERR_RX_SERVICE_NOT_STARTED);
        QCOMPARE(count, 0);
        QString line = QStringLiteral("kept");
        QCOMPARE(link->PopRxLine(line), ERR_RX_SERVICE_NOT_STARTED);

        QCOMPARE(link->StartRxService(nullptr), 0);
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, true), ERR_INCORRECT_RX_SERVICE_MODE);
        QCOMPARE(link->SendCmdGetMultipleResp(QStringLiteral("SERIAL"), list), ERR_INCORRECT_RX_SERVICE_MODE);
        QCOMPARE(link->PopRxLine(line), ERR_NO_LINE);
        QCOMPARE(line, QStringLiteral("kept"));
        QVERIFY(list.isEmpty());
        QVERIFY(peer->Lines().isEmpty()); // nothing was sent
        const QStringList log = portLogEntries();
        QCOMPARE(log.count(QStringLiteral("ERROR: ERR_RX_SERVICE_NOT_STARTED")), 2);
        QCOMPARE(log.count(QStringLiteral("ERROR: ERR_INCORRECT_RX_SERVICE_MODE")), 2);
    }

    void threadStartAndStopAreLoggedAndRestartGivesAnEmptyList()
    {
        openLink();
        QCOMPARE(link->StartRxService(nullptr), 0);
        QCOMPARE(link->StartRxService(nullptr), 0);
        QVERIFY(debugLog.contains(QStringLiteral("TComms::StartRxService called. Creating rxThread.")));
        QVERIFY(debugLog.contains(QStringLiteral("Thread already running")));
        peer->Send("ONE\r\nTWO\r\n");
        QTRY_COMPARE(waitingLines(), 2);
        QCOMPARE(link->StopRxService(), 0);
        QVERIFY(debugLog.contains(QStringLiteral("TComms::StopRxService called. Terminating rxThread.")));
        QCOMPARE(link->StopRxService(), 0);
        QCOMPARE(link->StartRxService(nullptr), 0);
        QCOMPARE(waitingLines(), 0);
    }

    void stoppingAThreadBlockedOnAQuietLineReturnsAtOnce()
    {
        openLink();
        QCOMPARE(link->StartRxService(nullptr), 0);
        QVERIFY(link->rxThread->running);
        QTest::qWait(100); // the thread is deep in its wait now
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(link->StopRxService(), 0);
        QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!debugLog.contains(QStringLiteral("- - -"))); // never found still running
        QVERIFY(!link->RxServiceRunning());
    }

    void aQuietLineCostsNoCpu()
    {
        openLink();
        QCOMPARE(link->StartRxService(nullptr), 0);
        const double before = processCpuMs();
        QThread::msleep(400);
        // A polling thread would use a good part of the 400 ms.
        QVERIFY2(processCpuMs() - before < 40, qPrintable(QString::number(processCpuMs() - before)));
    }

    void echoingDeviceSingleExchange()
    {
        peer->SetEcho(true);
        openLink();
        startTransacting();
        QString response;
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, true), 0);
        QCOMPARE(response, QStringLiteral("SERIAL = 12345"));
        QVERIFY(link->echoOn);
        const QStringList log = portLogEntries();
        QVERIFY(log.contains(QStringLiteral("--SendCmdGetSingleResp--")));
        QVERIFY(log.contains(QStringLiteral("SendString: SERIAL")));
        QVERIFY(log.contains(QStringLiteral("Removed Echo: SERIAL")));
        QVERIFY(log.contains(QStringLiteral("Response: SERIAL = 12345")));
        QVERIFY(log.contains(QStringLiteral("rx: SERIAL")));
        // The flush's CR, the command and its CR, in that order.
        QCOMPARE(peer->Received(), QByteArray("\rSERIAL\r"));
        QCOMPARE(waitingLines(), 0);
    }

    void silentDeviceSingleExchange()
    {
        openLink();
        startTransacting();
        QString response;
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, true), 0);
        QCOMPARE(response, QStringLiteral("SERIAL = 12345"));
        QVERIFY(!link->echoOn);
        QVERIFY(!portLogEntries().join('\n').contains(QStringLiteral("Removed Echo")));
    }

    void anEchoSlowerThanTheSenseWaitIsNotTheAnswer()
    {
        // The echo and the answer come together after the closing CR, long
        // after the 20 ms in which an echo is looked for.
        peer->SetResponder([](const QByteArray &line) -> QList<QByteArray> {
            if (line.isEmpty())
                return {};
            return {line, line + " = 42"};
        });
        openLink();
        startTransacting();
        QString response;
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("AVGLONG"), response, true), 0);
        QCOMPARE(response, QStringLiteral("AVGLONG = 42"));
        QVERIFY(link->echoOn);
        QVERIFY(portLogEntries().contains(QStringLiteral("Removed Echo: AVGLONG")));
        QCOMPARE(waitingLines(), 0);
    }

    void withoutTheClosingCrTheDeviceDoesNotAnswer()
    {
        openLink();
        startTransacting();
        QString response;
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, false), ERR_LINE_COUNT);
        QCOMPARE(peer->Received(), QByteArray("\rSERIAL"));
    }

    void unitQueryAndStarAwaitOneLine_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("echoRemoved");
        QTest::addColumn<QString>("response"); // empty: depends on how fast the reply follows its echo
        QTest::newRow("query, no echo") << false << "%%%" << true << "ID:TST 1.0 [7]";
        QTest::newRow("query, echo") << true << "%%%" << true << "";
        QTest::newRow("star, no echo") << false << "*" << false << "OK";
        QTest::newRow("star, echo") << true << "*" << false << "*";
    }
    void unitQueryAndStarAwaitOneLine()
    {
        QFETCH(bool, echo);
        QFETCH(QString, command);
        QFETCH(bool, echoRemoved);
        QFETCH(QString, response);
        peer->SetEcho(echo);
        openLink();
        startTransacting();
        QString got;
        QCOMPARE(link->SendCmdGetSingleResp(command, got, true), 0);
        QVERIFY(!link->echoOn);
        const QString log = portLogEntries().join('\n');
        QCOMPARE(log.contains(QStringLiteral("Removed Echo: ")), echoRemoved);
        if (!response.isEmpty())
            QCOMPARE(got, response);
        if (echo && echoRemoved)
            QVERIFY(log.contains(QStringLiteral("Removed Echo: %%%")));
    }

    void noReply_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::newRow("no echo") << false;
        QTest::newRow("echo") << true;
    }
    void noReply()
    {
        QFETCH(bool, echo);
        peer->SetEcho(echo);
        peer->SetResponder({});
        openLink();
        startTransacting();
        QString response = QStringLiteral("old");
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, true), ERR_LINE_COUNT);
        QVERIFY(clock.elapsed() >= link->effectiveResponseTime);
        QCOMPARE(response, QStringLiteral("UNDEFINED"));
        const QString expected = echo ? QStringLiteral("ERROR: line count, expected: 2 got:1")
                                      : QStringLiteral("ERROR: line count, expected: 1 got:0");
        QVERIFY(portLogEntries().contains(expected));

        QStringList list{QStringLiteral("earlier")};
        QCOMPARE(link->SendCmdGetMultipleResp(QStringLiteral("SERIAL"), list), ERR_NO_RESPONSE);
        QCOMPARE(list, QStringList{QStringLiteral("earlier")});
        const QStringList log = portLogEntries();
        QVERIFY(
            log.contains(echo ? QStringLiteral("ERROR: Empty Response List") : QStringLiteral("ERROR: No Response")));
    }

    void multipleExchangeReturnsEveryNonEmptyLine_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::newRow("no echo") << false;
        QTest::newRow("echo") << true;
    }
    void multipleExchangeReturnsEveryNonEmptyLine()
    {
        QFETCH(bool, echo);
        peer->SetEcho(echo);
        openLink();
        startTransacting();
        QStringList list{QStringLiteral("kept")};
        QCOMPARE(link->SendCmdGetMultipleResp(QStringLiteral("TWO"), list), 0);
        QCOMPARE(list, (QStringList{"kept", "LINE ONE", "LINE TWO"}));
        QCOMPARE(link->echoOn, echo);
        QCOMPARE(portLogEntries().contains(QStringLiteral("Removed Echo: TWO")), echo);
    }

    void aLateEchoIsNoAnswerOfAMultiLineExchange()
    {
        // Only the echo comes, after the sense wait: there is no answer.
        peer->SetResponder([](const QByteArray &line) -> QList<QByteArray> {
            if (line.isEmpty())
                return {};
            return {line};
        });
        openLink();
        startTransacting();
        QStringList list;
        QCOMPARE(link->SendCmdGetMultipleResp(QStringLiteral("SERIAL"), list), ERR_NO_RESPONSE);
        QVERIFY(list.isEmpty());
        QVERIFY(link->echoOn);
        QVERIFY(portLogEntries().contains(QStringLiteral("Removed Echo: SERIAL")));
    }

    void blankOnlyRepliesAreNoResponse()
    {
        openLink();
        startTransacting();
        QStringList list;
        QCOMPARE(link->SendCmdGetMultipleResp(QStringLiteral("BLANK"), list), ERR_NO_RESPONSE);
        QVERIFY(list.isEmpty());
        QVERIFY(portLogEntries().contains(QStringLiteral("ERROR: Empty Response List")));
        // Lines from an earlier exchange in the caller's list do not turn
        // this one into a success.
        QStringList earlier{QStringLiteral("SETUP MODE")};
        QCOMPARE(link->SendCmdGetMultipleResp(QStringLiteral("BLANK"), earlier), ERR_NO_RESPONSE);
        QCOMPARE(earlier, QStringList{QStringLiteral("SETUP MODE")});
    }

    void flushDropsOneStaleLineAndAPartialOne()
    {
        openLink();
        startTransacting();
        peer->Send("STALE\r\npart");
        QTRY_COMPARE(waitingLines(), 1);
        QTest::qWait(50);
        QString response;
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, true), 0);
        QCOMPARE(response, QStringLiteral("SERIAL = 12345")); // not "partSERIAL..." nor "STALE"
    }

    void flushDropsEveryStaleLine()
    {
        openLink();
        startTransacting();
        // Late answers to earlier commands, both still waiting.
        peer->Send("LATE = 1\r\nLATE = 2\r\n");
        QTRY_COMPARE(waitingLines(), 2);
        QString response;
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, true), 0);
        QCOMPARE(response, QStringLiteral("SERIAL = 12345"));
        QVERIFY(portLogEntries().contains(QStringLiteral("Discarded: LATE = 2")));
    }

    void lineAssembly()
    {
        openLink();
        QCOMPARE(link->StartRxService(nullptr), 0);
        peer->Send("AB\r\nCD\r\n");
        QTRY_COMPARE(waitingLines(), 2);
        peer->Send("\r\n\r");
        peer->Send(QByteArray("\x02\r", 2)); // not first in the buffer: no line of its own
        peer->Send("EF\r");
        QTRY_COMPARE(waitingLines(), 3);
        QTest::qWait(50);
        QCOMPARE(waitingLines(), 3); // no empty lines from the bare line ends
        QString line;
        QCOMPARE(link->PopRxLine(line), 0);
        QCOMPARE(line, QStringLiteral("AB"));
        QCOMPARE(link->PopRxLine(line), 0);
        QCOMPARE(line, QStringLiteral("\nCD"));
        QCOMPARE(TComms::CleanLine(line), QStringLiteral("CD"));
        QCOMPARE(link->PopRxLine(line), 0);
        QCOMPARE(line, QString::fromLatin1("\n\n\x02"
                                           "EF"));
        QCOMPARE(TComms::CleanLine(line), QStringLiteral("EF"));
        QCOMPARE(link->PopRxLine(line), ERR_NO_LINE);
    }

    void aLineStartingWithStxIsKeptWithoutText()
    {
        openLink();
        QCOMPARE(link->StartRxService(nullptr), 0);
        peer->Send(QByteArray("\x02\x03\r", 3));
        QTRY_COMPARE(waitingLines(), 1);
        QString line;
        link->PopRxLine(line);
        QCOMPARE(line, QString::fromLatin1("\x02\x03"));
    }

    void bytesAbove127AndNulAreKept()
    {
        openLink();
        QCOMPARE(link->StartRxService(nullptr), 0);
        peer->Send(QByteArray("A\0B\xE9\r", 5));
        QTRY_COMPARE(waitingLines(), 1);
        QString line;
        link->PopRxLine(line);
        QCOMPARE(line.size(), 4);
        QCOMPARE(line.at(3).unicode(), 0xE9);
        QCOMPARE(TComms::CleanLine(line), QStringLiteral("AB"));
    }

    void anOverlongLineKeepsItsFirst1023Bytes()
    {
        openLink();
        QCOMPARE(link->StartRxService(nullptr), 0);
        QByteArray longLine(1023, 'x');
        longLine += QByteArray(977, 'y');
        peer->Send(longLine + "\r\nNEXT\r\n");
        QTRY_COMPARE(waitingLines(), 2);
        QString line;
        link->PopRxLine(line);
        QCOMPARE(line, QString(1023, QLatin1Char('x')));
        link->PopRxLine(line);
        QCOMPARE(line, QStringLiteral("\nNEXT"));
    }

    void theListKeepsTheNewest500Lines()
    {
        openLink();
        LineWatcher watcher;
        QCOMPARE(link->StartRxService(&watcher), 0);
        QByteArray burst;
        for (int i = 0; i < 600; ++i)
            burst += "LINE " + QByteArray::number(i) + "\r\n";
        peer->Send(burst);
        QTRY_COMPARE(watcher.notified, 600);
        QCOMPARE(waitingLines(), 500);
        QString line;
        link->PopRxLine(line);
        QCOMPARE(TComms::CleanLine(line), QStringLiteral("LINE 100"));
        for (int i = 0; i < 499; ++i)
            QCOMPARE(link->PopRxLine(line), 0);
        QCOMPARE(TComms::CleanLine(line), QStringLiteral("LINE 599"));
    }

    void notificationsOnlyWhileStreaming()
    {
        openLink();
        auto watcher = std::make_unique<LineWatcher>();
        QCOMPARE(link->StartRxService(watcher.get()), 0);
        peer->Send("A\r\n");
        QTRY_COMPARE(watcher->notified, 1);
        QCOMPARE(link->SetRxServiceMode(RX_MODE_TRANSACTING), 0);
        peer->Send("B\r\n");
        QTRY_COMPARE(waitingLines(), 2);
        QTest::qWait(20);
        QCOMPARE(watcher->notified, 1);
        QCOMPARE(link->SetRxServiceMode(RX_MODE_STREAMING), 0);
        // The window goes away while lines keep arriving: nothing is posted to it.
        watcher.reset();
        peer->Send("C\r\nD\r\n");
        QTRY_COMPARE(waitingLines(), 4);
        QCoreApplication::processEvents();
    }

    void cleanLine_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("clean");
        QTest::newRow("plain") << "SERIAL = 1"
                               << "SERIAL = 1";
        QTest::newRow("leading lf") << "\nCD"
                                    << "CD";
        QTest::newRow("blanks around") << "  A B  "
                                       << "A B";
        QTest::newRow("controls inside") << "A\tB\x01"
                                            "C"
                                         << "ABC";
        QTest::newRow("high bytes") << QString::fromLatin1("\xe9t\xe9") << "t";
        QTest::newRow("only blanks") << " \t "
                                     << "";
        QTest::newRow("stx") << "\x02"
                                "DATA\x03"
                             << "DATA";
    }
    void cleanLine()
    {
        QFETCH(QString, raw);
        QFETCH(QString, clean);
        QCOMPARE(TComms::CleanLine(raw), clean);
    }

    void portLogFormat()
    {
        openLink();
        startTransacting();
        QString response;
        link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, true);
        QCOMPARE(link->ClosePortLog(), 0);
        QCOMPARE(link->OpenPortLog(), 0); // appends a second session
        link.reset();

        QFile file(dataDir.path() + QStringLiteral("/comm42.dbg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
        static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d $"));
        QVERIFY2(stamp.match(lines.at(0)).hasMatch(), qPrintable(lines.at(0)));
        QCOMPARE(lines.at(1), QStringLiteral(" --- Start of Debug Session --- "));
        QCOMPARE(lines.at(2), QString());
        QCOMPARE(lines.count(QStringLiteral(" --- Start of Debug Session --- ")), 2);
        // The second session ends with the link.
        QCOMPARE(lines.count(QStringLiteral(" --- End of Debug Session --- ")), 2);
        const QStringList entries = portLogEntries();
        const QStringList expected{"--SendCmdGetSingleResp--", "SendString: \r",      "SendString: SERIAL",
                                   "SendString: \r",           "rx: SERIAL = 12345 ", "Response: SERIAL = 12345"};
        for (const QString &entry : expected)
            QVERIFY2(entries.join('\n').contains(entry), qPrintable(entry));
        QVERIFY(entries.indexOf(QStringLiteral("rx: SERIAL = 12345 ")) <
                entries.indexOf(QStringLiteral("Response: SERIAL = 12345")));
    }

    void initAndBaudEntriesInThePortLog()
    {
        openLink();
        QCOMPARE(link->SetBaud(6), 0);
        QCOMPARE(link->Init(portIndex, params(7), 0), 0);
        const QStringList entries = portLogEntries();
        QVERIFY(entries.contains(QStringLiteral("Setting Baud : 19200")));
        QVERIFY(entries.contains(QStringLiteral("TComms::Init called")));
        QVERIFY(entries.contains(QStringLiteral("Setting Baud : 38400")));
        QCOMPARE(peer->BaudRate(), 38400);
    }

    void entriesFromBothThreadsArriveWhole()
    {
        openLink();
        QCOMPARE(link->StartRxService(nullptr), 0);
        QByteArray burst;
        for (int i = 0; i < 300; ++i)
            burst += "RECEIVED LINE NUMBER " + QByteArray::number(i) + " WITH SOME LENGTH TO IT\r";
        std::thread sender([&] { peer->Send(burst); });
        for (int i = 0; i < 300; ++i)
            link->portUtils->LogLine(QStringLiteral("written by the ui thread, entry %1 of a long series").arg(i));
        sender.join();
        QTRY_COMPARE(waitingLines(), 300);
        link->ClosePortLog();
        QFile file(TfrmComPortUtils::LogFilePath(portIndex));
        QVERIFY(file.open(QIODevice::ReadOnly));
        static const QRegularExpression whole(QStringLiteral(
            "^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d (rx: RECEIVED LINE NUMBER \\d+ WITH SOME LENGTH TO IT|written by the ui "
            "thread, entry \\d+ of a long series)$"));
        int matched = 0;
        for (const QString &line : QString::fromLatin1(file.readAll()).split(QLatin1Char('\n')))
            matched += whole.match(line).hasMatch() ? 1 : 0;
        QCOMPARE(matched, 600);
    }

    void aHangUpDuringAnExchange()
    {
        peer->HangUpOn("SERIAL");
        openLink();
        startTransacting();
        QString response;
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, true), ERR_LINE_COUNT);
        QCOMPARE(response, QStringLiteral("UNDEFINED"));
        QTRY_VERIFY(link->DeviceLost());
        QTRY_VERIFY(debugLog.join('\n').contains(QStringLiteral("hung up")));
        const double before = processCpuMs();
        QThread::msleep(300);
        QVERIFY2(processCpuMs() - before < 40, "the receive thread spins on the lost device");
        QStringList list;
        QCOMPARE(link->SendCmdGetMultipleResp(QStringLiteral("*"), list), ERR_NO_RESPONSE);
        QCOMPARE(waitingLines(), 0);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(link->StopRxService(), 0);
        QVERIFY(clock.elapsed() < 200);
        QCOMPARE(link->ClosePort(), 0);
    }

    void closingThePortStopsTheThreadFirst()
    {
        openLink();
        QCOMPARE(link->StartRxService(nullptr), 0);
        QCOMPARE(link->ClosePort(), 0);
        QVERIFY(!link->RxServiceRunning());
        QCOMPARE(link->port, comNumber - 1); // the index stays, as callers expect
    }

    void defaultTimingOfASingleExchange()
    {
        // The real waits: 5 s to settle, 21 ms a byte, 166 ms reply time at 19200.
        link = std::make_unique<TComms>(nullptr, 0, 20);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(link->Init(portIndex, params(6), 5000), 0);
        const qint64 settle = clock.elapsed();
        QVERIFY2(settle >= 5000 && settle < 6500, qPrintable(QString::number(settle)));
        startTransacting();
        QString response;
        clock.restart();
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, true), 0);
        const qint64 answered = clock.elapsed();
        // flush: CR and 100 ms; 6 bytes and CR at 21 ms; 20 ms pause.
        const int mandated = 21 + 100 + 6 * 21 + 20 + 21;
        QVERIFY2(answered >= mandated && answered < mandated + 400, qPrintable(QString::number(answered)));
        peer->SetResponder({});
        clock.restart();
        QCOMPARE(link->SendCmdGetSingleResp(QStringLiteral("SERIAL"), response, true), ERR_LINE_COUNT);
        const qint64 silent = clock.elapsed();
        QVERIFY2(silent >= mandated + 166 && silent < mandated + 166 + 400, qPrintable(QString::number(silent)));
    }
};

QTEST_GUILESS_MAIN(TestComms)
#include "tst_comms.moc"
