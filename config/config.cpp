#include "config/config.h"

#include "base/appdata.h"
#include "base/log.h"
#include "base/translate.h"
#include "config/commitWatcher.h"
#include "config/configPage.h"
#include "engine/identity.h"
#include "templates/productCatalogue.h"
#include "ui/dialogs.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>

namespace
{
const QString kUnitsFile = QStringLiteral("ordaDeviceUnits.tdx");
}

TFormConfig::TFormConfig(IConfigHost *host, QWidget *parent) : QWidget(parent), m_host(host)
{
    Log(QStringLiteral("Config form starting up."));
    for (cfgInputTabPageType &input : m_inputPages)
        input.inputName = QStringLiteral("UNUSED");
    m_commitWatcher = new TCommitWatcher([this] { OnEditCommitted(); }, this);
    m_imageHelp = HelpPicture();
    m_imageWarning = WarningPicture();
    QString folder = host ? host->ProgramFolder() : QCoreApplication::applicationDirPath();
    if (folder.isEmpty()) {
        Dialogs().Message(QStringLiteral("GetModuleFileName ") + T(QStringLiteral("failed")),
                          T(QStringLiteral("ERROR")));
        return;
    }
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_appDir = folder;
    m_uploadedConfigPath = GetAppDataFolder() + QStringLiteral("uploadedconfig.tmp");
}

TFormConfig::~TFormConfig()
{
    // The pages sit on the main window's page control; they go with the engine.
    m_building = true;
    DestroyPages();
}

void TFormConfig::SetWork(SensorWork *work)
{
    m_ownWork.reset();
    m_work = work;
    m_session = work ? work->Session() : nullptr;
}

void TFormConfig::SetSession(TfrmInterface *session)
{
    m_work = nullptr;
    m_ownWork.reset();
    m_session = session;
    if (!session)
        return;
    m_ownWork = std::make_unique<SensorWork>(m_appDir, LinkTiming{});
    m_ownWork->Attach(session);
    m_work = m_ownWork.get();
}

void TFormConfig::closeEvent(QCloseEvent *event)
{
    if (m_busy) {
        Log(QStringLiteral("Busy..."));
        event->ignore();
        return;
    }
    event->accept();
}

void TFormConfig::SetPanel(IConfigHost::Panel panel, const QString &text, const QColor &colour)
{
    if (m_host)
        m_host->SetIdentityPanel(panel, text, colour);
}

QString TFormConfig::FailureText(const QString &message) const
{
    const QString text = T(message);
    return m_lastLoadError.isEmpty() ? text : text + QStringLiteral("\n\n") + m_lastLoadError;
}

void TFormConfig::ForgetRetrievedConfig()
{
    m_retrievedConfigPath = GetAppDataFolder() + QStringLiteral("retrievedconfig.tmp");
    if (QFile::exists(m_retrievedConfigPath)) {
        if (QFile::remove(m_retrievedConfigPath))
            Log(QStringLiteral("Deleted RETRIEVED CONFIG file."));
        else
            Log(QStringLiteral("Could not delete ") + m_retrievedConfigPath);
    }
}

void TFormConfig::ShowDevice(const Document &document, const QString &templatePath)
{
    m_online = true;
    ForgetRetrievedConfig();
    m_unitsDoc = document.units;
    m_measurementCount = m_unitsDoc.Count();
    AdoptIdentity(document.identity);
    ShowIdentityPanels();
    m_templatePath = templatePath;
    BuildFromDocument(document.products, templatePath); // a param that fails has had its message
}

void TFormConfig::AdoptIdentity(const DeviceIdentity &id)
{
    m_identityReply = id.identityReply;
    m_productName = id.productName;
    m_displayName = id.displayName;
    m_protocolVersion = id.protocolVersion;
    m_heating = id.heating;
    m_axisConfig = id.axisConfig;
    m_optionText = id.optionText;
    m_optionBits = id.optionBits;
    m_softwareVersion = id.softwareVersion;
    m_softwareVersionExtra = id.softwareVersionExtra;
}

void TFormConfig::ShowIdentityPanels()
{
    SetIdentity(m_productName, m_protocolVersion, m_optionText, m_axisConfig, m_heating);
    SetPanel(IConfigHost::Panel::DeviceType,
             T(QStringLiteral("S/W ver: ")) + m_softwareVersion + QLatin1Char('-') + m_softwareVersionExtra,
             PanelLiveColour());
}

int TFormConfig::InitialiseDevice(bool online, const QString &identityReply)
{
    m_identityReply = identityReply;
    m_online = online;
    ForgetRetrievedConfig();
    if (LoadUnits() != ConfigResult::Ok) {
        Dialogs().Message(FailureText(QStringLiteral("Failed to open units file")),
                          T(QStringLiteral("Initialisation Error")));
        return ConfigResult::FileFailed;
    }
    if (online && SelectTemplate() != ConfigResult::Ok) {
        Dialogs().Message(FailureText(QStringLiteral("Failed to open template file")),
                          T(QStringLiteral("Initialisation Error")));
        return ConfigResult::FileFailed;
    }
    ClearBusy();
    return ConfigResult::Ok;
}

