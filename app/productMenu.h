#pragma once
#include <QString>
#include <functional>

class QMenu;
class QWidget;

// The offline product menu: one submenu per product family or model, one
// item per catalogue row that has a menu name in the menu. A chosen item
// reports its caption.
QMenu *BuildProductMenu(QWidget *parent, const std::function<void(const QString &caption)> &onChosen);

// The submenu a catalogue menu name belongs under: "Corvix II" for
// "Corvix II Heated PV3", "Tempris KDX510" for "Tempris KDX510-1B PV4".
QString ProductSubmenuTitle(const QString &menuName);
