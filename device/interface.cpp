#include "device/interface.h"

#include "base/log.h"

namespace
{
bool hasLine(const QStringList &lines, const QString &wanted)
{
    for (const QString &line : lines)
        if (line.compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString trimmedOfControls(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= 0x20)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 0x20)
        --last;
    return text.mid(first, last - first);
}
} // namespace

TfrmInterface::TfrmInterface(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("frmInterface"));
}

int TfrmInterface::SetComms(TComms *link)
{
    comms = link;
    return 0;
}

bool TfrmInterface::SendAndFind(const QString &command, const QString &expected, int extraAttempts, QString &line)
{
    // One list for every attempt: later attempts search earlier replies too.
    QStringList lines;
    for (int attempt = 0; attempt <= extraAttempts; ++attempt) {
        Log(QStringLiteral("Retry Sending: ") + command + QStringLiteral("..."));
        SendCmdGetMultipleResp(command, lines);
        for (const QString &candidate : std::as_const(lines)) {
            if (candidate.contains(expected)) {
                line = candidate;
                return true;
            }
        }
    }
    return false;
}

bool TfrmInterface::SendAndMatch(const QString &command, const QString &expected, bool sendCR, int extraAttempts,
                                 QString &response)
{
    for (int attempt = 0; attempt <= extraAttempts; ++attempt) {
        Log(QStringLiteral("Retry Sending: ") + command + QStringLiteral("..."));
        if (comms != nullptr)
            comms->SendCmdGetSingleResp(command, response, sendCR);
        else
            response = QStringLiteral("UNDEFINED");
        Log(QStringLiteral("Retry Response: ") + response + QStringLiteral("..."));
        if (response.contains(expected))
            return true;
    }
    return false;
}

bool TfrmInterface::ExtractUnitAddress(const QString &identity)
{
    const qsizetype open = identity.indexOf(QLatin1Char('['));
    // The first "]" after the "[": a stray "]" in front must not give a
    // garbled address.
    const qsizetype close = open < 0 ? -1 : identity.indexOf(QLatin1Char(']'), open + 1);
    if (close < 0)
        return false;
    unitAddress = identity.mid(open + 1, close - open - 1);
    return true;
}

int TfrmInterface::QueryUnit(QString &identity)
{
    QString line;
    QString text;
    if (SendAndFind(QStringLiteral("%%%"), QStringLiteral("ID:"), retryCount, line)) {
        Log(QStringLiteral("Query Unit Successful: ") + line);
        text = line;
        text.remove(text.indexOf(QLatin1String("ID:")), 3);
        identity = text;
        if (ExtractUnitAddress(text))
            return 0;
    }
    Log(QStringLiteral("Query Unit Failed: ") + text);
    Log(QStringLiteral("ERR_QUERY_FAILED"));
    return ERR_QUERY_FAILED;
}

bool TfrmInterface::IsAnswering()
{
    if (LinkLost())
        return false;
    QString line;
    const bool answered = SendAndFind(QStringLiteral("%%%"), QStringLiteral("ID:"), livenessRetries, line);
    Log(answered ? QStringLiteral("The device still answers.") : QStringLiteral("The device does not answer."));
    return answered && !LinkLost();
}

bool TfrmInterface::DeviceGone(int exchangeCode)
{
    if (LinkLost())
        return true;
    return exchangeCode != 0 && !IsAnswering();
}

QString TfrmInterface::SetupModeCommand() const
{
    return QStringLiteral("**") + unitAddress.repeated(4) + QLatin1Char('\n');
}

