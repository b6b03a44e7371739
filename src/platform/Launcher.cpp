#include "platform/Launcher.h"
#include "platform/FileIO.h"
#include "platform/WinPath.h"
#include "platform/WineKinds.h"

#include <cstring>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtEndian>

namespace launcher {

namespace {

// Only the user-interface thread starts programs, so a plain count will do.
int g_watches = 0;

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

// As much of the file as it takes to reach the PE header's machine field.
QByteArray programHead(const QString &host)
{
    QFile file(host);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray head = file.read(64);
    head += file.read(winekinds::headBytes(head) - head.size());
    return head;
}

bool looksLikeWindowsProgram(const QString &host)
{
    const QString suffix = QFileInfo(host).suffix().toLower();
    if (suffix == QLatin1String("exe") || suffix == QLatin1String("bat") || suffix == QLatin1String("com"))
        return true;
    QFile file(host);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

// The wine to run, or false with a reason that names what is wrong: a WINE variable that
// names nothing runnable is the player's setting, not the program's fault.
bool findWine(QString *wine, QString *error)
{
    const QString fromEnv = qEnvironmentVariable("WINE");
    if (!fromEnv.isEmpty()) {
        const QString found = fromEnv.contains(QLatin1Char('/')) ? fromEnv : QStandardPaths::findExecutable(fromEnv);
        const QFileInfo info(found);
        if (found.isEmpty() || !info.isFile() || !info.isExecutable()) {
            *error = QStringLiteral("the WINE variable names \"%1\", which is not a program that can be run; "
                                    "correct WINE or unset it to use the wine on the PATH")
                         .arg(fromEnv);
            return false;
        }
        *wine = found;
        return true;
    }
    *wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
    if (wine->isEmpty()) {
        *error = QStringLiteral("it is a Windows program and Wine is not installed (install the package wine, "
                                "or set WINE to the wine program)");
        return false;
    }
    return true;
}

QString wineOutputReason(const QString &hostPath, const QByteArray &output, int exitCode)
{
    const int bits = windowsProgramBits(hostPath);
    QString said = firstErrorLine(output);
    if (said.endsWith(QLatin1Char('.')))
        said.chop(1);
    const QString quoted = said.isEmpty() ? QStringLiteral("wine ended with code %1").arg(exitCode)
                                          : QStringLiteral("wine said \"%1\"").arg(said);
    if (bits == 32) {
        return QStringLiteral("Wine could not run it (%1). It is a 32-bit Windows program, and the 32-bit part of "
                              "Wine is probably missing: install the package wine32 (as root: dpkg "
                              "--add-architecture i386 && apt-get update && apt install wine32)")
            .arg(quoted);
    }
    if (bits == 0)
        return QStringLiteral("Wine could not run it (%1). The file is not a complete Windows program; it may be "
                              "damaged or cut short").arg(quoted);
    return QStringLiteral("Wine could not run it (%1)").arg(quoted);
}

// Wine's loader says this when the program never ran, and wine may still end with success
// (a 32-bit program on a Wine whose WoW64 side is missing).
bool saysItDidNotLoad(const QByteArray &output)
{
    static const QRegularExpression loader(QStringLiteral(":err:module:[^\\n]*(failed to load|not found)"));
    return loader.match(QString::fromLocal8Bit(output)).hasMatch();
}

// A game left running for hours keeps talking; the start of what it said is what explains a
// failure.
constexpr int kKeptOutput = 64 * 1024;
constexpr int kKeptLogLines = 500;

void appendToLog(const QString &logPath, const QString &message)
{
    if (logPath.isEmpty())
        return;
    QStringList lines;
    if (const auto old = fileio::readBytes(logPath))
        lines = fileio::decode1252(*old).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QString flat = message;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    lines << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss  ")) + flat;
    if (lines.size() > kKeptLogLines)
        lines = lines.mid(lines.size() - kKeptLogLines);
    QString error;
    if (!fileio::writeText(logPath, lines.join(QStringLiteral("\r\n")), &error))
        qWarning("Veldrin could not write %s: %s", qPrintable(logPath), qPrintable(error));
}

struct WatchState
{
    QElapsedTimer clock;
    bool failed = false;
    QByteArray output;
};

// One watch per start. A failure within the watch window is told to the player once; any
// failure, early or late, goes to the log. wine is never killed by us: it lives as long as
// the program it started.
void watch(QProcess *process, const QString &windowsPath, const QString &hostPath, const QString &logPath,
           std::function<void(const QString &)> onFailure, int watchMs)
{
    ++g_watches;
    QObject::connect(process, &QObject::destroyed, [] { --g_watches; });
    auto state = std::make_shared<WatchState>();
    state->clock.start();
    auto fail = [=](const QString &reason) {
        if (state->failed)
            return;
        state->failed = true;
        const QString message = failureMessage(windowsPath, reason);
        const qint64 ranMs = state->clock.elapsed();
        if (ranMs > watchMs) {
            appendToLog(logPath, message + QStringLiteral(" (after it had run for %1 s)").arg(ranMs / 1000));
            return;
        }
        appendToLog(logPath, message);
        if (onFailure)
            onFailure(message);
    };
    auto collect = [=] {
        const QByteArray more = process->readAll();
        if (state->output.size() < kKeptOutput)
            state->output += more.left(kKeptOutput - state->output.size());
    };
    QObject::connect(process, &QProcess::readyRead, process, collect);
    QObject::connect(process, &QProcess::errorOccurred, process, [=](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            fail(QStringLiteral("wine (%1) could not be started: %2").arg(process->program(), process->errorString()));
            process->deleteLater();
        }
    });
    QObject::connect(process, &QProcess::finished, process, [=](int exitCode, QProcess::ExitStatus status) {
        collect();
        if (status == QProcess::CrashExit)
            fail(QStringLiteral("wine stopped abnormally (%1)").arg(firstErrorLine(state->output)));
        else if (exitCode != 0 || saysItDidNotLoad(state->output))
            fail(wineOutputReason(hostPath, state->output, exitCode));
        process->deleteLater();
    });
}

} // namespace

int watchesRunning() { return g_watches; }

QString tidyWindowsPath(const QString &windowsPath)
{
    const bool unc = windowsPath.startsWith(QLatin1String("\\\\"));
    QString rest = unc ? windowsPath.mid(2) : windowsPath;
    static const QRegularExpression runs(QStringLiteral("\\\\{2,}"));
    rest.replace(runs, QStringLiteral("\\"));
    return unc ? QLatin1String("\\\\") + rest : rest;
}

QString failureMessage(const QString &windowsPath, const QString &reason)
{
    const QString host = winpath::toHost(windowsPath);
    QString text = windowsPath.isEmpty()
        ? QStringLiteral("Veldrin could not start the program: no path is set: %1.").arg(reason)
        : QStringLiteral("Veldrin could not start %1 (%2): %3.").arg(tidyWindowsPath(windowsPath), host, reason);
    const QString notice = winpath::noPrefixNotice();
    if (!notice.isEmpty())
        text += QLatin1Char('\n') + notice;
    return text;
}

QString firstErrorLine(const QByteArray &output)
{
    static const QRegularExpression channel(QStringLiteral("^[0-9a-f]+:(err|fixme|warn|trace):"));
    static const QRegularExpression debianHint(
        QStringLiteral("wine32 is missing|^multiarch needs|^execute \"dpkg|^as root, please|^apt-get install wine32"));
    QString firstDebugError;
    const QStringList lines = QString::fromLocal8Bit(output).split(QRegularExpression(QStringLiteral("[\r\n]+")));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || debianHint.match(line).hasMatch())
            continue;
        const QRegularExpressionMatch debug = channel.match(line);
        if (!debug.hasMatch())
            return line;
        if (firstDebugError.isEmpty() && debug.captured(1) == QLatin1String("err"))
            firstDebugError = line;
    }
    return firstDebugError;
}

