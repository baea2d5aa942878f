// Reading every setting from the device: one read command per param, the
// reply interpreted by the param's type and stored in the document, then the
// retrieved configuration file, the pages, the differences and the summary.
#include "base/log.h"
#include "base/translate.h"
#include "config/config.h"
#include "config/numberScan.h"
#include "config/splitFields.h"
#include "config/summary.h"
#include "device/interface.h"
#include "diagnostics/progressDlg.h"
#include "diagnostics/sessionReport.h"
#include "ui/dialogs.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QTabWidget>

namespace
{
const QString kNotConfigured = QStringLiteral("NOT CONFIGURED");
// A read result that stops the whole read (never a device or link code).
constexpr int kStopRead = -1;
// A read asked again after its answer turned out to be another's late one.
constexpr int kAttemptsPastLateReplies = 2;

int IndexOfNoCase(const QStringList &list, const QString &item)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].compare(item, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool RemoveFirstNoCase(QStringList &list, const QString &item)
{
    const int index = IndexOfNoCase(list, item);
    if (index >= 0)
        list.removeAt(index);
    return index >= 0;
}

// Old modular stations name one measurement with two words; false when the
// partner word is missing.
bool MergePair(QStringList &list, const QString &first, const QString &second, const QString &merged)
{
    while (RemoveFirstNoCase(list, first)) {
        const int index = IndexOfNoCase(list, second);
        if (index < 0)
            return false;
        list[index] = merged;
    }
    return true;
}

QString JoinWords(const QStringList &list)
{
    return list.join(QLatin1Char(' ')).trimmed();
}

QString SensorName(const IXMLcategoryType &category)
{
    const QString name = category.Sensorname();
    return name.isEmpty() ? category.Name() : name;
}
} // namespace

struct TFormConfig::ReadState {
    QStringList substNames;
    QStringList sensorNames;
    QString stopReason; // why the read stopped (kStopRead)
    int counter = 0;
    QStringList unanswered; // commands that got no answer in time
};

// ------------------------------------------------------------------ helpers

bool TFormConfig::ParseResponse(QString &reply)
{
    Log(reply);
    const qsizetype equals = reply.indexOf(QLatin1Char('='));
    if (equals < 0) {
        Log(QStringLiteral("Unrecognised response structure."));
        return false;
    }
    reply.remove(0, equals + 1);
    qsizetype blanks = 0;
    while (blanks < reply.size() && reply.at(blanks) == QLatin1Char(' '))
        ++blanks;
    reply.remove(0, blanks);
    return true;
}

QString TFormConfig::NormaliseReportList(const QString &value, bool *ok, const QStringList &sentences) const
{
    if (ok)
        *ok = true;
    QStringList list = SplitFields(value, QLatin1Char(','));
    RemoveFirstNoCase(list, QStringLiteral("CHECK"));
    if (m_protocolVersion < 3 && !m_productName.contains(QLatin1String("TEMPRIS")) &&
        !m_productName.contains(QLatin1String("RELAYPOINT"))) {
        if (!MergePair(list, QStringLiteral("U-AXIS"), QStringLiteral("V-AXIS"), QStringLiteral("AXIS")) ||
            !MergePair(list, QStringLiteral("DIR"), QStringLiteral("SPEED"), QStringLiteral("POLAR"))) {
            if (ok)
                *ok = false;
            return {};
        }
    }
    QStringList offered = sentences;
    if (offered.isEmpty()) {
        offered = m_protocolVersion >= 8
                      ? QStringList{QStringLiteral("MWVR"), QStringLiteral("MWVT"), QStringLiteral("HDG"),
                                    QStringLiteral("XDR"),  QStringLiteral("GGA"),  QStringLiteral("ORDT")}
                      : QStringList{QStringLiteral("MWV"), QStringLiteral("XDR")};
    }
    // Sentences are kept in place: writing a shorter "NMEA" back would make
    // the sensor send every sentence it has.
    switch (ClassifyReport(list, offered)) {
    case ReportForm::AllSentences:
        return QStringLiteral("NMEA");
    case ReportForm::SentenceSubset:
        list.removeIf(
            [](const QString &word) { return word.compare(QLatin1String("NMEA"), Qt::CaseInsensitive) == 0; });
        list.prepend(QStringLiteral("NMEA"));
        break;
    case ReportForm::Parameters:
    case ReportForm::Mixed:
        break;
    }
    return JoinWords(list);
}

