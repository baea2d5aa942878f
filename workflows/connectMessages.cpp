#include "workflows/connectMessages.h"

#include "base/translate.h"

namespace
{
MessageText ConnectionError(const char *message, const ConnectResult &result, const QString &reason = QString())
{
    const QString text = T(QString::fromLatin1(message));
    if (reason.isEmpty())
        return {T(QStringLiteral("Connection Error")), text};
    const QString port = QStringLiteral("COM%1 (%2 baud)").arg(result.device.portIndex + 1).arg(result.device.baudText);
    return {T(QStringLiteral("Connection Error")),
            text + QStringLiteral("\n\n") + port + QStringLiteral(": ") + reason};
}

MessageText InitialisationError(const char *message, const QString &reason)
{
    const QString text = T(QString::fromLatin1(message));
    return {T(QStringLiteral("Initialisation Error")),
            reason.isEmpty() ? text : text + QStringLiteral("\n\n") + reason};
}

// The identity's own words first: a reply without a protocol version is a
// warning, an unknown or unsupported product an error.
MessageText UnknownDeviceMessage(const ConnectResult &result)
{
    const bool noProtocol = result.identityProblem == ConnectResult::IdentityProblem::NoProtocol;
    return {T(noProtocol ? QStringLiteral("WARNING") : QStringLiteral("ERROR")),
            result.device.identity + T(result.reason)};
}
} // namespace

QList<MessageText> ConnectFailureMessages(const ConnectResult &result)
{
    switch (result.outcome) {
    case ConnectOutcome::Connected:
    case ConnectOutcome::NoPorts:
    case ConnectOutcome::NoSensor:
    case ConnectOutcome::Aborted:
        return {};
    case ConnectOutcome::PortNotOpened:
        if (result.device.identity.isEmpty() && result.scan.found.isEmpty())
            return {};
        return {ConnectionError("FAILED_TO_OPEN_PORT", result, result.reason)};
    case ConnectOutcome::UnknownDevice:
        return {UnknownDeviceMessage(result), InitialisationError("Failed to open template file", QString()),
                ConnectionError("Failed to initialise connection", result)};
    case ConnectOutcome::UnitsUnusable:
        return {InitialisationError("Failed to open units file", result.reason),
                ConnectionError("Failed to initialise connection", result)};
    case ConnectOutcome::TemplateUnusable:
        return {InitialisationError("Failed to open template file", result.reason),
                ConnectionError("Failed to initialise connection", result)};
    case ConnectOutcome::SetupModeFailed:
        return {ConnectionError("Failed to get SETUP MODE", result, result.reason)};
    case ConnectOutcome::SerialNumberFailed:
        return {ConnectionError("Failed to get SERIAL NUMBER", result)};
    }
    return {};
}