int windowsProgramBits(const QString &hostPath)
{
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray dos = file.read(64);
    if (dos.size() < 64 || !dos.startsWith("MZ"))
        return 0;
    const quint32 peAt = qFromLittleEndian<quint32>(dos.constData() + 0x3C);
    if (peAt < 64 || !file.seek(peAt))
        return 0;
    // Signature, file header (20 bytes), then the optional header's magic.
    const QByteArray read = file.read(4 + 20 + 2);
    if (read.size() < 26 || !read.startsWith(QByteArray("PE\0\0", 4)))
        return 0;
    // Copied out so the optimiser, which cannot see the size check above, does not take the
    // reads below for reads past an empty array.
    char pe[26];
    std::memcpy(pe, read.constData(), sizeof pe);
    const quint16 optionalSize = qFromLittleEndian<quint16>(pe + 4 + 16);
    const quint16 magic = qFromLittleEndian<quint16>(pe + 24);
    // A program whose headers or sections run past the end of the file is cut short.
    const quint16 sections = qFromLittleEndian<quint16>(pe + 4 + 2);
    const qint64 table = qint64(peAt) + 24 + optionalSize;
    if (table + qint64(sections) * 40 > file.size() || !file.seek(table))
        return 0;
    const QByteArray headers = file.read(qint64(sections) * 40);
    for (int i = 0; i < sections; ++i) {
        const char *section = headers.constData() + i * 40;
        const qint64 size = qFromLittleEndian<quint32>(section + 16);
        const qint64 at = qFromLittleEndian<quint32>(section + 20);
        if (size > 0 && at + size > file.size())
            return 0;
    }
    if (magic == 0x10b)
        return 32;
    if (magic == 0x20b)
        return 64;
    return 0;
}

