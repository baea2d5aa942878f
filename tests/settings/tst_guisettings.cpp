#include "base/translate.h"
#include "settings/guiSettings.h"
#include "tests/support/fileSizeLimit.h"
#include "tests/support/scripteddialogs.h"
#include "ui/settingsWarnings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <functional>

namespace
{
const char *const fullDocument = R"(<GSguisettings description="TALVEK SETTINGS FILE" version="2" extra="kept">
  <GScategory name="Comms" input="serial">
    <GSfirsttryport>3</GSfirsttryport>
    <GSresponseTimeout>150</GSresponseTimeout>
    <GSinterCharDelay>25</GSinterCharDelay>
    <GSpowerOnDelay>4000</GSpowerOnDelay>
    <GSuserDelayEnabled>7</GSuserDelayEnabled>
    <GSmanualComport>4</GSmanualComport>
    <GSmanualBaudRate>5</GSmanualBaudRate>
    <GSfirsttrybaud>6</GSfirsttrybaud>
    <GSunknownThing flavour="odd">left alone</GSunknownThing>
  </GScategory>
  <GScategory name="General" input="">
    <GSlanguage>2</GSlanguage>
    <GSsyncTime>1</GSsyncTime>
    <GSuserDir>/home/user/configs</GSuserDir>
  </GScategory>
  <GScategory name="Display" input="">
    <GSrefreshMillseconds>1000</GSrefreshMillseconds>
    <GSpanel measurement="Wind Speed">
      <GSunits>m/s</GSunits><GSgaugeMin>0</GSgaugeMin><GSgaugeMax>60</GSgaugeMax>
      <GSshowGust>1</GSshowGust><GSshowMaritime>0</GSshowMaritime>
    </GSpanel>
    <GSpanel measurement="Temperature">
      <GSunits>C</GSunits><GSgaugeMin>-40</GSgaugeMin><GSgaugeMax>70</GSgaugeMax>
      <GSshowGust>0</GSshowGust><GSshowMaritime>1</GSshowMaritime>
    </GSpanel>
  </GScategory>
</GSguisettings>
)";

// A getter seen through one signature, so the data-driven tests can name it.
using IntGetter = std::function<bool(const TfrmGuiSettings &, int &)>;

IntGetter getterFor(const QString &key)
{
    static const QHash<QString, IntGetter> getters{
        {"firsttryport", [](const TfrmGuiSettings &s, int &v) { return s.GetFirstTryPort(v); }},
        {"responseTimeout", [](const TfrmGuiSettings &s, int &v) { return s.GetResponseTimeout(v); }},
        {"interCharDelay", [](const TfrmGuiSettings &s, int &v) { return s.GetInterCharDelay(v); }},
        {"powerOnDelay", [](const TfrmGuiSettings &s, int &v) { return s.GetPowerOnDelay(v); }},
        {"userDelayEnabled", [](const TfrmGuiSettings &s, int &v) { return s.GetUserDelayEnabled(v); }},
        {"manualComport", [](const TfrmGuiSettings &s, int &v) { return s.GetManualComport(v); }},
        {"manualBaudRate", [](const TfrmGuiSettings &s, int &v) { return s.GetManualBaudRate(v); }},
        {"language", [](const TfrmGuiSettings &s, int &v) { return s.GetLanguage(v); }},
        {"syncTime", [](const TfrmGuiSettings &s, int &v) { return s.GetSyncTime(v); }},
    };
    return getters.value(key);
}

} // namespace

