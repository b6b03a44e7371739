// What the file dialogs make of the prefix: its drives for the sidebar, Windows paths typed
// into the name field, and the program-folder button that also takes a folder.
#include "common/OptionsFile.h"
#include "platform/DialogPaths.h"
#include "support/TestTree.h"

#include <QDir>
#include <QFile>
#include <QTest>

using dialogpaths::Action;

class test_TypedPaths : public QObject
{
    Q_OBJECT
private slots:
    void drivesAreThePrefixLettersThatLeadSomewhere()
    {
        TestTree tree;
        QDir().mkpath(tree.prefix() + QStringLiteral("/dosdevices"));
        QDir().mkpath(tree.prefix() + QStringLiteral("/media/disc"));
        QVERIFY(QFile::link(tree.prefix() + QStringLiteral("/media/disc"), tree.prefix() + QStringLiteral("/dosdevices/d:")));
        // A link to nowhere (an unplugged disc) is no drive to offer.
        QVERIFY(QFile::link(tree.prefix() + QStringLiteral("/media/gone"), tree.prefix() + QStringLiteral("/dosdevices/e:")));

        QStringList shown;
        for (const dialogpaths::Drive &drive : dialogpaths::drives())
            shown << QStringLiteral("%1=%2").arg(drive.letter, drive.hostRoot);
        QVERIFY2(shown.contains(QStringLiteral("C=") + tree.driveC()), qPrintable(shown.join(' ')));
        QVERIFY2(shown.contains(QStringLiteral("D=") + tree.prefix() + QStringLiteral("/media/disc")),
                 qPrintable(shown.join(' ')));
        QVERIFY(!shown.join(' ').contains(QStringLiteral("E=")));
        // Letter order, as a Windows dialog lists them.
        QStringList sorted = shown;
        sorted.sort();
        QCOMPARE(shown, sorted);
    }

    void typedWindowsPathsAreMappedAndJudged()
    {
        TestTree tree;
        tree.write(QStringLiteral("Maps/Island.txt"), "map");

        // An existing file is the answer, found whatever the case it was typed in.
        auto d = dialogpaths::decideTyped(QStringLiteral("C:\\Maps\\Island.txt"), false, false);
        QCOMPARE(int(d.action), int(Action::Choose));
        QCOMPARE(d.hostPath, tree.host(QStringLiteral("Maps/Island.txt")));
        d = dialogpaths::decideTyped(QStringLiteral("  c:\\MAPS\\island.TXT "), false, false);
        QCOMPARE(int(d.action), int(Action::Choose));
        QCOMPARE(d.hostPath, tree.host(QStringLiteral("Maps/Island.txt")));

        // Folders are entered, a bare drive is its root, unless the dialog takes folders.
        d = dialogpaths::decideTyped(QStringLiteral("C:\\Maps"), false, false);
        QCOMPARE(int(d.action), int(Action::EnterFolder));
        QCOMPARE(QDir(d.hostPath).canonicalPath(), QDir(tree.host(QStringLiteral("Maps"))).canonicalPath());
        d = dialogpaths::decideTyped(QStringLiteral("C:"), false, false);
        QCOMPARE(int(d.action), int(Action::EnterFolder));
        QCOMPARE(QDir(d.hostPath).canonicalPath(), QDir(tree.driveC()).canonicalPath());
        QCOMPARE(int(dialogpaths::decideTyped(QStringLiteral("C:\\Maps\\"), false, true).action), int(Action::Choose));

        // Opening needs an existing file; saving needs an existing folder to save into.
        QCOMPARE(int(dialogpaths::decideTyped(QStringLiteral("C:\\Maps\\Missing.txt"), false, false).action),
                 int(Action::NotFound));
        d = dialogpaths::decideTyped(QStringLiteral("C:\\Maps\\New.brx"), true, false);
        QCOMPARE(int(d.action), int(Action::Choose));
        QCOMPARE(d.hostPath, tree.host(QStringLiteral("Maps/New.brx")));
        QCOMPARE(int(dialogpaths::decideTyped(QStringLiteral("C:\\NoSuchFolder\\New.brx"), true, false).action),
                 int(Action::NotFound));
        // A drive the prefix does not have leads nowhere.
        QCOMPARE(int(dialogpaths::decideTyped(QStringLiteral("Q:\\x.txt"), false, false).action), int(Action::NotFound));

        // Host names are the dialog's own business, also ones with a colon or backslash inside.
        for (const char *host : {"Island.txt", "Maps\\Island.txt", "CC:\\x", "C:x"})
            QCOMPARE(int(dialogpaths::decideTyped(QLatin1String(host), false, false).action), int(Action::LeaveToDialog));
        QCOMPARE(int(dialogpaths::decideTyped(tree.host(QStringLiteral("Maps/Island.txt")), false, false).action),
                 int(Action::LeaveToDialog));
    }

    void theProgramFolderButtonTakesAFolderAndKeepsItsCut()
    {
        const optionsfile::BrowseRule *program = optionsfile::browseRuleFor(QStringLiteral("Command3"));
        const optionsfile::BrowseRule *game = optionsfile::browseRuleFor(QStringLiteral("Command1"));
        QVERIFY(program && game);
        QCOMPARE(optionsfile::browsedField(*program, QStringLiteral("C:\\Veldrin"), true), QStringLiteral("C:\\Veldrin\\"));
        QCOMPARE(optionsfile::browsedField(*program, QStringLiteral("C:\\"), true), QStringLiteral("C:\\"));
        // The cut by the length of "Veldrin.exe" is for that name only (any case); any other
        // file, such as the game's path left in the shared dialog, is taken whole.
        QCOMPARE(optionsfile::browsedField(*program, QStringLiteral("C:\\Veldrin\\Veldrin.exe"), false),
                 QStringLiteral("C:\\Veldrin\\"));
        QCOMPARE(optionsfile::browsedField(*program, QStringLiteral("C:\\Veldrin\\VELDRIN.EXE"), false),
                 QStringLiteral("C:\\Veldrin\\"));
        QCOMPARE(optionsfile::browsedField(*program, QStringLiteral("C:\\Veldrin\\Other.exe"), false),
                 QStringLiteral("C:\\Veldrin\\Other.exe"));
        QCOMPARE(optionsfile::browsedField(*program, QString(), false), QString());
        // Only that button: the game's button cuts a folder as it cuts anything.
        QCOMPARE(optionsfile::browsedField(*game, QStringLiteral("C:\\Games\\Black & White"), true),
                 QStringLiteral("C:\\Games\\B"));
    }
};

QTEST_GUILESS_MAIN(test_TypedPaths)
#include "test_TypedPaths.moc"
