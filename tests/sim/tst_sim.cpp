// The simulated sensor seen from the line: a plain termios client on the
// slave side of its pseudo-terminal.
#include "sim/simulator.h"
#include "simclient.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <poll.h>
#include <signal.h>

namespace
{
const QString appDir = QStringLiteral(TALVEK_TEST_APP_DIR);
const QString illegal = QStringLiteral("ILLEGAL COMMAND LINE");

SimOptions Options(const QString &product)
{
    SimOptions o;
    o.product = product;
    o.dataDir = appDir;
    o.echo = false;
    o.streamIntervalMs = 60000; // no data lines unless a test wants them
    return o;
}

// "CMD:MS" items sorted by command.
QString LateText(const QHash<QString, int> &late)
{
    QStringList items;
    for (auto it = late.cbegin(); it != late.cend(); ++it)
        items << it.key() + QLatin1Char(':') + QString::number(it.value());
    items.sort();
    return items.join(QLatin1Char(' '));
}
} // namespace

class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void identity_data();
    void identity();
    void unknownProduct();
    void setupMode();
    void serialAndStar();
    void reads_data();
    void reads();
    void writes_data();
    void writes();
    void delayedWriteKeepsValueInForce();
    void sensorTypeDecidesUnits();
    void substituteNamesInReports();
    void echo();
    void wrongBaudRate();
    void baudWriteSwitchesRate();
    void streaming();
    void dataHeldBackWhileTyping();
    void nothingStaleForTheNextProgram();
    void switchedOffBeforePowerOn();
    void starAnsweredAt4800AfterPowerOn();
    void staysAt4800AfterStarAcrossReopen();
    void ownRateAfterWindowWithoutStar();
    void faultSilence();
    void faultHangUp();
    void faultNoiseAndLoneLf();
    void faultOverlong();
    void faultSlow();
    void faultRefusedWrite();
    void faultIgnoredCommands();
    void faultLateAnswer();
    void configurationFile();
    void alias();
    void commandLine_data();
    void commandLine();
    void executable();

private:
    // Starts a simulator and opens a client at 19200 baud on it.
    bool Connect(const SimOptions &options, SimClient &client, bool setup = true);
    std::unique_ptr<Simulator> m_sim;
};

