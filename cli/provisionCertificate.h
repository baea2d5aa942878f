#pragma once
// The certificate of one provisioned unit: who and what it is, when and by
// whom it was set up, every setting as read back from it, what differs from
// the base file, the outcome and the audit log's record of the write.
#include "reports/printedReport.h"
#include "workflows/provisioning.h"

// "user@host" of the person running the program.
QString OperatorName();

PrintedReport UnitCertificate(const UnitResult &result, const QString &operatorName);

// Where the unit's certificate goes (without ".pdf" / ".txt"), by serial.
QString CertificateBase(const QString &resultsFolder, const QString &serial);

// Writes the PDF and its text twin, each whole or not at all; false and why.
bool WriteUnitCertificate(const UnitResult &result, const QString &resultsFolder, QString *error);
