#pragma once
#include "serial/portDoctor.h"

#include <QGroupBox>

class QPlainTextEdit;

// The port doctor's diagnosis in the connection dialog: hidden until a scan
// finds nothing or a port will not open, then the report as text the user
// can read and copy the fix commands from.
class TPortDoctorView : public QGroupBox
{
    Q_OBJECT
public:
    explicit TPortDoctorView(QWidget *parent = nullptr);

    // Diagnoses the ports ("COM3", ...) and shows the report.
    void Diagnose(const QStringList &portNames);
    void Clear();
    QString Text() const;

private:
    QPlainTextEdit *memoDiagnosis = nullptr;
};
