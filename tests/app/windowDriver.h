#pragma once
// Drives the main window as a user does, with real clicks and keys: the
// window tests share these steps.
#include "app/mainwindow.h"
#include "app/productPicker.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

namespace WindowDriver
{
inline void click(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

// The language chosen in the start page's list with the arrow keys.
inline void chooseLanguage(TfrmMain &window, int index)
{
    QComboBox *languages = window.Ui().cbLanguage;
    languages->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < languages->count(); ++i)
        QTest::keyClick(languages, Qt::Key_Up);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(languages, Qt::Key_Down);
}

// Offline work on a product typed into the product list's filter.
inline void workOfflineOn(TfrmMain &window, const QString &product)
{
    click(window.Ui().imOffline);
    click(window.Ui().memoSelectedProduct->viewport());
    QLineEdit *filter = window.ProductPicker()->FilterEdit();
    QTest::keyClicks(filter, product);
    QTest::keyClick(filter, Qt::Key_Return);
    click(window.Ui().imLoadTemplate);
}
} // namespace WindowDriver
