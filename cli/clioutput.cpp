#include "cli/clioutput.h"

#include <cstdio>

void PrintError(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stderr);
    std::fflush(stderr);
}

void PrintOut(const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void PrintMessage(const QString &caption, const QString &text)
{
    PrintError(caption + QStringLiteral(": ") + text);
}

void PrintQuestion(const QString &caption, const QString &text, bool yes)
{
    PrintError(caption + QStringLiteral(": ") + text + (yes ? QStringLiteral(" [yes]") : QStringLiteral(" [no]")));
}
