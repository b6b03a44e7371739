#pragma once
// Runs the built veldrin-brx as a player would, for the tests that drive it end to end. The
// including test is given the tool's path as VELDRIN_BRX_PATH by the build.
#include "support/TestTree.h"

#include <QProcess>
#include <QString>
#include <QStringList>

struct Outcome
{
    int code;
    QString out, err;
};

inline Outcome brxTool(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(VELDRIN_BRX_PATH), args);
    const bool ran = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {ran ? process.exitCode() : -1, QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// Installs a package of drive C: into the tree's usual game and program folders.
inline QStringList installArgs(const TestTree &tree, const QString &package = QStringLiteral("p.brx"))
{
    return {QStringLiteral("install"), tree.host(package), QStringLiteral("--program-folder"),
            tree.host(QStringLiteral("Veldrin")), QStringLiteral("--game-folder"), tree.host(QStringLiteral("Games/Black & White"))};
}

// Starts the tool without waiting for it, reading its stderr; a test build given pauseAt holds
// at that point of its install until it is sent SIGUSR1.
inline void startTool(QProcess &process, const QStringList &args, int pauseAt = 0)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("VELDRIN_TEST_PAUSE_AT"));
    if (pauseAt > 0)
        env.insert(QStringLiteral("VELDRIN_TEST_PAUSE_AT"), QString::number(pauseAt));
    process.setProcessEnvironment(env);
    process.setReadChannel(QProcess::StandardError);
    process.start(QStringLiteral(VELDRIN_BRX_PATH), args);
    process.waitForStarted();
}

// Reads what a running tool says on stderr until text appears; false when it ended or went
// quiet for long without saying it.
inline bool waitToSay(QProcess &process, const QByteArray &text, QByteArray *said)
{
    while (!said->contains(text)) {
        if (process.state() != QProcess::Running || !process.waitForReadyRead(30000)) {
            *said += process.readAllStandardError();
            return said->contains(text);
        }
        *said += process.readAllStandardError();
    }
    return true;
}
