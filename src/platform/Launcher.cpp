#include "platform/Launcher.h"
#include "platform/WinPath.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace launcher {

namespace {

// A native program (ELF, or a script with "#!") marked executable runs as it is, whatever its
// name: the sample setup's stand-ins are scripts named like the game's programs.
bool isNativeProgram(const QFileInfo &info)
{
    if (!info.isExecutable())
        return false;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head == "\x7f" "ELF" || head.startsWith("#!");
}

bool looksLikeWindowsProgram(const QString &host)
{
    const QString suffix = QFileInfo(host).suffix().toLower();
    if (suffix == QLatin1String("exe") || suffix == QLatin1String("bat") || suffix == QLatin1String("com"))
        return true;
    QFile file(host);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

QString wineProgram()
{
    const QString fromEnv = qEnvironmentVariable("WINE");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QStandardPaths::findExecutable(QStringLiteral("wine"));
}

} // namespace

QStringList commandFor(const QString &windowsPath, QString *error)
{
    const QString host = winpath::toHost(windowsPath);
    const QFileInfo info(host);
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return QStringList();
    };
    if (windowsPath.isEmpty() || !info.exists())
        return fail(QStringLiteral("the file does not exist"));
    if (info.isDir())
        return fail(QStringLiteral("it is a folder, not a program"));
#ifdef Q_OS_WIN
    return {host};
#else
    if (isNativeProgram(info))
        return {host};
    if (looksLikeWindowsProgram(host)) {
        const QString wine = wineProgram();
        if (wine.isEmpty())
            return fail(QStringLiteral("it is a Windows program and Wine was not found (install wine or set WINE)"));
        return {wine, host};
    }
    if (!info.isExecutable())
        return fail(QStringLiteral("the file is not executable"));
    return {host};
#endif
}

QString start(const QString &windowsPath)
{
    QString error;
    const QStringList command = commandFor(windowsPath, &error);
    if (command.isEmpty())
        return error;
    QProcess process;
    process.setProgram(command.first());
    process.setArguments(command.mid(1));
    process.setWorkingDirectory(QFileInfo(command.last()).absolutePath());
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return process.errorString();
    return {};
}

} // namespace launcher
