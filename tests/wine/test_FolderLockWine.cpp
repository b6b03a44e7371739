#include "support/EnvGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The folder lock's Windows side (LockFileEx), built by MinGW into lockprobe.exe and run as two
// processes under 64-bit Wine: the second finds the lock held, then gets it once the first
// lets go.
class test_FolderLockWine : public QObject
{
    Q_OBJECT

private slots:
    void theSecondProcessWaitsForTheFirst()
    {
        const QString probe = QStringLiteral(LOCKPROBE);
        if (probe.isEmpty())
            QSKIP("x86_64-w64-mingw32-g++ is not installed");
        const QString wine64 = QStandardPaths::findExecutable(QStringLiteral("wine64")).isEmpty()
            ? QStandardPaths::findExecutable(QStringLiteral("wine64"), {QStringLiteral("/usr/lib/wine")})
            : QStandardPaths::findExecutable(QStringLiteral("wine64"));
        const QString wineboot = QStandardPaths::findExecutable(QStringLiteral("wineboot"));
        if (wine64.isEmpty() || wineboot.isEmpty())
            QSKIP("64-bit wine is not installed");

        QTemporaryDir root;
        QVERIFY(root.isValid());
        EnvGuard env;
        env.set("WINEPREFIX", (root.path() + QStringLiteral("/prefix")).toLocal8Bit());
        env.set("WINEDEBUG", "-all");
        env.set("WINEDLLOVERRIDES", "mscoree,mshtml="); // no install prompts for Mono or Gecko
        env.unset("WINE");
        QProcess boot;
        boot.setProcessChannelMode(QProcess::MergedChannels);
        boot.start(wineboot, {QStringLiteral("-i")});
        QVERIFY(boot.waitForFinished(240000));
        const QString folder = root.path() + QStringLiteral("/prefix/drive_c/history");
        QVERIFY(QDir().mkpath(folder));

        QProcess first, second;
        for (QProcess *p : {&first, &second})
            p->setProcessChannelMode(QProcess::MergedChannels);
        first.start(wine64, {probe, QStringLiteral("hold"), QStringLiteral("C:\\history")});
        second.start(wine64, {probe, QStringLiteral("second"), QStringLiteral("C:\\history")});
        QVERIFY(first.waitForFinished(180000) && second.waitForFinished(180000));
        const QByteArray said = first.readAll() + second.readAll();
        QVERIFY2(first.exitStatus() == QProcess::NormalExit && first.exitCode() == 0, said.constData());
        QVERIFY2(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0, said.constData());
        // Every step was taken, in order: the markers are the processes' own account of it.
        for (const char *step : {"held", "seen-busy", "letting-go"})
            QVERIFY2(QFileInfo::exists(folder + QLatin1Char('/') + QLatin1String(step)), step);

        QProcess::execute(QStandardPaths::findExecutable(QStringLiteral("wineserver")), {QStringLiteral("-k")});
    }
};

QTEST_GUILESS_MAIN(test_FolderLockWine)
#include "test_FolderLockWine.moc"
