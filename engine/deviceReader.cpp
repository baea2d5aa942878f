#include "engine/deviceReader.h"

#include "base/log.h"
#include "device/interface.h"
#include "engine/numberScan.h"
#include "engine/replies.h"
#include "engine/splitFields.h"

namespace
{
const QString kNotConfigured = QStringLiteral("NOT CONFIGURED");
// Read results besides the session's codes (0 is success).
constexpr int kStopRead = -1;   // stops the whole read
constexpr int kReadFailed = 20; // a read or conversion failed
constexpr int kNotAChoice = 28; // a value read is not among the template's choices
// A read asked again after its answer turned out to be another's late one.
constexpr int kAttemptsPastLateReplies = 2;

QString SensorName(const IXMLcategoryType &category)
{
    const QString name = category.Sensorname();
    return name.isEmpty() ? category.Name() : name;
}

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

bool IsOneOf(const QString &type, std::initializer_list<const char *> types)
{
    return std::any_of(types.begin(), types.end(), [&type](const char *t) { return type == QLatin1String(t); });
}
} // namespace

DeviceReader::DeviceReader(TfrmInterface *session, const Document &document, QObject *parent)
    : QObject(parent), m_session(session), m_document(document)
{
}

bool DeviceReader::EnterSetupMode()
{
    int result = ERR_RX_SERVICE_NOT_STARTED;
    if (m_session) {
        m_session->SetRxServiceMode(RX_MODE_TRANSACTING);
        result = m_session->EnterSetupMode();
    }
    if (result == 0)
        return true;
    Log(QStringLiteral("Unable to enter setup mode!"));
    LeaveSetupMode();
    return false;
}

void DeviceReader::LeaveSetupMode()
{
    if (!m_session)
        return;
    m_session->ExitSetupMode();
    m_session->SetRxServiceMode(RX_MODE_STREAMING);
}

ReadReport DeviceReader::Read()
{
    Log(QStringLiteral("Entering setup mode..."));
    if (!EnterSetupMode()) {
        ReadReport report;
        report.stop = ReadReport::Stop::SetupModeRefused;
        report.leftInMeasuringMode = true;
        return report;
    }
    Log(QStringLiteral("Entered setup mode!"));
    return ReadAll();
}

ReadReport DeviceReader::ReadAll()
{
    m_report = ReadReport{};
    m_done = 0;
    m_total = 0;
    m_substNames.clear();
    m_sensorNames.clear();
    m_unanswered.clear();
    const IXMLdeviceType device = m_document.Device();
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        m_total += category.Count();
        for (int p = 0; p < category.Count(); ++p)
            category.Param(p).SetValid(0);
    }
    emit progress(0, m_total);
    if (ReadCategories() == kStopRead)
        return m_report;
    ApplySubstNamesToReport();
    return m_report;
}

int DeviceReader::Stop(ReadReport::Stop stop)
{
    m_report.stop = stop;
    if (stop == ReadReport::Stop::Aborted)
        Log(QStringLiteral("GetDeviceSettings aborted"));
    // A sensor left in setup mode stops reporting until it is power-cycled.
    LeaveSetupMode();
    m_report.leftInMeasuringMode = true;
    return kStopRead;
}

int DeviceReader::ReadCategories()
{
    const IXMLdeviceType device = m_document.Device();
    for (int c = 0; c < device.Count(); ++c) {
        if (m_cancel && m_cancel->IsCancelled())
            return Stop(ReadReport::Stop::Aborted);
        if (!ReadCategory(device.Category(c))) {
            Log(QStringLiteral("UNABLE_TO_READ_FROM_DEVICE"));
            if (!m_report.stopReason.isEmpty())
                Log(m_report.stopReason);
            return Stop(ReadReport::Stop::Unreadable);
        }
    }
    return 0;
}

bool DeviceReader::ReadCategory(const IXMLcategoryType &category)
{
    for (int p = 0; p < category.Count(); ++p) {
        emit progress(++m_done, m_total);
        IXMLparamType param = category.Param(p);
        const int result = ReadParam(category, param);
        if (result == kStopRead)
            return false;
        if (result != 0) {
            m_report.failedCmds.append(param.Cmd());
            param.SetValid(0);
            param.SetValuestring(QStringLiteral("VALUE_STRING_NOT_SET"));
            Log(QStringLiteral("FAILED TO GET PARAMETER"));
            continue;
        }
        param.SetValid(1);
        if (param.Type() == QLatin1String("substname")) {
            m_substNames.append(param.String());
            m_sensorNames.append(SensorName(category));
        }
    }
    return true;
}

