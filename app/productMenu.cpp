#include "app/productMenu.h"

#include "templates/productCatalogue.h"

#include <QMenu>
#include <QRegularExpression>
#include <algorithm>
#include <map>

namespace {
struct MenuEntry {
    QString menuName;
    QString typeCode;     // Tempris only: orders a model's items by type
    int protocolVersion;
};

// Tempris submenus follow the model numbers; the others keep catalogue order.
QString submenuSortKey(const QString &title, int firstRow)
{
    static const QRegularExpression model(QStringLiteral("KDX(\\d+)$"));
    const QRegularExpressionMatch match = model.match(title);
    if (match.hasMatch())
        return QStringLiteral("1-%1").arg(match.captured(1).toInt(), 6, 10, QLatin1Char('0'));
    return QStringLiteral("0-%1").arg(firstRow, 6, 10, QLatin1Char('0'));
}

QString typeCodeOf(const QString &menuName)
{
    const int dash = menuName.indexOf(QLatin1Char('-'));
    return dash < 0 ? QString() : menuName.mid(dash + 1).section(QLatin1Char(' '), 0, 0);
}
} // namespace

QString ProductSubmenuTitle(const QString &menuName)
{
    const int dash = menuName.indexOf(QLatin1Char('-'));
    if (dash >= 0)
        return menuName.left(dash);
    QStringList words = menuName.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!words.isEmpty() && words.last().startsWith(QLatin1String("PV")))
        words.removeLast();
    words.removeAll(QStringLiteral("Heated"));
    words.removeAll(QStringLiteral("UVW"));
    return words.join(QLatin1Char(' '));
}

QList<ProductGroup> ProductMenuGroups()
{
    std::map<QString, std::pair<QString, QList<MenuEntry>>> submenus; // sort key -> title, items
    std::map<QString, QString> keyOfTitle;
    const QList<ProductDef> &rows = aProductDefs();
    for (int row = 0; row < rows.size(); ++row) {
        const ProductDef &def = rows.at(row);
        if (!def.inMenu)
            continue;
        const QString title = ProductSubmenuTitle(def.menuName);
        auto known = keyOfTitle.find(title);
        if (known == keyOfTitle.end())
            known = keyOfTitle.emplace(title, submenuSortKey(title, row)).first;
        auto &[submenuTitle, entries] = submenus[known->second];
        submenuTitle = title;
        entries.append({def.menuName, typeCodeOf(def.menuName), def.protocolVersion});
    }

    QList<ProductGroup> groups;
    for (auto &[key, submenu] : submenus) {
        auto &[title, entries] = submenu;
        // Within a Tempris model: by type code, then protocol version.
        std::stable_sort(entries.begin(), entries.end(), [](const MenuEntry &a, const MenuEntry &b) {
            if (a.typeCode != b.typeCode && !a.typeCode.isEmpty())
                return a.typeCode.size() != b.typeCode.size() ? a.typeCode.size() < b.typeCode.size()
                                                               : a.typeCode < b.typeCode;
            return a.protocolVersion < b.protocolVersion;
        });
        ProductGroup group{title, {}};
        for (const MenuEntry &entry : entries)
            group.products << entry.menuName;
        groups << group;
    }
    return groups;
}

QMenu *BuildProductMenu(QWidget *parent, const std::function<void(const QString &caption)> &onChosen)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("popmenProducts"));
    for (const ProductGroup &group : ProductMenuGroups()) {
        QMenu *sub = menu->addMenu(group.title);
        for (const QString &name : group.products) {
            // '&' would be taken as an accelerator mark; there are none in the names.
            QAction *action = sub->addAction(name);
            QObject::connect(action, &QAction::triggered, menu, [onChosen, action] { onChosen(action->text()); });
        }
    }
    return menu;
}

bool ProductMatchesFilter(const QString &product, const QString &filter)
{
    const QStringList words = filter.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return std::all_of(words.begin(), words.end(),
                       [&](const QString &word) { return product.contains(word, Qt::CaseInsensitive); });
}