QString TFormConfig::NormaliseXdrList(const QString &value)
{
    QStringList list = SplitFields(value, QLatin1Char(','));
    RemoveFirstNoCase(list, QStringLiteral("CHECK"));
    RemoveFirstNoCase(list, QStringLiteral("XDR"));
    return JoinWords(list);
}

QString TFormConfig::ReplaceSubstNames(const QString &text, const QStringList &substNames,
                                       const QStringList &sensorNames)
{
    QStringList words = SplitFields(text, QLatin1Char(' '));
    for (QString &word : words) {
        const int index = IndexOfNoCase(substNames, word);
        if (index >= 0 && index < sensorNames.size())
            word = sensorNames[index];
    }
    return JoinWords(words);
}

bool TFormConfig::GetMeasurementFromSenstype(const IXMLcategoryType &category, QString &name, QString *error) const
{
    for (int p = 0; p < category.Count(); ++p) {
        const IXMLparamType param = category.Param(p);
        if (param.Type() != QLatin1String("senstypeselect"))
            continue;
        const int selected = param.Selected();
        if (selected == -1)
            return false;
        const QStringList options = FillOptionList(param);
        if (selected < 0 || selected >= options.size()) {
            if (error)
                *error = QStringLiteral("GetMeasurementFromSenstype: selected out of range");
            return false;
        }
        name = options[selected];
        return true;
    }
    if (error)
        *error = QStringLiteral("GetMeasurementFromSenstype: Did not find SENSTYPE");
    return false;
}

// ---------------------------------------------------------- the whole read

bool TFormConfig::GetDeviceSettings()
{
    SessionReport().WriteBanner(QStringLiteral("Starting Settings Download"));
    Log(QStringLiteral("Generating config messages."));
    SetBusy();
    m_failedReads.clear();
    Summary().ClearSummary();
    if (!EnterSetupModeOrWarn(QStringLiteral("Entering setup mode...")))
        return false;
    Log(QStringLiteral("Entered setup mode!"));
    TfrmProgressDlg *progress = ProgressDialog();
    progress->show();
    QCoreApplication::processEvents();
    progress->setMaximum(CountParamsForRead());
    progress->setPosition(0);
    ReadState state;
    if (!ReadCategories(state))
        return false;
    ApplySubstNamesToReport(state);
    return FinishRead();
}

bool TFormConfig::EnterSetupModeOrWarn(const QString &logLine)
{
    Log(logLine);
    int result = ERR_RX_SERVICE_NOT_STARTED;
    if (m_session) {
        m_session->SetRxServiceMode(RX_MODE_TRANSACTING);
        result = m_session->EnterSetupMode();
    }
    if (result == 0)
        return true;
    Log(QStringLiteral("Unable to enter setup mode!"));
    Dialogs().Message(T(QStringLiteral("UNABLE_TO_CONFIGURE_DEVICE")), T(QStringLiteral("WARNING")));
    LeaveSetupMode();
    ClearBusy();
    return false;
}

void TFormConfig::LeaveSetupMode()
{
    if (!m_session)
        return;
    m_session->ExitSetupMode();
    m_session->SetRxServiceMode(RX_MODE_STREAMING);
}

int TFormConfig::CountParamsForRead()
{
    int total = 0;
    for (int c = 0; c < m_categoryCount; ++c) {
        const IXMLcategoryType category = m_device.Category(c);
        m_paramCount = category.Count();
        total += m_paramCount;
        for (int p = 0; p < m_paramCount; ++p)
            category.Param(p).SetValid(0);
    }
    return total;
}