void DeviceReader::ApplySubstNamesToReport()
{
    if (m_substNames.isEmpty())
        return;
    // Every list the device sends names its inputs by their substitute names.
    const IXMLdeviceType device = m_document.Device();
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int p = 0; p < category.Count(); ++p) {
            IXMLparamType param = category.Param(p);
            const QString type = param.Type();
            if (type != QLatin1String("reportstr") && type != QLatin1String("reportxdr"))
                continue;
            param.SetReportvalue(ReplaceNames(param.Reportvalue(), m_substNames, m_sensorNames));
            if (type == QLatin1String("reportxdr"))
                param.SetReportxdrvalue(param.Reportvalue());
        }
    }
}

// ------------------------------------------------------- exchanges

int DeviceReader::CheckAnswered(int code, const QString &cmd)
{
    if (code != 0)
        m_unanswered.append(cmd);
    // A device that lacks the command is read on (the param fails); waiting
    // out every remaining param of one that is gone would only keep the user
    // waiting.
    if (m_session && !m_session->DeviceGone(code))
        return code;
    m_report.deviceGone = true;
    m_report.stopReason = !m_session || m_session->LinkLost() ? QStringLiteral("The device hung up or was removed.")
                                                              : QStringLiteral("The device stopped answering.");
    return kStopRead;
}

int DeviceReader::ExchangeSingle(const QString &cmd, QString &reply)
{
    for (int attempt = 0; attempt < kAttemptsPastLateReplies; ++attempt) {
        Log(cmd);
        int code = ERR_RX_SERVICE_NOT_STARTED;
        if (m_session)
            code = m_session->SendCmdGetSingleResp(cmd, reply);
        code = CheckAnswered(code, cmd);
        if (code != 0 || !IsLateReply(reply, cmd, m_unanswered))
            return code;
        // Asked again: the link drops what is waiting before it sends.
        Log(QStringLiteral("Late reply ignored: ") + reply);
    }
    reply = QStringLiteral("UNDEFINED");
    return kReadFailed;
}

