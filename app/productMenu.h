#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QMenu;
class QWidget;

// The offline product menu: one submenu per product family or model, one
// item per catalogue row that has a menu name in the menu. A chosen item
// reports its caption.
struct ProductGroup {
    QString title;
    QStringList products; // menu names, in menu order
};
// The menu's submenus and their items, in menu order.
QList<ProductGroup> ProductMenuGroups();

QMenu *BuildProductMenu(QWidget *parent, const std::function<void(const QString &caption)> &onChosen);

// The submenu a catalogue menu name belongs under: "Corvix II" for
// "Corvix II Heated PV3", "Tempris KDX510" for "Tempris KDX510-1B PV4".
QString ProductSubmenuTitle(const QString &menuName);

// True when every blank-separated word of filter occurs in product, ignoring
// case: "kdx550 pv9" finds "Tempris KDX550-5B PV9".
bool ProductMatchesFilter(const QString &product, const QString &filter);