bool TFormConfig::ReadCategories(ReadState &state)
{
    for (int c = 0; c < m_categoryCount; ++c) {
        if (m_progress && m_progress->IsAborted()) {
            CloseProgress();
            Log(QStringLiteral("GetDeviceSettings aborted"));
            SessionReport().WriteAction(QStringLiteral("User aborted"));
            LeaveSetupMode();
            ClearBusy();
            Dialogs().Message(T(QStringLiteral("Download has been aborted by user")), T(QStringLiteral("WARNING")));
            return false;
        }
        if (!ReadCategory(c, state))
            return StopRead(state);
    }
    return true;
}

bool TFormConfig::ReadCategory(int c, ReadState &state)
{
    const IXMLcategoryType category = m_device.Category(c);
    m_paramCount = category.Count();
    for (int p = 0; p < m_paramCount; ++p) {
        if (m_progress)
            m_progress->setPosition(++state.counter);
        IXMLparamType param = category.Param(p);
        const int result = ReadParam(category, param, state);
        if (result == kStopRead)
            return false;
        if (result != 0) {
            m_failedReads.append(param.Cmd());
            param.SetValid(0);
            param.SetValuestring(QStringLiteral("VALUE_STRING_NOT_SET"));
            Log(QStringLiteral("FAILED TO GET PARAMETER"));
            continue;
        }
        param.SetValid(1);
        if (param.Type() == QLatin1String("substname")) {
            state.substNames.append(param.String());
            state.sensorNames.append(SensorName(category));
        }
    }
    return true;
}

bool TFormConfig::StopRead(const ReadState &state)
{
    CloseProgress();
    Log(QStringLiteral("UNABLE_TO_READ_FROM_DEVICE"));
    if (!state.stopReason.isEmpty())
        Log(state.stopReason);
    SessionReport().WriteError(QStringLiteral("UNABLE_TO_READ_FROM_DEVICE"));
    // A sensor left in setup mode stops reporting until it is power-cycled.
    LeaveSetupMode();
    ClearBusy();
    Dialogs().Message(T(QStringLiteral("UNABLE_TO_READ_FROM_DEVICE")), T(QStringLiteral("WARNING")));
    return false;
}

void TFormConfig::ApplySubstNamesToReport(const ReadState &state)
{
    if (state.substNames.isEmpty())
        return;
    // Every list the device sends names its inputs by their substitute names.
    for (int c = 0; c < m_categoryCount; ++c) {
        const IXMLcategoryType category = m_device.Category(c);
        for (int p = 0; p < category.Count(); ++p) {
            IXMLparamType param = category.Param(p);
            const QString type = param.Type();
            if (type != QLatin1String("reportstr") && type != QLatin1String("reportxdr"))
                continue;
            param.SetReportvalue(ReplaceSubstNames(param.Reportvalue(), state.substNames, state.sensorNames));
            if (type == QLatin1String("reportxdr"))
                param.SetReportxdrvalue(param.Reportvalue());
        }
    }
}

bool TFormConfig::WriteRetrievedConfig()
{
    const QByteArray text = (m_productsDoc.XML() + QLatin1Char('\n')).toUtf8();
    QSaveFile file(m_retrievedConfigPath);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.flush() && file.commit())
        return true;
    Log(QStringLiteral("Could not write ") + m_retrievedConfigPath + QStringLiteral(": ") + file.errorString());
    return false;
}

bool TFormConfig::FinishRead()
{
    bool saved = WriteRetrievedConfig();
    if (saved) {
        BuildConfigPages(m_retrievedConfigPath);
        saved = WriteRetrievedConfig();
    }
    ShowDifferences();
    if (m_progress)
        m_progress->setPosition(0);
    CloseProgress();
    Summary().FillSummary(T(QStringLiteral("Summary of Device Settings")), m_device, true);
    SessionReport().WriteLines(Summary().Lines());
    ClearBusy();
    if (!saved)
        SessionReport().WriteError(QStringLiteral("Could not write ") + m_retrievedConfigPath);
    return saved && m_failedReads.isEmpty();
}

void TFormConfig::CloseProgress()
{
    if (m_progress)
        m_progress->hide();
    if (m_host && m_host->ConfigPageControl()) {
        QWidget *main = m_host->ConfigPageControl()->window();
        main->raise();
        main->activateWindow();
    }
}

