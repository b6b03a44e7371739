#pragma once
// Starting the game, the editors and the helper programs. On a non-Windows host a Windows
// program goes through Wine, minimised with the focus and in its own folder, and its start is
// watched for a short while so that a program Wine refuses to run is reported, not lost on a
// terminal nobody looks at.
#include <QString>
#include <QStringList>
#include <functional>

namespace launcher {

// How long after the start a failure of the program or of wine is told to the player; a later
// one goes only to the log. Long enough for wine to bring up its server on a first start.
constexpr int kWatchMs = 15000;

// The log of programs that could not be started or failed, beside Veldrin in its folder.
inline QString logFileName() { return QStringLiteral("wine.log"); }

struct Command
{
    QString program;
    QStringList arguments;
    QString workingDirectory;
    QString hostPath;       // the file being started
    bool viaWine = false;
};

// What start() would run, or false with the reason in plain words.
bool commandFor(const QString &windowsPath, Command *command, QString *error = nullptr);

// The Windows path as a player would type it: runs of backslashes made one (a UNC path keeps
// its leading pair).
QString tidyWindowsPath(const QString &windowsPath);

// "Veldrin could not start <Windows path> (<host path>): <reason>." with a note when no Wine
// prefix exists.
QString failureMessage(const QString &windowsPath, const QString &reason);

// What wine said, in one line: the first line of its output that is not a debug channel
// line or Debian's reminder about the 32-bit part; a debug error line only when nothing else.
QString firstErrorLine(const QByteArray &output);

// Reads a Windows program's header: 32 or 64 for the bitness of a valid program, 0 when the
// file is not a complete program (no MZ header, or the PE header missing or cut short).
int windowsProgramBits(const QString &hostPath);

// Starts the program at a Windows path with no arguments and does not wait for it. Returns
// the whole message for the player when it cannot even be started (a Windows program of a
// kind this Wine cannot run is not started), else an empty text. A Windows program that fails
// within watchMs, or whose wine does, is reported once through onFailure, later on the calling
// thread's event loop. Every failure is added to the log at logPath (a Windows path), when given.
QString start(const QString &windowsPath, std::function<void(const QString &message)> onFailure = {},
              const QString &logPath = QString(), int watchMs = kWatchMs);

// How many starts through wine have not ended yet (their program still runs).
int watchesRunning();

} // namespace launcher
