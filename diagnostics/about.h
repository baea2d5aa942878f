#pragma once
#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

class QLabel;

// The about box: the program's version, the supported products and a link
// to the maker's web site. Shown modally by the main window.
class TfrmAbout : public QDialog
{
    Q_OBJECT
public:
    static constexpr const char *kMakerSite = "https://www.orda-instruments.example/";

    explicit TfrmAbout(QWidget *parent = nullptr);
    QString VersionText() const;

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void LinkLabel1MouseUp(const QString &link);

private:
    QWidget *buildHeader();
    QWidget *buildProducts();

    QLabel *laVersion = nullptr;
    QLabel *laNotice = nullptr;
    QLabel *laProducts = nullptr;
    QList<QPair<QLabel *, QPair<QString, QString>>> badges; // picture, family and the key of its detail
    QLabel *LinkLabel1 = nullptr;
};
