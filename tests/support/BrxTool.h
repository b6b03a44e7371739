#pragma once
// Runs the built veldrin-brx as a player would, for the tests that drive it end to end. The
// including test is given the tool's path as VELDRIN_BRX_PATH by the build.
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
