#pragma once
#include <QFrame>
#include <QPointer>
#include <functional>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// The product list opened by a click, Enter or Space on the product box: the
// menu's families and products in a tree, with a field above it that keeps
// only the products holding every typed word. Enter or a click chooses.
class TfrmProductPicker : public QFrame
{
    Q_OBJECT
public:
    TfrmProductPicker(QWidget *parent, std::function<void(const QString &caption)> onChosen);

    // Opens under the given widget with an empty filter and the focus in it.
    void PopupBelow(QWidget *anchor);
    QLineEdit *FilterEdit() const { return edFilter; }
    QTreeWidget *ProductTree() const { return tvProducts; }
    // The products the filter leaves, in list order.
    QStringList VisibleProducts() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void ApplyFilter(const QString &filter);
    void Choose(QTreeWidgetItem *item);
    QTreeWidgetItem *FirstVisibleProduct() const;

    QLineEdit *edFilter = nullptr;
    QTreeWidget *tvProducts = nullptr;
    QPointer<QWidget> anchorWidget;
    std::function<void(const QString &caption)> chosen;
};
