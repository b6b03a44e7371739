#pragma once
// What the file dialogs add on top of the host's own: the prefix's drives in the sidebar, and
// Windows paths typed into the name field, which the host's dialog would take for a file name
// with backslashes in it.
#include <QList>
#include <QString>

namespace dialogpaths {

struct Drive
{
    QChar letter;     // upper case
    QString hostRoot; // existing folder, no trailing slash (except "/")
};

// The drives that lead somewhere on this host, in letter order.
QList<Drive> drives();

// What the sidebar shows for a host folder named `name` there: "C: (drive_c)" for a drive's
// root, `name` itself for any other folder.
QString sidebarLabel(const QList<Drive> &drives, const QString &hostFolder, const QString &name);

// "C:\Maps\Island.txt", "d:/x", "C:" and "C:\": a drive letter and a colon, then a separator
// or nothing. Anything else is left to the dialog as a host name.
bool isWindowsPath(const QString &text);

enum class Action {
    LeaveToDialog, // not a Windows path: the dialog deals with it as always
    EnterFolder,   // a folder: show its content
    Choose,        // the answer; hostPath holds it
    NotFound       // an open dialog needs a file that exists; a save dialog an existing folder
};

struct Decision
{
    Action action = Action::LeaveToDialog;
    QString hostPath;
};

// What a typed name does when the user presses Open or Save. A folder is chosen rather than
// entered when the dialog accepts folders (the program-folder browse button).
Decision decideTyped(const QString &typed, bool save, bool folderAllowed);

} // namespace dialogpaths