TfrmProgressDlg *TFormConfig::ProgressDialog()
{
    if (!m_progress) {
        // Over the main window, which it brings to the front; without one it
        // goes with the engine.
        QWidget *owner = m_host ? m_host->ConfigPageControl() : nullptr;
        m_progress = new TfrmProgressDlg(owner ? owner->window() : this);
        // The main window outlives the engine; the dialog does not.
        connect(this, &QObject::destroyed, m_progress.data(), &QObject::deleteLater);
    }
    return m_progress;
}

TfrmSessionReport &TFormConfig::SessionReport()
{
    if (m_host)
        return m_host->SessionReport();
    if (!m_ownReport)
        m_ownReport = new TfrmSessionReport(this);
    return *m_ownReport;
}

TfrmSummary &TFormConfig::Summary()
{
    if (m_host)
        return m_host->Summary();
    if (!m_ownSummary)
        m_ownSummary = new TfrmSummary(this);
    return *m_ownSummary;
}

// ------------------------------------------------------- reads by type

int TFormConfig::ReadParam(const IXMLcategoryType &category, IXMLparamType param, ReadState &state)
{
    const QString type = param.Type();
    if (type == QLatin1String("int") || type == QLatin1String("delayedint"))
        return ReadInt(param, state, type != QLatin1String("int"));
    if (type == QLatin1String("select") || type == QLatin1String("delayedselect"))
        return ReadSelect(param, state, type != QLatin1String("select"));
    if (type == QLatin1String("sensorunits"))
        return ReadSensorUnits(param, state);
    if (type == QLatin1String("reportstr") || type == QLatin1String("reportxdr"))
        return ReadReport(param, state, type == QLatin1String("reportxdr"));
    if (type == QLatin1String("senstypeselect"))
        return ReadSensType(param, state);
    if (type == QLatin1String("cfgsensorunits"))
        return ReadCfgUnits(category, param, state);
    if (type == QLatin1String("aniptype"))
        return ReadAnipType(param, state);
    if (type == QLatin1String("substname") || type == QLatin1String("digcount"))
        return ReadText(param, state);
    if (type == QLatin1String("maskedfloat"))
        return ReadMaskedFloat(param, state);
    if (type == QLatin1String("timestr") || type == QLatin1String("timestrcheckbox"))
        return ReadTime(param, state);
    if (type == QLatin1String("string"))
        return ReadString(param, state);
    return ConfigResult::ReadFailed;
}

namespace
{
// The name a reply line gives its value: "CMD" of "CMD = 5" and of
// "CMD AFTER RESET = 6".
QString ReplyName(const QString &line)
{
    QString name = line.section(QLatin1Char('='), 0, 0).trimmed();
    const QLatin1String afterReset("AFTER RESET");
    if (name.endsWith(afterReset, Qt::CaseInsensitive))
        name.chop(afterReset.size());
    return name.trimmed();
}

// An unanswered command's answer may still come, late, while a later command
// waits for its own: a line naming another unanswered command is not this
// command's answer, nor is a line without a value (this command's echo, or
// its echo cut by the late line).
bool IsLateReply(const QString &line, const QString &cmd, const QStringList &unanswered)
{
    if (unanswered.isEmpty())
        return false;
    if (!line.contains(QLatin1Char('=')))
        return true;
    const QString name = ReplyName(line);
    return name.compare(cmd, Qt::CaseInsensitive) != 0 && unanswered.contains(name, Qt::CaseInsensitive);
}
} // namespace

int TFormConfig::CheckAnswered(int code, const QString &cmd, ReadState &state)
{
    if (code != 0)
        state.unanswered.append(cmd);
    // A device that lacks the command is read on (the param fails); waiting
    // out every remaining param of one that is gone would only keep the user
    // waiting.
    if (m_session && !m_session->DeviceGone(code))
        return code;
    state.stopReason = !m_session || m_session->LinkLost() ? QStringLiteral("The device hung up or was removed.")
                                                           : QStringLiteral("The device stopped answering.");
    return kStopRead;
}

