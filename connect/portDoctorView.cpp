#include "connect/portDoctorView.h"

#include "base/translate.h"
#include "workflows/portScanner.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace
{
constexpr int minimumLines = 9;
} // namespace

TPortDoctorView::TPortDoctorView(QWidget *parent) : QGroupBox(parent)
{
    setObjectName(QStringLiteral("gbDoctor"));
    auto *layout = new QVBoxLayout(this);
    memoDiagnosis = new QPlainTextEdit(this);
    memoDiagnosis->setObjectName(QStringLiteral("memoDiagnosis"));
    memoDiagnosis->setReadOnly(true);
    memoDiagnosis->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Commands line up and copy as typed in a fixed-width font.
    memoDiagnosis->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memoDiagnosis->setMinimumHeight(memoDiagnosis->fontMetrics().lineSpacing() * minimumLines);
    layout->addWidget(memoDiagnosis);
    hide();
}

void TPortDoctorView::Diagnose(const QStringList &portNames)
{
    QList<ComPortDevice> ports;
    for (const QString &name : portNames) {
        const int number = PortScanner::PortIndexFromName(name) + 1;
        if (number > 0)
            ports.append({QString(), ComPortDevicePath(number), number});
    }
    setTitle(T(QStringLiteral("Port diagnosis")));
    memoDiagnosis->setPlainText(RenderDoctorReport(PortDoctor().Diagnose(ports)));
    show();
}

void TPortDoctorView::Clear()
{
    memoDiagnosis->clear();
    hide();
}

QString TPortDoctorView::Text() const
{
    return memoDiagnosis->toPlainText();
}