bool TestSim::Connect(const SimOptions &options, SimClient &client, bool setup)
{
    m_sim = std::make_unique<Simulator>(options);
    QString error;
    if (!m_sim->Start(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    if (!client.Open(m_sim->DevicePath(), 19200))
        return false;
    return !setup || client.Exchange("**" + options.address.toLatin1().repeated(4) + "\n") ==
                         QStringList{QStringLiteral("SETUP MODE")};
}

void TestSim::identity_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<int>("optionBits");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("identity");
    // Option bits by product: tilt with wind, rain gauge fitted except on type
    // 2, pitch/roll and PIN on GPS types, heat stress on type 3, heating with
    // a compass.
    QTest::newRow("type 3") << "Tempris KDX530-3 PV9" << -1 << "Q"
                            << "9.63 PV=9 OPTION=8803 \"TEMPRIS KDX530-3-8803\" [Q]";
    QTest::newRow("type 3B") << "Tempris KDX530-3B PV9" << -1 << "Q"
                             << "9.63 PV=9 OPTION=9807 \"TEMPRIS KDX530-3B-9807\" [Q]";
    QTest::newRow("type 2, no rain gauge") << "Tempris KDX520-2 PV5" << -1 << "Q"
                                           << "5.35 PV=5 OPTION=8001 \"TEMPRIS KDX520-2-8001\" [Q]";
    QTest::newRow("type 9, no compass") << "Tempris KDX590-9 PV3" << -1 << "Q"
                                        << "3.21 PV=3 OPTION=0001 \"TEMPRIS KDX590-9-0001\" [Q]";
    QTest::newRow("type 4, no wind") << "Tempris KDX540-4 PV1" << -1 << "Q"
                                     << "1.07 PV=1 OPTION=0000 \"TEMPRIS KDX540-4-0000\" [Q]";
    QTest::newRow("option bits given") << "Tempris KDX600-10 PV7" << 0x1234 << "B"
                                       << "7.49 PV=7 OPTION=1234 \"TEMPRIS KDX600-10-1234\" [B]";
    QTest::newRow("heated Corvix") << "Corvix II Heated PV4" << -1 << "Q"
                                   << "4.28 PV=4 HEATING=1 AXIS=UV \"CORVIX II\" [Q]";
    QTest::newRow("UVW Corvix") << "Corvix Pro UVW PV5" << -1 << "Z"
                                << "5.35 PV=5 AXIS=UVW \"CORVIX PRO\" [Z]";
    QTest::newRow("Relaypoint") << "Relaypoint PV6" << -1 << "Q"
                                << "6.42 PV=6 \"RELAYPOINT\" [Q]";
    QTest::newRow("from an identity") << "1.00 PV=8 \"TEMPRIS KDX552-5B-0004\" [A]" << -1 << "Q"
                                      << "8.56 PV=8 OPTION=0004 \"TEMPRIS KDX552-5B-0004\" [Q]";
}

void TestSim::identity()
{
    QFETCH(QString, product);
    QFETCH(int, optionBits);
    QFETCH(QString, address);
    QFETCH(QString, identity);
    SimOptions o = Options(product);
    o.optionBits = optionBits;
    o.address = address;
    SimClient client;
    QVERIFY(Connect(o, client, false));
    QCOMPARE(client.Exchange("%%%"), QStringList{QStringLiteral("ID:") + identity});
    // The same answer in setup mode.
    QCOMPARE(client.Exchange("**" + address.toLatin1().repeated(4) + "\n"), QStringList{QStringLiteral("SETUP MODE")});
    QCOMPARE(client.Exchange("%%%"), QStringList{QStringLiteral("ID:") + identity});
}

void TestSim::unknownProduct()
{
    for (const QString &product : {QStringLiteral("Tempris KDX999-1 PV9"), QStringLiteral("Corvix II PV9"),
                                   QStringLiteral("1.00 PV=9 \"CORVIX II\" [Q]"), QStringLiteral("PV=3 nothing")}) {
        Simulator sim(Options(product));
        QString error;
        QVERIFY2(!sim.Start(&error), qPrintable(product));
        QVERIFY(!error.isEmpty());
    }
}

void TestSim::setupMode()
{
    SimClient client;
    QVERIFY(Connect(Options(QStringLiteral("Tempris KDX510-1 PV4")), client, false));
    // Measuring: only the unit query and the setup command are heard.
    QCOMPARE(client.Exchange("AVGLONG", 1, 200), QStringList());
    QCOMPARE(client.Exchange("**BBBB\n", 1, 200), QStringList()); // another unit's address
    QCOMPARE(client.Exchange("**QQQQ", 1, 200), QStringList());   // no LF
    QVERIFY(!m_sim->InSetupMode());
    QCOMPARE(client.Exchange("**QQQQ\n"), QStringList{QStringLiteral("SETUP MODE")});
    QVERIFY(m_sim->InSetupMode());
    QCOMPARE(client.Exchange("**QQQQ\n"), QStringList{QStringLiteral("UNNECESSARY COMMAND")});
    QCOMPARE(client.Exchange("AVGLONG"), QStringList{QStringLiteral("AVGLONG = 60")});
    QCOMPARE(client.Exchange("NOSUCHCMD"), QStringList{illegal});
    QCOMPARE(client.Exchange("", 1, 200), QStringList()); // a lone CR
    QCOMPARE(client.Exchange("EXIT", 1, 200), QStringList());
    QVERIFY(!m_sim->InSetupMode());
    QCOMPARE(client.Exchange("NOSUCHCMD", 1, 200), QStringList());
}

void TestSim::serialAndStar()
{
    SimOptions o = Options(QStringLiteral("Corvix Precip PV3"));
    o.serial = QStringLiteral("54321");
    SimClient client;
    QVERIFY(Connect(o, client, false));
    QCOMPARE(client.Exchange("*"), QStringList{QStringLiteral("OK")});
    QCOMPARE(client.Exchange("SERIAL", 1, 200), QStringList()); // not while measuring
    QCOMPARE(client.Exchange("**QQQQ\n"), QStringList{QStringLiteral("SETUP MODE")});
    QCOMPARE(client.Exchange("SERIAL"), QStringList{QStringLiteral("SERIAL = 54321 ")});
    QCOMPARE(client.Exchange("*"), QStringList{QStringLiteral("OK")});
}

void TestSim::reads_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<QStringList>("reply");
    const QString relay = QStringLiteral("Relaypoint PV6");
    const QString t5 = QStringLiteral("Tempris KDX550-5 PV6");
    QTest::newRow("int") << relay << "POLLINT" << QStringList{"POLLINT = 10"};
    QTest::newRow("delayedint") << relay << "MODBUSADDR" << QStringList{"MODBUSADDR = 1", "MODBUSADDR AFTER RESET = 1"};
    QTest::newRow("select") << relay << "LOGMODE" << QStringList{"LOGMODE = CIRCULAR"};
    QTest::newRow("delayedselect") << relay << "COMMS" << QStringList{"COMMS = RS232", "COMMS AFTER RESET = RS232"};
    QTest::newRow("sensorunits") << relay << "PRESSUNIT" << QStringList{"PRESSUNIT = HPA"};
    QTest::newRow("reportstr") << relay << "REPORT" << QStringList{"REPORT = CHECK,NODE,TIME,AN1,DIG1,STATUS"};
    QTest::newRow("reportxdr") << relay << "XDRREPORT" << QStringList{"XDRREPORT = XDR,AN1,DIG1,CHECK"};
    QTest::newRow("senstypeselect") << relay << "AN1SENSOR" << QStringList{"AN1SENSOR = TEMPERATURE"};
    QTest::newRow("senstypeselect off") << relay << "AN2SENSOR" << QStringList{"AN2SENSOR = NOT CONFIGURED"};
    QTest::newRow("cfgsensorunits") << relay << "DIG1UNITS" << QStringList{"DIG1UNITS = MM"};
    QTest::newRow("cfgsensorunits off") << relay << "AN2UNITS" << QStringList{"AN2UNITS = NOT CONFIGURED"};
    QTest::newRow("aniptype") << relay << "AN1INPUT" << QStringList{"AN1INPUT = 4-20MA,60,-40"};
    QTest::newRow("aniptype off") << relay << "AN3INPUT" << QStringList{"AN3INPUT = NOT CONFIGURED"};
    QTest::newRow("substname") << relay << "AN1SUBST" << QStringList{"AN1SUBST = NOT CONFIGURED"};
    QTest::newRow("digcount") << relay << "DIG1RES" << QStringList{"DIG1RES = 0.2"};
    QTest::newRow("digcount off") << relay << "AN2RES" << QStringList{"AN2RES = NOT CONFIGURED"};
    QTest::newRow("string empty") << relay << "STATION" << QStringList{"STATION ="};
    QTest::newRow("maskedfloat") << t5 << "LOWWIND" << QStringList{"LOWWIND = 0.20"};
    QTest::newRow("maskedfloat signed") << t5 << "DECLINATION" << QStringList{"DECLINATION = +000.0"};
    QTest::newRow("fitted option: tilt") << t5 << "TILT" << QStringList{"TILT = ON"};
    QTest::newRow("missing option: PIN") << t5 << "PIN" << QStringList{illegal};
    QTest::newRow("present without PIN") << t5 << "POWERMODE" << QStringList{"POWERMODE = NORMAL"};
    QTest::newRow("rain gauge not fitted") << "Tempris KDX520-2 PV9"
                                           << "PRECIPUNIT" << QStringList{illegal};
    QTest::newRow("no heating on type 9") << "Tempris KDX590-9 PV9"
                                          << "HEATMODE" << QStringList{illegal};
    QTest::newRow("heat stress fitted") << "Tempris KDX530-3 PV9"
                                        << "POSTURE" << QStringList{"POSTURE = STANDING"};
    QTest::newRow("heat stress not fitted") << "Tempris KDX600-10 PV9"
                                            << "POSTURE" << QStringList{illegal};
    QTest::newRow("early modular report") << "Corvix II PV2"
                                          << "REPORT" << QStringList{"REPORT = CHECK,NODE,DIR,SPEED,STATUS"};
    QTest::newRow("lower case command") << relay << "pollint" << QStringList{"POLLINT = 10"};
}

