#include "setup/PrefixSetup.h"
#include "setup/SetupRecord.h"

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
        r.configHome = at(QStringLiteral("config/Veldrin"));
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
        // Z:, the whole host, is not walked: a copy outside the drives stays unseen.
        write(QStringLiteral("loose/runblack.exe"));
        QVERIFY(QFile::link(QStringLiteral("/"), prefix + QStringLiteral("/dosdevices/z:")));
        QCOMPARE(prefixsetup::findGame(prefix, 32).size(), 4);
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

        // The folder is noted for starts from the system menu.
        const setuprecord::Record note = setuprecord::read(request(prefix).configHome);
        QCOMPARE(note.programFolder, QFileInfo(at(QStringLiteral("add/c/veldrin"))).canonicalFilePath());
        QCOMPARE(note.prefix, prefix);

        write(QStringLiteral("add/c/veldrin/options.txt"), "C:\\Games\\BW\\\r\nmine\r\n");
        report = prefixsetup::run(request(prefix));
        QVERIFY(report.ok() && report.done.isEmpty());
        QVERIFY(prefixsetup::describe(report).contains(QLatin1String("Nothing to do")));
        QCOMPARE(read(QStringLiteral("add/c/veldrin/options.txt")), QByteArray("C:\\Games\\BW\\\r\nmine\r\n"));

        // A kept options file whose game folder is gone is kept, and the player is told.
        write(QStringLiteral("add/c/veldrin/options.txt"), "C:\\Gone\\\r\nmine\r\n");
        const QString told = prefixsetup::describe(prefixsetup::run(request(prefix)));
        QVERIFY2(told.contains(QLatin1String("Check: the game folder C:\\Gone\\")) && !told.contains(QLatin1String("Nothing to do")),
                 qPrintable(told));
        QCOMPARE(read(QStringLiteral("add/c/veldrin/options.txt")), QByteArray("C:\\Gone\\\r\nmine\r\n"));
    }

    void aSecondPrefixTakesOverTheMenuEntryAndTheNote()
    {
        const QString first = makePrefix(QStringLiteral("one"));
        const QString second = makePrefix(QStringLiteral("two"));
        QVERIFY(prefixsetup::run(request(first)).ok());
        const QString entry = QStringLiteral("data/applications/") + prefixsetup::desktopFileName();
        const QByteArray firstEntry = read(entry);
        // The same prefix through a link is no second prefix: entry and note stay.
        QVERIFY(QFile::link(first, at(QStringLiteral("one/link"))));
        const prefixsetup::Report again = prefixsetup::run(request(at(QStringLiteral("one/link"))));
        QVERIFY2(again.ok() && again.done.isEmpty(), qPrintable(prefixsetup::describe(again)));
        QCOMPARE(read(entry), firstEntry);
        const prefixsetup::Report report = prefixsetup::run(request(second));
        QVERIFY(report.ok());
        const QString told = prefixsetup::describe(report);
        const QString secondFolder = QFileInfo(at(QStringLiteral("two/c/Veldrin"))).canonicalFilePath();
        QVERIFY2(told.contains(QLatin1String("Done: replaced the menu entry")) && told.contains(secondFolder), qPrintable(told));
        QVERIFY(read(entry).contains("\nPath=" + secondFolder.toUtf8() + '\n'));
        QCOMPARE(read(entry + QStringLiteral(".bak")), firstEntry);
        QCOMPARE(setuprecord::read(request(second).configHome).programFolder, secondFolder);
        // The entry opens packages only: plain text and pictures keep their own programs.
        QVERIFY(read(entry).contains("\nMimeType=application/x-veldrin-brx;\n"));
    }

    void aStartOutsideTheProgramFolderGoesToTheNotedOne()
    {
        const QString prefix = makePrefix(QStringLiteral("start"));
        const QString folder = at(QStringLiteral("start/c/Veldrin"));
        const QString elsewhere = at(QStringLiteral("start/home"));
        QDir().mkpath(elsewhere);
        QVERIFY(prefixsetup::run(request(prefix)).ok());
        const setuprecord::Record note = setuprecord::read(request(prefix).configHome);
        QCOMPARE(setuprecord::startInstead(elsewhere, note, QString()).programFolder, note.programFolder);
        // The same prefix by another name is still that prefix.
        const QString link = at(QStringLiteral("start/link"));
        QVERIFY(QFile::link(prefix, link));
        QVERIFY(setuprecord::startInstead(elsewhere, note, link).isValid());
        // A folder with its own options file, another prefix chosen on purpose, or a noted
        // folder that lost its options file: the start stays where it is.
        write(QStringLiteral("start/home/OPTIONS.TXT"), "\r\n");
        QVERIFY(!setuprecord::startInstead(elsewhere, note, QString()).isValid());
        QVERIFY(!setuprecord::startInstead(folder, note, at(QStringLiteral("one/prefix"))).isValid());
        QFile::remove(at(QStringLiteral("start/home/OPTIONS.TXT")));
        QVERIFY(QFile::remove(folder + QStringLiteral("/options.txt")));
        QVERIFY(!setuprecord::startInstead(elsewhere, note, QString()).isValid());
        QVERIFY(!setuprecord::startInstead(elsewhere, setuprecord::read(at(QStringLiteral("nowhere"))), QString()).isValid());
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
