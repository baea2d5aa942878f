// Renders the program's windows offscreen to PNG files, so anyone can look
// at them without a display:
//   QT_QPA_PLATFORM=offscreen build/app/talvek-screenshot OUTPUT_FOLDER
#include "app/mainwindow.h"
#include "app/startup.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

namespace {
bool save(QWidget &widget, const QString &path)
{
    widget.show();
    QApplication::processEvents();
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

bool startPages(TfrmMain &window, const QDir &output)
{
    const char *names[] = {"start_en.png", "start_fr.png", "start_pl.png"};
    bool ok = true;
    for (int language = 0; language < 3; ++language) {
        window.Ui().cbLanguage->setCurrentIndex(language);
        window.cbLanguageSelect(language);
        ok = save(window, output.filePath(QString::fromLatin1(names[language]))) && ok;
    }
    return ok;
}
// Offline editor pages of a product: every page whose name matches one of
// the wanted ones, as "<prefix>_<page>.png".
bool editorPages(TfrmMain &window, const QDir &output, const QString &product, const QString &prefix,
                 const QStringList &wanted)
{
    window.WorkOfflineClick();
    window.Select_Product_click(product);
    window.buLoadTemplateClick();
    QTabWidget *pages = window.Ui().pgctrlConfig;
    bool ok = pages->count() > 0;
    for (int i = 0; i < pages->count(); ++i) {
        const QString name = pages->widget(i)->objectName();
        if (!wanted.isEmpty() && !wanted.contains(name))
            continue;
        pages->setCurrentIndex(i);
        ok = save(window, output.filePath(prefix + QLatin1Char('_') + name + QStringLiteral(".png"))) && ok;
    }
    window.ResetToStartState();
    return ok;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    PrepareApplication(application);
    const QStringList arguments = QApplication::arguments();
    const QDir output(arguments.size() > 1 ? arguments.at(1) : QStringLiteral("screenshots"));
    if (!QDir().mkpath(output.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(output.path()));
        return 1;
    }
    // A fresh data folder, so the user's own settings neither show nor change.
    QTemporaryDir dataFolder;
    qputenv("TALVEK_DATA_DIR", dataFolder.path().toLocal8Bit());
    std::unique_ptr<TfrmMain> window = CreateMainWindow({QStringLiteral("DEBUGWIN SETTINGS")});
    if (!window)
        return 1;
    bool ok = startPages(*window, output);
    window->Ui().cbLanguage->setCurrentIndex(0);
    window->cbLanguageSelect(0);
    ok = editorPages(*window, output, QStringLiteral("Tempris KDX550-5 PV9"), QStringLiteral("tempris550"), {}) && ok;
    ok = editorPages(*window, output, QStringLiteral("Corvix Pro PV5"), QStringLiteral("corvixpro"), {}) && ok;
    return ok ? 0 : 1;
}
