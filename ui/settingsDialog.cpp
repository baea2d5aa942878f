#include "ui/settingsDialog.h"

#include "base/translate.h"
#include "settings/guiSettings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{
// An edit's text as a decimal integer; anything else counts as 0.
int editValue(const QLineEdit *edit)
{
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}
} // namespace

TfrmSettings::TfrmSettings(TfrmGuiSettings *guiSettings, QWidget *parent) : QDialog(parent), m_guiSettings(guiSettings)
{
    setObjectName(QStringLiteral("frmSettings"));
    buildLayout();
    connect(buSave, &QPushButton::clicked, this, &TfrmSettings::buSaveClick);
    connect(buCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmSettings::buildLayout()
{
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);

    PageControl1 = new QTabWidget(this);
    TabSheet2 = new QWidget;
    PageControl1->addTab(TabSheet2, QStringLiteral("Comms"));

    GroupBox2 = new QGroupBox(QStringLiteral("Timeout/Delay"), TabSheet2);
    Label1 = new QLabel(QStringLiteral("Inter-char delay (ms)"), GroupBox2);
    edUserInterCharDelay = new QLineEdit(GroupBox2);
    Label2 = new QLabel(QStringLiteral("Response Timeout (ms)"), GroupBox2);
    edUserResponseTimeout = new QLineEdit(GroupBox2);
    cbUserDelay = new QCheckBox(QStringLiteral("Enable (leave disabled unless problems are encountered)"), GroupBox2);
    edUserInterCharDelay->setObjectName(QStringLiteral("edUserInterCharDelay"));
    edUserResponseTimeout->setObjectName(QStringLiteral("edUserResponseTimeout"));
    cbUserDelay->setObjectName(QStringLiteral("cbUserDelay"));

    auto *form = new QFormLayout(GroupBox2);
    form->addRow(Label1, edUserInterCharDelay);
    form->addRow(Label2, edUserResponseTimeout);
    form->addRow(cbUserDelay);
    (new QVBoxLayout(TabSheet2))->addWidget(GroupBox2);

    buSave = new QPushButton(QStringLiteral("Save"), this);
    buCancel = new QPushButton(QStringLiteral("Cancel"), this);
    buSave->setObjectName(QStringLiteral("buSave"));
    buCancel->setObjectName(QStringLiteral("buCancel"));
    buSave->setAutoDefault(false);
    buCancel->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buSave);
    buttons->addWidget(buCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);
}

void TfrmSettings::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TfrmSettings::FormShow()
{
    setWindowTitle(T(QStringLiteral("SETTINGS")));
    PageControl1->setTabText(PageControl1->indexOf(TabSheet2), T(QStringLiteral("Comms")));
    GroupBox2->setTitle(T(QStringLiteral("TIMEOUT_DELAY")));
    Label1->setText(T(QStringLiteral("Inter-char delay (ms) ")));
    Label2->setText(T(QStringLiteral("Response Timeout (ms) ")));
    buSave->setText(T(QStringLiteral("SAVE_SETTINGS")));
    buCancel->setText(T(QStringLiteral("CANCEL")));

    int interCharDelay = 0;
    int responseTimeout = 0;
    bool userDelay = false;
    if (m_guiSettings != nullptr) {
        m_guiSettings->GetInterCharDelay(interCharDelay);
        m_guiSettings->GetResponseTimeout(responseTimeout);
        m_guiSettings->GetUserDelayEnabled(userDelay);
    }
    edUserInterCharDelay->setText(QString::number(interCharDelay));
    edUserResponseTimeout->setText(QString::number(responseTimeout));
    cbUserDelay->setChecked(userDelay);
}

void TfrmSettings::buSaveClick()
{
    if (m_guiSettings != nullptr) {
        m_guiSettings->SetInterCharDelay(editValue(edUserInterCharDelay));
        m_guiSettings->SetResponseTimeout(editValue(edUserResponseTimeout));
        m_guiSettings->SetUserDelayEnabled(cbUserDelay->isChecked());
    }
    accept();
}
