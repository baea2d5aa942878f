#pragma once
#include "ui/dialogs.h"

#include <QList>
#include <QQueue>
#include <QStringList>

// The tests' stand-in for the user: records every box and answers from
// queues. An unanswered question is a "No", an unanswered file dialog a
// cancel, and both are counted so a test can tell it asked too much.
class ScriptedDialogs : public IDialogs
{
public:
    enum class Kind { Message, Question, OpenFile, SaveFile };
    struct Box {
        Kind kind;
        QString text;    // message text, or the file dialog's proposed name
        QString caption;
        QString folder;  // file dialogs: the initial folder
    };

    ScriptedDialogs();  // installs itself
    ~ScriptedDialogs() override; // restores the real dialogs

    QQueue<bool> answers;        // for Question
    QQueue<QString> fileNames;   // for OpenFileName and SaveFileName
    QList<Box> boxes;            // every box shown, in order
    int unanswered = 0;

    QStringList texts() const;   // the text of every box, in order
    QStringList captions() const;
    void clear();

    void Message(const QString &text, const QString &caption) override;
    bool Question(const QString &text, const QString &caption) override;
    QString OpenFileName(const FileDialogRequest &request) override;
    QString SaveFileName(const FileDialogRequest &request) override;

private:
    QString nextFileName(Kind kind, const FileDialogRequest &request);
};