int TfrmInterface::EnterSetupModeOnce()
{
    QString identity;
    if (QueryUnit(identity) != 0) {
        Log(QStringLiteral("Enter Setup Mode QueryUnit Failed: "));
        setupModeFailure = QStringLiteral("the sensor did not answer the unit query (%%%)");
        return ERR_COMMAND_FAILED;
    }
    const QString command = SetupModeCommand();
    QStringList lines;
    if (SendCmdGetMultipleResp(command, lines) == 0 && hasLine(lines, QStringLiteral("SETUP MODE"))) {
        Log(QStringLiteral("Enter Setup Mode Successful: "));
        return 0;
    }
    // A sensor already in setup mode refuses the command; that is success too.
    if (SendCmdGetMultipleResp(command, lines) == 0 && (hasLine(lines, QStringLiteral("UNNECESSARY COMMAND")) ||
                                                        hasLine(lines, QStringLiteral("ILLEGAL COMMAND LINE")))) {
        Log(QStringLiteral("Enter Setup Mode Successful: "));
        return 0;
    }
    Log(QStringLiteral("Enter Setup Mode Failed: "));
    Log(QStringLiteral("ERR_COMMAND_FAILED"));
    setupModeFailure = lines.isEmpty() ? QStringLiteral("the sensor did not answer the setup-mode command")
                                       : QStringLiteral("the sensor answered the setup-mode command with \"%1\"")
                                             .arg(lines.join(QStringLiteral(" / ")));
    return ERR_COMMAND_FAILED;
}

int TfrmInterface::EnterSetupMode()
{
    int result = ERR_COMMAND_FAILED;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        result = EnterSetupModeOnce();
        if (result == 0)
            return 0;
        Log(QStringLiteral("Enter Setup Mode attempt: ") + QString::number(attempt));
    }
    return result;
}

int TfrmInterface::ExitSetupMode()
{
    QString response;
    SendCmdGetSingleResp(QStringLiteral("EXIT"), response);
    SendCmdGetSingleResp(QStringLiteral("EXIT"), response);
    return 0;
}

int TfrmInterface::GetSerialNumber(QString &serial)
{
    Log(QStringLiteral("Getting unit serial number"));
    const QString command = QStringLiteral("SERIAL");
    QString response;
    for (int attempt = 0; attempt <= retryCount; ++attempt) {
        if (!SendAndMatch(command, command, true, 0, response))
            continue;
        // The bare command is an echo that came late (a slow sensor's answer
        // to an earlier try), never the number: ask again.
        if (trimmedOfControls(response) == command)
            continue;
        const qsizetype equals = response.indexOf(QLatin1Char('='));
        serial = trimmedOfControls(equals < 0 ? response : response.mid(equals + 1));
        return 0;
    }
    return ERR_COMMAND_FAILED;
}

int TfrmInterface::SafeModeProbe()
{
    QStringList lines;
    return SendCmdGetMultipleResp(QStringLiteral("*"), lines) == 0 ? 0 : ERR_COMMAND_FAILED;
}

int TfrmInterface::StartRxService(QObject *notifyWindow)
{
    return comms != nullptr ? comms->StartRxService(notifyWindow) : ERR_RX_SERVICE_NOT_STARTED;
}

int TfrmInterface::SetRxServiceMode(int mode)
{
    return comms != nullptr ? comms->SetRxServiceMode(mode) : ERR_RX_SERVICE_NOT_STARTED;
}

int TfrmInterface::GetRxLineCount(int &count)
{
    if (comms == nullptr) {
        count = 0;
        return ERR_RX_SERVICE_NOT_STARTED;
    }
    return comms->GetRxLineCount(count);
}

int TfrmInterface::PopRxLine(QString &text)
{
    return comms != nullptr ? comms->PopRxLine(text) : ERR_RX_SERVICE_NOT_STARTED;
}

int TfrmInterface::SendCmdGetSingleResp(const QString &command, QString &response)
{
    if (comms == nullptr) {
        response = QStringLiteral("UNDEFINED");
        return ERR_RX_SERVICE_NOT_STARTED;
    }
    return comms->SendCmdGetSingleResp(command, response, true);
}

int TfrmInterface::SendCmdGetMultipleResp(const QString &command, QStringList &responses)
{
    return comms != nullptr ? comms->SendCmdGetMultipleResp(command, responses) : ERR_RX_SERVICE_NOT_STARTED;
}