void TestSim::reads()
{
    QFETCH(QString, product);
    QFETCH(QString, cmd);
    QFETCH(QStringList, reply);
    SimClient client;
    QVERIFY(Connect(Options(product), client));
    QCOMPARE(client.Exchange(cmd.toLatin1(), reply.size()), reply);
    QCOMPARE(client.Lines(1, 50), QStringList()); // exactly that many lines
}

void TestSim::writes_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("write");
    QTest::addColumn<QString>("reply");    // the answer to the write
    QTest::addColumn<QString>("readBack"); // the first line of the read afterwards
    const QString relay = QStringLiteral("Relaypoint PV6");
    const QString t3 = QStringLiteral("Tempris KDX530-3 PV9");
    const QString t5 = QStringLiteral("Tempris KDX550-5 PV6");
    QTest::newRow("int") << relay << "POLLINT 20"
                         << "POLLINT = 20"
                         << "POLLINT = 20";
    QTest::newRow("int above max") << relay << "POLLINT 3601" << illegal << "POLLINT = 10";
    QTest::newRow("int not a number") << relay << "POLLINT 1O" << illegal << "POLLINT = 10";
    QTest::newRow("select") << relay << "LOGMODE FILL"
                            << "LOGMODE = FILL"
                            << "LOGMODE = FILL";
    QTest::newRow("select, no such option") << relay << "LOGMODE SOMETIMES" << illegal << "LOGMODE = CIRCULAR";
    QTest::newRow("sensorunits") << relay << "PRESSUNIT INHG"
                                 << "PRESSUNIT = INHG"
                                 << "PRESSUNIT = INHG";
    QTest::newRow("sensorunits of another measure") << relay << "PRESSUNIT MM" << illegal << "PRESSUNIT = HPA";
    QTest::newRow("report words") << relay << "REPORT NODE AN1 VOLT STATUS"
                                  << "REPORT = CHECK,NODE,AN1,VOLT,STATUS"
                                  << "REPORT = CHECK,NODE,AN1,VOLT,STATUS";
    QTest::newRow("report, unknown word")
        << relay << "REPORT NODE SPEED" << illegal << "REPORT = CHECK,NODE,TIME,AN1,DIG1,STATUS";
    QTest::newRow("report FULL") << relay << "REPORT FULL"
                                 << "REPORT = CHECK,NODE,TIME,AN1,AN2,AN3,AN4,DIG1,DIG2,SENSORDATA,VOLT,STATUS,USERINF"
                                 << "REPORT = CHECK,NODE,TIME,AN1,AN2,AN3,AN4,DIG1,DIG2,SENSORDATA,VOLT,STATUS,USERINF";
    QTest::newRow("report NMEA before protocol 8") << relay << "REPORT NMEA"
                                                   << "REPORT = CHECK,MWV,XDR"
                                                   << "REPORT = CHECK,MWV,XDR";
    QTest::newRow("report sentences from protocol 8") << t3 << "REPORT NMEA MWVR XDR"
                                                      << "REPORT = CHECK,MWVR,XDR"
                                                      << "REPORT = CHECK,MWVR,XDR";
    QTest::newRow("report, fitted option word") << t3 << "REPORT NODE XTILT WBGT"
                                                << "REPORT = CHECK,NODE,XTILT,WBGT"
                                                << "REPORT = CHECK,NODE,XTILT,WBGT";
    QTest::newRow("report, missing option word")
        << t3 << "REPORT NODE PITCH" << illegal << "REPORT = CHECK,NODE,DIR,SPEED,TEMP,RH,PRESS,SOLARRAD,STATUS";
    QTest::newRow("xdr") << relay << "XDRREPORT XDR AN2 VOLT"
                         << "XDRREPORT = XDR,AN2,VOLT,CHECK"
                         << "XDRREPORT = XDR,AN2,VOLT,CHECK";
    QTest::newRow("xdr, unknown transducer")
        << relay << "XDRREPORT XDR NODE" << illegal << "XDRREPORT = XDR,AN1,DIG1,CHECK";
    QTest::newRow("aniptype") << relay << "AN1INPUT 0-5V 100 0"
                              << "AN1INPUT = 0-5V,100,0"
                              << "AN1INPUT = 0-5V,100,0";
    QTest::newRow("aniptype, equal ends") << relay << "AN1INPUT 0-5V 5 5" << illegal << "AN1INPUT = 4-20MA,60,-40";
    QTest::newRow("aniptype, two fields") << relay << "AN1INPUT 0-5V 5" << illegal << "AN1INPUT = 4-20MA,60,-40";
    QTest::newRow("aniptype off") << relay << "AN1INPUT NOT CONFIGURED"
                                  << "AN1INPUT = NOT CONFIGURED"
                                  << "AN1INPUT = NOT CONFIGURED";
    QTest::newRow("substname") << relay << "AN1SUBST TAIR"
                               << "AN1SUBST = TAIR"
                               << "AN1SUBST = TAIR";
    QTest::newRow("substname reserved") << relay << "AN1SUBST volt" << illegal << "AN1SUBST = NOT CONFIGURED";
    QTest::newRow("substname too short") << relay << "AN1SUBST TA" << illegal << "AN1SUBST = NOT CONFIGURED";
    QTest::newRow("digcount") << relay << "AN1RES 0.005"
                              << "AN1RES = 0.005"
                              << "AN1RES = 0.005";
    QTest::newRow("digcount, four decimals") << relay << "AN1RES 0.0005" << illegal << "AN1RES = 0.1";
    QTest::newRow("digcount off") << relay << "AN1RES NOT CONFIGURED"
                                  << "AN1RES = NOT CONFIGURED"
                                  << "AN1RES = NOT CONFIGURED";
    QTest::newRow("maskedfloat") << t5 << "DECLINATION -3.25"
                                 << "DECLINATION = -003.3"
                                 << "DECLINATION = -003.3";
    QTest::newRow("maskedfloat out of range") << t5 << "DECLINATION 181" << illegal << "DECLINATION = +000.0";
    QTest::newRow("maskedfloat not a number") << t5 << "LOWWIND 1,5" << illegal << "LOWWIND = 0.20";
    QTest::newRow("string") << relay << "STATION HILLTOP 2"
                            << "STATION = HILLTOP 2"
                            << "STATION = HILLTOP 2";
    QTest::newRow("string, quotes for empty") << relay << "USERINF \"\""
                                              << "USERINF ="
                                              << "USERINF =";
    QTest::newRow("string too long") << relay << "STATION ABCDEFGHIJKLMNOPQ" << illegal << "STATION =";
    QTest::newRow("string, forbidden character") << relay << "STATION A,B" << illegal << "STATION =";
    QTest::newRow("missing option") << t5 << "PIN 1234" << illegal << illegal;
}

