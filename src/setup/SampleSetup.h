#pragma once
// A miniature game installation and program folder inside a Wine-style prefix, so that
// Veldrin can be tried (and tested) without the game: stand-in programs that record their
// starts, a player profile with tattoos, and add-ons ready to install.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace sample {

struct SetupResult
{
    QStringList created; // host paths of files written now
    QStringList kept;    // host paths that existed already and were left alone
    QStringList errors;
    bool ok() const { return errors.isEmpty(); }
};

// Creates the tree under hostDir (made if missing): hostDir/drive_c/Games/Black & White/...
// and hostDir/drive_c/Veldrin/... An existing file is never replaced, so edits survive a rerun.
SetupResult createSampleSetup(const QString &hostDir);

// An uncompressed 24-bit BMP from top-down rows of 0xRRGGBB pixels.
QByteArray bmp24(int width, int height, const QVector<quint32> &pixels);

// The sixteen tattoo pictures differ by colour and pattern; slot runs from 1 to 16.
QByteArray tattooPicture(int slot, int size = 32);

// A package entry and a package in the installer's text layout.
QString brxEntry(const QString &installPath, const QString &title, const QString &content);
QString brxPackage(const QStringList &entries);

// The log a stand-in program appends one line to on every start, relative to drive_c.
QString gameStartLog();

} // namespace sample
