#pragma once
// Starting the game, the editors and the helper programs. On a non-Windows host a Windows
// program goes through Wine, minimised with the focus and in its own folder, and its start is
// watched for a short while so that a program Wine refuses to run is reported, not lost on a
// terminal nobody looks at.
#include <QString>
#include <QStringList>
#include <functional>

namespace launcher {

// How long after the start a failure of wine still counts as "it did not start". Wine brings
// up its server and desktop on a first start, which takes several seconds without a display.
constexpr int kWatchMs = 45000;

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
// the whole message for the player when it cannot even be started, else an empty text; a
// Windows program that wine fails to run within watchMs is reported once through onFailure,
// later on the calling thread's event loop.
QString start(const QString &windowsPath, std::function<void(const QString &message)> onFailure = {},
              int watchMs = kWatchMs);

// Starts through wine still being watched (their wine has not ended yet).
int watchesRunning();

} // namespace launcher
