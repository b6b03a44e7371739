#include "platform/Launcher.h"
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
        QCOMPARE(command.arguments, (QStringList{QStringLiteral("start"), QStringLiteral("/min"), QStringLiteral("/unix"),
                                                tree.host(QStringLiteral("BW/tool.bin"))}));
        QCOMPARE(command.workingDirectory, tree.host(QStringLiteral("BW")));
    }

    void refusalsNameTheProgramAndTheReason()
    {
        TestTree tree;
        QString error;
        QVERIFY(!launcher::commandFor(QStringLiteral("C:\\nowhere\\runblack.exe"), nullptr, &error));
        QVERIFY(error.contains(QLatin1String("does not exist")));
        tree.write(QStringLiteral("plain.sh"), "#!/bin/sh\n");
        QVERIFY(!launcher::commandFor(QStringLiteral("C:\\plain.sh"), nullptr, &error));
        QVERIFY(error.contains(QLatin1String("not executable")));

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
    }
};

QTEST_GUILESS_MAIN(test_Launcher)
#include "test_Launcher.moc"
