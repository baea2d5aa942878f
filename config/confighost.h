#pragma once
#include <QColor>
#include <QString>

class QTabWidget;
class TfrmGuiSettings;
class TfrmSessionReport;
class TfrmSummary;

// What the configuration engine needs of the main window, which implements
// this interface and hands it to every engine it creates. Called on the GUI
// thread only.
class IConfigHost
{
public:
    // The footer panels that show the device's identity.
    enum class Panel {
        DeviceType, // paDeviceType: "S/W ver: ..."
        Protocol,   // paProtocol: "Protocol ver: ..."
        Ident,      // paIdent: the identity line
    };

    virtual ~IConfigHost() = default;

    // True while editing offline (no device).
    virtual bool IsOffline() const = 0;
    // The folder of the program and its data files, with a trailing '/';
    // empty when it could not be found.
    virtual QString ProgramFolder() const = 0;
    // Sets a panel's text and text colour.
    virtual void SetIdentityPanel(Panel panel, const QString &text, const QColor &colour) = 0;
    // pgctrlConfig: the page control that holds the editor pages.
    virtual QTabWidget *ConfigPageControl() = 0;
    // The program's settings accessor: the editor's "Sync time to PC" box
    // reads and writes General/GSsyncTime through it.
    virtual TfrmGuiSettings &GuiSettings() = 0;
    // The session report of the connection: reads and writes record what
    // they did and what the device answered.
    virtual TfrmSessionReport &SessionReport() = 0;
    // The summary window, filled after every read from the device.
    virtual TfrmSummary &Summary() = 0;
};

// Panel text colours: live, and reset to "-".
inline QColor PanelLiveColour()
{
    return QColor(255, 255, 255);
}
inline QColor PanelResetColour()
{
    return QColor(128, 128, 128);
}
