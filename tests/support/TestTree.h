#pragma once
// A throw-away Wine-style prefix for one test: WINEPREFIX points at it, drive C: is its
// drive_c, and the current directory is restored afterwards.
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include "support/EnvGuard.h"

#include <QTemporaryDir>

class TestTree
{
public:
    TestTree();
    ~TestTree();

    bool isValid() const { return m_dir.isValid(); }
    QString prefix() const { return m_dir.path(); }
    QString driveC() const { return m_dir.path() + QLatin1String("/drive_c"); }

    // Host path of a path under drive_c, given with forward slashes ("Games/BW/runblack.exe").
    QString host(const QString &relative) const { return driveC() + QLatin1Char('/') + relative; }
    // The same place as a Windows path ("C:\Games\BW\runblack.exe").
    static QString win(const QString &relative);
    // For tests that make thousands of small files: temporary folders in memory where the
    // machine allows it, and no flushing to disk until restoreFlushing().
    static void useQuickFiles();
    static void restoreFlushing();

    void mkdir(const QString &relative) const;
    void write(const QString &relative, const QByteArray &bytes) const;
    QByteArray read(const QString &relative) const;
    bool exists(const QString &relative) const;
    // Every file below a folder (all of drive C by default), hidden ones too, by its path
    // relative to that folder, with its bytes; paths that begin with one of skip are left out.
    QMap<QString, QByteArray> snapshot(const QString &folder = QString(), const QStringList &skip = {}) const;

    // The usual game and program folders with their subfolders; returns nothing.
    void makeGameAndProgramFolders() const;
    static QString gameFolder() { return QStringLiteral("C:\\Games\\Black & White\\"); }
    static QString programFolder() { return QStringLiteral("C:\\Veldrin\\"); }
    // The folders, a few game files of every kind (text and binary, a profile's tattoos), an
    // old backup and pick, and an install history: where the layer and history tests start.
    void makeGameWithHistory() const;

private:
    QTemporaryDir m_dir;
    EnvGuard m_env;
    QString m_oldCwd;
};
