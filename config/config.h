#pragma once
// TFormConfig: the configuration engine. It holds the units document and the
// template document (the whole parameter model: every setting lives in its
// param element), the device's identity, and the session it talks through.
// It is a widget that is never shown: the editor pages it builds belong to
// it and sit on the main window's page control, and a close while a device
// exchange is in progress is refused.
//
// Everything runs on the GUI thread. Result codes: config/configresult.h.
#include "config/confighost.h"
#include "config/configresult.h"
#include "templates/ordaDeviceUnits.h"
#include "templates/ordaUserConfig.h"

#include <QStringList>
#include <QWidget>
#include <array>

class TfrmInterface;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// The controls of one param's row (unset where the param has none).
struct ParamControls {
    QLabel *caption = nullptr;
    QLineEdit *edit = nullptr;
    QComboBox *combo = nullptr;
    QLabel *image = nullptr;
    QCheckBox *check = nullptr;
};

// The controls and texts one sensor input's params share (by groupindex).
struct cfgInputTabPageType {
    QComboBox *sensorTypeCombo = nullptr;
    QComboBox *sensorUnitsCombo = nullptr;
    QComboBox *inputTypeCombo = nullptr;
    QString customUnits;
    QString inputName;
    QLineEdit *substNameEdit = nullptr;
    QLineEdit *highEdit = nullptr;
    QLineEdit *lowEdit = nullptr;
    QLabel *highLabel = nullptr;
    QLabel *lowLabel = nullptr;
    QLineEdit *digitCountEdit = nullptr;
};

class TFormConfig : public QWidget
{
    Q_OBJECT

public:
    // host is the main window (not owned; may be null, then there are no
    // panels and the program folder is the executable's).
    explicit TFormConfig(IConfigHost *host, QWidget *parent = nullptr);
    ~TFormConfig() override;

    // Loads the units document and, online, chooses and loads the template
    // for the identity reply ("OFFLINE" offline). 0, or 26 after a message.
    int InitialiseDevice(bool online, const QString &identityReply);
    // The units document from the program folder: 0, or 26 (missing or
    // unreadable; LastLoadError() says why when it exists but won't load).
    int LoadUnits();
    // Chooses the template from the identity and loads it: 0; 26 when it is
    // missing, does not parse or exceeds the editor's tables; 27 when the
    // device is not recognised. The editor pages are built separately.
    int SelectTemplate();
    // Parses the identity reply, shows the identity, and gives the full path
    // of the template of the matching catalogue row; false (after its
    // message) when there is none.
    bool GetProductTemplateFileName(QString &path);
    // Sets the identity (also used by the offline product menu, with an
    // empty option text) and shows it in the protocol and identity panels.
    void SetIdentity(const QString &productName, int protocolVersion, const QString &optionText, int axisConfig,
                     int heating);
    // "HEATED", " UVW", "HEATED UVW" or empty.
    QString GetIdentitySuffix() const;

    void SetSession(TfrmInterface *session) { m_session = session; }
    TfrmInterface *Session() const { return m_session; }

    bool HasOption(unsigned mask) const { return (m_optionBits & mask) != 0; }
    void SetBusy() { m_busy = true; }
    void ClearBusy() { m_busy = false; }
    bool IsBusy() const { return m_busy; }

    QString ProductName() const { return m_productName; }
    QString DisplayName() const { return m_displayName; }
    int ProtocolVersion() const { return m_protocolVersion; }
    int Heating() const { return m_heating; }
    int AxisConfig() const { return m_axisConfig; }
    unsigned OptionBits() const { return m_optionBits; }
    QString OptionText() const { return m_optionText; }
    QString SoftwareVersion() const { return m_softwareVersion; }
    QString SoftwareVersionExtra() const { return m_softwareVersionExtra; }
    QString IdentityReply() const { return m_identityReply; }
    bool Online() const { return m_online; }
    QString AppDir() const { return m_appDir; }
    QString RetrievedConfigPath() const { return m_retrievedConfigPath; }
    QString UploadedConfigPath() const { return m_uploadedConfigPath; }
    // The template chosen by SelectTemplate (full path), empty before.
    QString TemplatePath() const { return m_templatePath; }
    // Why the last units or template file that exists could not be used.
    QString LastLoadError() const { return m_lastLoadError; }

    IXMLsensorunitsType UnitsDoc() const { return m_unitsDoc; }
    int MeasurementCount() const { return m_measurementCount; }
    IXMLproductsType ProductsDoc() const { return m_productsDoc; }
    IXMLdeviceType Device() const { return m_device; }
    int CategoryCount() const { return m_categoryCount; }
    QStringList &WorkList() { return m_workList; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void SetPanel(IConfigHost::Panel panel, const QString &text, const QColor &colour);
    QString FailureText(const QString &message) const;

    IConfigHost *m_host = nullptr;
    TfrmInterface *m_session = nullptr;

    IXMLsensorunitsType m_unitsDoc;
    int m_measurementCount = 0;
    IXMLproductsType m_productsDoc;
    IXMLdeviceType m_device;
    int m_categoryCount = 0;
    int m_paramCount = 0;

    std::array<QWidget *, TemplateLimits::Categories> m_tabSheets{};
    std::array<std::array<ParamControls, TemplateLimits::ParamsPerCategory>, TemplateLimits::Categories> m_controls{};
    std::array<cfgInputTabPageType, TemplateLimits::Inputs> m_inputPages{};

    bool m_online = false;
    bool m_busy = false;
    QString m_identityReply;
    QString m_appDir;
    QString m_retrievedConfigPath;
    QString m_uploadedConfigPath;
    QString m_templatePath;
    QString m_lastLoadError;
    QString m_productName;
    QString m_displayName;
    unsigned m_optionBits = 0;
    int m_protocolVersion = 0;
    QString m_softwareVersion;
    QString m_softwareVersionExtra;
    int m_heating = 0;
    int m_axisConfig = 0;
    QString m_optionText;
    QStringList m_workList;
};
