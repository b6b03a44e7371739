#include "shell/PrefixSetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// Prefixes laid out by hand: dosdevices links decide the drives, as they do for Wine.
class test_PrefixSetup : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    QString at(const QString &relative) const { return m_root.path() + QLatin1Char('/') + relative; }
    void write(const QString &relative, const QByteArray &bytes = "MZ")
    {
        QDir().mkpath(QFileInfo(at(relative)).absolutePath());
        QFile file(at(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read(const QString &relative) const
    {
        QFile file(at(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A prefix whose C: lives elsewhere, with a D: and no Z:.
    QString makePrefix(const QString &name)
    {
        const QString prefix = at(name + QStringLiteral("/prefix"));
        QDir().mkpath(prefix + QStringLiteral("/dosdevices"));
        QDir().mkpath(at(name + QStringLiteral("/c")));
        QDir().mkpath(at(name + QStringLiteral("/disc")));
        [&] {
            QVERIFY(QFile::link(at(name + QStringLiteral("/c")), prefix + QStringLiteral("/dosdevices/c:")));
            QVERIFY(QFile::link(at(name + QStringLiteral("/disc")), prefix + QStringLiteral("/dosdevices/d:")));
        }();
        return prefix;
    }
    prefixsetup::Request request(const QString &prefix) const
    {
        prefixsetup::Request r;
        r.prefix = prefix;
        r.program = QStringLiteral("/opt/my games/veldrin");
        r.dataHome = at(QStringLiteral("data"));
        return r;
    }

private slots:
    void findsTheGameOnEveryDriveWithinTheDepth()
    {
        const QString prefix = makePrefix(QStringLiteral("find"));
        write(QStringLiteral("find/disc/1/2/3/4/5/runblack.exe"));
        write(QStringLiteral("find/c/Games/BW/RUNBLACK.exe"));
        write(QStringLiteral("find/c/1/2/3/4/5/6/7/runblack.exe")); // too deep
        write(QStringLiteral("find/c/Program Files/Lionhead Studios Ltd/Black & White/runblack.exe"));
        // The usual install folder comes first, whatever the walk's order.
        QCOMPARE(prefixsetup::findGame(prefix),
                 (QStringList{QStringLiteral("C:\\Program Files\\Lionhead Studios Ltd\\Black & White\\runblack.exe"),
                              QStringLiteral("C:\\Games\\BW\\RUNBLACK.exe"),
                              QStringLiteral("D:\\1\\2\\3\\4\\5\\runblack.exe")}));
        QCOMPARE(prefixsetup::findGame(prefix, 2), (QStringList{QStringLiteral(
                                                        "C:\\Program Files\\Lionhead Studios Ltd\\Black & White\\runblack.exe"),
                                                    QStringLiteral("C:\\Games\\BW\\RUNBLACK.exe")}));
    }

    void setupAddsWhatIsMissingAndNothingTwice()
    {
        const QString prefix = makePrefix(QStringLiteral("add"));
        write(QStringLiteral("add/c/Games/BW/runblack.exe"));
        // A folder of another case is the same folder to Wine.
        QDir().mkpath(at(QStringLiteral("add/c/veldrin/backup/BRX")));

        prefixsetup::Report report = prefixsetup::run(request(prefix + QStringLiteral("//")));
        QVERIFY2(report.ok(), qPrintable(report.errors.join(QLatin1Char('\n'))));
        QCOMPARE(report.gameFolder, QStringLiteral("C:\\Games\\BW\\"));
        for (const char *folder : {"tattoos", "Landscape", "Skin", "history"})
            QVERIFY(QFileInfo(at(QStringLiteral("add/c/veldrin/backup/")) + QLatin1String(folder)).isDir());
        QCOMPARE(QDir(at(QStringLiteral("add/c/veldrin/backup"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 5);
        QVERIFY(QFileInfo(at(QStringLiteral("add/c/veldrin/Downloads"))).isDir());
        QVERIFY(!QFileInfo::exists(at(QStringLiteral("add/c/Veldrin"))));
        QCOMPARE(read(QStringLiteral("add/c/veldrin/options.txt")),
                 QByteArray("C:\\Games\\BW\\\r\nC:\\Veldrin\\\r\n\r\n\r\n\r\n\r\n\r\n"));
        QVERIFY(read(QStringLiteral("add/c/veldrin/Help/Help.exe")).startsWith("#!/bin/sh\n"));
        const QByteArray entry = read(QStringLiteral("data/applications/") + prefixsetup::desktopFileName());
        // Started from the menu, it must find the same prefix again.
        QVERIFY2(entry.contains("\nExec=env WINEPREFIX=" + prefix.toUtf8() + " \"/opt/my games/veldrin\" %F\n"), entry.constData());
        QVERIFY(entry.contains("\nPath=" + QFileInfo(at(QStringLiteral("add/c/veldrin"))).canonicalFilePath().toUtf8() + '\n'));

        write(QStringLiteral("add/c/veldrin/options.txt"), "mine\r\n");
        report = prefixsetup::run(request(prefix));
        QVERIFY(report.ok() && report.done.isEmpty());
        QVERIFY(prefixsetup::describe(report).contains(QLatin1String("Nothing to do")));
        QCOMPARE(read(QStringLiteral("add/c/veldrin/options.txt")), QByteArray("mine\r\n"));
    }

    void withoutTheGameItSaysWhereToSetIt()
    {
        const QString prefix = makePrefix(QStringLiteral("none"));
        const prefixsetup::Report report = prefixsetup::run(request(prefix));
        QVERIFY(report.ok() && report.gameFolder.isEmpty());
        QVERIFY(prefixsetup::describe(report).contains(QLatin1String("Tools, Options")));
        QCOMPARE(read(QStringLiteral("none/c/Veldrin/options.txt")), QByteArray("\r\nC:\\Veldrin\\\r\n\r\n\r\n\r\n\r\n\r\n"));

        // A folder that is not a prefix is refused before anything is written.
        QDir().mkpath(at(QStringLiteral("plain")));
        const prefixsetup::Report refused = prefixsetup::run(request(at(QStringLiteral("plain"))));
        QVERIFY(!refused.ok() && refused.errors.first().contains(QLatin1String("wineboot")));
        QCOMPARE(QDir(at(QStringLiteral("plain"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }
};

QTEST_GUILESS_MAIN(test_PrefixSetup)
#include "test_PrefixSetup.moc"
