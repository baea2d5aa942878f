#pragma once
#include <QWidget>

// One editor page. Its report panel (when the page has one) stays aligned
// to the bottom, from just below the report format combo down.
class TConfigPage : public QWidget
{
public:
    using QWidget::QWidget;
    void SetBottomPanel(QWidget *panel, int top);
    QWidget *BottomPanel() const { return m_panel; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void PlacePanel();
    QWidget *m_panel = nullptr;
    int m_panelTop = 0;
};

// Editor geometry: rows are 30 pixels apart, captions at the left, entries
// at 300, the help image at 460.
namespace EditorLayout
{
constexpr int RowPitch = 30;
constexpr int CaptionLeft = 20;
constexpr int InputLeft = 300;
constexpr int ImageLeft = 460;
constexpr int ImageSize = 18;
constexpr int CheckLeft = 496;
constexpr int CheckWidth = 210;
constexpr int EditWidth = 121;
constexpr int TimeEditWidth = 145;
constexpr int ComboWidth = 145;
constexpr int FontSize = 10;
inline int CaptionTop(int p)
{
    return RowPitch * p + 20;
}
inline int InputTop(int p)
{
    return RowPitch * p + 18;
}
} // namespace EditorLayout

// Sets a widget's font to the editor's point size.
void SetEditorFont(QWidget *widget);

// The pictures beside each param: help, and warning for critical params.
QPixmap HelpPicture();
QPixmap WarningPicture();