void TestSim::writes()
{
    QFETCH(QString, product);
    QFETCH(QString, write);
    QFETCH(QString, reply);
    QFETCH(QString, readBack);
    SimClient client;
    QVERIFY(Connect(Options(product), client));
    QCOMPARE(client.Exchange(write.toLatin1()), QStringList{reply});
    QCOMPARE(client.Exchange(write.section(QLatin1Char(' '), 0, 0).toLatin1()).value(0), readBack);
}

void TestSim::delayedWriteKeepsValueInForce()
{
    SimClient client;
    QVERIFY(Connect(Options(QStringLiteral("Relaypoint PV6")), client));
    QCOMPARE(client.Exchange("MODBUSADDR 17"), QStringList{QStringLiteral("MODBUSADDR AFTER RESET = 17")});
    QCOMPARE(client.Exchange("MODBUSADDR", 2),
             (QStringList{QStringLiteral("MODBUSADDR = 1"), QStringLiteral("MODBUSADDR AFTER RESET = 17")}));
    QCOMPARE(client.Exchange("MODBUSADDR 248"), QStringList{illegal});
    QCOMPARE(m_sim->Pending(QStringLiteral("MODBUSADDR")), QStringLiteral("17"));
    // A delayed baud rate leaves the line as it is until the next power-up.
    QCOMPARE(client.Exchange("BAUD 9600"), QStringList{QStringLiteral("BAUD AFTER RESET = 9600")});
    QCOMPARE(client.Exchange("BAUD", 2),
             (QStringList{QStringLiteral("BAUD = 19200"), QStringLiteral("BAUD AFTER RESET = 9600")}));
}

void TestSim::sensorTypeDecidesUnits()
{
    SimClient client;
    QVERIFY(Connect(Options(QStringLiteral("Relaypoint PV6")), client));
    // An input without a sensor takes no units.
    QCOMPARE(client.Exchange("AN2UNITS C"), QStringList{illegal});
    QCOMPARE(client.Exchange("AN2SENSOR PRESSURE"), QStringList{QStringLiteral("AN2SENSOR = PRESSURE")});
    QCOMPARE(client.Exchange("AN2UNITS"), QStringList{QStringLiteral("AN2UNITS = HPA")});
    QCOMPARE(client.Exchange("AN2UNITS C"), QStringList{illegal});
    QCOMPARE(client.Exchange("AN2UNITS KPA"), QStringList{QStringLiteral("AN2UNITS = KPA")});
    QCOMPARE(client.Exchange("AN2UNITS NOT CONFIGURED"), QStringList{illegal});
    QCOMPARE(client.Exchange("AN2SENSOR CUSTOM"), QStringList{QStringLiteral("AN2SENSOR = CUSTOM")});
    QCOMPARE(client.Exchange("AN2UNITS lx_2"), QStringList{QStringLiteral("AN2UNITS = LX_2")});
    QCOMPARE(client.Exchange("AN2UNITS LUXES"), QStringList{illegal});
    QCOMPARE(client.Exchange("AN2SENSOR NOT CONFIGURED"), QStringList{QStringLiteral("AN2SENSOR = NOT CONFIGURED")});
    QCOMPARE(client.Exchange("AN2UNITS"), QStringList{QStringLiteral("AN2UNITS = NOT CONFIGURED")});
    QCOMPARE(client.Exchange("AN2UNITS NOT CONFIGURED"), QStringList{QStringLiteral("AN2UNITS = NOT CONFIGURED")});
    QCOMPARE(client.Exchange("AN2SENSOR RAINFALL"), QStringList{illegal});
}

void TestSim::substituteNamesInReports()
{
    SimClient client;
    QVERIFY(Connect(Options(QStringLiteral("Relaypoint PV6")), client));
    QCOMPARE(client.Exchange("AN1SUBST TAIR"), QStringList{QStringLiteral("AN1SUBST = TAIR")});
    // The device lists an input by its substitute name and takes either name.
    QCOMPARE(client.Exchange("REPORT"), QStringList{QStringLiteral("REPORT = CHECK,NODE,TIME,TAIR,DIG1,STATUS")});
    QCOMPARE(client.Exchange("XDRREPORT XDR TAIR DIG1"),
             QStringList{QStringLiteral("XDRREPORT = XDR,TAIR,DIG1,CHECK")});
    QCOMPARE(client.Exchange("REPORT NODE AN1"), QStringList{QStringLiteral("REPORT = CHECK,NODE,TAIR")});
}

