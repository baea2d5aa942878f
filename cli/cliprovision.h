#pragma once
#include <QString>

// talvek-cli provision PLAN [--again]: sets up every unit of a plan
// (workflows/provisionPlan.h), several ports at once, with a progress line
// per unit and step, a certificate per unit written, and a result file
// beside the plan (PLAN.results) that a later run resumes from.
struct ProvisionOptions {
    QString planFile;       // absolute
    bool again = false;     // redo the units verified before
    int languageIndex = -1; // -1: the stored language
};

// The exit status: ExitOk only when every unit is verified (now or before).
int RunProvision(const ProvisionOptions &options);
