#include "platform/Launcher.h"
#include "platform/WineKinds.h"
#include "support/TestTree.h"

#include <QFile>
#include <QTest>
#include <QtEndian>

namespace {

// A minimal PE header: DOS stub pointing at "PE", a file header with no sections, and the
// optional header's magic (0x10b for 32-bit, 0x20b for 64-bit).
QByteArray peHeader(quint16 magic, int optionalSize = 240, quint32 sectionSize = 0)
{
    QByteArray bytes(64, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    qToLittleEndian<quint32>(64, bytes.data() + 0x3C);
    QByteArray pe("PE\0\0", 4);
    pe.append(QByteArray(20, '\0'));
    qToLittleEndian<quint16>(magic == 0x10b ? 0x14c : 0x8664, pe.data() + 4);
    qToLittleEndian<quint16>(quint16(optionalSize), pe.data() + 4 + 16);
    QByteArray optional(optionalSize, '\0');
    qToLittleEndian<quint16>(magic, optional.data());
    QByteArray table;
    if (sectionSize) {
        qToLittleEndian<quint16>(1, pe.data() + 4 + 2);
        table = QByteArray(40, '\0');
        qToLittleEndian<quint32>(sectionSize, table.data() + 16);
        qToLittleEndian<quint32>(64 + 24 + optionalSize + 40, table.data() + 20);
    }
    const QByteArray whole = bytes + pe + optional + table;
    return whole + QByteArray(sectionSize ? 512 : 0, '\0');
}

// A file that starts like a Linux program of the given class (1: 32-bit, 2: 64-bit).
QByteArray elf(char elfClass) { return QByteArray("\x7f" "ELF") + elfClass + QByteArray(60, '\0'); }

// A script standing in for wine: it records that it ran, says what it is given and ends.
void writeScript(const TestTree &tree, const QString &relative, const QByteArray &body)
{
    tree.write(relative, "#!/bin/sh\n" + body);
    QFile::setPermissions(tree.host(relative), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class test_Launcher : public QObject
{
    Q_OBJECT
    EnvGuard m_env;
private slots:
    void init() { m_env.unset("WINE"); }
    void cleanup() { m_env.restore(); }

    void nativeScriptsRunDirectlyAndWindowsProgramsThroughWineStart()
    {
        TestTree tree;
        tree.write(QStringLiteral("BW/runblack.exe"), "#!/bin/sh\nexit 0\n");
        QFile::setPermissions(tree.host(QStringLiteral("BW/runblack.exe")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        launcher::Command command;
        QVERIFY(launcher::commandFor(QStringLiteral("C:\\BW\\\\runblack.exe"), &command));
        QCOMPARE(command.program, tree.host(QStringLiteral("BW/runblack.exe")));
        QVERIFY(command.arguments.isEmpty() && !command.viaWine);

        const EnvGuard wine("WINE", "/bin/true");
        tree.write(QStringLiteral("BW/tool.bin"), "MZ\x90\0");
        // The header tells a Windows program even under another name; it starts minimised
        // with the focus, in its own folder.
        QVERIFY(launcher::commandFor(QStringLiteral("C:\\BW\\tool.bin"), &command));
        QCOMPARE(command.program, QStringLiteral("/bin/true"));
        QCOMPARE(command.arguments, (QStringList{QStringLiteral("start"), QStringLiteral("/min"), QStringLiteral("/wait"),
                                                QStringLiteral("/unix"),
                                                tree.host(QStringLiteral("BW/tool.bin"))}));
        QCOMPARE(command.workingDirectory, tree.host(QStringLiteral("BW")));
    }

    void refusalsNameTheProgramAndTheReason()
    {
        TestTree tree;
        // A wrong WINE is the setting's fault, and the message says so.
        tree.write(QStringLiteral("BW/game.exe"), "MZ");
        EnvGuard env("WINE", "/opt/no-such-wine/bin/wine");
        const QString message = launcher::start(QStringLiteral("C:\\BW\\\\game.exe"));
        QVERIFY2(message.contains(QLatin1String("WINE variable names \"/opt/no-such-wine/bin/wine\"")), qPrintable(message));
        QVERIFY(message.contains(QLatin1String("C:\\BW\\game.exe (") + tree.host(QStringLiteral("BW/game.exe")) + QLatin1Char(')')));

        // No wine anywhere: the message says what to install.
        env.unset("WINE");
        env.set("PATH", tree.prefix().toLocal8Bit());
        const QString noWine = launcher::start(QStringLiteral("C:\\BW\\game.exe"));
        env.restore();
        QVERIFY2(noWine.contains(QLatin1String("install the package wine")), qPrintable(noWine));

        // One that cannot even be started is reported once, later, without blocking.
        tree.write(QStringLiteral("bin/wine"), "neither a script nor a program");
        QFile::setPermissions(tree.host(QStringLiteral("bin/wine")), QFile::ReadOwner | QFile::ExeOwner);
        env.set("WINE", tree.host(QStringLiteral("bin/wine")).toLocal8Bit());
        QStringList later;
        QVERIFY(launcher::start(QStringLiteral("C:\\BW\\game.exe"), [&later](const QString &m) { later << m; }).isEmpty());
        QTRY_COMPARE(launcher::watchesRunning(), 0);
        QCOMPARE(later.size(), 1);
        QVERIFY2(later.at(0).contains(QLatin1String("could not be started")), qPrintable(later.at(0)));

        tree.mkdir(QStringLiteral("folder"));
        for (const QString &path : {QStringLiteral("C:\\folder"), QString()})
            QVERIFY(!launcher::start(path).isEmpty());
        QCOMPARE(launcher::tidyWindowsPath(QStringLiteral("\\\\server\\\\share")), QStringLiteral("\\\\server\\share"));
    }

    void winesOutputIsReducedToItsReason()
    {
        const QByteArray output = "it looks like wine32 is missing, you should install it.\n"
                                  "multiarch needs to be enabled first.  as root, please\n"
                                  "execute \"dpkg --add-architecture i386 && apt-get update &&\n"
                                  "apt-get install wine32:i386\"\n"
                                  "0044:err:winediag:nodrv_CreateWindow Application tried to create a window\n"
                                  "0044:fixme:ver:GetCurrentPackageId stub\n"
                                  "\n"
                                  "Application could not be started, or no application associated with the specified file.\n"
                                  "ShellExecuteEx failed: File not found.\n";
        QCOMPARE(launcher::firstErrorLine(output),
                 QStringLiteral("Application could not be started, or no application associated with the specified file."));
        // With nothing else said, a debug error line is better than silence; fixme never is.
        QCOMPARE(launcher::firstErrorLine("0010:fixme:a:b c\r\n0010:err:module:load x.dll not found\r\n"),
                 QStringLiteral("0010:err:module:load x.dll not found"));
        QVERIFY(launcher::firstErrorLine("0010:fixme:a:b c\n").isEmpty());
    }

    void programHeadersTellBitnessAndDamage()
    {
        TestTree tree;
        const QList<QPair<QByteArray, int>> cases = {
            {peHeader(0x10b), 32},
            {peHeader(0x20b), 64},
            {peHeader(0x20b).left(100), 0}, // cut inside the headers
            {peHeader(0x20b, 240, 512), 64},
            {peHeader(0x20b, 240, 4096), 0}, // a section beyond the end
            {QByteArray("MZ") + QByteArray(200, '\x7f'), 0},
            {QByteArray("#!/bin/sh\n"), 0},
        };
        for (int i = 0; i < cases.size(); ++i) {
            const QString name = QStringLiteral("p%1.exe").arg(i);
            tree.write(name, cases.at(i).first);
            QCOMPARE(launcher::windowsProgramBits(tree.host(name)), cases.at(i).second);
        }
        QCOMPARE(launcher::windowsProgramBits(tree.host(QStringLiteral("missing.exe"))), 0);

        using winekinds::Machine;
        QCOMPARE(winekinds::programMachine(peHeader(0x10b)), Machine::X86);
        QCOMPARE(winekinds::programMachine(peHeader(0x20b)), Machine::X64);
        QByteArray arm = peHeader(0x20b);
        qToLittleEndian<quint16>(0xaa64, arm.data() + 64 + 4);
        QCOMPARE(winekinds::programMachine(arm), Machine::Other);
        QCOMPARE(winekinds::programMachine(peHeader(0x10b).left(64 + 5)), Machine::NotWindows);
        QByteArray far = peHeader(0x10b);
        qToLittleEndian<quint32>(0xfffffff0u, far.data() + 0x3C);
        QCOMPARE(winekinds::programMachine(far), Machine::NotWindows);
        QCOMPARE(winekinds::headBytes(far.left(64)), 64);
        QCOMPARE(winekinds::headBytes(peHeader(0x10b).left(64)), 64 + 6);
    }

    void wineKindsAreToldFromItsLoaders()
    {
        TestTree tree;
        const QString root = tree.prefix();
        // Debian: a script naming the 32-bit and the 64-bit loader; only wine64 is installed.
        tree.write(QStringLiteral("usr/lib/wine/wine64"), elf(2));
        writeScript(tree, QStringLiteral("usr/bin/wine-stable"),
                    "wine32=" + tree.host(QStringLiteral("usr/lib/wine/wine")).toLocal8Bit() + "\nwine64="
                        + tree.host(QStringLiteral("usr/lib/wine/wine64")).toLocal8Bit()
                        + "\nif test -x $wine32; then wine=$wine32; fi\nexec $wine \"$@\"\n");
        QVERIFY(QFile::link(tree.host(QStringLiteral("usr/bin/wine-stable")), tree.host(QStringLiteral("usr/bin/wine"))));
        winekinds::WineKinds kinds = winekinds::describe(tree.host(QStringLiteral("usr/bin/wine")));
        QVERIFY(kinds.known && kinds.runs64 && !kinds.runs32);
        // wine32 adds the 32-bit loader.
        tree.write(QStringLiteral("usr/lib/wine/wine"), elf(1));
        kinds = winekinds::describe(tree.host(QStringLiteral("usr/bin/wine")));
        QVERIFY(kinds.known && kinds.runs64 && kinds.runs32);
        // A Debian-style library folder with only some 32-bit files is not WoW64...
        tree.write(QStringLiteral("usr/lib/x86_64-linux-gnu/wine/x86_64-windows/ntdll.dll"), "MZ");
        tree.write(QStringLiteral("usr/lib/x86_64-linux-gnu/wine/i386-windows/zlib1.dll"), "MZ");
        QVERIFY(!winekinds::describe(tree.host(QStringLiteral("usr/lib/wine/wine64"))).runs32);
        // ...one with the 32-bit ntdll is.
        tree.write(QStringLiteral("usr/lib/x86_64-linux-gnu/wine/i386-windows/ntdll.dll"), "MZ");
        QVERIFY(winekinds::describe(tree.host(QStringLiteral("usr/lib/wine/wine64"))).runs32);

        // An upstream layout: a 32-bit wine with wine64 beside it runs both; alone, only 32-bit.
        tree.write(QStringLiteral("opt/bin/wine"), elf(1));
        kinds = winekinds::describe(tree.host(QStringLiteral("opt/bin/wine")));
        QVERIFY(kinds.known && kinds.runs32 && !kinds.runs64);
        tree.write(QStringLiteral("opt/bin/wine64"), elf(2));
        kinds = winekinds::describe(tree.host(QStringLiteral("opt/bin/wine")));
        QVERIFY(kinds.runs32 && kinds.runs64);

        // Someone's wrapper names no loader, and a missing wine tells nothing: left to try.
        writeScript(tree, QStringLiteral("wrap/wine"), "exec \"$WINE_REAL\" \"$@\"\n");
        QVERIFY(!winekinds::describe(tree.host(QStringLiteral("wrap/wine"))).known);
        QVERIFY(!winekinds::describe(root + QStringLiteral("/nowhere/wine")).known);

        winekinds::WineKinds only64{true, false, true};
        QVERIFY(winekinds::cannotRun(peHeader(0x10b), only64).contains(QLatin1String("apt install wine32")));
        QVERIFY(winekinds::cannotRun(peHeader(0x20b), only64).isEmpty());
        winekinds::WineKinds only32{true, true, false};
        QVERIFY(winekinds::cannotRun(peHeader(0x20b), only32).contains(QLatin1String("wine64")));
        QVERIFY(winekinds::cannotRun(peHeader(0x10b), only32).isEmpty());
        QVERIFY(winekinds::cannotRun(peHeader(0x10b), winekinds::WineKinds{}).isEmpty());
        QVERIFY(winekinds::cannotRun("MZ", only64).isEmpty());
    }

    void aKindThisWineCannotRunIsRefusedAtOnceAndNotStarted()
    {
        TestTree tree;
        tree.write(QStringLiteral("wine/wine64"), elf(2));
        writeScript(tree, QStringLiteral("wine/wine"),
                    "touch " + tree.host(QStringLiteral("ran")).toLocal8Bit() + "\nexec "
                        + tree.host(QStringLiteral("wine/wine64")).toLocal8Bit() + " \"$@\"\n");
        const EnvGuard wine("WINE", tree.host(QStringLiteral("wine/wine")).toLocal8Bit());
        tree.write(QStringLiteral("BW/runblack.exe"), peHeader(0x10b));
        tree.mkdir(QStringLiteral("Veldrin"));
        QStringList later;
        const QString message = launcher::start(QStringLiteral("C:\\BW\\runblack.exe"),
                                                [&later](const QString &m) { later << m; }, QStringLiteral("C:\\Veldrin\\wine.log"));
        QVERIFY2(message.startsWith(QLatin1String("Veldrin could not start C:\\BW\\runblack.exe (")), qPrintable(message));
        QVERIFY2(message.contains(QLatin1String("32-bit")) && message.contains(QLatin1String("wine32"))
                     && message.contains(QLatin1String("dpkg --add-architecture i386")),
                 qPrintable(message));
        QCOMPARE(launcher::watchesRunning(), 0);
        QVERIFY(later.isEmpty());
        QVERIFY(!tree.exists(QStringLiteral("ran")));
        QVERIFY(tree.read(QStringLiteral("Veldrin/wine.log")).contains("wine32"));
    }

    void theStartedProgramsFailureIsToldOnceWithinTheWatchAndLoggedAfter()
    {
        TestTree tree;
        tree.mkdir(QStringLiteral("Veldrin"));
        tree.write(QStringLiteral("BW/runblack.exe"), "MZ");
        const QString log = QStringLiteral("C:\\Veldrin\\wine.log");
        EnvGuard env;
        auto run = [&](const QByteArray &wineBody, int watchMs) {
            writeScript(tree, QStringLiteral("bin/wine"), wineBody);
            env.set("WINE", tree.host(QStringLiteral("bin/wine")).toLocal8Bit());
            QStringList messages;
            const QString refused = launcher::start(QStringLiteral("C:\\BW\\runblack.exe"),
                                                    [&messages](const QString &m) { messages << m; }, log, watchMs);
            if (!refused.isEmpty())
                messages << refused;
            [&] { QTRY_COMPARE_WITH_TIMEOUT(launcher::watchesRunning(), 0, 60000); }();
            return messages;
        };
        // wine ends with success although the program never loaded: the loader's words tell.
        QStringList messages = run("echo '0024:err:module:load_wow64_ntdll failed to load L\"ntdll.dll\" error c0000135' >&2\n"
                                   "exit 0\n", launcher::kWatchMs);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.at(0).contains(QLatin1String("wine said \"0024:err:module:load_wow64_ntdll")), qPrintable(messages.at(0)));
        QCOMPARE(tree.read(QStringLiteral("Veldrin/wine.log")).count("\r\n"), 1);

        // The program's own failure code comes through start /wait.
        messages = run("echo \"$@\" >&2\nexit 7\n", launcher::kWatchMs);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.at(0).contains(QLatin1String("wine said \"start /min /wait /unix ")), qPrintable(messages.at(0)));
        // Failing without a word, its code is all there is to tell.
        messages = run("exit 3\n", launcher::kWatchMs);
        QVERIFY2(messages.value(0).contains(QLatin1String("wine ended with code 3")), qPrintable(messages.join(QLatin1Char('\n'))));

        // A program that runs well and ends says nothing, and the log is left as it was.
        const QByteArray before = tree.read(QStringLiteral("Veldrin/wine.log"));
        QVERIFY(run("echo 0024:fixme:ver:GetCurrentPackageId stub\nexit 0\n", launcher::kWatchMs).isEmpty());
        QCOMPARE(tree.read(QStringLiteral("Veldrin/wine.log")), before);

        // A failure after the watch window goes to the log only.
        QVERIFY(run("sleep 1\necho 'wine: Unhandled page fault' >&2\nexit 5\n", 100).isEmpty());
        const QList<QByteArray> lines = tree.read(QStringLiteral("Veldrin/wine.log")).split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY2(lines.at(3).contains("wine said \"wine: Unhandled page fault\"") && lines.at(3).contains("after it had run for"),
                 lines.at(3).constData());
    }
};

QTEST_GUILESS_MAIN(test_Launcher)
#include "test_Launcher.moc"
