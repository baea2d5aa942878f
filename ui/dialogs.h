#pragma once
#include <QString>

// Every message box and file dialog of the program goes through this
// interface, so tests (and the command-line program) can stand in for the
// user. Nothing else calls QMessageBox or QFileDialog.
struct FileDialogRequest {
    QString caption;
    QString filter;        // in Qt's form, e.g. "Talvek Files (*.tcf);;All Files (*)"
    QString defaultSuffix; // without the dot, e.g. "tcf"
    QString folder;        // initial folder; empty for the current one
    QString fileName;      // proposed file name (save only)
};

class IDialogs
{
public:
    virtual ~IDialogs() = default;
    // A modal box with an OK button: the message first, the caption second.
    virtual void Message(const QString &text, const QString &caption) = 0;
    // A modal Yes/No box; true for Yes.
    virtual bool Question(const QString &text, const QString &caption) = 0;
    // The chosen file's full path, or empty when the user cancelled.
    virtual QString OpenFileName(const FileDialogRequest &request) = 0;
    virtual QString SaveFileName(const FileDialogRequest &request) = 0;
};

// The interface in force: the real dialogs unless another one is installed.
IDialogs &Dialogs();
// Installs dialogs (not owned); nullptr restores the real ones.
void SetDialogs(IDialogs *dialogs);

// The real dialogs: QMessageBox and QFileDialog over the active window.
class QtDialogs : public IDialogs
{
public:
    void Message(const QString &text, const QString &caption) override;
    bool Question(const QString &text, const QString &caption) override;
    QString OpenFileName(const FileDialogRequest &request) override;
    QString SaveFileName(const FileDialogRequest &request) override;
};