void TestSim::echo()
{
    SimOptions o = Options(QStringLiteral("Tempris KDX560-6 PV6"));
    o.echo = true;
    SimClient client;
    QVERIFY(Connect(o, client, false));
    client.Write("SERI");
    QCOMPARE(client.Raw(100), QByteArray("SERI")); // each character as it arrives
    client.Write("AL\r");
    QCOMPARE(client.Raw(100), QByteArray("AL\r\n")); // measuring: the echo only
    QCOMPARE(client.Exchange("**QQQQ\n", 2), (QStringList{QStringLiteral("**QQQQ\n"), QStringLiteral("SETUP MODE")}));
    QCOMPARE(client.Exchange("TEMPUNIT", 2), (QStringList{QStringLiteral("TEMPUNIT"), QStringLiteral("TEMPUNIT = C")}));
    QCOMPARE(client.Exchange("ECHO OFF", 2), (QStringList{QStringLiteral("ECHO OFF"), QStringLiteral("ECHO = OFF")}));
    QCOMPARE(client.Exchange("TEMPUNIT", 2), QStringList{QStringLiteral("TEMPUNIT = C")});
}

void TestSim::wrongBaudRate()
{
    SimOptions o = Options(QStringLiteral("Corvix Pro PV5"));
    o.baud = 9600;
    o.echo = true;
    o.streamIntervalMs = 50;
    o.holdBackMs = 20;
    SimClient client;
    QVERIFY(Connect(o, client, false));
    for (int baud : {19200, 4800, 38400, 57600}) {
        QVERIFY(client.SetBaud(baud));
        client.Drain();
        client.Send("%%%");
        const QByteArray got = client.Raw(250);
        QVERIFY2(!got.isEmpty(), "the data lines still arrive, garbled");
        QVERIFY2(!got.contains('\r') && !got.contains('\n'), got.toHex().constData());
        for (char c : got)
            QVERIFY(uchar(c) >= 0x80);
    }
    QVERIFY(client.SetBaud(9600));
    QVERIFY(client.Exchange("%%%", 2).contains(QStringLiteral("ID:5.35 PV=5 AXIS=UV \"CORVIX PRO\" [Q]")));
}

void TestSim::baudWriteSwitchesRate()
{
    // A plain (not delayed) baud rate applies as soon as its answer is out.
    SimClient client;
    QVERIFY(Connect(Options(QStringLiteral("Corvix II PV3")), client));
    QCOMPARE(client.Exchange("BAUD 4800"), QStringList{QStringLiteral("BAUD = 4800")});
    QCOMPARE(client.Exchange("BAUD", 1, 200), QStringList());
    QVERIFY(client.SetBaud(4800));
    QCOMPARE(client.Exchange("BAUD"), QStringList{QStringLiteral("BAUD = 4800")});
    QCOMPARE(client.Exchange("ADDRESS C"), QStringList{QStringLiteral("ADDRESS = C")});
    QCOMPARE(client.Exchange("EXIT", 1, 100), QStringList());
    QCOMPARE(client.Exchange("**QQQQ\n", 1, 200), QStringList());
    QCOMPARE(client.Exchange("**CCCC\n"), QStringList{QStringLiteral("SETUP MODE")});
    QVERIFY(m_sim->Identity().endsWith(QLatin1String("[C]")));
}

void TestSim::streaming()
{
    SimOptions o = Options(QStringLiteral("Tempris KDX570-7 PV7"));
    o.streamIntervalMs = 100;
    o.holdBackMs = 50;
    SimClient client;
    QVERIFY(Connect(o, client, false));
    const QStringList lines = client.Lines(3, 1000);
    QCOMPARE(lines.size(), 3);
    // NODE,TEMP,RH,PRESS,STATUS and a checksum, values moving slowly.
    const QRegularExpression shape(QStringLiteral("^Q,[+-]\\d{3}\\.\\d,\\d{3}\\.\\d,\\d{4}\\.\\d,0000\\*[0-9A-F]{2}$"));
    for (const QString &line : lines)
        QVERIFY2(shape.match(line).hasMatch(), qPrintable(line));
    QVERIFY(qAbs(lines[0].section(',', 1, 1).toDouble() - lines[2].section(',', 1, 1).toDouble()) < 1);
    QCOMPARE(client.Exchange("**QQQQ\n"), QStringList{QStringLiteral("SETUP MODE")});
    QCOMPARE(client.Lines(1, 400), QStringList()); // silent in setup mode
    QCOMPARE(client.Exchange("REPORT NMEA"), QStringList{QStringLiteral("REPORT = CHECK,XDR")});
    client.Send("EXIT");
    const QStringList nmea = client.Lines(1, 1000);
    QCOMPARE(nmea.size(), 1);
    QVERIFY2(nmea[0].startsWith(QLatin1String("$WIXDR,C,")), qPrintable(nmea[0]));
}

void TestSim::dataHeldBackWhileTyping()
{
    SimOptions o = Options(QStringLiteral("Tempris KDX510-1 PV9"));
    o.streamIntervalMs = 30;
    o.holdBackMs = 150;
    o.echo = true;
    SimClient client;
    QVERIFY(Connect(o, client, false));
    QVERIFY(!client.Lines(1, 500).isEmpty());
    client.Drain();
    QByteArray got;
    for (char c : QByteArray("%%%\r")) {
        client.Write(QByteArray(1, c));
        got += client.Raw(60);
    }
    got += client.Raw(20);
    QVERIFY2(got.startsWith("%%%\r\nID:"), got.constData());
}

