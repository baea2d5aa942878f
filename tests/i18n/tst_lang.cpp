#include "base/translate.h"
#include "i18n/lang.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace
{
// The ids are deliberately out of order: only the position of a trans counts.
const char *const table = R"(<?xml version="1.0" encoding="UTF-8"?>
<labels>
  <label name="ERROR" sensorname="Talvek">
    <trans id="2">Error</trans><trans id="0">Erreur</trans><trans id="1">Błąd</trans>
  </label>
  <label name="Inter-char delay (ms) " sensorname="">
    <trans id="1">Inter-char delay (ms) </trans><trans id="2">Délai (ms) </trans><trans id="3">Opóźnienie (ms) </trans>
  </label>
  <label name="Twice" sensorname=""><trans>first en</trans><trans>first fr</trans><trans></trans></label>
  <label name="Twice" sensorname=""><trans>second en</trans><trans>second fr</trans><trans>second pl</trans></label>
  <label name="Short" sensorname=""><trans>short en</trans></label>
  <label name="Blank" sensorname=""><trans>   </trans><trans>  </trans><trans> </trans></label>
  <label name="  Expected:" sensorname=""><trans>  Expected:</trans><trans>  Attendu :</trans><trans>  Oczekiwano:</trans></label>
  <label name="Nested" sensorname=""><trans>en</trans><note>ignored</note><trans>fr</trans><trans>pl</trans></label>
</labels>
)";
} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static QStringList fixedKeys()
    {
        QFile file(QStringLiteral(TALVEK_I18N_TEST_DIR "/fixed_keys.json"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList keys;
        for (const QJsonValue &value : QJsonDocument::fromJson(file.readAll()).array())
            keys << value.toString();
        return keys;
    }

    static QString shippedFile() { return QStringLiteral(TALVEK_TEST_APP_DIR "/translations.xml"); }

private slots:
    void cleanup() { SetTranslator({}); }

    void lookupRules_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("lookup");
        QTest::addColumn<QString>("translate");
        QTest::newRow("english") << 0 << "ERROR"
                                 << "Error"
                                 << "Error";
        QTest::newRow("french") << 1 << "ERROR"
                                << "Erreur"
                                << "Erreur";
        QTest::newRow("third trans by position") << 2 << "ERROR"
                                                 << "Błąd"
                                                 << "Błąd";
        QTest::newRow("letter case differs") << 1 << "Error"
                                             << "Error"
                                             << "Error";
        QTest::newRow("lower case") << 1 << "error"
                                    << "error"
                                    << "error";
        QTest::newRow("trailing space kept") << 1 << "Inter-char delay (ms) "
                                             << "Délai (ms) "
                                             << "Délai (ms) ";
        QTest::newRow("trailing space missing") << 1 << "Inter-char delay (ms)"
                                                << "Inter-char delay (ms)"
                                                << "Inter-char delay (ms)";
        QTest::newRow("extra trailing space") << 1 << "ERROR "
                                              << "ERROR "
                                              << "ERROR ";
        QTest::newRow("leading spaces kept") << 1 << "  Expected:"
                                             << "  Attendu :"
                                             << "  Attendu :";
        QTest::newRow("leading spaces missing") << 1 << "Expected:"
                                                << "Expected:"
                                                << "Expected:";
        QTest::newRow("first label wins") << 1 << "Twice"
                                          << "first fr"
                                          << "first fr";
        QTest::newRow("first label wins even when empty") << 2 << "Twice"
                                                          << ""
                                                          << "Twice";
        QTest::newRow("too few trans") << 1 << "Short"
                                       << ""
                                       << "Short";
        QTest::newRow("blank translation") << 1 << "Blank"
                                           << ""
                                           << "Blank";
        QTest::newRow("other children ignored") << 1 << "Nested"
                                                << "fr"
                                                << "fr";
        QTest::newRow("unknown key") << 0 << "No such key"
                                     << "No such key"
                                     << "No such key";
        QTest::newRow("language out of range") << 3 << "ERROR"
                                               << ""
                                               << "ERROR";
        QTest::newRow("negative language") << -1 << "ERROR"
                                           << ""
                                           << "ERROR";
        QTest::newRow("empty key") << 1 << ""
                                   << ""
                                   << "";
    }

    void lookupRules()
    {
        QFETCH(int, language);
        QFETCH(QString, key);
        QFETCH(QString, lookup);
        QFETCH(QString, translate);
        TLanguage table(write("translations.xml", ::table));
        QVERIFY2(table.IsLoaded(), qPrintable(table.LoadError()));
        QCOMPARE(table.LabelCount(), 8);
        table.SelectLanguage(language);
        QCOMPARE(table.SelectedLanguage(), language);
        QCOMPARE(table.Lookup(key), lookup);
        QCOMPARE(table.Translate(key), translate);
        QCOMPARE(T(key), translate);
    }

    void englishUntilALanguageIsSelected()
    {
        TLanguage table(write("translations.xml", ::table));
        QCOMPARE(table.SelectedLanguage(), 0);
        QCOMPARE(table.Translate("ERROR"), QStringLiteral("Error"));
        QCOMPARE(T("ERROR"), QStringLiteral("ERROR")); // T() is served only once a language is chosen
        table.SelectLanguage(TLanguage::Polish);
        QCOMPARE(T("ERROR"), QStringLiteral("Błąd"));
        table.SelectLanguage(TLanguage::French);
        QCOMPARE(T("ERROR"), QStringLiteral("Erreur"));
    }

    void defaultPathIsTheWorkingDirectory()
    {
        write("translations.xml", ::table);
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        TLanguage table;
        QDir::setCurrent(previous);
        QVERIFY(table.IsLoaded());
        table.SelectLanguage(1);
        QCOMPARE(table.Translate("ERROR"), QStringLiteral("Erreur"));
    }

    void destroyedTableStopsServing()
    {
        const QString path = write("translations.xml", ::table);
        TLanguage kept(path);
        kept.SelectLanguage(1);
        {
            TLanguage other(path);
            other.SelectLanguage(2);
            QCOMPARE(T("ERROR"), QStringLiteral("Błąd"));
            kept.SelectLanguage(1); // the kept table serves again
        }
        QCOMPARE(T("ERROR"), QStringLiteral("Erreur"));
        {
            TLanguage last(path);
            last.SelectLanguage(2);
        }
        QCOMPARE(T("ERROR"), QStringLiteral("ERROR"));
    }

    void unreadableFileLeavesKeysShown_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("mentions");
        QTest::newRow("missing") << QByteArray() << "does not exist";
        QTest::newRow("unclosed element")
            << QByteArray("<labels>\n  <label name=\"A\">\n    <trans>x</trans>\n</labels>\n") << "line 4, column 9";
        QTest::newRow("bad character") << QByteArray("<labels>\n<label name=\"A\" & >\n</labels>") << "line 2, column";
        QTest::newRow("empty") << QByteArray("") << "line";
        QTest::newRow("other root") << QByteArray("<GSguisettings/>") << "<labels>";
    }

    void unreadableFileLeavesKeysShown()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, mentions);
        const QString path = content.isNull() ? m_dir.filePath("absent.xml") : write("broken.xml", content);
        TLanguage table(path);
        QVERIFY(!table.IsLoaded());
        QVERIFY2(table.LoadError().contains(QFileInfo(path).absoluteFilePath()), qPrintable(table.LoadError()));
        QVERIFY2(table.LoadError().contains(mentions), qPrintable(table.LoadError()));
        QCOMPARE(table.LabelCount(), 0);
        table.SelectLanguage(1);
        QCOMPARE(table.Lookup("ERROR"), QStringLiteral("ERROR"));
        QCOMPARE(T("ERROR"), QStringLiteral("ERROR"));
    }

    void shippedFileHasEveryFixedKey()
    {
        const QStringList keys = fixedKeys();
        QCOMPARE(keys.size(), 131);
        TLanguage table(shippedFile());
        QVERIFY2(table.IsLoaded(), qPrintable(table.LoadError()));
        QStringList missing;
        for (int language = 0; language < 3; ++language) {
            table.SelectLanguage(language);
            for (const QString &key : keys) {
                const QString text = table.Lookup(key);
                // An identifier such as CONNECT_AND_READ must never show as itself.
                const bool identifier = key.contains('_') && QRegularExpression("^[A-Z_]+$").match(key).hasMatch();
                if (text.trimmed().isEmpty() || (identifier && text == key))
                    missing << QStringLiteral("%1/%2").arg(language).arg(key);
            }
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
    }

    void shippedTextsKeepTheBlanksOfTheirKeys()
    {
        TLanguage table(shippedFile());
        const QRegularExpression edges("^(\\s*).*?(\\s*)$", QRegularExpression::DotMatchesEverythingOption);
        for (const QString &key : fixedKeys()) {
            const auto keyEdges = edges.match(key);
            for (int language = 0; language < 3; ++language) {
                table.SelectLanguage(language);
                const auto textEdges = edges.match(table.Lookup(key));
                QVERIFY2(textEdges.captured(1) == keyEdges.captured(1) && textEdges.captured(2) == keyEdges.captured(2),
                         qPrintable(QStringLiteral("%1 in language %2").arg(key).arg(language)));
            }
        }
    }

    void shippedFileTakesAnAppendedBlock()
    {
        // Generated template texts go in just before the root's closing tag;
        // the program's own labels come first and so keep winning.
        QFile shipped(shippedFile());
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        QByteArray content = shipped.readAll();
        const qsizetype end = content.lastIndexOf("</labels>");
        QVERIFY(end > 0);
        QCOMPARE(content.count("</labels>"), 1);
        QVERIFY(content.mid(end + 9).trimmed().isEmpty());
        content.insert(
            end, "<!-- BEGIN template texts (generated) -->\n"
                 "<label name=\"Wind Speed\" sensorname=\"KDX\"><trans>Wind Speed</trans>"
                 "<trans>Vitesse du vent</trans><trans>Prędkość wiatru</trans></label>\n"
                 "<label name=\"CANCEL\" sensorname=\"KDX\"><trans>x</trans><trans>x</trans><trans>x</trans></label>\n"
                 "<!-- END template texts -->\n");
        TLanguage table(write("appended.xml", content));
        QVERIFY2(table.IsLoaded(), qPrintable(table.LoadError()));
        table.SelectLanguage(TLanguage::Polish);
        QCOMPARE(table.Translate("Wind Speed"), QStringLiteral("Prędkość wiatru"));
        QCOMPARE(table.Translate("CANCEL"), QStringLiteral("Anuluj"));
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_lang.moc"
