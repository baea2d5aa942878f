#include "workflows/questions.h"

#include "base/translate.h"

bool FixedAnswers::Ask(QuestionId id, const QuestionDetails &)
{
    switch (id) {
    case QuestionId::ProtocolMismatch:
    case QuestionId::HeatingMismatch:
    case QuestionId::AxisMismatch:
        return acceptMismatch;
    case QuestionId::ConfirmWrite:
        return true;
    }
    return false;
}

QuestionText TextOf(QuestionId id, const QuestionDetails &details)
{
    const auto mismatch = [&](const char *caption) {
        return QuestionText{T(QString::fromLatin1(caption)),
                            {T(QStringLiteral("Found:")) + details.found + T(QStringLiteral("  Expected:")) +
                                 details.expected + T(QStringLiteral(". Continue?")),
                             T(QStringLiteral("CONTINUING_MAY_CAUSE_PROBLEMS"))}};
    };
    switch (id) {
    case QuestionId::ProtocolMismatch:
        return mismatch("Warning - protocol mismatch");
    case QuestionId::HeatingMismatch:
        return mismatch("Warning - heating mismatch");
    case QuestionId::AxisMismatch:
        return mismatch("Warning - axis configuration mismatch");
    case QuestionId::ConfirmWrite:
        return {T(QStringLiteral("Confirm")), {T(QStringLiteral("Write displayed settings to device?"))}};
    }
    return {};
}

QuestionId MismatchQuestion(Compatibility kind)
{
    switch (kind) {
    case Compatibility::HeatingMismatch:
        return QuestionId::HeatingMismatch;
    case Compatibility::AxisMismatch:
        return QuestionId::AxisMismatch;
    default:
        return QuestionId::ProtocolMismatch;
    }
}

MessageText ProductMismatchMessage(const CompatibilityIssue &issue)
{
    return {T(QStringLiteral("Error - device type mismatch")),
            T(QStringLiteral("Found:")) + issue.found + T(QStringLiteral("  Expected:")) + issue.expected +
                QStringLiteral("\r\nOperation has been aborted.")};
}
