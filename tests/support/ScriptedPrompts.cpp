#include "support/ScriptedPrompts.h"

#include "platform/WinPath.h"

#include <QTest>

void ScriptedPrompts::answerHostPath(const QString &hostPath) { m_files.append(winpath::fromHost(hostPath)); }
void ScriptedPrompts::answerWindowsPath(const QString &windowsPath) { m_files.append(windowsPath); }
void ScriptedPrompts::answerCancel() { m_files.append(std::nullopt); }
void ScriptedPrompts::answerQuestion(bool yes) { m_questions.append(yes); }

std::optional<QString> ScriptedPrompts::chooseFile(const FileRequest &request)
{
    shown.append({request.mode == FileRequest::Mode::Open ? Shown::OpenDialog : Shown::SaveDialog, request.filter,
                  request.initialPath});
    if (m_files.isEmpty()) {
        QTest::qFail("a file dialog was shown that the test did not script", __FILE__, __LINE__);
        return std::nullopt;
    }
    return m_files.takeFirst();
}

void ScriptedPrompts::message(const QString &text) { shown.append({Shown::Message, text, {}}); }

bool ScriptedPrompts::question(const QString &text)
{
    shown.append({Shown::Question, text, {}});
    if (m_questions.isEmpty()) {
        QTest::qFail("a question was asked that the test did not script", __FILE__, __LINE__);
        return false;
    }
    return m_questions.takeFirst();
}

QStringList ScriptedPrompts::messages() const
{
    QStringList out;
    for (const Shown &s : shown) {
        if (s.kind == Shown::Message)
            out << s.text;
    }
    return out;
}