int DeviceReader::ExchangeDelayed(const QString &cmd, QString &reply)
{
    for (int attempt = 0; attempt < kAttemptsPastLateReplies; ++attempt) {
        Log(cmd);
        QStringList lines;
        int code = ERR_RX_SERVICE_NOT_STARTED;
        if (m_session)
            code = m_session->SendCmdGetMultipleResp(cmd, lines);
        code = CheckAnswered(code, cmd);
        if (code != 0)
            return code;
        lines.removeIf([&](const QString &line) { return IsLateReply(line, cmd, m_unanswered); });
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
    return kReadFailed;
}

int DeviceReader::ReadSingleValue(const IXMLparamType &param, QString &value)
{
    if (const int code = ExchangeSingle(param.Cmd(), value))
        return code;
    return ParseResponse(value) ? 0 : kReadFailed;
}

// ------------------------------------------------------- reads by type

int DeviceReader::ReadParam(const IXMLcategoryType &category, IXMLparamType param)
{
    const QString type = param.Type();
    if (IsOneOf(type, {"int", "delayedint"}))
        return ReadInt(param, type != QLatin1String("int"));
    if (IsOneOf(type, {"select", "delayedselect"}))
        return ReadSelect(param, type != QLatin1String("select"));
    if (type == QLatin1String("sensorunits"))
        return ReadSensorUnits(param);
    if (IsOneOf(type, {"reportstr", "reportxdr"}))
        return ReadReportList(param, type == QLatin1String("reportxdr"));
    if (type == QLatin1String("senstypeselect"))
        return ReadSensType(param);
    if (type == QLatin1String("cfgsensorunits"))
        return ReadCfgUnits(category, param);
    if (type == QLatin1String("aniptype"))
        return ReadAnipType(param);
    if (IsOneOf(type, {"substname", "digcount"}))
        return ReadText(param);
    if (type == QLatin1String("maskedfloat"))
        return ReadMaskedFloat(param);
    if (IsOneOf(type, {"timestr", "timestrcheckbox"}))
        return ReadTime(param);
    if (type == QLatin1String("string"))
        return ReadString(param);
    return kReadFailed;
}

int DeviceReader::ReadInt(IXMLparamType param, bool delayed)
{
    QString reply = QStringLiteral("UNDEFINED");
    const int code = delayed ? ExchangeDelayed(param.Cmd(), reply) : ExchangeSingle(param.Cmd(), reply);
    if (code == kStopRead || (delayed && code != 0))
        return code;
    const bool parsed = ParseResponse(reply);
    int value = 0;
    if ((delayed && !parsed) || !ParseWholeInt(reply, value))
        return kReadFailed;
    param.SetValue(value);
    return code;
}

int DeviceReader::ReadSelect(IXMLparamType param, bool delayed)
{
    QString reply;
    const int code = delayed ? ExchangeDelayed(param.Cmd(), reply) : ExchangeSingle(param.Cmd(), reply);
    if (code != 0)
        return code;
    if (!ParseResponse(reply))
        return kReadFailed;
    const int index = param.Option().IndexOf(reply);
    if (index < 0) {
        Log(QStringLiteral("Could not find selected option"));
        return kNotAChoice;
    }
    param.SetSelected(index);
    return 0;
}

int DeviceReader::LookupUnits(const QString &measurement, const QString &symbol, IXMLparamType param)
{
    const UnitLookup lookup = m_document.units.LookupUnit(measurement, symbol);
    if (!lookup.found) {
        m_report.stopReason = lookup.error;
        return kStopRead;
    }
    param.SetSelected(lookup.position);
    return 0;
}

int DeviceReader::ReadSensorUnits(IXMLparamType param)
{
    QString reply;
    if (const int code = ReadSingleValue(param, reply))
        return code;
    return LookupUnits(param.Measure(), reply, param);
}

int DeviceReader::ReadReportList(IXMLparamType param, bool xdr)
{
    QString reply;
    if (const int code = ReadSingleValue(param, reply))
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
    const DeviceIdentity &id = m_document.identity;
    const QString list = NormaliseReportList(reply, id.protocolVersion, id.productName, &ok, OfferedSentences(param));
    if (!ok) {
        m_report.stopReason = QStringLiteral("Report list without its partner word: ") + reply;
        return kStopRead;
    }
    param.SetReportvalue(list);
    return 0;
}

int DeviceReader::ReadSensType(IXMLparamType param)
{
    QString reply;
    if (const int code = ExchangeSingle(param.Cmd(), reply))
        return code;
    param.SetSelected(-1);
    if (!ParseResponse(reply))
        return kReadFailed;
    const int index = param.Option().IndexOf(reply);
    if (index >= 0) {
        param.SetSelected(index);
        return 0;
    }
    if (reply.contains(kNotConfigured))
        return 0;
    Log(QStringLiteral("Could not find selected option"));
    return kNotAChoice;
}

int DeviceReader::ReadCfgUnits(const IXMLcategoryType &category, IXMLparamType param)
{
    QString reply;
    if (const int code = ExchangeSingle(param.Cmd(), reply))
        return code;
    if (!ParseResponse(reply)) {
        param.SetSelected(-1);
        return kReadFailed;
    }
    QString measurement;
    QString error;
    if (!MeasurementOfSensorType(category, measurement, &error)) {
        if (!error.isEmpty()) {
            m_report.stopReason = error;
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
    return LookupUnits(measurement, reply, param);
}

int DeviceReader::ReadAnipType(IXMLparamType param)
{
    QString reply;
    if (const int code = ExchangeSingle(param.Cmd(), reply))
        return code;
    param.SetSelected(-1);
    if (!ParseResponse(reply))
        return kReadFailed;
    if (reply.contains(kNotConfigured)) {
        param.SetHigh(0);
        param.SetLow(QStringLiteral("0"));
        return 0;
    }
    const QStringList fields = SplitFields(reply, QLatin1Char(','));
    int high = 0;
    int low = 0;
    if (fields.size() != 3 || !ParseWholeInt(fields[1], high) || !ParseWholeInt(fields[2], low))
        return kReadFailed;
    const int index = param.Option().IndexOf(fields[0]);
    if (index < 0 && !fields[0].contains(kNotConfigured)) {
        Log(QStringLiteral("Could not find selected option"));
        return kNotAChoice;
    }
    if (index >= 0)
        param.SetSelected(index);
    param.SetHigh(high);
    param.SetLow(QString::number(low));
    return 0;
}

int DeviceReader::ReadText(IXMLparamType param)
{
    QString reply;
    if (const int code = ReadSingleValue(param, reply))
        return code;
    param.SetString(reply.contains(kNotConfigured) ? QString() : reply);
    return 0;
}

int DeviceReader::ReadMaskedFloat(IXMLparamType param)
{
    QString reply;
    if (const int code = ReadSingleValue(param, reply))
        return code;
    param.SetFloatvalue(reply);
    return 0;
}

int DeviceReader::ReadTime(IXMLparamType param)
{
    QString reply;
    if (const int code = ReadSingleValue(param, reply))
        return code;
    reply.chop(2); // the tenths the device adds (".0")
    param.SetString(reply);
    param.SetValuestring(reply);
    return 0;
}

int DeviceReader::ReadString(IXMLparamType param)
{
    QString reply;
    if (const int code = ReadSingleValue(param, reply))
        return code;
    param.SetString(reply);
    param.SetValuestring(reply);
    return 0;
}
