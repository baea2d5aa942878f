#pragma once
// A provisioning plan: a CSV file with one row per sensor to set up. The
// header names the columns: "port" (COMn, or "scan" for any sensor not
// otherwise taken), "base" (the configuration file the unit gets, relative
// to the plan's folder), optionally "product" and "serial" (what the sensor
// must be), and any number of columns named by a command (AVGLONG, USERINF,
// ...) whose cells override the base file's value for that unit; an empty
// cell keeps the base value. Fields may be quoted ("a, b"; "" for a quote).
//
// Reading a plan checks everything that can be checked without a sensor:
// a plan with any problem is refused as a whole, each problem named by its
// row (the file's line) and column.
#include "engine/document.h"

#include <QList>
#include <QString>
#include <QStringList>

struct PlanOverride {
    QString cmd;
    QString value;
    int column = 0; // 1-based, for messages
};

struct PlanUnit {
    int row = 0;       // the line of the plan it starts on (the header is row 1)
    int comNumber = 0; // 0: scan for a sensor
    QString product;   // expected product (contained in the identity; any case), or empty
    QString serial;    // expected serial number, or empty
    QString baseFile;  // absolute path
    QList<PlanOverride> overrides;
    QString key; // the row's cells, to recognise the same unit in a later run

    bool Scans() const { return comNumber == 0; }
    QString PortText() const;
};

struct PlanProblem {
    int row = 0;    // 0: the file as a whole
    int column = 0; // 1-based; 0: the row as a whole
    QString columnName;
    QString text;

    // "row 3, column 5 (AVGLONG): ..." as a person reads it.
    QString Describe() const;
};

struct ProvisionPlan {
    QString path; // absolute
    QList<PlanUnit> units;
    QList<PlanProblem> problems;

    bool Refused() const { return !problems.isEmpty(); }
};

// Reads and checks the plan. A unit's overrides are tried on its base file
// with the engine's rules, so a value the template forbids is refused here.
ProvisionPlan ReadProvisionPlan(const QString &path);

// Sets each override on every param of its command in products; the
// problems (a command the file lacks, a type a plan cannot set, an option
// the param does not offer) are returned, one per override at most.
QList<PlanProblem> ApplyOverrides(IXMLproductsType products, const QList<PlanOverride> &overrides, int row);

// One CSV record: its fields and the line it starts on.
struct CsvRecord {
    int line = 0;
    QStringList fields;
};
// Splits CSV text (quoted fields may hold commas, quotes as "" and line
// breaks); false with the line of an unterminated quote.
bool ParseCsv(const QString &text, QList<CsvRecord> &records, int *badLine);
