#pragma once
#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class TfrmGuiSettings;

// The serial timing overrides (Comms/interCharDelay, Comms/responseTimeout,
// Comms/userDelayEnabled). Every showing re-reads the settings, so a
// cancelled visit leaves nothing behind; Save stores into the settings in
// memory, which the main window writes to disk when it closes.
class TfrmSettings : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmSettings(TfrmGuiSettings *guiSettings, QWidget *parent = nullptr);

    // The accessor to edit from now on (the main window may replace its own).
    void SetGuiSettings(TfrmGuiSettings *guiSettings) { m_guiSettings = guiSettings; }

    // Captions in the selected language and the stored values.
    void FormShow();
    // Stores the shown values, then closes with OK.
    void buSaveClick();

    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet2 = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *edUserInterCharDelay = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *edUserResponseTimeout = nullptr;
    QCheckBox *cbUserDelay = nullptr;
    QPushButton *buSave = nullptr;
    QPushButton *buCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();

    TfrmGuiSettings *m_guiSettings = nullptr;
};
