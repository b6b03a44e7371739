#pragma once
// Prompts answered from a script: each file dialog takes the next scripted answer, and every
// prompt shown is recorded. A prompt nobody scripted fails the test instead of blocking.
#include "common/Prompts.h"

#include <QList>
#include <QString>
#include <QStringList>

class ScriptedPrompts : public Prompts
{
public:
    struct Shown
    {
        enum Kind { OpenDialog, SaveDialog, Message, Question } kind;
        QString text; // filter for dialogs, text for messages and questions
        QString initialPath;
    };

    // Queue the answer to the next file dialog: a host path (converted to a Windows path).
    void answerHostPath(const QString &hostPath);
    // Queue the answer to the next file dialog as a Windows path, exactly as given.
    void answerWindowsPath(const QString &windowsPath);
    void answerCancel();
    // Queue the answer to the next question.
    void answerQuestion(bool yes);

    std::optional<QString> chooseFile(const FileRequest &request) override;
    void message(const QString &text) override;
    bool question(const QString &text) override;

    QList<Shown> shown;
    QStringList messages() const;
    int pendingAnswers() const { return int(m_files.size() + m_questions.size()); }

private:
    QList<std::optional<QString>> m_files;
    QList<bool> m_questions;
};