bool commandFor(const QString &windowsPath, Command *command, QString *error)
{
    const QString host = winpath::toHost(windowsPath);
    const QFileInfo info(host);
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (windowsPath.isEmpty() || !info.exists())
        return fail(QStringLiteral("the file does not exist"));
    if (info.isDir())
        return fail(QStringLiteral("it is a folder, not a program"));
    Command made;
    made.hostPath = info.absoluteFilePath();
    made.workingDirectory = info.absolutePath();
#ifdef Q_OS_WIN
    made.program = host;
#else
    if (isNativeProgram(info)) {
        made.program = made.hostPath;
    } else if (looksLikeWindowsProgram(host)) {
        QString why;
        if (!findWine(&made.program, &why))
            return fail(why);
        why = winekinds::cannotRun(programHead(made.hostPath), winekinds::describe(made.program));
        if (!why.isEmpty())
            return fail(why);
        // start passes the show state on; /min asks for "minimised with the focus". /wait
        // keeps wine until the program ends, so its own failure and exit code reach the watch.
        made.arguments = {QStringLiteral("start"), QStringLiteral("/min"), QStringLiteral("/wait"), QStringLiteral("/unix"),
                          made.hostPath};
        made.viaWine = true;
    } else if (!info.isExecutable()) {
        return fail(QStringLiteral("the file is not executable"));
    } else {
        made.program = made.hostPath;
    }
#endif
    if (command)
        *command = made;
    return true;
}

QString start(const QString &windowsPath, std::function<void(const QString &message)> onFailure,
              const QString &logPath, int watchMs)
{
    Command command;
    QString error;
    if (!commandFor(windowsPath, &command, &error)) {
        const QString message = failureMessage(windowsPath, error);
        appendToLog(logPath, message);
        return message;
    }
    if (!command.viaWine) {
        QProcess process;
        process.setProgram(command.program);
        process.setArguments(command.arguments);
        process.setWorkingDirectory(command.workingDirectory);
        process.setStandardInputFile(QProcess::nullDevice());
        if (!process.startDetached()) {
            const QString message = failureMessage(windowsPath, process.errorString());
            appendToLog(logPath, message);
            return message;
        }
        return {};
    }
    // wine's start /wait ends with the program, or at once with an error; its output is what
    // tells a player why.
    auto *process = new QProcess;
    process->setProgram(command.program);
    process->setArguments(command.arguments);
    process->setWorkingDirectory(command.workingDirectory);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::MergedChannels);
    watch(process, windowsPath, command.hostPath, logPath, std::move(onFailure), watchMs);
    process->start();
    return {};
}

} // namespace launcher
