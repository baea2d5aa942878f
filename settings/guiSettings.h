#pragma once
#include "settings/talvekSettings.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

// The program's preferences: one settings document in memory, read and
// written by category and key (Comms/powerOnDelay, General/language). The
// document reaches the disk only through Save. UI thread only.
//
// Getters: the caller puts its default into the output first. On success
// the getter stores the value and returns true; otherwise it returns false
// and leaves the output alone. A missing category fails silently; a missing,
// empty or non-numeric integer or flag is reported to the missing-key handler
// (the windows show the warning "<key>not found", see ui/settingsWarnings.h).
// Setters return false, and change nothing, when the category is missing.
class TfrmGuiSettings
{
public:
    static const QString Description; // "TALVEK SETTINGS FILE"

    TfrmGuiSettings() = default;
    // One accessor per document: a copy would share the document's nodes.
    TfrmGuiSettings(const TfrmGuiSettings &) = delete;
    TfrmGuiSettings &operator=(const TfrmGuiSettings &) = delete;
    TfrmGuiSettings(TfrmGuiSettings &&) = default;
    TfrmGuiSettings &operator=(TfrmGuiSettings &&) = default;

    // Loads path; true when the file exists, is XML with the root
    // <GSguisettings> and has exactly the settings description. The loaded
    // document then replaces the held one; on failure the held one stays and
    // LastError() says why (the reason also goes to the debug log).
    bool Open(const QString &path);
    // Writes the held document to path, whole or not at all; false (with
    // LastError() and a debug line) when it could not be written, in which
    // case the file that was at path is unchanged.
    bool Save(const QString &path);
    // Saves the held document as folder + "lastSettings_yymmdd_hhnnss" (no
    // extension) for the time given; returns the path written, or empty when
    // the save failed.
    QString SaveDatedBackup(const QString &folder, const QDateTime &when = QDateTime::currentDateTime());
    static QString DatedBackupName(const QDateTime &when);

    bool HasDocument() const { return m_document.has_value(); }
    QString LastError() const { return m_lastError; }
    // The root's version as decimal text; false when it cannot be read.
    bool GetVersion(QString &version) const;
    // The first <GScategory> whose name is exactly name; IsNull() when none.
    TXMLGScategoryType FindCategory(const QString &name) const;

    // Called with the key of every integer or flag that a getter could not
    // read; nothing is called without a handler.
    using MissingKeyHandler = std::function<void(const QString &key)>;
    void SetMissingKeyHandler(MissingKeyHandler handler) { m_onMissingKey = std::move(handler); }

    bool GetFirstTryPort(int &value) const;
    bool GetResponseTimeout(int &value) const;
    bool GetInterCharDelay(int &value) const;
    bool GetPowerOnDelay(int &value) const;
    bool GetUserDelayEnabled(int &value) const; // nonzero is on
    bool GetUserDelayEnabled(bool &value) const;
    bool GetManualComport(int &value) const;
    bool GetManualBaudRate(int &value) const;
    bool GetLanguage(int &value) const;
    bool GetSyncTime(int &value) const; // nonzero is on
    bool GetSyncTime(bool &value) const;
    bool GetUserDir(QString &value) const;

    bool SetFirstTryPort(int value);
    bool SetResponseTimeout(int value);
    bool SetInterCharDelay(int value);
    bool SetPowerOnDelay(int value);
    bool SetUserDelayEnabled(bool value); // stored as 1 or 0
    bool SetManualComport(int value);
    bool SetManualBaudRate(int value);
    bool SetLanguage(int value);
    bool SetSyncTime(bool value); // stored as 1 or 0
    bool SetUserDir(const QString &value);

private:
    bool getInteger(const QString &category, const QString &key, int &value) const;
    bool getFlag(const QString &category, const QString &key, bool &value) const;
    bool setInteger(const QString &category, const QString &key, int value);

    std::optional<TTalvekSettingsDocument> m_document;
    QString m_lastError;
    MissingKeyHandler m_onMissingKey;
};
