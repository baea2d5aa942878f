#pragma once
// What the editor tests share: an engine on a fake main window with the
// shipped units, scripted dialogs, captured log lines, and a small template
// with one param of every type the editor builds.
#include "base/appdata.h"
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "settings/guiSettings.h"
#include "tests/config/fakeConfigHost.h"
#include "tests/support/scripteddialogs.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace EditorFixture
{
// The product the tests connect to: first model of type 5E (in both
// precipitation lists), protocol 9.
inline QString Reply(const QString &optionCode)
{
    return QStringLiteral("2.14 PV=9 0117 [0] \"TEMPRIS KDX556-5E-%1\"").arg(optionCode);
}
inline const QString kProduct = QStringLiteral("TEMPRIS KDX556-5E");

// Category positions in the fixture when nothing is removed.
struct Parts {
    QString general;
    QString inputs;
    QString report;
    QString system;
    QString features = QStringLiteral("yes");
    int protocol = 9;
};

inline QString Param(const QString &name, const QString &cmd, const QString &type, const QString &body)
{
    return QStringLiteral("<param name=\"%1\"><cmd>%2</cmd><type>%3</type>%4<valuestring/><valid>0</valid></param>\n")
        .arg(name, cmd, type, body);
}

inline QString Options(const QStringList &texts, const QString &tag = QStringLiteral("option"))
{
    QString result;
    for (int i = 0; i < texts.size(); ++i)
        result += QStringLiteral("<%1 id=\"%2\">%3</%1>").arg(tag).arg(i).arg(texts[i]);
    return result;
}

inline QString GeneralParams()
{
    return Param("Address", "ADDR", "int", "<desc>Node address</desc><min>0</min><max>99</max><value>5</value>") +
           Param("Settle", "SETTLE", "delayedint", "<min>1</min><max>10</max><value>3</value>") +
           Param("Mode", "MODE", "select", Options({"A", "B", "C"}) + "<selected>1</selected>") +
           Param("Baud Rate", "BAUD", "delayedselect",
                 Options({"4800", "9600", "19200"}) + "<selected>1</selected><warncritical>1</warncritical>") +
           Param("Wind Units", "WINDUNIT", "sensorunits", "<selected>2</selected><measure>WINDSPEED</measure>") +
           Param("Latitude", "LAT", "maskedfloat",
                 "<mask>#00.0000</mask><floatmin>-90</floatmin><floatmax>90</floatmax><floatvalue>+51.5000</"
                 "floatvalue>") +
           Param("Clock", "TIME", "timestr", "<string>2024-01-01 12:00:00</string>") +
           Param("Clock Sync", "STIME", "timestrcheckbox", "<string>2024-01-01 12:00:00</string>") +
           Param("Site", "SITE", "string", "<string>SITE1</string>");
}

inline QString InputParams(int n, int typeSelected, int unitsSelected, int anSelected, const QString &subst,
                           const QString &digits)
{
    const QString p = QStringLiteral("AN%1").arg(n);
    return Param("Sensor Type", p + "TYPE", "senstypeselect",
                 Options({"TEMPERATURE", "HUMIDITY", "CUSTOM"}) +
                     QStringLiteral("<selected>%1</selected>").arg(typeSelected)) +
           Param("Sensor Units", p + "UNITS", "cfgsensorunits",
                 QStringLiteral("<selected>%1</selected><customunits/>").arg(unitsSelected)) +
           Param("Input Type", p + "INPUT", "aniptype",
                 Options({"0-5V", "4-20MA"}) +
                     QStringLiteral(
                         "<selected>%1</selected><min>-99999</min><max>999999</max><high>%2</high><low>%3</low>")
                         .arg(anSelected)
                         .arg(anSelected < 0 ? 0 : 50)
                         .arg(anSelected < 0 ? 0 : -40)) +
           Param("Name", p + "NAME", "substname",
                 QStringLiteral("<illegalstrings>NODE,DIR</illegalstrings><string>%1</string>").arg(subst)) +
           Param("Digits", p + "DIGITS", "digcount",
                 QStringLiteral("<string>%1</string><fmax>1000</fmax><fmin>0</fmin>").arg(digits));
}

inline QString ReportParams(const QString &reportValue = QStringLiteral("NODE DIR SPEED"),
                            const QStringList &modes = {"FULL", "DEFAULT", "NMEA", "NMEADEF"})
{
    const QStringList items = {"NODE",  "DIR",   "SPEED",    "TEMP", "OUT",    "HDG",
                               "XTILT", "PITCH", "HEATSTAT", "WBGT", "PRECIPT"};
    return Param("Report Format", "REPORT", "reportstr",
                 "<reportvalue>" + reportValue + "</reportvalue><reportnmeavalue>NMEA MWVR</reportnmeavalue>" +
                     Options(items) + Options(items, "repoption") +
                     Options({"NMEA", "MWVR", "HDG", "XDR", "PITCH"}, "repnmeaoption") + Options(modes, "reportmode") +
                     "<reportfull>NODE DIR SPEED TEMP</reportfull><reportdefault>NODE DIR</reportdefault>") +
           Param("Report XDR Format", "XDRREPORT", "reportxdr",
                 "<reportxdrvalue>TEMP PITCH</reportxdrvalue>" +
                     Options({"XDR", "TEMP", "PITCH", "PRECIPT"}, "repxdroption"));
}

inline QString SystemParams()
{
    return Param("TILT Sensor", "TILT", "int", "<min>0</min><max>1</max><value>0</value>") +
           Param("WBGT Sensor", "WBGT", "int", "<min>0</min><max>1</max><value>0</value>") +
           Param("Posture factor", "POSTURE", "int", "<min>0</min><max>9</max><value>1</value>") +
           Param("After", "AFTER", "int", "<min>0</min><max>9</max><value>1</value>") +
           Param("PIN", "PIN", "int", "<min>0</min><max>9999</max><value>0</value>") +
           Param("Power Mode", "POWER", "select", Options({"LOW", "HIGH"}) + "<selected>0</selected>");
}

inline QString Category(const QString &name, int group, const QString &params)
{
    return QStringLiteral("<category name=\"%1\" sensorname=\"\" group=\"G\" groupindex=\"%2\">\n%3</category>\n")
        .arg(name)
        .arg(group)
        .arg(params);
}

inline QByteArray TemplateXml(const Parts &parts)
{
    QString text =
        QStringLiteral("<products version=\"1\">\n<device name=\"%1\" sensorname=\"\" protocolversion=\"%2\" "
                       "heatingcapability=\"0\" axisconfig=\"UV\">\n")
            .arg(kProduct)
            .arg(parts.protocol);
    text += Category("General", 0, parts.general.isNull() ? GeneralParams() : parts.general);
    text += Category("AN1", 0, parts.inputs.isNull() ? InputParams(1, 0, 1, 0, "OUT", "12.5") : parts.inputs);
    if (parts.inputs.isNull())
        text += Category("AN2", 1, InputParams(2, -1, -1, -1, "", ""));
    if (!parts.features.isEmpty()) {
        const QString one = Param("Level", "LVL", "int", "<min>0</min><max>9</max><value>1</value>");
        text += Category("Precipitation", 0, one) + Category("Heating", 0, one) + Category("Heat_Stress", 0, one) +
                Category("Bluetooth", 0, one);
    }
    text += Category("Report", 0, parts.report.isNull() ? ReportParams() : parts.report);
    text += Category("System", 0, parts.system.isNull() ? SystemParams() : parts.system);
    return (text + QStringLiteral("</device>\n</products>\n")).toUtf8();
}

inline bool WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One engine on a fake main window; create with Start().
struct Editor {
    QTemporaryDir dataDir;
    ScriptedDialogs dialogs;
    FakeConfigHost host;
    QStringList logs;
    std::unique_ptr<TFormConfig> engine;
    bool settingsOpen = false;
    TfrmGuiSettings &settings = host.settings;

    Editor()
    {
        SetAppDataFolder(dataDir.path() + QLatin1Char('/'));
        host.programFolder = QStringLiteral(TALVEK_TEST_APP_DIR "/");
        settingsOpen = host.settings.Open(host.programFolder + QStringLiteral("TalvekDefaultSettings.tsf"));
        SetLogSink([this](const QString &text) { logs << text; });
    }
    ~Editor()
    {
        engine.reset();
        SetLogSink({});
    }

    // Connected to the test product with this option code (its template is
    // loaded, then the boxes are forgotten), or offline.
    bool Start(const QString &optionCode = QStringLiteral("0000"), bool offline = false)
    {
        host.offline = offline;
        engine = std::make_unique<TFormConfig>(&host);
        const int result = offline ? engine->InitialiseDevice(false, QStringLiteral("OFFLINE"))
                                   : engine->InitialiseDevice(true, Reply(optionCode));
        if (offline)
            engine->SetIdentity(kProduct, 9, QString(), 2, 0);
        dialogs.clear();
        logs.clear();
        return result == 0;
    }

    QString Path(const QString &name) const { return dataDir.filePath(name); }

    // Writes the fixture as name and builds the pages from it.
    bool Load(const Parts &parts = {}, const QString &name = QStringLiteral("fixture.tdx"))
    {
        if (!WriteFile(Path(name), TemplateXml(parts)))
            return false;
        return engine->BuildConfigPages(Path(name));
    }

    // Index of the category named name in the engine's document, or -1.
    int CategoryIndex(const QString &name) const
    {
        const IXMLdeviceType device = engine->Device();
        for (int c = 0; c < device.Count(); ++c) {
            if (device.Category(c).Name() == name)
                return c;
        }
        return -1;
    }
    int ParamIndex(int c, const QString &name) const
    {
        const IXMLcategoryType category = engine->Device().Category(c);
        for (int p = 0; p < category.Count(); ++p) {
            if (category.Param(p).Name() == name)
                return p;
        }
        return -1;
    }
    IXMLparamType DocParam(const QString &category, const QString &name) const
    {
        const int c = CategoryIndex(category);
        return engine->Device().Category(c).Param(ParamIndex(c, name));
    }
    const ParamControls &Controls(const QString &category, const QString &name) const
    {
        const int c = CategoryIndex(category);
        return engine->Controls(c, ParamIndex(c, name));
    }
    QLineEdit *Edit(const QString &category, const QString &name) const { return Controls(category, name).edit; }
    QComboBox *Combo(const QString &category, const QString &name) const { return Controls(category, name).combo; }
    const cfgInputTabPageType &Input(int index) const { return engine->InputPage(index); }
};

inline QStringList Items(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

inline QColor BaseColour(const QWidget *widget)
{
    return widget->palette().color(QPalette::Base);
}
} // namespace EditorFixture