int TFormConfig::ReadSingleValue(IXMLparamType param, ReadState &state, QString &value)
{
    if (const int code = ExchangeSingle(param.Cmd(), value, state))
        return code;
    return ParseResponse(value) ? 0 : ConfigResult::ReadFailed;
}

int TFormConfig::ExchangeSingle(const QString &cmd, QString &reply, ReadState &state)
{
    for (int attempt = 0; attempt < kAttemptsPastLateReplies; ++attempt) {
        Log(cmd);
        int code = ERR_RX_SERVICE_NOT_STARTED;
        if (m_session)
            code = m_session->SendCmdGetSingleResp(cmd, reply);
        code = CheckAnswered(code, cmd, state);
        if (code != 0 || !IsLateReply(reply, cmd, state.unanswered))
            return code;
        // Asked again: the link drops what is waiting before it sends.
        Log(QStringLiteral("Late reply ignored: ") + reply);
    }
    reply = QStringLiteral("UNDEFINED");
    return ConfigResult::ReadFailed;
}

int TFormConfig::ExchangeDelayed(const QString &cmd, QString &reply, ReadState &state)
{
    for (int attempt = 0; attempt < kAttemptsPastLateReplies; ++attempt) {
        Log(cmd);
        QStringList lines;
        int code = ERR_RX_SERVICE_NOT_STARTED;
        if (m_session)
            code = m_session->SendCmdGetMultipleResp(cmd, lines);
        code = CheckAnswered(code, cmd, state);
        if (code != 0)
            return code;
        lines.removeIf([&](const QString &line) { return IsLateReply(line, cmd, state.unanswered); });
        if (lines.isEmpty()) {
            Log(QStringLiteral("Late reply ignored"));
            continue;
        }
        // The value pending after a reset is what the device will hold.
        reply = lines.value(0);
        for (const QString &line : std::as_const(lines)) {
            if (line.contains(QLatin1String("AFTER RESET")))
                reply = line;
        }
        return 0;
    }
    return ConfigResult::ReadFailed;
}

int TFormConfig::ReadInt(IXMLparamType param, ReadState &state, bool delayed)
{
    QString reply = QStringLiteral("UNDEFINED");
    const int code = delayed ? ExchangeDelayed(param.Cmd(), reply, state) : ExchangeSingle(param.Cmd(), reply, state);
    if (code == kStopRead || (delayed && code != 0))
        return code;
    const bool parsed = ParseResponse(reply);
    int value = 0;
    if ((delayed && !parsed) || !ParseWholeInt(reply, value))
        return ConfigResult::ReadFailed;
    param.SetValue(value);
    return code;
}

int TFormConfig::ReadSelect(IXMLparamType param, ReadState &state, bool delayed)
{
    QString reply;
    const int code = delayed ? ExchangeDelayed(param.Cmd(), reply, state) : ExchangeSingle(param.Cmd(), reply, state);
    if (code != 0)
        return code;
    if (!ParseResponse(reply))
        return ConfigResult::ReadFailed;
    const int index = param.Option().IndexOf(reply);
    if (index < 0) {
        Log(QStringLiteral("Could not find selected option"));
        return ConfigResult::NotAChoice;
    }
    param.SetSelected(index);
    return 0;
}

int TFormConfig::LookupUnits(const QString &measurement, const QString &symbol, IXMLparamType param, ReadState &state)
{
    const UnitLookup lookup = m_unitsDoc.LookupUnit(measurement, symbol);
    if (!lookup.found) {
        state.stopReason = lookup.error;
        return kStopRead;
    }
    param.SetSelected(lookup.position);
    return 0;
}

int TFormConfig::ReadSensorUnits(IXMLparamType param, ReadState &state)
{
    QString reply;
    if (const int code = ReadSingleValue(param, state, reply))
        return code;
    return LookupUnits(param.Measure(), reply, param, state);
}

