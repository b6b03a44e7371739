#include "support/TestTree.h"
#include "install/HistoryFolder.h"
#include "platform/HostFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

TestTree::TestTree() : m_oldCwd(QDir::currentPath())
{
    QDir().mkpath(driveC());
    m_env.set("WINEPREFIX", m_dir.path().toLocal8Bit());
}

TestTree::~TestTree() { QDir::setCurrent(m_oldCwd); }

QString TestTree::win(const QString &relative)
{
    QString r = relative;
    r.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QLatin1String("C:\\") + r;
}

void TestTree::mkdir(const QString &relative) const { QDir().mkpath(host(relative)); }

void TestTree::write(const QString &relative, const QByteArray &bytes) const
{
    QDir().mkpath(QFileInfo(host(relative)).absolutePath());
    QFile f(host(relative));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray TestTree::read(const QString &relative) const
{
    QFile f(host(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool TestTree::exists(const QString &relative) const { return QFileInfo::exists(host(relative)); }

QMap<QString, QByteArray> TestTree::snapshot(const QString &folder, const QStringList &skip) const
{
    QMap<QString, QByteArray> files;
    const QDir root(host(folder));
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = root.relativeFilePath(it.next());
        if (std::any_of(skip.cbegin(), skip.cend(), [&rel](const QString &s) { return rel.startsWith(s); }))
            continue;
        QFile file(it.filePath());
        files.insert(rel, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return files;
}

void TestTree::makeGameAndProgramFolders() const
{
    for (const char *d : {"Games/Black & White/Scripts/Playgrounds", "Games/Black & White/Data/Landscape",
                          "Games/Black & White/Data/CreatureMesh", "Games/Black & White/Profiles",
                          "Veldrin/Backup/tattoos", "Veldrin/Backup/Landscape", "Veldrin/Backup/Skin",
                          "Veldrin/Backup/brx"})
        mkdir(QString::fromLatin1(d));
}

void TestTree::makeGameWithHistory() const
{
    const QString game = QStringLiteral("Games/Black & White/");
    makeGameAndProgramFolders();
    mkdir(game + QStringLiteral("Profiles/Player1"));
    write(game + QStringLiteral("Scripts/Playgrounds/a.txt"), "the game's own map\r\n");
    write(game + QStringLiteral("Data/Landscape/h.lnd"), QByteArray("LND\0\x01hills", 10));
    write(game + QStringLiteral("Data/CreatureMesh/w.l3d"), QByteArray("L3D\0wolf", 8));
    write(game + QStringLiteral("Profiles/Player1/symbol1.bmp"), "BM player one");
    write(game + QStringLiteral("Profiles/Player1/symbol2.bmp"), "BM player two");
    write(QStringLiteral("Veldrin/a.txt.bak"), "an old backup");
    write(QStringLiteral("Veldrin/Backup/tattoos/symbol1.bmp"), "BM an old pick");
    history::createFolder(programFolder());
}

void TestTree::useQuickFiles()
{
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    hostfs::setFlushingForTesting(false);
}

void TestTree::restoreFlushing() { hostfs::setFlushingForTesting(true); }
