#pragma once
#include <QDateTime>
#include <QString>

class QCommandLineParser;

// The audit command: "audit verify" and "audit show [--serial S] [--since DATE]".
void AddAuditOptions(QCommandLineParser &parser);
int RunAudit(const QCommandLineParser &parser);

// "2026-03-01" (its start) or an ISO date-time, UTC unless it names its
// offset; invalid when the text is neither.
QDateTime ParseSinceDate(const QString &text);