int TFormConfig::LoadUnits()
{
    m_lastLoadError.clear();
    const QString path = m_appDir + kUnitsFile;
    if (m_appDir.isEmpty() || !QFile::exists(path)) {
        Log(QStringLiteral("Could not find Units xml file."));
        return ConfigResult::FileFailed;
    }
    XmlLoadError error;
    m_unitsDoc = IXMLsensorunitsType::Load(path, &error);
    if (m_unitsDoc.IsNull()) {
        m_lastLoadError = error.Text();
        Log(QStringLiteral("Could not load units file: ") + m_lastLoadError);
        return ConfigResult::FileFailed;
    }
    m_measurementCount = m_unitsDoc.Count();
    return ConfigResult::Ok;
}

int TFormConfig::SelectTemplate()
{
    m_lastLoadError.clear();
    QString path;
    if (!GetProductTemplateFileName(path)) {
        Log(QStringLiteral("Unrecognised device type."));
        return ConfigResult::UnknownDevice;
    }
    if (!QFile::exists(path)) {
        Log(QStringLiteral("Could not find Device xml file."));
        return ConfigResult::FileFailed;
    }
    XmlLoadError error;
    IXMLproductsType products = IXMLproductsType::Load(path, &error);
    QString problem = products.IsNull() ? error.Text() : QString();
    if (problem.isEmpty()) {
        problem = CheckTemplateLimits(products);
        if (!problem.isEmpty())
            problem = path + QStringLiteral(": ") + problem;
    }
    if (!problem.isEmpty()) {
        m_lastLoadError = problem;
        Log(QStringLiteral("Could not load template file: ") + problem);
        return ConfigResult::FileFailed;
    }
    m_templatePath = path;
    Log(QStringLiteral("All xml files loaded ok."));
    BuildFromDocument(products, path); // a param that fails has had its message
    return ConfigResult::Ok;
}

bool TFormConfig::GetProductTemplateFileName(QString &path)
{
    SetPanel(IConfigHost::Panel::Protocol, QStringLiteral("-"), PanelResetColour());

    const IdentityParse id = ParseIdentityReply(m_identityReply);
    if (id.outcome == IdentityParse::Outcome::NoProtocol) {
        Dialogs().Message(m_identityReply + T(QStringLiteral(" does not identify protocol version. Aborting")),
                          T(QStringLiteral("WARNING")));
        Log(QStringLiteral("GetProductTemplateFileName Error  - no protocol found"));
        return false;
    }
    AdoptIdentity(IdentityFromParse(id, m_identityReply));
    if (id.outcome != IdentityParse::Outcome::Matched) {
        const QString text = m_identityReply + T(id.outcome == IdentityParse::Outcome::Unknown
                                                     ? QStringLiteral(" is an unknown device type")
                                                     : QStringLiteral(" is an unsupported product"));
        Dialogs().Message(text, T(QStringLiteral("ERROR")));
        Log(text);
        return false;
    }
    path = m_appDir + aProductDefs().at(id.row).templateFile;
    ShowIdentityPanels();
    return true;
}

void TFormConfig::SetIdentity(const QString &productName, int protocolVersion, const QString &optionText,
                              int axisConfig, int heating)
{
    m_productName = productName;
    m_protocolVersion = protocolVersion;
    m_heating = heating;
    m_axisConfig = axisConfig;
    SetPanel(IConfigHost::Panel::Protocol, T(QStringLiteral("Protocol ver: ")) + QString::number(protocolVersion),
             PanelLiveColour());
    QString ident = m_displayName + QLatin1Char(' ') + GetIdentitySuffix();
    if (!optionText.isEmpty())
        ident += QStringLiteral("  [OPT:") + optionText + QLatin1Char(']');
    SetPanel(IConfigHost::Panel::Ident, ident, PanelLiveColour());
}

QString TFormConfig::GetIdentitySuffix() const
{
    QString suffix;
    if (m_heating != 0)
        suffix += QStringLiteral("HEATED");
    if (m_axisConfig == 3)
        suffix += QStringLiteral(" UVW");
    return suffix;
}

DeviceIdentity TFormConfig::Identity() const
{
    DeviceIdentity id;
    id.productName = m_productName;
    id.displayName = m_displayName;
    id.protocolVersion = m_protocolVersion;
    id.optionBits = m_optionBits;
    id.heating = m_heating;
    id.axisConfig = m_axisConfig;
    id.softwareVersion = m_softwareVersion;
    id.softwareVersionExtra = m_softwareVersionExtra;
    id.optionText = m_optionText;
    id.identityReply = m_identityReply;
    return id;
}

Document TFormConfig::CurrentDocument() const
{
    return {Identity(), m_productsDoc, m_unitsDoc};
}
