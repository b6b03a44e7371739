#include "platform/Launcher.h"
#include "setup/PrefixSetup.h"
#include "support/EnvGuard.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Everything here runs the real thing: Debian's wine on a prefix that wineboot made, Windows
// programs that MinGW built, and the veldrin program itself for --setup.
class test_RealWine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_prefix;
    QString m_wine;
    EnvGuard m_env;

    QString driveC(const QString &relative) const { return m_prefix + QLatin1String("/drive_c/") + relative; }

    static void copyInto(const QString &from, const QString &to)
    {
        QVERIFY2(QFileInfo(from).isFile(), qPrintable(from + QLatin1String(" was not built (is MinGW installed?)")));
        QDir().mkpath(QFileInfo(to).absolutePath());
        QFile::remove(to);
        QVERIFY(QFile::copy(from, to));
    }

    // Starts a program the way the desk does and collects what the player would be told.
    static QStringList startAndWatch(const QString &windowsPath)
    {
        QStringList messages;
        const QString refused = launcher::start(windowsPath, [&messages](const QString &m) { messages << m; });
        if (!refused.isEmpty())
            messages << refused;
        QElapsedTimer waited;
        waited.start();
        while (launcher::watchesRunning() > 0 && waited.elapsed() < 120000)
            QTest::qWait(50);
        for (const QString &m : messages)
            qInfo("message: %s", qPrintable(m));
        return messages;
    }

    // A fingerprint of a folder tree: names, sizes and modification times.
    static QStringList snapshot(const QString &folder)
    {
        QStringList lines;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            lines << QStringLiteral("%1 %2 %3").arg(info.filePath()).arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
        }
        lines.sort();
        return lines;
    }

    struct Run
    {
        int code;
        QString output;
    };
    Run setup(const QStringList &arguments, const QString &dataHome)
    {
        QProcess veldrin;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        // --setup notes where it set Veldrin up; that note belongs to the test, not to whoever runs it.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dataHome + QStringLiteral("/config"));
        env.remove(QStringLiteral("WINEPREFIX"));
        veldrin.setProcessEnvironment(env);
        veldrin.setProcessChannelMode(QProcess::MergedChannels);
        veldrin.start(QStringLiteral(VELDRIN_PROGRAM), QStringList{QStringLiteral("--setup")} + arguments);
        if (!veldrin.waitForFinished(120000))
            return {-1, QStringLiteral("veldrin --setup did not finish")};
        return {veldrin.exitCode(), QString::fromLocal8Bit(veldrin.readAll())};
    }