void TestSim::nothingStaleForTheNextProgram()
{
    SimOptions o = Options(QStringLiteral("Tempris KDX580-8 PV8"));
    o.streamIntervalMs = 20;
    Simulator sim(o);
    QString error;
    QVERIFY(sim.Start(&error));
    QTest::qWait(300); // fifteen data lines would pile up if it wrote to a closed line
    SimClient client;
    QVERIFY(client.Open(sim.DevicePath(), 19200));
    QVERIFY(client.Raw(15).count('\n') <= 1);
    client.Close();
    QTest::qWait(200);
    QVERIFY(client.Open(sim.DevicePath(), 19200));
    QVERIFY(client.Raw(15).count('\n') <= 1);
}

// A sensor configured at 19200 that is switched on some time after the port opens.
static SimOptions PowerCycled(int powerOnAfterMs, int safeWindowMs)
{
    SimOptions o = Options(QStringLiteral("Corvix Pro PV5"));
    o.powerOnAfterMs = powerOnAfterMs;
    o.safeWindowMs = safeWindowMs;
    return o;
}

void TestSim::switchedOffBeforePowerOn()
{
    SimOptions o = PowerCycled(60000, 3000);
    o.echo = true;
    o.streamIntervalMs = 50;
    o.holdBackMs = 20;
    SimClient client;
    QVERIFY(Connect(o, client, false));
    for (int baud : {19200, 4800}) {
        QVERIFY(client.SetBaud(baud));
        client.Send("*");
        client.Send("%%%");
        QCOMPARE(client.Raw(300), QByteArray()); // no echo, no answer, no data lines
    }
    QCOMPARE(m_sim->Commands(), 0);
}

void TestSim::starAnsweredAt4800AfterPowerOn()
{
    SimClient client;
    QVERIFY(Connect(PowerCycled(300, 3000), client, false));
    QVERIFY(client.SetBaud(4800));
    QCOMPARE(client.Exchange("*", 1, 100), QStringList()); // still off
    // Probing over and over, as a program waiting for the power-up does.
    QTRY_COMPARE_WITH_TIMEOUT(client.Exchange("*", 1, 150), QStringList{QStringLiteral("OK")}, 3000);
}

void TestSim::staysAt4800AfterStarAcrossReopen()
{
    SimOptions o = PowerCycled(100, 600);
    o.streamIntervalMs = 50; // measuring, it would send data lines at once
    o.holdBackMs = 20;
    SimClient client;
    QVERIFY(Connect(o, client, false));
    QVERIFY(client.SetBaud(4800));
    QTRY_COMPARE_WITH_TIMEOUT(client.Exchange("*", 1, 100), QStringList{QStringLiteral("OK")}, 3000);
    QTest::qWait(700); // the window is over: only the "*" keeps it at 4800
    const QStringList id{QStringLiteral("ID:5.35 PV=5 AXIS=UV \"CORVIX PRO\" [Q]")};
    QCOMPARE(client.Exchange("%%%"), id);
    QVERIFY(client.SetBaud(19200));
    QCOMPARE(client.Exchange("%%%", 1, 200), QStringList());
    client.Close();
    QTest::qWait(100);
    // The sensor never saw the port close: the next program finds it still in safe mode.
    QVERIFY(client.Open(m_sim->DevicePath(), 19200));
    QCOMPARE(client.Exchange("%%%", 1, 300), QStringList());
    QVERIFY(client.SetBaud(4800));
    QCOMPARE(client.Exchange("%%%"), id);
    QCOMPARE(client.Raw(300), QByteArray()); // and still sends no data lines
    // There it takes setup mode and is read as at its own rate, which it still reports.
    QCOMPARE(client.Exchange("**QQQQ\n"), QStringList{QStringLiteral("SETUP MODE")});
    QCOMPARE(client.Exchange("BAUD"), QStringList{QStringLiteral("BAUD = 19200")});
    client.Exchange("EXIT");
    QVERIFY(!m_sim->InSetupMode());
    QCOMPARE(client.Raw(300), QByteArray()); // leaving setup mode does not end safe mode
    QCOMPARE(client.Exchange("%%%"), id);
}

void TestSim::ownRateAfterWindowWithoutStar()
{
    SimClient client;
    QVERIFY(Connect(PowerCycled(100, 2000), client, false));
    const QStringList id{QStringLiteral("ID:5.35 PV=5 AXIS=UV \"CORVIX PRO\" [Q]")};
    QCOMPARE(client.Exchange("%%%", 1, 300), QStringList()); // off, then listening at 4800 only
    QTRY_COMPARE_WITH_TIMEOUT(client.Exchange("%%%", 1, 150), id, 6000);
    QVERIFY(client.SetBaud(4800));
    QCOMPARE(client.Exchange("*", 1, 200), QStringList()); // the window has passed unused
}

void TestSim::faultSilence()
{
    SimOptions o = Options(QStringLiteral("Tempris KDX540-4 PV4"));
    o.faults.silenceAfter = 3;
    SimClient client;
    QVERIFY(Connect(o, client)); // one
    QCOMPARE(client.Exchange("AVGLONG"), QStringList{QStringLiteral("AVGLONG = 60")});
    QCOMPARE(client.Exchange("%%%").size(), 1); // three
    QCOMPARE(client.Exchange("AVGLONG", 1, 300), QStringList());
    QCOMPARE(client.Exchange("%%%", 1, 300), QStringList());
    QCOMPARE(m_sim->Commands(), 3);
}

void TestSim::faultHangUp()
{
    SimOptions o = Options(QStringLiteral("Relaypoint PV6"));
    o.faults.hangUpAfter = 2;
    SimClient client;
    QVERIFY(Connect(o, client));
    QVERIFY(!client.HungUp(100));
    QCOMPARE(client.Exchange("LOGINT"), QStringList{QStringLiteral("LOGINT = 60")});
    QVERIFY(!m_sim->HungUp());
    client.Send("LOGMODE"); // the third command: no answer, the line is gone
    QVERIFY(client.HungUp(1000));
    QCOMPARE(client.Lines(1, 100), QStringList());
    QVERIFY(m_sim->HungUp());
    pollfd p{m_sim->FinishedFd(), POLLIN, 0};
    QCOMPARE(poll(&p, 1, 1000), 1);
}

