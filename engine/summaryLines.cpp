#include "engine/summaryLines.h"

#include "base/translate.h"

namespace
{
// The params whose valid flag is `valid`; a param without a readable flag is
// neither failed nor read.
QStringList ParamLines(const IXMLdeviceType &device, int valid, bool withValues)
{
    QStringList result;
    for (int c = 0; c < device.Count(); ++c) {
        const IXMLcategoryType category = device.Category(c);
        for (int p = 0; p < category.Count(); ++p) {
            const IXMLparamType param = category.Param(p);
            bool readable = false;
            if (param.Valid(&readable) != valid || !readable)
                continue;
            QString line = QStringLiteral("    ") + param.Cmd();
            if (withValues)
                line += QStringLiteral(" : ") + param.Valuestring();
            result << line;
        }
    }
    return result;
}
} // namespace

QStringList SummaryLines(const IXMLdeviceType &device, bool listProblems)
{
    QStringList lines;
    const QStringList problems = listProblems ? ParamLines(device, 0, false) : QStringList();
    if (!problems.isEmpty())
        lines << T(QStringLiteral("PROBLEMS WERE ENCOUNTERED WITH THE FOLLOWING COMMANDS:")) << QString() << problems
              << QString();
    lines << T(QStringLiteral("SETTINGS ARE AS FOLLOWS:")) << QString();
    lines << ParamLines(device, 1, true);
    lines << QString() << T(QStringLiteral("  Note changes to ANEM, BAUD, COMMS or PROTOCOL settings"))
          << T(QStringLiteral("  will take place after next power-up.")) << QString();
    return lines;
}
