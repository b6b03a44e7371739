#pragma once
// The one command a player with the game under Wine runs once: it finds the game in the
// prefix, makes the program folder C:\Veldrin\ with its backup folders and help, writes a
// first options file and a menu entry that starts Veldrin in that folder, and notes that folder
// for the user. It adds what is missing and leaves the player's files alone; only the menu
// entry and the note follow the prefix set up last, so running it again changes nothing.
#include <QString>
#include <QStringList>

namespace prefixsetup {

struct Request
{
    QString prefix;        // host folder of the Wine prefix
    QString program;       // the veldrin executable the menu entry starts
    QString dataHome;      // XDG data folder that receives applications/<id>.desktop
    QString configHome;    // per-user configuration folder that receives the set-up note
    int walkDepth = 6;     // folder levels searched below each drive's root
};

struct Report
{
    QStringList done;      // what was created, one line each
    QStringList leftAlone; // what was there already
    QStringList notes;     // what was found, and what the player should do next
    QStringList problems;  // what is in place but will not work as it is
    QStringList errors;
    QString gameFolder;    // Windows path with a trailing backslash, empty when not found
    bool ok() const { return errors.isEmpty(); }
};

// The prefix --setup works on without --prefix: WINEPREFIX, else ~/.wine.
QString defaultPrefix();

// File name of the menu entry, shared with the system-wide one so that it takes its place.
QString desktopFileName();

// Every runblack.exe (any case) on the prefix's drives as Windows paths, the usual install
// folders first, then a walk of each drive down to `depth` folder levels. A drive that is the
// whole host (Z:) is not walked.
QStringList findGame(const QString &prefix, int depth = 6);

// The menu entry for a program folder (host path) and the program to start. A prefix other
// than ~/.wine is passed on in WINEPREFIX, since the menu starts programs without it.
QString desktopEntry(const QString &programFolderHost, const QString &program, const QString &prefix = QString());

// Does the work for one prefix. Changes WINEPREFIX only while it runs.
Report run(const Request &request);

// The report as the command prints it.
QString describe(const Report &report);

} // namespace prefixsetup