int TFormConfig::ReadReport(IXMLparamType param, ReadState &state, bool xdr)
{
    QString reply;
    if (const int code = ReadSingleValue(param, state, reply))
        return code;
    if (xdr) {
        // The editor shows the XDR list from reportxdrvalue and a saved file
        // carries it in reportvalue: both hold the device's list.
        const QString list = NormaliseXdrList(reply);
        param.SetReportvalue(list);
        param.SetReportxdrvalue(list);
        return 0;
    }
    bool ok = true;
    const QString list = NormaliseReportList(reply, &ok, OfferedSentences(param));
    if (!ok) {
        state.stopReason = QStringLiteral("Report list without its partner word: ") + reply;
        return kStopRead;
    }
    param.SetReportvalue(list);
    return 0;
}

int TFormConfig::ReadSensType(IXMLparamType param, ReadState &state)
{
    QString reply;
    if (const int code = ExchangeSingle(param.Cmd(), reply, state))
        return code;
    param.SetSelected(-1);
    if (!ParseResponse(reply))
        return ConfigResult::ReadFailed;
    const int index = param.Option().IndexOf(reply);
    if (index >= 0) {
        param.SetSelected(index);
        return 0;
    }
    if (reply.contains(kNotConfigured))
        return 0;
    Log(QStringLiteral("Could not find selected option"));
    return ConfigResult::NotAChoice;
}

int TFormConfig::ReadCfgUnits(const IXMLcategoryType &category, IXMLparamType param, ReadState &state)
{
    QString reply;
    if (const int code = ExchangeSingle(param.Cmd(), reply, state))
        return code;
    if (!ParseResponse(reply)) {
        param.SetSelected(-1);
        return ConfigResult::ReadFailed;
    }
    QString measurement;
    QString error;
    if (!GetMeasurementFromSenstype(category, measurement, &error)) {
        if (!error.isEmpty()) {
            state.stopReason = error;
            return kStopRead;
        }
        param.SetSelected(-1);
        return 0;
    }
    if (measurement == QLatin1String("CUSTOM")) {
        param.SetSelected(0);
        param.SetCustomunits(reply);
        return 0;
    }
    return LookupUnits(measurement, reply, param, state);
}

int TFormConfig::ReadAnipType(IXMLparamType param, ReadState &state)
{
    QString reply;
    if (const int code = ExchangeSingle(param.Cmd(), reply, state))
        return code;
    param.SetSelected(-1);
    if (!ParseResponse(reply))
        return ConfigResult::ReadFailed;
    if (reply.contains(kNotConfigured)) {
        param.SetHigh(0);
        param.SetLow(QStringLiteral("0"));
        return 0;
    }
    const QStringList fields = SplitFields(reply, QLatin1Char(','));
    int high = 0;
    int low = 0;
    if (fields.size() != 3 || !ParseWholeInt(fields[1], high) || !ParseWholeInt(fields[2], low))
        return ConfigResult::ReadFailed;
    const int index = param.Option().IndexOf(fields[0]);
    if (index < 0 && !fields[0].contains(kNotConfigured)) {
        Log(QStringLiteral("Could not find selected option"));
        return ConfigResult::NotAChoice;
    }
    if (index >= 0)
        param.SetSelected(index);
    param.SetHigh(high);
    param.SetLow(QString::number(low));
    return 0;
}

int TFormConfig::ReadText(IXMLparamType param, ReadState &state)
{
    QString reply;
    if (const int code = ReadSingleValue(param, state, reply))
        return code;
    param.SetString(reply.contains(kNotConfigured) ? QString() : reply);
    return 0;
}

int TFormConfig::ReadMaskedFloat(IXMLparamType param, ReadState &state)
{
    QString reply;
    if (const int code = ReadSingleValue(param, state, reply))
        return code;
    param.SetFloatvalue(reply);
    return 0;
}

int TFormConfig::ReadTime(IXMLparamType param, ReadState &state)
{
    QString reply;
    if (const int code = ReadSingleValue(param, state, reply))
        return code;
    reply.chop(2); // the tenths the device adds (".0")
    param.SetString(reply);
    param.SetValuestring(reply);
    return 0;
}

int TFormConfig::ReadString(IXMLparamType param, ReadState &state)
{
    QString reply;
    if (const int code = ReadSingleValue(param, state, reply))
        return code;
    param.SetString(reply);
    param.SetValuestring(reply);
    return 0;
}
