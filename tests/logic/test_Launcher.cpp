#include "platform/Launcher.h"
#include "support/TestTree.h"

#include <QFile>
#include <QTest>

class test_Launcher : public QObject
{
    Q_OBJECT
private slots:
    void nativeScriptsRunDirectlyAndWindowsProgramsThroughWine()
    {
        TestTree tree;
        tree.write(QStringLiteral("BW/runblack.exe"), "#!/bin/sh\nexit 0\n");
        QFile::setPermissions(tree.host(QStringLiteral("BW/runblack.exe")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(launcher::commandFor(QStringLiteral("C:\\BW\\\\runblack.exe")),
                 QStringList{tree.host(QStringLiteral("BW/runblack.exe"))});

        const EnvGuard wine("WINE", "/opt/wine/bin/wine");
        tree.write(QStringLiteral("BW/game.exe"), "not a header");
        tree.write(QStringLiteral("BW/tool.bin"), "MZ\x90\0");
        QCOMPARE(launcher::commandFor(QStringLiteral("C:\\BW\\game.exe")),
                 (QStringList{QStringLiteral("/opt/wine/bin/wine"), tree.host(QStringLiteral("BW/game.exe"))}));
        // The header tells a Windows program even under another name.
        QCOMPARE(launcher::commandFor(QStringLiteral("C:\\BW\\tool.bin")).value(0), QStringLiteral("/opt/wine/bin/wine"));
    }

    void refusalsSayWhy()
    {
        TestTree tree;
        QString error;
        QVERIFY(launcher::commandFor(QStringLiteral("C:\\nowhere\\runblack.exe"), &error).isEmpty());
        QVERIFY(error.contains(QLatin1String("does not exist")));
        tree.write(QStringLiteral("plain.sh"), "#!/bin/sh\n");
        QVERIFY(launcher::commandFor(QStringLiteral("C:\\plain.sh"), &error).isEmpty());
        QVERIFY(error.contains(QLatin1String("not executable")));
        tree.mkdir(QStringLiteral("folder"));
        for (const QString &path : {QStringLiteral("C:\\folder"), QString()})
            QVERIFY(!launcher::start(path).isEmpty());
    }
};

QTEST_GUILESS_MAIN(test_Launcher)
#include "test_Launcher.moc"
