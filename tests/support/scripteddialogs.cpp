#include "tests/support/scripteddialogs.h"

ScriptedDialogs::ScriptedDialogs()
{
    SetDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    SetDialogs(nullptr);
}

QStringList ScriptedDialogs::texts() const
{
    QStringList result;
    for (const Box &box : boxes)
        result << box.text;
    return result;
}

QStringList ScriptedDialogs::captions() const
{
    QStringList result;
    for (const Box &box : boxes)
        result << box.caption;
    return result;
}

void ScriptedDialogs::clear()
{
    boxes.clear();
    answers.clear();
    fileNames.clear();
    unanswered = 0;
}

void ScriptedDialogs::Message(const QString &text, const QString &caption)
{
    boxes.append({Kind::Message, text, caption, {}});
}

bool ScriptedDialogs::Question(const QString &text, const QString &caption)
{
    boxes.append({Kind::Question, text, caption, {}});
    if (answers.isEmpty()) {
        ++unanswered;
        return false;
    }
    return answers.dequeue();
}

QString ScriptedDialogs::OpenFileName(const FileDialogRequest &request)
{
    return nextFileName(Kind::OpenFile, request);
}

QString ScriptedDialogs::SaveFileName(const FileDialogRequest &request)
{
    return nextFileName(Kind::SaveFile, request);
}

QString ScriptedDialogs::nextFileName(Kind kind, const FileDialogRequest &request)
{
    boxes.append({kind, request.fileName, request.caption, request.folder});
    if (fileNames.isEmpty()) {
        ++unanswered;
        return {};
    }
    return fileNames.dequeue();
}
