#include "cli/clidialogs.h"

#include "base/translate.h"

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

CliDialogs::CliDialogs()
{
    SetDialogs(this);
}

CliDialogs::~CliDialogs()
{
    SetDialogs(nullptr);
}

bool CliDialogs::Shown(const char *key) const
{
    // A box may add details below its message, after an empty line.
    const QString text = T(QString::fromLatin1(key));
    const QString withDetails = text + QStringLiteral("\n\n");
    for (const Box &box : messages)
        if (box.text == text || box.text.startsWith(withDetails) || box.caption == text)
            return true;
    return false;
}

void CliDialogs::Message(const QString &text, const QString &caption)
{
    messages.append({text, caption});
    PrintError(caption + QStringLiteral(": ") + text);
}

bool CliDialogs::IsMismatchQuestion(const QString &caption) const
{
    for (const char *key :
         {"Warning - protocol mismatch", "Warning - heating mismatch", "Warning - axis configuration mismatch"})
        if (caption == T(QString::fromLatin1(key)))
            return true;
    return false;
}

bool CliDialogs::Question(const QString &text, const QString &caption)
{
    const bool yes = impliedYes.contains(text) || (acceptMismatch && IsMismatchQuestion(caption));
    PrintError(caption + QStringLiteral(": ") + text + (yes ? QStringLiteral(" [yes]") : QStringLiteral(" [no]")));
    if (!yes)
        messages.append({text, caption});
    return yes;
}

QString CliDialogs::OpenFileName(const FileDialogRequest &)
{
    return openFileName;
}

QString CliDialogs::SaveFileName(const FileDialogRequest &)
{
    return saveFileName;
}
