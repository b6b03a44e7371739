#pragma once
// Files handed to Veldrin from outside (its command line, a file manager, a drop on the main
// window, another start handing over) open in the installer as if picked with its "..."
// button. Only the kinds the installer installs are taken; anything else is refused here,
// before a window opens for nothing.
#include <QString>

namespace openrequest {

struct Request
{
    QString windowsPath; // what the installer's dialog would have given
    QString refusal;     // why not, for a message; empty when the file can be opened
    bool ok() const { return refusal.isEmpty(); }
};

// A command-line argument as a host path: an absolute or relative host path, a "file:" URL,
// or a Windows path ("C:\Maps\Island.txt") mapped through the prefix.
QString hostPathOfArgument(const QString &argument, const QString &currentDirectory);

// Whether the name's type is one the installer takes: a package, map, landscape, skin or
// mesh, tattoo picture, or an add-on archive. Compared as the installer compares it.
bool installable(const QString &path);

// Checks one host path: it must be an existing file of an installable kind.
Request forHostPath(const QString &hostPath);

} // namespace openrequest