private slots:
    void initTestCase()
    {
        m_wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        const QString wineboot = QStandardPaths::findExecutable(QStringLiteral("wineboot"));
        if (m_wine.isEmpty() || wineboot.isEmpty())
            QSKIP("wine is not installed");
        m_prefix = m_root.path() + QStringLiteral("/prefix");
        m_env.set("WINEPREFIX", m_prefix.toLocal8Bit());
        m_env.set("WINEDEBUG", "-all");
        // No Mono or Gecko: their install prompts would wait for a player who is not there.
        m_env.set("WINEDLLOVERRIDES", "mscoree,mshtml=");
        m_env.unset("WINE");
        QProcess boot;
        boot.setProcessChannelMode(QProcess::MergedChannels);
        boot.start(wineboot, {QStringLiteral("-i")});
        QVERIFY(boot.waitForFinished(240000));
        QVERIFY2(QFileInfo(m_prefix + QStringLiteral("/dosdevices/c:")).isDir(), boot.readAll().constData());
    }

    void cleanupTestCase()
    {
        if (m_prefix.isEmpty())
            return;
        QProcess::execute(QStandardPaths::findExecutable(QStringLiteral("wineserver")), {QStringLiteral("-k")});
    }

    void aProgramStartsMinimisedInItsOwnFolder()
    {
        copyInto(QStringLiteral(SHOWSTATE64), driveC(QStringLiteral("Games/Black & White/showstate.exe")));
        QCOMPARE(startAndWatch(QStringLiteral("C:\\Games\\Black & White\\\\showstate.exe")), QStringList());
        QFile log(driveC(QStringLiteral("Games/Black & White/showstate.log")));
        QTRY_VERIFY_WITH_TIMEOUT(log.exists(), 30000);
        QVERIFY(log.open(QIODevice::ReadOnly));
        // SW_SHOWMINIMIZED is 2: minimised with the focus.
        QCOMPARE(log.readAll(), QByteArray("show=2 cwd=C:\\Games\\Black & White args=0\r\n"));
    }

    void aProgramWineCannotRunGetsOneMessageWithItsReason()
    {
        QFile damaged(driveC(QStringLiteral("Broken/runblack.exe")));
        QDir().mkpath(QFileInfo(damaged).absolutePath());
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        QFile good(QStringLiteral(SHOWSTATE64));
        QVERIFY(good.open(QIODevice::ReadOnly));
        damaged.write(good.read(1024)); // headers that promise sections the file no longer has
        damaged.close();
        QStringList messages = startAndWatch(QStringLiteral("C:\\Broken\\\\runblack.exe"));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.at(0).contains(QLatin1String("C:\\Broken\\runblack.exe (") + damaged.fileName() + QLatin1Char(')'))
                     && messages.at(0).contains(QLatin1String("may be damaged")),
                 qPrintable(messages.at(0)));
    }

    // The game is a 32-bit program. Whether this machine's wine runs one is asked of wine
    // itself, directly; Veldrin must then start it, or refuse it at once with one message
    // naming wine32 and start nothing.
    void the32BitGameRunsOrIsRefusedWithWhatToInstall()
    {
        if (QString(QStringLiteral(SHOWSTATE32)).isEmpty())
            QSKIP("no 32-bit MinGW compiler to build the 32-bit test program");
        copyInto(QStringLiteral(SHOWSTATE32), driveC(QStringLiteral("Probe/probe32.exe")));
        QProcess direct;
        direct.setProcessChannelMode(QProcess::MergedChannels);
        direct.start(m_wine, {QStringLiteral("start"), QStringLiteral("/wait"), QStringLiteral("/unix"),
                              driveC(QStringLiteral("Probe/probe32.exe"))});
        QVERIFY(direct.waitForFinished(120000));
        const bool wineRuns32 = QFileInfo::exists(driveC(QStringLiteral("Probe/showstate.log")));
        qInfo("wine itself %s the 32-bit program", wineRuns32 ? "runs" : "does not run");
        // The pass that has just installed wine32 must see it run, not the refusal.
        if (qEnvironmentVariableIsSet("VELDRIN_EXPECT_WINE32"))
            QVERIFY2(wineRuns32, direct.readAll().constData());

        copyInto(QStringLiteral(SHOWSTATE32), driveC(QStringLiteral("Old/game32.exe")));
        QDir().mkpath(driveC(QStringLiteral("Logs")));
        QStringList messages;
        const QString refused = launcher::start(QStringLiteral("C:\\Old\\game32.exe"),
                                                [&messages](const QString &m) { messages << m; },
                                                QStringLiteral("C:\\Logs\\wine.log"));
        QFile log(driveC(QStringLiteral("Old/showstate.log")));
        if (wineRuns32) {
            QVERIFY2(refused.isEmpty(), qPrintable(refused));
            QTRY_VERIFY_WITH_TIMEOUT(launcher::watchesRunning() == 0, 120000);
            QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1Char('\n'))));
            QVERIFY(log.open(QIODevice::ReadOnly));
            QCOMPARE(log.readAll(), QByteArray("show=2 cwd=C:\\Old args=0\r\n"));
            QVERIFY(!QFileInfo::exists(driveC(QStringLiteral("Logs/wine.log"))));
            return;
        }
        // Refused there and then: nothing running, nothing told later.
        QCOMPARE(launcher::watchesRunning(), 0);
        QVERIFY(messages.isEmpty());
        QVERIFY2(refused.contains(QLatin1String("C:\\Old\\game32.exe")) && refused.contains(QLatin1String("32-bit"))
                     && refused.contains(QLatin1String("wine32")),
                 qPrintable(refused));
        qInfo("message: %s", qPrintable(refused));
        QVERIFY(!log.exists());
    }

    void setupThroughALinkedPrefixFindsTheGameAndAddsOnlyOnce()
    {
        copyInto(QStringLiteral(SHOWSTATE64),
                 driveC(QStringLiteral("Program Files (x86)/Lionhead Studios Ltd/Black & White/RunBlack.EXE")));
        copyInto(QStringLiteral(SHOWSTATE64), driveC(QStringLiteral("Copies/a/b/c/runblack.exe")));
        const QString link = m_root.path() + QStringLiteral("/my-prefix");
        QVERIFY(QFile::link(m_prefix, link));
        const QString dataHome = m_root.path() + QStringLiteral("/data");

        const Run first = setup({QStringLiteral("--prefix"), link + QLatin1Char('/')}, dataHome);
        QVERIFY2(first.code == 0, qPrintable(first.output));
        qInfo("%s", qPrintable(first.output));
        QVERIFY2(first.output.contains(QLatin1String("C:\\Copies\\a\\b\\c\\runblack.exe")), qPrintable(first.output));
        for (const char *folder : {"tattoos", "Landscape", "Skin", "brx", "history"})
            QVERIFY(QFileInfo(driveC(QStringLiteral("Veldrin/Backup/")) + QLatin1String(folder)).isDir());
        QFile options(driveC(QStringLiteral("Veldrin/options.txt")));
        QVERIFY(options.open(QIODevice::ReadOnly));
        QCOMPARE(options.readAll(),
                 QByteArray("C:\\Program Files (x86)\\Lionhead Studios Ltd\\Black & White\\\r\nC:\\Veldrin\\\r\n\r\n\r\n\r\n\r\n\r\n"));
        const QString entry = dataHome + QStringLiteral("/applications/") + prefixsetup::desktopFileName();
        QFile desktop(entry);
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        const QByteArray text = desktop.readAll();
        QVERIFY2(text.contains("\nPath=" + QFileInfo(driveC(QStringLiteral("Veldrin"))).canonicalFilePath().toUtf8() + '\n'),
                 text.constData());
        QVERIFY(text.contains("\nExec=env WINEPREFIX=" + link.toUtf8() + " " VELDRIN_PROGRAM " %F\n"));
        const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (!validate.isEmpty()) {
            QProcess check;
            check.setProcessChannelMode(QProcess::MergedChannels);
            check.start(validate, {entry});
            QVERIFY(check.waitForFinished(30000));
            QVERIFY2(check.exitCode() == 0, check.readAll().constData());
        }

        // The help program opens the pages that came with Veldrin.
        QVERIFY(QFileInfo(driveC(QStringLiteral("Veldrin/Help/Help.exe"))).isExecutable());
        QVERIFY(QFileInfo(driveC(QStringLiteral("Veldrin/Help/pages/manager/help.htm"))).isFile());
        launcher::Command help;
        qputenv("WINEPREFIX", link.toLocal8Bit());
        QVERIFY(launcher::commandFor(QStringLiteral("C:\\Veldrin\\\\Help\\Help.exe"), &help));
        QVERIFY(!help.viaWine);

        // Again, through the plain path: nothing changes, and it says what it left alone.
        const QStringList before = snapshot(driveC(QStringLiteral("Veldrin"))) + snapshot(dataHome);
        const Run second = setup({QStringLiteral("--prefix"), m_prefix}, dataHome);
        QVERIFY2(second.code == 0 && second.output.contains(QLatin1String("Nothing to do")), qPrintable(second.output));
        QVERIFY(second.output.contains(QLatin1String("Left alone (already there): options file C:\\Veldrin\\options.txt")));
        QCOMPARE(snapshot(driveC(QStringLiteral("Veldrin"))) + snapshot(dataHome), before);
        qputenv("WINEPREFIX", m_prefix.toLocal8Bit());
    }
};

QTEST_GUILESS_MAIN(test_RealWine)
#include "test_RealWine.moc"
