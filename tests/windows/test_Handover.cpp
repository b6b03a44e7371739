// One Veldrin per program folder: a second start hands its files to the running one, or with
// none brings it forward. The socket talk in-process, then the real program started twice.
// Also the real program's start-up putting back an install killed the time before.
#include "install/InstallTransaction.h"
#include "setup/SetupRecord.h"
#include "shell/SingleInstance.h"
#include "support/TestTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The handing side blocks, as a starting program may; it runs beside the event loop that the
// receiving side needs.
bool handOverFromThread(const QString &name, const QStringList &paths, int timeoutMs = 3000)
{
    std::atomic<bool> took{false};
    QThread *thread = QThread::create([&] { took = singleinstance::handOver(name, paths, timeoutMs); });
    thread->start();
    while (!thread->wait(10))
        QCoreApplication::processEvents();
    delete thread;
    return took;
}

QString uniqueName(const char *what)
{
    return QStringLiteral("veldrin-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(QLatin1String(what));
}

} // namespace

class test_Handover : public QObject
{
    Q_OBJECT
private slots:
    void namesFollowTheProgramFolderAndCanBeSwitchedOff()
    {
        TestTree a, b;
        const QString nameA = singleinstance::serverName(a.driveC());
        QVERIFY(!nameA.isEmpty());
        QCOMPARE(singleinstance::serverName(a.driveC() + QStringLiteral("/")), nameA);
        QVERIFY(singleinstance::serverName(b.driveC()) != nameA);
        qputenv("VELDRIN_SINGLE_INSTANCE", "0");
        QVERIFY(singleinstance::serverName(a.driveC()).isEmpty());
        qunsetenv("VELDRIN_SINGLE_INSTANCE");
    }

