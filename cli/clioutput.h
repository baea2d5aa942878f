#pragma once
#include <QString>

// One line of standard error, flushed at once so it interleaves with the log.
void PrintError(const QString &line);
void PrintOut(const QString &line);
// A message as the program's box would show it: "caption: text".
void PrintMessage(const QString &caption, const QString &text);
// A question and the answer the command gave it: "caption: text [yes]".
void PrintQuestion(const QString &caption, const QString &text, bool yes);
