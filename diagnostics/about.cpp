#include "diagnostics/about.h"

#include "base/log.h"
#include "base/translate.h"
#include "base/version.h"
#include "diagnostics/logo.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

TfrmAbout::TfrmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->addWidget(buildHeader());

    auto *body = new QVBoxLayout;
    body->setContentsMargins(20, 8, 20, 0);
    laNotice = new QLabel;
    laNotice->setWordWrap(true);
    body->addWidget(laNotice);
    laVersion = new QLabel(QString::fromLatin1(kProgramCaption));
    laVersion->setObjectName(QStringLiteral("laVersion"));
    QFont bold = laVersion->font();
    bold.setBold(true);
    laVersion->setFont(bold);
    body->addWidget(laVersion);
    laProducts = new QLabel;
    body->addWidget(laProducts);
    body->addWidget(buildProducts());
    LinkLabel1 = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QString::fromLatin1(kMakerSite)));
    LinkLabel1->setObjectName(QStringLiteral("LinkLabel1"));
    LinkLabel1->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(LinkLabel1, &QLabel::linkActivated, this, &TfrmAbout::LinkLabel1MouseUp);
    body->addWidget(LinkLabel1);
    layout->addLayout(body);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    buttons->setContentsMargins(20, 0, 20, 0);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TfrmAbout::VersionText() const
{
    return laVersion->text();
}

void TfrmAbout::showEvent(QShowEvent *event)
{
    // Translated when shown: the language may have changed since it was made.
    setWindowTitle(T(QStringLiteral("About Talvek")));
    laNotice->setText(T(QStringLiteral("Configuration software for the maker's serial weather sensors.")) +
                      QLatin1Char('\n') + T(QStringLiteral("Use it only with sensors you are permitted to configure.")));
    laProducts->setText(T(QStringLiteral("Supported products:")));
    for (const auto &[badge, words] : badges)
        badge->setPixmap(DrawProductBadge(words.first, T(words.second), 96, 48));
    // The version is whatever the main window calls itself.
    const QWidget *owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    laVersion->setText(owner != nullptr && !owner->windowTitle().isEmpty() ? owner->windowTitle()
                                                                            : QString::fromLatin1(kProgramCaption));
    QDialog::showEvent(event);
}

void TfrmAbout::LinkLabel1MouseUp(const QString &link)
{
    if (!QDesktopServices::openUrl(QUrl(link)))
        Log(QStringLiteral("Unable to open ") + link);
}

QWidget *TfrmAbout::buildHeader()
{
    auto *header = new QLabel;
    header->setPixmap(DrawWordmark(48));
    header->setAlignment(Qt::AlignCenter);
    header->setMinimumHeight(72);
    header->setAutoFillBackground(true);
    QPalette palette = header->palette();
    palette.setColor(QPalette::Window, Qt::white);
    header->setPalette(palette);
    return header;
}

QWidget *TfrmAbout::buildProducts()
{
    auto *products = new QWidget;
    auto *row = new QHBoxLayout(products);
    row->setContentsMargins(0, 0, 0, 0);
    const QList<QPair<QString, QString>> families = {{QStringLiteral("Corvix II"), QStringLiteral("wind")},
                                                   {QStringLiteral("Corvix Pro"), QStringLiteral("wind")},
                                                   {QStringLiteral("Tempris"), QStringLiteral("compact")},
                                                   {QStringLiteral("Relaypoint"), QStringLiteral("data hub")}};
    for (const auto &[family, detail] : families) {
        auto *badge = new QLabel;
        badge->setToolTip(family);
        row->addWidget(badge);
        badges.append(qMakePair(badge, qMakePair(family, detail)));
    }
    return products;
}