class TestGuiSettings : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    ScriptedDialogs *m_dialogs = nullptr;

    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TfrmGuiSettings openFull()
    {
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        if (!settings.Open(write("full.tsf", fullDocument)))
            qFatal("full document does not open");
        return settings;
    }

    static QString panelXml(const TfrmGuiSettings &settings, int index)
    {
        QString text;
        QTextStream stream(&text);
        settings.FindCategory("Display").GSpanel(index).Element().save(stream, -1);
        return text;
    }

    // Saves with a 4 KiB file size limit in force, so that the write fails
    // part-way as on a full disk.
    static bool SaveWithFileSizeLimit(TfrmGuiSettings &settings, const QString &path)
    {
        FileSizeLimit limit(4096);
        // Without the limit the save succeeds, which the caller reports.
        return !limit.ok() || settings.Save(path);
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_dialogs = new ScriptedDialogs;
    }

    void cleanup()
    {
        delete m_dialogs;
        m_dialogs = nullptr;
        SetTranslator({});
    }

    void readsEveryValue()
    {
        TfrmGuiSettings settings = openFull();
        const QList<QPair<QString, int>> expected{
            {"firsttryport", 3},    {"responseTimeout", 150}, {"interCharDelay", 25},
            {"powerOnDelay", 4000}, {"userDelayEnabled", 7},  {"manualComport", 4},
            {"manualBaudRate", 5},  {"language", 2},          {"syncTime", 1}};
        for (const auto &[key, value] : expected) {
            int read = -1;
            QVERIFY2(getterFor(key)(settings, read), qPrintable(key));
            QCOMPARE(read, value);
        }
        bool delay = false;
        QVERIFY(settings.GetUserDelayEnabled(delay));
        QVERIFY(delay); // any nonzero value is on
        QString dir;
        QVERIFY(settings.GetUserDir(dir));
        QCOMPARE(dir, QStringLiteral("/home/user/configs"));
        QVERIFY(m_dialogs->boxes.isEmpty());
    }

    void shippedDefaultsHoldTheDefaultValues()
    {
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        QVERIFY(settings.Open(QStringLiteral(TALVEK_TEST_APP_DIR "/TalvekDefaultSettings.tsf")));
        QString version;
        QVERIFY(settings.GetVersion(version));
        QCOMPARE(version, QStringLiteral("2"));
        const QList<QPair<QString, int>> expected{
            {"firsttryport", 1},    {"responseTimeout", 0},  {"interCharDelay", 20},
            {"powerOnDelay", 5000}, {"userDelayEnabled", 0}, {"manualComport", 1},
            {"manualBaudRate", 6},  {"language", 0},         {"syncTime", 0}};
        for (const auto &[key, value] : expected) {
            int read = -1;
            QVERIFY2(getterFor(key)(settings, read), qPrintable(key));
            QCOMPARE(read, value);
        }
        QString dir = QStringLiteral("unchanged");
        QVERIFY(settings.GetUserDir(dir));
        QVERIFY(dir.isEmpty());
        QVERIFY(m_dialogs->boxes.isEmpty());
    }

    void roundTripKeepsUnknownElementsAndPanels()
    {
        TfrmGuiSettings settings = openFull();
        const QString panel0 = panelXml(settings, 0);
        const QString panel1 = panelXml(settings, 1);
        QVERIFY(panel0.contains("Wind Speed"));

        QVERIFY(settings.SetFirstTryPort(9));
        QVERIFY(settings.SetResponseTimeout(-5));
        QVERIFY(settings.SetInterCharDelay(30));
        QVERIFY(settings.SetUserDelayEnabled(false));
        QVERIFY(settings.SetManualComport(12));
        QVERIFY(settings.SetManualBaudRate(8));
        QVERIFY(settings.SetLanguage(1));
        QVERIFY(settings.SetSyncTime(false));
        const QString dir = QStringLiteral("/home/łukasz/Données <&> \"x\"");
        QVERIFY(settings.SetUserDir(dir));
        const QString saved = m_dir.filePath("saved.tsf");
        QVERIFY(settings.Save(saved));

        const QByteArray bytes = read(saved);
        QVERIFY(!bytes.startsWith("<?xml")); // root element only
        QVERIFY(bytes.endsWith('\n'));
        QCOMPARE(bytes.count('\n'), 1); // one line

        TfrmGuiSettings again;

        WarnOfMissingSettings(again);
        QVERIFY(again.Open(saved));
        int value = 0;
        QVERIFY(again.GetFirstTryPort(value) && value == 9);
        QVERIFY(again.GetResponseTimeout(value) && value == -5);
        QVERIFY(again.GetInterCharDelay(value) && value == 30);
        QVERIFY(again.GetUserDelayEnabled(value) && value == 0);
        QVERIFY(again.GetManualComport(value) && value == 12);
        QVERIFY(again.GetManualBaudRate(value) && value == 8);
        QVERIFY(again.GetLanguage(value) && value == 1);
        QVERIFY(again.GetSyncTime(value) && value == 0);
        QString readDir;
        QVERIFY(again.GetUserDir(readDir));
        QCOMPARE(readDir, dir);
        QVERIFY(again.GetPowerOnDelay(value) && value == 4000); // untouched value

        QCOMPARE(panelXml(again, 0), panel0);
        QCOMPARE(panelXml(again, 1), panel1);
        const TXMLGScategoryType comms = again.FindCategory("Comms");
        QCOMPARE(comms.Input(), QStringLiteral("serial"));
        QCOMPARE(comms.Text("unknownThing").value_or(QString()), QStringLiteral("left alone"));
        QCOMPARE(comms.Text("unknownThing").has_value(), true);
        QCOMPARE(comms.Element().firstChildElement("GSunknownThing").attribute("flavour"), QStringLiteral("odd"));
        QCOMPARE(comms.Text("firsttrybaud").value_or(QString()), QStringLiteral("6"));
        QCOMPARE(again.FindCategory("Display").Text("refreshMillseconds").value_or(QString()), QStringLiteral("1000"));
        QCOMPARE(again.FindCategory("Display").GSpanel(1).Measurement(), QStringLiteral("Temperature"));
        QVERIFY(m_dialogs->boxes.isEmpty());
    }

    void panelsReadThroughTheirWrapper()
    {
        TfrmGuiSettings settings = openFull();
        const TXMLGScategoryType display = settings.FindCategory("Display");
        QCOMPARE(display.GSpanelCount(), 2);
        const TXMLGSpanelType panel = display.GSpanel(1);
        QCOMPARE(panel.GSunits().value_or(QString()), QStringLiteral("C"));
        QCOMPARE(panel.GSgaugeMin().value_or(QString()), QStringLiteral("-40"));
        int maritime = 0;
        QCOMPARE(panel.GSshowMaritime(maritime), TXMLIntegerRead::Ok);
        QCOMPARE(maritime, 1);
        QVERIFY(display.GSpanel(2).IsNull());
        QVERIFY(display.GSpanel(-1).IsNull());
    }

    void settersCreateMissingElementsAndStoreFlagsAsOneOrZero()
    {
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        QVERIFY(settings.Open(write("bare.tsf", R"(<GSguisettings description="TALVEK SETTINGS FILE" version="2">
            <GScategory name="Comms"/><GScategory name="General"/></GSguisettings>)")));
        QString dir = QStringLiteral("default");
        QVERIFY(settings.GetUserDir(dir)); // a missing text element is empty, silently
        QVERIFY(dir.isEmpty());
        QVERIFY(m_dialogs->boxes.isEmpty());

        QVERIFY(settings.SetUserDelayEnabled(true));
        QVERIFY(settings.SetSyncTime(true));
        QVERIFY(settings.SetPowerOnDelay(100));
        QCOMPARE(settings.FindCategory("Comms").Text("userDelayEnabled").value_or(QString()), QStringLiteral("1"));
        QCOMPARE(settings.FindCategory("General").Text("syncTime").value_or(QString()), QStringLiteral("1"));
        QVERIFY(settings.SetSyncTime(false));
        QCOMPARE(settings.FindCategory("General").Text("syncTime").value_or(QString()), QStringLiteral("0"));
        int delay = 0;
        QVERIFY(settings.GetPowerOnDelay(delay));
        QCOMPARE(delay, 100);
    }

    void unreadableValueWarnsAndKeepsTheDefault_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("element"); // replaces the element; empty removes it
        const QStringList keys{"firsttryport",  "responseTimeout", "interCharDelay", "powerOnDelay", "userDelayEnabled",
                               "manualComport", "manualBaudRate",  "language",       "syncTime"};
        for (const QString &key : keys) {
            const QString tag = "GS" + key;
            QTest::newRow(qPrintable(key + " missing")) << key << QString();
            QTest::newRow(qPrintable(key + " empty")) << key << QString("<%1></%1>").arg(tag);
            QTest::newRow(qPrintable(key + " text")) << key << QString("<%1>abc</%1>").arg(tag);
        }
        QTest::newRow("trailing garbage") << "powerOnDelay"
                                          << "<GSpowerOnDelay>12x</GSpowerOnDelay>";
        QTest::newRow("decimal point") << "language"
                                       << "<GSlanguage>1.5</GSlanguage>";
        QTest::newRow("too large") << "firsttryport"
                                   << "<GSfirsttryport>99999999999</GSfirsttryport>";
        QTest::newRow("hexadecimal") << "manualComport"
                                     << "<GSmanualComport>0x10</GSmanualComport>";
    }

    void unreadableValueWarnsAndKeepsTheDefault()
    {
        QFETCH(QString, key);
        QFETCH(QString, element);
        QString document = QString::fromUtf8(fullDocument);
        const QRegularExpression original(QString("<GS%1>[^<]*</GS%1>").arg(key));
        QVERIFY(document.contains(original));
        document.replace(original, element);
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        QVERIFY(settings.Open(write("broken.tsf", document.toUtf8())));

        int value = 5000;
        QVERIFY(!getterFor(key)(settings, value));
        QCOMPARE(value, 5000);
        QCOMPARE(m_dialogs->texts(), QStringList{key + "not found"});
        QCOMPARE(m_dialogs->captions(), QStringList{"Warning: GuiSettings"});
    }

    void warningIsTranslated()
    {
        SetTranslator([](const QString &key) {
            return key == "not found"              ? QStringLiteral("introuvable")
                   : key == "Warning: GuiSettings" ? QStringLiteral("Avertissement")
                                                   : key;
        });
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        QVERIFY(settings.Open(write("nodelay.tsf", R"(<GSguisettings description="TALVEK SETTINGS FILE" version="2">
            <GScategory name="Comms"/></GSguisettings>)")));
        bool flag = true;
        QVERIFY(!settings.GetUserDelayEnabled(flag));
        QVERIFY(flag);
        int delay = 5000;
        QVERIFY(!settings.GetPowerOnDelay(delay));
        QCOMPARE(delay, 5000);
        QCOMPARE(m_dialogs->texts(), (QStringList{"userDelayEnabledintrouvable", "powerOnDelayintrouvable"}));
        QCOMPARE(m_dialogs->captions(), (QStringList{"Avertissement", "Avertissement"}));
    }

    void missingCategoryFailsSilently()
    {
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        const QString path = write("nogeneral.tsf", R"(<GSguisettings description="TALVEK SETTINGS FILE" version="2">
            <GScategory name="comms"><GSfirsttryport>2</GSfirsttryport></GScategory></GSguisettings>)");
        QVERIFY(settings.Open(path));
        int port = 1;
        QVERIFY(!settings.GetFirstTryPort(port)); // names match exactly: "comms" is not "Comms"
        QCOMPARE(port, 1);
        int language = 0;
        QVERIFY(!settings.GetLanguage(language));
        QString dir = QStringLiteral("default");
        QVERIFY(!settings.GetUserDir(dir));
        QCOMPARE(dir, QStringLiteral("default"));
        QVERIFY(!settings.SetLanguage(2));
        QVERIFY(!settings.SetUserDir("/tmp"));
        QVERIFY(!settings.SetFirstTryPort(4));
        QVERIFY(m_dialogs->boxes.isEmpty());

        const QString saved = m_dir.filePath("nogeneral-saved.tsf");
        QVERIFY(settings.Save(saved));
        const QByteArray bytes = read(saved);
        QVERIFY(!bytes.contains("GSlanguage"));
        QVERIFY(!bytes.contains("GSuserDir"));
        QVERIFY(bytes.contains("<GSfirsttryport>2</GSfirsttryport>"));
    }

    void onlyTheFirstOfTwoCategoriesIsUsed()
    {
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        QVERIFY(settings.Open(write("twice.tsf", R"(<GSguisettings description="TALVEK SETTINGS FILE" version="2">
            <GScategory name="Comms"><GSfirsttryport>2</GSfirsttryport></GScategory>
            <GScategory name="Comms"><GSfirsttryport>7</GSfirsttryport></GScategory></GSguisettings>)")));
        int port = 0;
        QVERIFY(settings.GetFirstTryPort(port));
        QCOMPARE(port, 2);
        QVERIFY(settings.SetFirstTryPort(5));
        QVERIFY(settings.GetFirstTryPort(port));
        QCOMPARE(port, 5);
        const TfrmGuiSettings &constSettings = settings;
        QDomElement second = constSettings.FindCategory("Comms").Element().nextSiblingElement("GScategory");
        QCOMPARE(second.firstChildElement("GSfirsttryport").text(), QStringLiteral("7"));
    }

    void version_data()
    {
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("expected");
        QTest::newRow("2") << R"(version="2")" << true << "2";
        QTest::newRow("1") << R"(version="1")" << true << "1";
        QTest::newRow("leading zero") << R"(version="02")" << true << "2";
        QTest::newRow("missing") << "" << false << "";
        QTest::newRow("not a number") << R"(version="two")" << false << "";
        QTest::newRow("empty") << R"(version="")" << false << "";
    }

    void version()
    {
        QFETCH(QString, attribute);
        QFETCH(bool, readable);
        QFETCH(QString, expected);
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        QVERIFY(settings.Open(
            write("version.tsf",
                  QString(R"(<GSguisettings description="TALVEK SETTINGS FILE" %1/>)").arg(attribute).toUtf8())));
        QString version = QStringLiteral("untouched");
        QCOMPARE(settings.GetVersion(version), readable);
        QCOMPARE(version, readable ? expected : QStringLiteral("untouched"));
    }

    void openFails_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file at all
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("empty file") << QByteArray("");
        QTest::newRow("not XML") << QByteArray("firsttryport=3\n");
        QTest::newRow("truncated") << QByteArray(
            R"(<GSguisettings description="TALVEK SETTINGS FILE" version="2"><GSc)");
        QTest::newRow("other root") << QByteArray(R"(<labels description="TALVEK SETTINGS FILE" version="2"/>)");
        QTest::newRow("description case")
            << QByteArray(R"(<GSguisettings description="Talvek Settings File" version="2"/>)");
        QTest::newRow("description blank")
            << QByteArray(R"(<GSguisettings description="TALVEK SETTINGS FILE " version="2"/>)");
        QTest::newRow("no description") << QByteArray(R"(<GSguisettings version="2"/>)");
    }

    void openFails()
    {
        QFETCH(QByteArray, content);
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        QVERIFY(settings.Open(write("good.tsf", fullDocument)));
        const QString path = content.isNull() ? m_dir.filePath("absent.tsf") : write("bad.tsf", content);
        QVERIFY(!settings.Open(path));
        QVERIFY(settings.LastError().contains(path));
        // The document held before stays in force.
        int port = 0;
        QVERIFY(settings.GetFirstTryPort(port));
        QCOMPARE(port, 3);
    }

    void openingADirectoryFails()
    {
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        QVERIFY(!settings.Open(m_dir.path()));
        QVERIFY(!settings.HasDocument());
    }

    void nothingToReadOrSaveBeforeOpen()
    {
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        int port = 1;
        QVERIFY(!settings.GetFirstTryPort(port));
        QString version;
        QVERIFY(!settings.GetVersion(version));
        QVERIFY(!settings.SetLanguage(1));
        QVERIFY(!settings.Save(m_dir.filePath("never.tsf")));
        QVERIFY(!QFile::exists(m_dir.filePath("never.tsf")));
        QVERIFY(m_dialogs->boxes.isEmpty());
    }

    void failedSaveReportsAndWritesNothing_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::newRow("path is a directory") << "adir";
        QTest::newRow("folder does not exist") << "nowhere/settings.tsf";
        QTest::newRow("parent is a file") << "afile/settings.tsf";
    }

    void failedSaveReportsAndWritesNothing()
    {
        QFETCH(QString, relativePath);
        QVERIFY(QDir(m_dir.path()).mkpath("adir"));
        write("afile", "old contents");
        TfrmGuiSettings settings = openFull();
        const QString path = m_dir.filePath(relativePath);
        QVERIFY(!settings.Save(path));
        QVERIFY(settings.LastError().contains(path));
        QVERIFY(QFileInfo(m_dir.filePath("adir")).isDir());
        QCOMPARE(read(m_dir.filePath("afile")), QByteArray("old contents"));
    }

    void saveIntoAReadOnlyFolderLeavesTheOldFile()
    {
        const QString folder = m_dir.filePath("readonly");
        QVERIFY(QDir().mkpath(folder));
        const QString path = write("readonly/TalvekLastSettings.tsf", "previous");
        QFile(folder).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool writable = QFile(folder + "/probe").open(QIODevice::WriteOnly);
        if (writable) {
            QFile::remove(folder + "/probe");
            QFile(folder).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QSKIP("running with rights that ignore folder permissions");
        }
        TfrmGuiSettings settings = openFull();
        const bool saved = settings.Save(path);
        QFile(folder).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!saved);
        QCOMPARE(read(path), QByteArray("previous"));
    }

    void saveInterruptedMidwayLeavesTheOldFile()
    {
        // A file size limit makes the write fail part-way, as a full disk would.
        const QString path = write("last.tsf", "previous contents");
        TfrmGuiSettings settings = openFull();
        QVERIFY(settings.SetUserDir(QString(64 * 1024, QLatin1Char('x'))));

        const bool saved = SaveWithFileSizeLimit(settings, path);

        QVERIFY(!saved);
        QCOMPARE(read(path), QByteArray("previous contents"));
        const QStringList left = QDir(m_dir.path()).entryList({"last.tsf*"}, QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList{"last.tsf"}); // no temporary file left behind

        QVERIFY(settings.Save(path)); // and the next save succeeds
        QVERIFY(read(path).contains(QByteArray(64 * 1024, 'x')));
    }

    void aFailedFinalFlushIsNotASave()
    {
        // Smaller than the file's write buffer: everything reaches the disk
        // only in the flush at the end, and that flush fails.
        const QString path = write("small.tsf", "previous contents");
        TfrmGuiSettings settings = openFull();
        QVERIFY(settings.SetUserDir(QString(8 * 1024, QLatin1Char('y'))));

        const bool saved = SaveWithFileSizeLimit(settings, path);

        QVERIFY(!saved);
        QVERIFY2(settings.LastError().startsWith(path) && settings.LastError().contains("File too large"),
                 qPrintable(settings.LastError()));
        QCOMPARE(read(path), QByteArray("previous contents"));
    }

    void xmlInvalidCharactersNeverBreakTheFile()
    {
        TfrmGuiSettings settings = openFull();
        QVERIFY(settings.SetUserDir(QString::fromUtf8("/data/a\x01"
                                                      "b\x1f"
                                                      "c")));
        const QString path = m_dir.filePath("control.tsf");
        QVERIFY(settings.Save(path));
        TfrmGuiSettings again;
        WarnOfMissingSettings(again);
        QVERIFY(again.Open(path));
        QString dir;
        QVERIFY(again.GetUserDir(dir));
        QCOMPARE(dir, QStringLiteral("/data/abc"));
    }

    void datedBackupHoldsTheDocument()
    {
        const QDateTime when(QDate(2025, 1, 31), QTime(14, 25, 1));
        QCOMPARE(TfrmGuiSettings::DatedBackupName(when), QStringLiteral("lastSettings_250131_142501"));
        TfrmGuiSettings settings;
        WarnOfMissingSettings(settings);
        QVERIFY(settings.Open(write("v1.tsf", R"(<GSguisettings description="TALVEK SETTINGS FILE" version="1">
            <GScategory name="Comms"><GSfirsttryport>8</GSfirsttryport></GScategory></GSguisettings>)")));
        const QString backup = settings.SaveDatedBackup(m_dir.path(), when);
        QCOMPARE(backup, m_dir.filePath("lastSettings_250131_142501"));
        TfrmGuiSettings copy;
        WarnOfMissingSettings(copy);
        QVERIFY(copy.Open(backup));
        QString version;
        QVERIFY(copy.GetVersion(version));
        QCOMPARE(version, QStringLiteral("1"));
        int port = 0;
        QVERIFY(copy.GetFirstTryPort(port));
        QCOMPARE(port, 8);
        QCOMPARE(settings.SaveDatedBackup(m_dir.filePath("missing/folder"), when), QString());
    }
};

QTEST_MAIN(TestGuiSettings)
#include "tst_guisettings.moc"