void TestSim::faultNoiseAndLoneLf()
{
    SimOptions o = Options(QStringLiteral("Tempris KDX540-4 PV5"));
    o.faults.noise = true;
    o.faults.loneLf = true;
    SimClient client;
    QVERIFY(Connect(o, client, false));
    client.Drain();
    client.Send("**QQQQ\n");
    QCOMPARE(client.Raw(200), QByteArray("\xff\x1b\x80\x7f\xfeSETUP MODE\r\n\n\r\n"));
}

void TestSim::faultOverlong()
{
    SimOptions o = Options(QStringLiteral("Tempris KDX540-4 PV5"));
    o.faults.overlong = true;
    o.streamIntervalMs = 50;
    o.holdBackMs = 10;
    SimClient client;
    QVERIFY(Connect(o, client, false));
    const QStringList data = client.Lines(1, 1000);
    QCOMPARE(data.size(), 1);
    QCOMPARE(data[0].size(), 2000);
    QVERIFY(data[0].startsWith(QLatin1String("Q,")));
    QCOMPARE(client.Exchange("**QQQQ\n"), QStringList{QStringLiteral("SETUP MODE")});
    const QStringList star = client.Exchange("*");
    QCOMPARE(star.size(), 1);
    QCOMPARE(star[0].size(), 2000);
}

void TestSim::faultSlow()
{
    SimOptions o = Options(QStringLiteral("Tempris KDX540-4 PV5"));
    o.faults.slowMs = 300;
    o.echo = true;
    SimClient client;
    QVERIFY(Connect(o, client, false));
    client.Send("%%%");
    QCOMPARE(client.Lines(2, 150), QStringList{QStringLiteral("%%%")}); // the echo is not slowed
    const QStringList late = client.Lines(1, 600);
    QCOMPARE(late.size(), 1);
    QVERIFY(late[0].startsWith(QLatin1String("ID:")));
}

void TestSim::faultRefusedWrite()
{
    SimOptions o = Options(QStringLiteral("Tempris KDX540-4 PV5"));
    o.faults.refused = QStringList{QStringLiteral("AVGLONG")};
    SimClient client;
    QVERIFY(Connect(o, client));
    QCOMPARE(client.Exchange("AVGLONG 30"), QStringList{illegal});
    QCOMPARE(client.Exchange("AVGLONG"), QStringList{QStringLiteral("AVGLONG = 60")});
    QCOMPARE(client.Exchange("PRESSREF SEALEVEL"), QStringList{QStringLiteral("PRESSREF = SEALEVEL")});
}

void TestSim::faultIgnoredCommands()
{
    SimOptions o = Options(QStringLiteral("Tempris KDX540-4 PV5"));
    o.faults.ignored = QStringList{QStringLiteral("AVGLONG")};
    SimClient client;
    QVERIFY(Connect(o, client));
    QCOMPARE(client.Exchange("AVGLONG", 1, 300), QStringList());
    QCOMPARE(client.Exchange("AVGLONG 30", 1, 300), QStringList());
    QCOMPARE(m_sim->Value(QStringLiteral("AVGLONG")), QStringLiteral("60")); // nor is it written
    QCOMPARE(client.Exchange("PRESSREF"), QStringList{QStringLiteral("PRESSREF = STATION")});
    QCOMPARE(client.Exchange("%%%").size(), 1); // still there
}

void TestSim::faultLateAnswer()
{
    SimOptions o = Options(QStringLiteral("Tempris KDX540-4 PV5"));
    o.faults.lateMs.insert(QStringLiteral("AVGLONG"), 400);
    SimClient client;
    QVERIFY(Connect(o, client));
    client.Drain();
    client.Send("AVGLONG");
    QCOMPARE(client.Lines(1, 250), QStringList());
    // A command sent meanwhile is answered first; the late answer follows.
    client.Send("PRESSREF");
    QCOMPARE(client.Lines(1, 250), QStringList{QStringLiteral("PRESSREF = STATION")});
    QCOMPARE(client.Lines(1, 400), QStringList{QStringLiteral("AVGLONG = 60")});
    QCOMPARE(client.Exchange("PRESSREF"), QStringList{QStringLiteral("PRESSREF = STATION")});
}

void TestSim::configurationFile()
{
    QTemporaryDir dir;
    QFile source(appDir + QStringLiteral("/relaypoint_pv6_template.tdx"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QByteArray xml = source.readAll();
    // A saved configuration: the template's form with other values.
    xml.replace("<value>60</value>", "<value>900</value>");
    const int logMode = xml.indexOf("<cmd>LOGMODE</cmd>");
    xml.replace(xml.indexOf("<selected>1</selected>", logMode), 22, "<selected>2</selected>");
    const QString file = dir.filePath(QStringLiteral("hub.tcf"));
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::WriteOnly));
    saved.write(xml);
    saved.close();

    SimOptions o = Options(QStringLiteral("Relaypoint PV6"));
    o.configFile = file;
    SimClient client;
    QVERIFY(Connect(o, client));
    QCOMPARE(client.Exchange("LOGINT"), QStringList{QStringLiteral("LOGINT = 900")});
    QCOMPARE(client.Exchange("LOGMODE"), QStringList{QStringLiteral("LOGMODE = FILL")});

    Simulator other(Options(QStringLiteral("Corvix II PV5")));
    SimOptions wrong = Options(QStringLiteral("Corvix II PV5"));
    wrong.configFile = file;
    Simulator mismatch(wrong);
    QString error;
    QVERIFY(!mismatch.Start(&error));
    QVERIFY2(error.contains(QLatin1String("RELAYPOINT")), qPrintable(error));
    wrong.configFile = dir.filePath(QStringLiteral("missing.tcf"));
    Simulator missing(wrong);
    QVERIFY(!missing.Start(&error));
}