    void filesReachTheRunningProgramWhateverTheirNames()
    {
        const QString name = uniqueName("names");
        singleinstance::Receiver receiver;
        QVERIFY(receiver.listen(name));
        // Only this user may hand files over.
        const QFileInfo socketFile(QDir::tempPath() + QLatin1Char('/') + name);
        QVERIFY(socketFile.exists());
        QCOMPARE(socketFile.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
                 QFile::Permissions());
        QSignalSpy received(&receiver, &singleinstance::Receiver::filesReceived);
        const QStringList paths = {QStringLiteral("/home/p/Black & White/island.txt"),
                                   QStringLiteral("/tmp/two\nlines.brx"), QStringLiteral("/tmp/\u00e9t\u00e9.lnd")};
        QVERIFY(handOverFromThread(name, paths));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toStringList(), paths);
        // A second one listening on the same name is refused while the first is alive.
        singleinstance::Receiver second;
        QVERIFY(!second.listen(name));
    }

    void nobodyListeningMeansStartingNormally()
    {
        QVERIFY(!handOverFromThread(uniqueName("nobody"), {QStringLiteral("/tmp/a.brx")}, 500));
        QVERIFY(!singleinstance::handOver(QString(), {QStringLiteral("/tmp/a.brx")}));
        // A socket left behind by a program that crashed (bound, never removed, nobody
        // listening) is taken over.
        const QString name = uniqueName("stale");
        const QByteArray path = QFile::encodeName(QDir::tempPath() + QLatin1Char('/') + name);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(path.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        ::close(fd);
        QVERIFY(QFileInfo::exists(QFile::decodeName(path)));
        singleinstance::Receiver next;
        QVERIFY(next.listen(name));
        QSignalSpy received(&next, &singleinstance::Receiver::filesReceived);
        QVERIFY(handOverFromThread(name, {QStringLiteral("/tmp/a.brx")}));
        QCOMPARE(received.size(), 1);
    }

    void aSecondStartHandsItsFileToTheFirst()
    {
        TestTree tree;
        QProcess setup;
        setup.start(QStringLiteral(VELDRIN_PATH), {QStringLiteral("--sample-setup"), tree.prefix()});
        QVERIFY(setup.waitForFinished(60000) && setup.exitCode() == 0);
        tree.write(QStringLiteral("Downloads/island.txt"), "isle");

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("WINEPREFIX"), tree.prefix());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("VELDRIN_SPLASH_MS"), QStringLiteral("0"));
        env.remove(QStringLiteral("VELDRIN_SINGLE_INSTANCE"));
        QProcess first;
        first.setProcessEnvironment(env);
        first.setWorkingDirectory(tree.host(QStringLiteral("Veldrin")));
        first.start(QStringLiteral(VELDRIN_PATH), {});
        QVERIFY(first.waitForStarted());
        // The first start is listening once it answers an empty hand-over.
        const QString name = singleinstance::serverName(tree.host(QStringLiteral("Veldrin")));
        qputenv("WINEPREFIX", tree.prefix().toLocal8Bit());
        QTRY_VERIFY_WITH_TIMEOUT(handOverFromThread(name, {}, 500), 30000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(tree.host(QStringLiteral("Veldrin")));
        second.start(QStringLiteral(VELDRIN_PATH), {tree.host(QStringLiteral("Downloads/island.txt"))});
        // Handing over, it ends at once; starting its own windows it would keep running.
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        // Without a file, the same: the running one is asked to come forward, and that is all.
        QProcess bare;
        bare.setProcessEnvironment(env);
        bare.setWorkingDirectory(tree.host(QStringLiteral("Veldrin")));
        bare.start(QStringLiteral(VELDRIN_PATH), {});
        QVERIFY(bare.waitForFinished(15000));
        QCOMPARE(bare.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        // Switched off, a start runs on its own even beside a running Veldrin.
        env.insert(QStringLiteral("VELDRIN_SINGLE_INSTANCE"), QStringLiteral("0"));
        env.insert(QStringLiteral("VELDRIN_BENCH_EXIT"), QStringLiteral("1"));
        QProcess alone;
        alone.setProcessEnvironment(env);
        alone.setWorkingDirectory(tree.host(QStringLiteral("Veldrin")));
        alone.start(QStringLiteral(VELDRIN_PATH), {tree.host(QStringLiteral("Downloads/island.txt"))});
        QVERIFY(alone.waitForFinished(30000));
        QVERIFY(alone.readAllStandardOutput().contains("ready"));

        first.terminate();
        if (!first.waitForFinished(10000))
            first.kill();
        first.waitForFinished();
    }

    // The system menu entry starts Veldrin wherever the desktop likes; the folder --setup
    // noted has the options file, so no first-run message stops the start there.
    void aStartWithoutOptionsGoesToTheSetUpFolder()
    {
        TestTree tree;
        QProcess setup;
        setup.start(QStringLiteral(VELDRIN_PATH), {QStringLiteral("--sample-setup"), tree.prefix()});
        QVERIFY(setup.waitForFinished(60000) && setup.exitCode() == 0);
        QTemporaryDir config, elsewhere;
        QString error;
        QVERIFY2(setuprecord::write(config.path() + QStringLiteral("/Veldrin"), {tree.prefix(), tree.host(QStringLiteral("Veldrin"))},
                                    &error),
                 qPrintable(error));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("WINEPREFIX"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("VELDRIN_SPLASH_MS"), QStringLiteral("0"));
        env.insert(QStringLiteral("VELDRIN_SINGLE_INSTANCE"), QStringLiteral("0"));
        env.insert(QStringLiteral("VELDRIN_BENCH_EXIT"), QStringLiteral("1"));
        QProcess start;
        start.setProcessEnvironment(env);
        start.setWorkingDirectory(elsewhere.path());
        start.start(QStringLiteral(VELDRIN_PATH), {});
        const bool finished = start.waitForFinished(30000);
        if (!finished) { // waiting on the first-run message
            start.kill();
            start.waitForFinished();
        }
        QVERIFY(finished);
        QVERIFY(start.readAllStandardOutput().contains("ready"));
    }

    // The check waits for the frame to be drawn; it must still come, and put the game back,
    // without anything else asking for it.
    void aStartPutsBackAnInstallKilledBefore()
    {
        TestTree tree;
        tree.makeGameWithHistory();
        tree.write(QStringLiteral("Veldrin/options.txt"), "C:\\Games\\Black & White\\\r\nC:\\Veldrin\\\r\n\r\n\r\n\r\n\r\n\r\n");
        const QString map = QStringLiteral("Games/Black & White/Scripts/Playgrounds/a.txt");
        QVERIFY(install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), TestTree::gameFolder(),
                                     TestTree::programFolder(), TestTree::win(map), "half an island"));
        {
            // As a kill leaves it: the file written, the record still open.
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("kill"));
            db.setDatabaseName(tree.host(QStringLiteral("Veldrin/Backup/history/journal.sqlite")));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("UPDATE operations SET state = 'open'")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("kill"));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("WINEPREFIX"), tree.prefix());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("VELDRIN_SPLASH_MS"), QStringLiteral("0"));
        env.insert(QStringLiteral("VELDRIN_SINGLE_INSTANCE"), QStringLiteral("0"));
        QProcess start;
        start.setProcessEnvironment(env);
        start.setWorkingDirectory(tree.host(QStringLiteral("Veldrin")));
        start.start(QStringLiteral(VELDRIN_PATH), {});
        QVERIFY(start.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(tree.read(map), QByteArray("the game's own map\r\n"), 30000);
        QCOMPARE(start.state(), QProcess::Running);
        start.kill();
        start.waitForFinished();
    }
};

QTEST_MAIN(test_Handover)
#include "test_Handover.moc"
