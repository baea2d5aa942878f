// Decoding a measuring sensor's lines: the simulated sensor is set up with a
// report (saved as a configuration it starts from) and its data lines are
// decoded with the same document, as the program holds it after a read.
#include "engine/channelTable.h"
#include "engine/csvRecorder.h"
#include "engine/lineDecoder.h"
#include "tests/support/simulatedLines.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace
{
const QString kAppDir = QStringLiteral(TALVEK_TEST_APP_DIR "/");
const QString kTempris10 = QStringLiteral("Tempris KDX600-10 PV9");

using Settings = SensorSettings;

SensorLines SimulatedLines(const QString &product, const Settings &settings, const QString &folder)
{
    return SimulatedLines(kAppDir, product, settings, folder);
}

QString Labelled(const Channel &channel)
{
    return channel.unit.isEmpty() ? channel.name : channel.name + QStringLiteral(" [") + channel.unit + ']';
}
} // namespace

class TestLiveDecoding : public QObject
{
    Q_OBJECT
    QTemporaryDir folder;

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
    }

    void decodesEveryReportForm_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QStringList>("expected"); // every channel the lines carry, with units

        QTest::newRow("parameter report")
            << kTempris10 << Settings{{"REPORT", "NODE DIR SPEED TEMP RH PRESS SOLARRAD STATUS"}}
            << QStringList{"NODE",     "DIR [DEG]",      "SPEED [MS]", "TEMP [C]", "RH [%]", "PRESS [HPA]",
                           "SOLARRAD [WM2]", "STATUS"};
        QTest::newRow("units set on the sensor")
            << kTempris10
            << Settings{{"REPORT", "DIR SPEED TEMP PRESS"}, {"SPEEDUNIT", "KTS"}, {"TEMPUNIT", "F"}, {"PRESSUNIT", "MB"}}
            << QStringList{"DIR [DEG]", "SPEED [KTS]", "TEMP [F]", "PRESS [MB]"};
        QTest::newRow("substitute name")
            << kTempris10
            << Settings{{"REPORT", "NODE SPEED AN1 STATUS"}, {"AN1SUBST", "WINDY"}, {"AN1SENSOR", "VOLTAGE"}, {"AN1UNITS", "MV"}}
            << QStringList{"NODE", "SPEED [MS]", "WINDY [MV]", "STATUS"};
        QTest::newRow("every sentence")
            << kTempris10 << Settings{{"REPORT", "NMEA"}}
            << QStringList{"DIR [DEG]", "SPEED [MS]", "TRUEDIR [DEG]", "TRUESPEED [MS]", "COMPASSH [DEG]",
                           "TEMP [C]",  "PRESS [HPA]"};
        QTest::newRow("some sentences") << kTempris10 << Settings{{"REPORT", "NMEA MWVT XDR"}}
                                        << QStringList{"TRUEDIR [DEG]", "TRUESPEED [MS]", "TEMP [C]", "PRESS [HPA]"};
        QTest::newRow("XDR transducers") << kTempris10
                                         << Settings{{"REPORT", "NMEA XDR"}, {"PRESSUNIT", "KPA"}}
                                         << QStringList{"TEMP [C]", "PRESS [KPA]"};
        QTest::newRow("position sentence")
            << QStringLiteral("Tempris KDX510-1B PV9") << Settings{{"REPORT", "NMEA GGA MWVR"}}
            << QStringList{"LAT [DEG]", "LON [DEG]", "ALT [M]", "DIR [DEG]", "SPEED [MS]"};
        QTest::newRow("sentences of an older sensor")
            << QStringLiteral("Tempris KDX600-10 PV5") << Settings{{"REPORT", "MWV XDR"}}
            << QStringList{"DIR [DEG]", "SPEED [MS]", "TEMP [C]", "PRESS [HPA]"};
        QTest::newRow("polar pair of a modular sensor")
            << QStringLiteral("Corvix II PV2") << Settings{{"REPORT", "NODE POLAR STATUS"}}
            << QStringList{"NODE", "DIR [DEG]", "SPEED [MS]", "STATUS"};
    }

    void decodesEveryReportForm()
    {
        QFETCH(QString, product);
        QFETCH(Settings, settings);
        QFETCH(QStringList, expected);
        const SensorLines sensor = SimulatedLines(product, settings, folder.path());
        QVERIFY(!sensor.lines.isEmpty());
        LineDecoder decoder(sensor.document);
        QSet<QString> carried;
        for (const QString &raw : sensor.lines) {
            const DecodedLine line = decoder.Decode(raw);
            QVERIFY2(line.status == LineStatus::Decoded, qPrintable(raw + QStringLiteral(": ") + line.reason));
            QStringList texts;
            for (const ChannelValue &value : line.values) {
                carried.insert(Labelled(decoder.Channels().at(value.channel)));
                texts << value.text;
            }
            // A parameter line's values are its fields, in order.
            if (!raw.contains(QLatin1Char('$')))
                QCOMPARE(texts.join(QLatin1Char(',')), raw.trimmed().section(QLatin1Char('*'), 0, 0));
        }
        QStringList got = carried.values();
        got.sort();
        expected.sort();
        QCOMPARE(got, expected);
    }

    void countsAndKeepsWhatDoesNotDecode()
    {
        const SensorLines sensor = SimulatedLines(kTempris10, {{"REPORT", "NODE DIR SPEED STATUS"}}, folder.path());
        QVERIFY(sensor.lines.size() >= 2);
        LineDecoder decoder(sensor.document);
        ChannelTable table;
        table.Add(decoder.Decode(sensor.lines[0]), decoder, 1000);
        const QString before = table.Rows().at(1).text;

        QString corrupt = sensor.lines[1];
        const qsizetype digit = corrupt.indexOf(QLatin1Char(','), 2) + 1; // the direction's first digit
        corrupt[digit] = corrupt[digit] == QLatin1Char('1') ? QLatin1Char('2') : QLatin1Char('1');
        const DecodedLine bad = decoder.Decode(corrupt);
        QCOMPARE(bad.status, LineStatus::BadChecksum);
        table.Add(bad, decoder, 2000);

        const DecodedLine shortLine = decoder.Decode(QStringLiteral("Q,123"));
        QCOMPARE(shortLine.status, LineStatus::Undecodable);
        QVERIFY2(shortLine.reason.contains(QLatin1String("2 fields")), qPrintable(shortLine.reason));
        table.Add(shortLine, decoder, 3000);

        const QString unknownBody = QStringLiteral("WIZZZ,1");
        const DecodedLine unknown = decoder.Decode('$' + unknownBody + '*' + LineChecksum(unknownBody));
        QCOMPARE(unknown.status, LineStatus::Undecodable);
        table.Add(unknown, decoder, 4000);
        table.Add(decoder.Decode(QStringLiteral("\r\n")), decoder, 5000);

        QCOMPARE(table.Decoded(), 1);
        QCOMPARE(table.BadChecksums(), 1);
        QCOMPARE(table.Undecodable(), 2);
        QCOMPARE(table.Rejected().size(), 3);
        QCOMPARE(table.Rejected().at(0).raw, corrupt);
        QCOMPARE(table.Rejected().at(2).status, LineStatus::Undecodable);
        QCOMPARE(table.Rows().at(1).text, before); // a bad line changes no value
    }

    void windDataMarkedNotValidIsCountedAndMarked()
    {
        const SensorLines sensor = SimulatedLines(kTempris10, {{"REPORT", "NMEA MWVR"}}, folder.path());
        QVERIFY(!sensor.lines.isEmpty());
        LineDecoder decoder(sensor.document);
        ChannelTable table;
        const DecodedLine valid = decoder.Decode(sensor.lines.first());
        QCOMPARE(valid.status, LineStatus::Decoded);
        QVERIFY(valid.valid);
        table.Add(valid, decoder, 1000);

        const QString body = QStringLiteral("WIMWV,123,R,004.50,M,V");
        const DecodedLine invalid = decoder.Decode('$' + body + '*' + LineChecksum(body));
        QCOMPARE(invalid.status, LineStatus::Decoded); // the values are still there to see
        QVERIFY(!invalid.valid);
        QVERIFY2(invalid.reason.contains(QLatin1String("not valid")), qPrintable(invalid.reason));
        table.Add(invalid, decoder, 2000);
        QCOMPARE(table.Decoded(), 2);
        QCOMPARE(table.NotValid(), 1);
        QCOMPARE(table.Errors(), 0);
        const QString speed = table.data(table.index(1, ChannelTable::ValueColumn)).toString();
        QVERIFY2(speed.startsWith(QLatin1String("004.50 ")) && speed.contains(QLatin1String("not valid")),
                 qPrintable(speed));

        table.Add(valid, decoder, 3000); // valid data again clears the mark
        QCOMPARE(table.data(table.index(1, ChannelTable::ValueColumn)).toString(), valid.values.at(1).text);
        QCOMPARE(table.NotValid(), 1);
        table.Clear();
        QCOMPARE(table.rowCount(), 0);
        QCOMPARE(table.Decoded(), 0);
        QCOMPARE(table.NotValid(), 0);
    }

    void noiseAroundALineIsNotPartOfIt()
    {
        const QString body = QStringLiteral("WIHDG,123,,,,");
        LineDecoder decoder;
        const DecodedLine line =
            decoder.Decode(QStringLiteral("\n\xff\x1b") + '$' + body + '*' + LineChecksum(body) + QStringLiteral("\x7f"));
        QCOMPARE(line.status, LineStatus::Decoded);
        QCOMPARE(line.values.size(), 1);
        QCOMPARE(decoder.Channels().at(line.values[0].channel).name, QStringLiteral("COMPASSH"));
        QCOMPARE(line.values[0].number, 123.0);
    }

    void tableShowsLatestValueUnitAndAge()
    {
        const SensorLines sensor = SimulatedLines(kTempris10, {{"REPORT", "NODE SPEED TEMP"}}, folder.path());
        LineDecoder decoder(sensor.document);
        ChannelTable table;
        table.Add(decoder.Decode(sensor.lines[0]), decoder, 10000);
        table.Add(decoder.Decode(QStringLiteral("Q,007.50,+21.5")), decoder, 12000);
        QCOMPARE(table.rowCount(), 3);
        QCOMPARE(table.columnCount(), int(ChannelTable::ColumnCount));
        const auto cell = [&](int row, int column) { return table.data(table.index(row, column)).toString(); };
        QCOMPARE(cell(1, ChannelTable::NameColumn), QStringLiteral("SPEED"));
        QCOMPARE(cell(1, ChannelTable::ValueColumn), QStringLiteral("007.50"));
        QCOMPARE(cell(2, ChannelTable::ValueColumn), QStringLiteral("+21.5"));
        QCOMPARE(cell(2, ChannelTable::UnitColumn), QStringLiteral("C"));
        table.SetNow(14500);
        QCOMPARE(cell(2, ChannelTable::AgeColumn), QStringLiteral("2.5 s"));
        QVERIFY(!table.headerData(ChannelTable::AgeColumn, Qt::Horizontal).toString().isEmpty());
    }

    void recordsDecodedLinesToCsv()
    {
        const SensorLines sensor = SimulatedLines(kTempris10, {{"REPORT", "NODE DIR TEMP"}}, folder.path());
        LineDecoder decoder(sensor.document);
        CsvRecorder recorder;
        const QString path = folder.filePath(QStringLiteral("capture.csv"));
        QVERIFY2(recorder.Open(path, decoder.Channels()), qPrintable(recorder.Error()));
        const QDateTime start = QDateTime::fromString(QStringLiteral("2026-03-01T12:00:00.250Z"), Qt::ISODateWithMs);
        QVERIFY(recorder.Record(decoder.Decode(QStringLiteral("Q,123,+11.5")), start));
        QVERIFY(recorder.Record(decoder.Decode(QStringLiteral("Q,1")), start.addMSecs(1000))); // not decoded: no row
        QVERIFY(recorder.Record(decoder.Decode(QStringLiteral("Q,124,+11.6")), start.addMSecs(1000)));

        // Read while the recording runs: every row is there, whole.
        QFile reader(path);
        QVERIFY(reader.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(reader.readAll()),
                 QStringLiteral("time,NODE,DIR [DEG],TEMP [C]\r\n"
                                "2026-03-01T12:00:00.250Z,Q,123,+11.5\r\n"
                                "2026-03-01T12:00:01.250Z,Q,124,+11.6\r\n"));
        QCOMPARE(recorder.Rows(), 2);
        recorder.Close();

        QCOMPARE(CsvRecorder::Quoted(QStringLiteral("a,\"b\"")), QStringLiteral("\"a,\"\"b\"\"\""));
    }

    void csvFailuresAreReported()
    {
        CsvRecorder recorder;
        QVERIFY(!recorder.Open(folder.filePath(QStringLiteral("no/such/folder/x.csv")), {}));
        QVERIFY(recorder.Error().contains(QLatin1String("x.csv")));

        // A full disc: the write fails and says so, and nothing more is recorded.
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full on this system");
        QVERIFY(!recorder.Open(QStringLiteral("/dev/full"), {Channel{QStringLiteral("TEMP"), QStringLiteral("C")}}));
        QVERIFY(recorder.Failed());
        QVERIFY2(recorder.Error().startsWith(QLatin1String("/dev/full: ")), qPrintable(recorder.Error()));
        DecodedLine line;
        line.status = LineStatus::Decoded;
        QVERIFY(!recorder.Record(line, QDateTime::currentDateTimeUtc()));
    }
};

QTEST_GUILESS_MAIN(TestLiveDecoding)
#include "tst_liveDecoding.moc"