void TestSim::alias()
{
    QTemporaryDir dir;
    QString link;
    {
        Simulator sim(Options(QStringLiteral("Tempris KDX510-1 PV1")));
        QString error;
        QVERIFY(sim.Start(&error));
        QVERIFY2(sim.RegisterAlias(dir.path(), 7, &error), qPrintable(error));
        link = dir.filePath(QStringLiteral("ports/COM7"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.DevicePath());
        SimClient client;
        QVERIFY(client.Open(link, 19200));
        QVERIFY(client.Exchange("%%%").value(0).startsWith(QLatin1String("ID:")));
    }
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    // A regular file of that name is not ours to replace.
    QFile file(dir.filePath(QStringLiteral("ports/COM8")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    Simulator sim(Options(QStringLiteral("Tempris KDX510-1 PV1")));
    QString error;
    QVERIFY(sim.Start(&error));
    QVERIFY(!sim.RegisterAlias(dir.path(), 8, &error));
    QVERIFY(file.exists());
}

void TestSim::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("check"); // "field=value" of the result
    QTest::newRow("defaults") << QStringList{} << true << "product=Tempris KDX530-3 PV9";
    QTest::newRow("baud") << QStringList{"--baud", "4800"} << true << "baud=4800";
    QTest::newRow("odd baud") << QStringList{"--baud", "4801"} << false << "";
    QTest::newRow("echo off") << QStringList{"--echo", "off"} << true << "echo=0";
    QTest::newRow("echo maybe") << QStringList{"--echo", "maybe"} << false << "";
    QTest::newRow("address") << QStringList{"--address", "b"} << true << "address=B";
    QTest::newRow("address two letters") << QStringList{"--address", "AB"} << false << "";
    QTest::newRow("options") << QStringList{"--options", "8801"} << true << "options=34817";
    QTest::newRow("options too big") << QStringList{"--options", "18801"} << false << "";
    QTest::newRow("com") << QStringList{"--com", "12", "--app-data", "/tmp/x"} << true << "com=12";
    QTest::newRow("com 0") << QStringList{"--com", "0"} << false << "";
    QTest::newRow("faults") << QStringList{"--silence-after", "4", "--refuse", "baud,avglong", "--slow", "20"} << true
                            << "refused=BAUD AVGLONG";
    QTest::newRow("negative count") << QStringList{"--hangup-after", "-1"} << false << "";
    QTest::newRow("ignored") << QStringList{"--ignore", "avglong,baud"} << true << "ignored=AVGLONG BAUD";
    QTest::newRow("late") << QStringList{"--late", "avglong:400,baud:50"} << true << "late=AVGLONG:400 BAUD:50";
    QTest::newRow("late without delay") << QStringList{"--late", "avglong"} << false << "";
    QTest::newRow("late negative") << QStringList{"--late", "avglong:-3"} << false << "";
    QTest::newRow("power cycle") << QStringList{"--power-on-after", "1500", "--safe-window", "2000"} << true
                                 << "power=1500 2000";
    QTest::newRow("power on by default") << QStringList{} << true << "power=-1 3000";
    QTest::newRow("negative power-on") << QStringList{"--power-on-after", "-5"} << false << "";
    QTest::newRow("stray argument") << QStringList{"COM3"} << false << "";
    QTest::newRow("unknown option") << QStringList{"--colour", "red"} << false << "";
}

void TestSim::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    QFETCH(QString, check);
    SimCommandLine line;
    QString error, help;
    QCOMPARE(ParseSimCommandLine(QStringList{QStringLiteral("talvek-sensorsim")} + args, &line, &error, &help), ok);
    QCOMPARE(error.isEmpty(), ok);
    if (!ok)
        return;
    const QString field = check.section(QLatin1Char('='), 0, 0), want = check.section(QLatin1Char('='), 1);
    const SimOptions &o = line.options;
    const QString got = field == QLatin1String("product")   ? o.product
                        : field == QLatin1String("baud")    ? QString::number(o.baud)
                        : field == QLatin1String("echo")    ? QString::number(o.echo)
                        : field == QLatin1String("address") ? o.address
                        : field == QLatin1String("options") ? QString::number(o.optionBits)
                        : field == QLatin1String("com")     ? QString::number(line.comNumber)
                        : field == QLatin1String("power")
                            ? QStringLiteral("%1 %2").arg(o.powerOnAfterMs).arg(o.safeWindowMs)
                        : field == QLatin1String("ignored") ? o.faults.ignored.join(QLatin1Char(' '))
                        : field == QLatin1String("late")    ? LateText(o.faults.lateMs)
                                                            : o.faults.refused.join(QLatin1Char(' '));
    QCOMPARE(got, want);
}

void TestSim::executable()
{
    QTemporaryDir dir;
    QProcess process;
    process.start(appDir + QStringLiteral("/talvek-sensorsim"),
                  {QStringLiteral("--product"), QStringLiteral("Tempris KDX600-10 PV9"), QStringLiteral("--com"),
                   QStringLiteral("5"), QStringLiteral("--app-data"), dir.path()});
    QVERIFY(process.waitForStarted());
    QVERIFY(process.waitForReadyRead(5000));
    while (process.bytesAvailable() == 0 || !process.peek(4096).contains("COM5"))
        QVERIFY(process.waitForReadyRead(5000));
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    QVERIFY2(out.contains(QLatin1String("ID:9.63 PV=9 OPTION=8003 \"TEMPRIS KDX600-10-8003\" [Q]")), qPrintable(out));
    const QString link = dir.filePath(QStringLiteral("ports/COM5"));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(out.contains(QFileInfo(link).symLinkTarget()));
    SimClient client;
    QVERIFY(client.Open(link, 19200));
    QCOMPARE(client.Exchange("**QQQQ\n", 2).value(1), QStringLiteral("SETUP MODE")); // echo on by default
    client.Close();
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
