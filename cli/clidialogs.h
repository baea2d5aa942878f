#pragma once
#include "ui/dialogs.h"

#include <QList>
#include <QSet>
#include <QString>

// The command-line program's stand-in for the user: every box is printed to
// standard error as "caption: text", questions are answered from the
// command's options, file dialogs from its file arguments.
class CliDialogs : public IDialogs
{
public:
    struct Box {
        QString text;
        QString caption;
    };

    CliDialogs();           // installs itself
    ~CliDialogs() override; // restores the real dialogs

    // Answers Yes to the protocol, heating and axis mismatch questions.
    void SetAcceptMismatch(bool accept) { acceptMismatch = accept; }
    // A question the command itself implies Yes to (already translated).
    void AnswerYes(const QString &text) { impliedYes.insert(text); }
    void SetOpenFileName(const QString &name) { openFileName = name; }
    void SetSaveFileName(const QString &name) { saveFileName = name; }

    // The messages since the last Clear.
    const QList<Box> &Messages() const { return messages; }
    // Whether a message's text or caption was T(key).
    bool Shown(const char *key) const;
    void Clear() { messages.clear(); }

    void Message(const QString &text, const QString &caption) override;
    bool Question(const QString &text, const QString &caption) override;
    QString OpenFileName(const FileDialogRequest &request) override;
    QString SaveFileName(const FileDialogRequest &request) override;

private:
    bool IsMismatchQuestion(const QString &caption) const;

    bool acceptMismatch = false;
    QSet<QString> impliedYes;
    QString openFileName;
    QString saveFileName;
    QList<Box> messages;
};

// One line of standard error, flushed at once so it interleaves with the log.
void PrintError(const QString &line);
void PrintOut(const QString &line);
