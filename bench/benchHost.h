#pragma once
// What a benchmark's engine needs of a main window: an offscreen page
// control, its own settings, session report and summary.
#include "config/confighost.h"
#include "config/summary.h"
#include "diagnostics/sessionReport.h"
#include "settings/guiSettings.h"
#include "ui/settingsWarnings.h"

#include <QTabWidget>

class BenchHost : public IConfigHost
{
public:
    explicit BenchHost(const QString &folder) : m_folder(folder) { WarnOfMissingSettings(m_settings); }
    bool IsOffline() const override { return false; }
    QString ProgramFolder() const override { return m_folder; }
    void SetIdentityPanel(Panel, const QString &, const QColor &) override {}
    QTabWidget *ConfigPageControl() override { return &m_pages; }
    TfrmGuiSettings &GuiSettings() override { return m_settings; }
    TfrmSessionReport &SessionReport() override { return m_report; }
    TfrmSummary &Summary() override { return m_summary; }

private:
    TfrmGuiSettings m_settings;
    TfrmSessionReport m_report;
    TfrmSummary m_summary;
    QString m_folder;
    QTabWidget m_pages;
};
