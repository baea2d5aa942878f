#pragma once
#include "config/confighost.h"
#include "config/summary.h"
#include "diagnostics/sessionReport.h"
#include "settings/guiSettings.h"

#include <QList>
#include <QMap>
#include <QTabWidget>

// The main window as the engine sees it: records every panel change.
class FakeConfigHost : public IConfigHost
{
public:
    struct PanelChange {
        Panel panel;
        QString text;
        QColor colour;
    };

    bool offline = false;
    QString programFolder;
    QTabWidget pages;
    QList<PanelChange> changes;
    TfrmGuiSettings settings; // no document unless a test opens one
    TfrmSessionReport report; // writes nothing unless a test opens it
    TfrmSummary summary;

    bool IsOffline() const override { return offline; }
    QString ProgramFolder() const override { return programFolder; }
    void SetIdentityPanel(Panel panel, const QString &text, const QColor &colour) override
    {
        changes.append({panel, text, colour});
    }
    QTabWidget *ConfigPageControl() override { return &pages; }
    TfrmGuiSettings &GuiSettings() override { return settings; }
    TfrmSessionReport &SessionReport() override { return report; }
    TfrmSummary &Summary() override { return summary; }

    // The panel's last text, or "" when never set.
    QString Text(Panel panel) const
    {
        for (auto it = changes.crbegin(); it != changes.crend(); ++it) {
            if (it->panel == panel)
                return it->text;
        }
        return {};
    }
    QColor Colour(Panel panel) const
    {
        for (auto it = changes.crbegin(); it != changes.crend(); ++it) {
            if (it->panel == panel)
                return it->colour;
        }
        return {};
    }
};
