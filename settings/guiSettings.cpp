#include "settings/guiSettings.h"

#include "base/log.h"

#include <QDir>

const QString TfrmGuiSettings::Description = QStringLiteral("TALVEK SETTINGS FILE");

namespace
{
const QString comms = QStringLiteral("Comms");
const QString general = QStringLiteral("General");
} // namespace

bool TfrmGuiSettings::Open(const QString &path)
{
    QString error;
    std::optional<TTalvekSettingsDocument> loaded = TTalvekSettingsDocument::Load(path, &error);
    if (loaded && loaded->GSguisettings().Description() == Description) {
        m_document = std::move(loaded);
        m_lastError.clear();
        return true;
    }
    if (loaded)
        error = QStringLiteral("%1: not a settings file (description \"%2\")")
                    .arg(path, loaded->GSguisettings().Description());
    m_lastError = error;
    Log(QStringLiteral("Settings: ") + error);
    return false;
}

bool TfrmGuiSettings::Save(const QString &path)
{
    QString error = QStringLiteral("%1: no settings document to save").arg(path);
    if (m_document && m_document->Save(path, &error)) {
        m_lastError.clear();
        return true;
    }
    m_lastError = error;
    Log(QStringLiteral("Settings not saved: ") + error);
    return false;
}

QString TfrmGuiSettings::DatedBackupName(const QDateTime &when)
{
    return QStringLiteral("lastSettings_") + when.toString(QStringLiteral("yyMMdd_HHmmss"));
}

QString TfrmGuiSettings::SaveDatedBackup(const QString &folder, const QDateTime &when)
{
    const QString path = QDir(folder).filePath(DatedBackupName(when));
    return Save(path) ? path : QString();
}

bool TfrmGuiSettings::GetVersion(QString &version) const
{
    if (!m_document)
        return false;
    const std::optional<int> value = m_document->GSguisettings().Version();
    if (!value)
        return false;
    version = QString::number(*value);
    return true;
}

TXMLGScategoryType TfrmGuiSettings::FindCategory(const QString &name) const
{
    if (!m_document)
        return {};
    const TXMLGSguisettingsType root = m_document->GSguisettings();
    const int count = root.GScategoryCount();
    for (int i = 0; i < count; ++i) {
        const TXMLGScategoryType category = root.GScategory(i);
        if (category.Name() == name)
            return category;
    }
    return {};
}

bool TfrmGuiSettings::getInteger(const QString &category, const QString &key, int &value) const
{
    const TXMLGScategoryType found = FindCategory(category);
    if (found.IsNull())
        return false;
    int read = 0;
    if (found.Integer(key, read) != TXMLIntegerRead::Ok) {
        if (m_onMissingKey)
            m_onMissingKey(key);
        return false;
    }
    value = read;
    return true;
}

bool TfrmGuiSettings::getFlag(const QString &category, const QString &key, bool &value) const
{
    int read = 0;
    if (!getInteger(category, key, read))
        return false;
    value = read != 0;
    return true;
}

bool TfrmGuiSettings::setInteger(const QString &category, const QString &key, int value)
{
    TXMLGScategoryType found = FindCategory(category);
    if (found.IsNull())
        return false;
    found.SetInteger(key, value);
    return true;
}

bool TfrmGuiSettings::GetFirstTryPort(int &value) const
{
    return getInteger(comms, QStringLiteral("firsttryport"), value);
}

bool TfrmGuiSettings::GetResponseTimeout(int &value) const
{
    return getInteger(comms, QStringLiteral("responseTimeout"), value);
}

bool TfrmGuiSettings::GetInterCharDelay(int &value) const
{
    return getInteger(comms, QStringLiteral("interCharDelay"), value);
}

bool TfrmGuiSettings::GetPowerOnDelay(int &value) const
{
    return getInteger(comms, QStringLiteral("powerOnDelay"), value);
}

bool TfrmGuiSettings::GetUserDelayEnabled(int &value) const
{
    return getInteger(comms, QStringLiteral("userDelayEnabled"), value);
}

bool TfrmGuiSettings::GetUserDelayEnabled(bool &value) const
{
    return getFlag(comms, QStringLiteral("userDelayEnabled"), value);
}

bool TfrmGuiSettings::GetManualComport(int &value) const
{
    return getInteger(comms, QStringLiteral("manualComport"), value);
}

bool TfrmGuiSettings::GetManualBaudRate(int &value) const
{
    return getInteger(comms, QStringLiteral("manualBaudRate"), value);
}

bool TfrmGuiSettings::GetLanguage(int &value) const
{
    return getInteger(general, QStringLiteral("language"), value);
}

bool TfrmGuiSettings::GetSyncTime(int &value) const
{
    return getInteger(general, QStringLiteral("syncTime"), value);
}

bool TfrmGuiSettings::GetSyncTime(bool &value) const
{
    return getFlag(general, QStringLiteral("syncTime"), value);
}

bool TfrmGuiSettings::GetUserDir(QString &value) const
{
    const TXMLGScategoryType found = FindCategory(general);
    if (found.IsNull())
        return false;
    value = found.Text(QStringLiteral("userDir")).value_or(QString());
    return true;
}

bool TfrmGuiSettings::SetFirstTryPort(int value)
{
    return setInteger(comms, QStringLiteral("firsttryport"), value);
}

bool TfrmGuiSettings::SetResponseTimeout(int value)
{
    return setInteger(comms, QStringLiteral("responseTimeout"), value);
}

bool TfrmGuiSettings::SetInterCharDelay(int value)
{
    return setInteger(comms, QStringLiteral("interCharDelay"), value);
}

bool TfrmGuiSettings::SetPowerOnDelay(int value)
{
    return setInteger(comms, QStringLiteral("powerOnDelay"), value);
}

bool TfrmGuiSettings::SetUserDelayEnabled(bool value)
{
    return setInteger(comms, QStringLiteral("userDelayEnabled"), value ? 1 : 0);
}

bool TfrmGuiSettings::SetManualComport(int value)
{
    return setInteger(comms, QStringLiteral("manualComport"), value);
}

bool TfrmGuiSettings::SetManualBaudRate(int value)
{
    return setInteger(comms, QStringLiteral("manualBaudRate"), value);
}

bool TfrmGuiSettings::SetLanguage(int value)
{
    return setInteger(general, QStringLiteral("language"), value);
}

bool TfrmGuiSettings::SetSyncTime(bool value)
{
    return setInteger(general, QStringLiteral("syncTime"), value ? 1 : 0);
}

bool TfrmGuiSettings::SetUserDir(const QString &value)
{
    TXMLGScategoryType found = FindCategory(general);
    if (found.IsNull())
        return false;
    found.SetText(QStringLiteral("userDir"), value);
    return true;
}
