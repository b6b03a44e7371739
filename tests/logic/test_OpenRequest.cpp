// Files handed to Veldrin from outside: how an argument becomes a host path, and which files
// go to the installer and which are refused with a reason.
#include "install/OpenRequest.h"
#include "support/TestTree.h"

#include <QDir>
#include <QTest>
#include <QUrl>

class test_OpenRequest : public QObject
{
    Q_OBJECT
private slots:
    void argumentsBecomeHostPaths()
    {
        TestTree tree;
        tree.write(QStringLiteral("Maps/Island.txt"), "map");
        const QString map = tree.host(QStringLiteral("Maps/Island.txt"));
        using openrequest::hostPathOfArgument;
        QCOMPARE(hostPathOfArgument(QStringLiteral("Island.txt"), tree.host(QStringLiteral("Maps"))), map);
        QCOMPARE(hostPathOfArgument(QStringLiteral("../Maps/./Island.txt"), tree.host(QStringLiteral("Veldrin"))), map);
        QCOMPARE(hostPathOfArgument(map, QStringLiteral("/")), map);
        QCOMPARE(hostPathOfArgument(QUrl::fromLocalFile(map).toString(), QStringLiteral("/")), map);
        QCOMPARE(hostPathOfArgument(QStringLiteral("C:\\maps\\ISLAND.txt"), QStringLiteral("/")), map);
    }

    void theInstallersKindsOpenAndOthersAreRefused()
    {
        TestTree tree;
        const char *kinds[] = {"pack.brx", "island.txt", "hill.lnd", "troll.l3d", "symbol1.bmp", "Island-v2.ZIP", "hills.tar.gz"};
        for (const char *name : kinds) {
            const QString relative = QStringLiteral("In/") + QLatin1String(name);
            tree.write(relative, "x");
            const openrequest::Request request = openrequest::forHostPath(tree.host(relative));
            QVERIFY2(request.ok(), qPrintable(request.refusal));
            // What the installer's own dialog would have given for the file.
            QCOMPARE(request.windowsPath, TestTree::win(relative));
        }
        tree.write(QStringLiteral("In/ISLAND.TXT"), "x");
        tree.write(QStringLiteral("In/notes.doc"), "x");
        const struct
        {
            const char *relative, *reason;
        } refused[] = {{"In/ISLAND.TXT", "installs maps"},   // compared as the installer compares, case and all
                       {"In/notes.doc", "installs maps"},
                       {"In/missing.brx", "no such file"},
                       {"In", "folder"}};
        for (const auto &r : refused) {
            const openrequest::Request request = openrequest::forHostPath(tree.host(QLatin1String(r.relative)));
            QVERIFY2(!request.ok(), r.relative);
            QVERIFY2(request.refusal.contains(QLatin1String(r.reason)), qPrintable(request.refusal));
            QVERIFY(request.refusal.contains(tree.host(QLatin1String(r.relative))));
            QVERIFY(request.windowsPath.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(test_OpenRequest)
#include "test_OpenRequest.moc"
