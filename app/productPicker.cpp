#include "app/productPicker.h"

#include "app/productMenu.h"
#include "base/translate.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

TfrmProductPicker::TfrmProductPicker(QWidget *parent, std::function<void(const QString &caption)> onChosen)
    : QFrame(parent, Qt::Popup), chosen(std::move(onChosen))
{
    setObjectName(QStringLiteral("frmProductPicker"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    edFilter = new QLineEdit;
    edFilter->setObjectName(QStringLiteral("edFilter"));
    edFilter->setClearButtonEnabled(true);
    tvProducts = new QTreeWidget;
    tvProducts->setObjectName(QStringLiteral("tvProducts"));
    tvProducts->setHeaderHidden(true);
    tvProducts->setRootIsDecorated(true);
    for (const ProductGroup &group : ProductMenuGroups()) {
        auto *family = new QTreeWidgetItem(tvProducts, {group.title});
        family->setFlags(Qt::ItemIsEnabled);
        for (const QString &product : group.products)
            new QTreeWidgetItem(family, {product});
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(edFilter);
    layout->addWidget(tvProducts);
    resize(300, 420);

    connect(edFilter, &QLineEdit::textChanged, this, &TfrmProductPicker::ApplyFilter);
    connect(tvProducts, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { Choose(item); });
    edFilter->installEventFilter(this);
    tvProducts->installEventFilter(this);
}

void TfrmProductPicker::PopupBelow(QWidget *anchor)
{
    anchorWidget = anchor;
    edFilter->setPlaceholderText(T(QStringLiteral("Type to filter products")));
    edFilter->clear();
    ApplyFilter(QString());
    tvProducts->collapseAll();
    QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
    // Kept on the screen: the box sits near the right edge of the window.
    if (const QScreen *screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() - width())));
        at.setY(qBound(area.top(), at.y(), qMax(area.top(), area.bottom() - height())));
    }
    move(at);
    show();
    edFilter->setFocus();
}

void TfrmProductPicker::hideEvent(QHideEvent *event)
{
    // The keys go back to the box the list was opened from.
    if (anchorWidget != nullptr) {
        anchorWidget->window()->activateWindow();
        anchorWidget->setFocus(Qt::PopupFocusReason);
    }
    QFrame::hideEvent(event);
}

QStringList TfrmProductPicker::VisibleProducts() const
{
    QStringList products;
    for (int f = 0; f < tvProducts->topLevelItemCount(); ++f) {
        const QTreeWidgetItem *family = tvProducts->topLevelItem(f);
        for (int p = 0; p < family->childCount(); ++p)
            if (!family->isHidden() && !family->child(p)->isHidden())
                products << family->child(p)->text(0);
    }
    return products;
}

void TfrmProductPicker::ApplyFilter(const QString &filter)
{
    const bool filtering = !filter.trimmed().isEmpty();
    for (int f = 0; f < tvProducts->topLevelItemCount(); ++f) {
        QTreeWidgetItem *family = tvProducts->topLevelItem(f);
        int shown = 0;
        for (int p = 0; p < family->childCount(); ++p) {
            const bool match = ProductMatchesFilter(family->child(p)->text(0), filter);
            family->child(p)->setHidden(!match);
            shown += match ? 1 : 0;
        }
        family->setHidden(shown == 0);
        family->setExpanded(filtering && shown > 0);
    }
    tvProducts->setCurrentItem(filtering ? FirstVisibleProduct() : nullptr);
}

QTreeWidgetItem *TfrmProductPicker::FirstVisibleProduct() const
{
    for (int f = 0; f < tvProducts->topLevelItemCount(); ++f) {
        QTreeWidgetItem *family = tvProducts->topLevelItem(f);
        for (int p = 0; p < family->childCount() && !family->isHidden(); ++p)
            if (!family->child(p)->isHidden())
                return family->child(p);
    }
    return nullptr;
}

void TfrmProductPicker::Choose(QTreeWidgetItem *item)
{
    // A family row only opens or closes.
    if (item == nullptr || item->parent() == nullptr) {
        if (item != nullptr)
            item->setExpanded(!item->isExpanded());
        return;
    }
    const QString caption = item->text(0);
    hide();
    chosen(caption);
}

bool TfrmProductPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (key == Qt::Key_Escape) {
        hide();
        return true;
    }
    if (watched == tvProducts) {
        if (enter)
            Choose(tvProducts->currentItem());
        return enter;
    }
    if (enter) {
        // Enter in the field takes the highlighted product, or the first one left.
        QTreeWidgetItem *current = tvProducts->currentItem();
        Choose(current != nullptr && current->parent() != nullptr ? current : FirstVisibleProduct());
        return true;
    }
    if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
        tvProducts->setFocus();
        QCoreApplication::sendEvent(tvProducts, event);
        return true;
    }
    return QFrame::eventFilter(watched, event);
}
