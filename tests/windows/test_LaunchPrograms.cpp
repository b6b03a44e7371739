#include "platform/FileIO.h"
#include "shell/Desk.h"
#include "shell/OptionsFile.h"
#include "shell/SampleSetup.h"
#include "shell/frmMDI.h"
#include "shell/frmOptions.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMenuBar>
#include <QSet>
#include <QTabWidget>
#include <QTest>

// Launching runs against the sample setup, whose stand-in programs note every start.
class test_LaunchPrograms : public QObject
{
    Q_OBJECT

    struct Rig
    {
        TestTree tree;
        ScriptedPrompts prompts;
        Modual1 state;
        Desk desk{state, prompts};
    };
    std::unique_ptr<Rig> m;

    int starts(const QString &log) const { return int(m->tree.read(log).count('\n')); }

private slots:
    void init()
    {
        m = std::make_unique<Rig>();
        const sample::SetupResult made = sample::createSampleSetup(m->tree.prefix());
        QVERIFY2(made.ok(), qPrintable(made.errors.join(QLatin1Char('\n'))));
        QDir::setCurrent(m->tree.host(QStringLiteral("Veldrin")));
        QVERIFY(optionsfile::LoadSettings(m->state.settings));
    }

    void cleanup()
    {
        m.reset();
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }

    void sampleTreeIsComplete()
    {
        QCOMPARE(m->state.settings.GameFolder, TestTree::gameFolder());
        QCOMPARE(m->state.settings.ProgramFolder, TestTree::programFolder());
        for (const char *folder : {"Veldrin/Backup/tattoos", "Veldrin/Backup/Landscape", "Veldrin/Backup/Skin", "Veldrin/Backup/brx"})
            QVERIFY2(QFileInfo(m->tree.host(QLatin1String(folder))).isDir(), folder);
        QSet<QByteArray> pictures;
        for (int slot = 1; slot <= 16; ++slot) {
            const QByteArray bmp = m->tree.read(QStringLiteral("Games/Black & White/Profiles/Arden/symbol%1.bmp").arg(slot));
            QCOMPARE(QImage::fromData(bmp, "BMP").size(), QSize(32, 32));
            pictures.insert(bmp);
        }
        QCOMPARE(pictures.size(), 16);
        // Rows of three pixels are padded from nine bytes to twelve, bottom row first.
        const QImage odd = QImage::fromData(sample::bmp24(3, 2, {0xFF0000, 0, 0, 0, 0, 0x070809}), "BMP");
        QVERIFY(odd.pixel(0, 0) == 0xFFFF0000u && odd.pixel(2, 1) == 0xFF070809u);
        QVERIFY(!fileio::isText(m->tree.read(QStringLiteral("Games/Black & White/Data/Landscape/Land1.lnd"))));
        QVERIFY(fileio::isText(m->tree.read(QStringLiteral("Games/Black & White/Data/Landscape/Marsh.lnd"))));
        QVERIFY(!fileio::isText(m->tree.read(QStringLiteral("Veldrin/Samples/Tiger.l3d"))));

        const QByteArray pack = m->tree.read(QStringLiteral("Veldrin/Samples/island-pack.brx"));
        QVERIFY(pack.startsWith("###Begin_BRX###\r\n###Install###C:\\Games\\Black & White\\Scripts\\Playgrounds\\island.txt"
                                "###/Install###\r\n###Title###island.txt###/Title###\r\n// Dawn Island"));
        QVERIFY(pack.endsWith("\r\n###End_BRX###\r\n\r\n"));
        QCOMPARE(pack.count("###Install###C:\\Games\\Black & White\\Scripts\\Playgrounds\\"), 2);
        QCOMPARE(pack.count('\n'), pack.count("\r\n"));

        // A rerun replaces nothing the user changed and restores what went missing.
        m->tree.write(QStringLiteral("Veldrin/options.txt"), "mine\r\n");
        QFile::remove(m->tree.host(QStringLiteral("Veldrin/Samples/Wolf.l3d")));
        const sample::SetupResult again = sample::createSampleSetup(m->tree.prefix());
        QCOMPARE(again.created, QStringList({m->tree.host(QStringLiteral("Veldrin/Samples/Wolf.l3d"))}));
        QCOMPARE(m->tree.read(QStringLiteral("Veldrin/options.txt")), QByteArray("mine\r\n"));
    }

    void everyStartIsARealStart()
    {
        m->desk.LaunchGame();
        m->desk.LaunchGame();
        m->desk.mdi()->frameMenuBar()->findChild<QAction *>(QStringLiteral("mnuContents"))->trigger();
        m->desk.LaunchSteadwright();
        QTRY_COMPARE_WITH_TIMEOUT(starts(sample::gameStartLog()), 2, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(starts(QStringLiteral("Veldrin/Help/help-starts.log")), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(starts(QStringLiteral("Veldrin/Steadwright/steadwright-starts.log")), 1, 10000);
        QVERIFY(m->prompts.shown.isEmpty());
    }

    void aRefusedStartNamesThePathAndWhy()
    {
        m->state.settings.GameFolder = QStringLiteral("C:\\Nowhere\\");
        m->desk.LaunchGame();
        m->tree.write(QStringLiteral("Veldrin/Editors/plain.txt"), "not a program");
        m->desk.LaunchEditor(QStringLiteral("C:\\Veldrin\\Editors\\plain.txt"));
        const QStringList messages = m->prompts.messages();
        QCOMPARE(messages.size(), 2);
        QVERIFY2(messages.at(0).contains(QLatin1String("C:\\Nowhere\\\\runblack.exe"))
                     && messages.at(0).contains(QLatin1String("does not exist")),
                 qPrintable(messages.at(0)));
        QVERIFY2(messages.at(1).contains(QLatin1String("plain.txt")) && messages.at(1).contains(QLatin1String("not executable")),
                 qPrintable(messages.at(1)));
    }

    void onlyAnEmptyEditorPathOpensTheOptions()
    {
        // Start-up leaves the landscape editor empty even though the file names one.
        QVERIFY(m->state.settings.LandscapeEditorPath.isEmpty());
        m->desk.LaunchEditor(m->state.settings.LandscapeEditorPath);
        frmOptions *options = m->desk.options();
        QVERIFY(options && options->isVisible() && !options->isModal());
        QCOMPARE(options->findChild<QTabWidget *>(QStringLiteral("SSTab1"))->currentIndex(), 0);
        // Loading the dialog filled the record, so the same button now starts the editor.
        options->close();
        QTRY_VERIFY(!m->desk.options());
        m->desk.LaunchEditor(m->state.settings.LandscapeEditorPath);
        QTRY_COMPARE_WITH_TIMEOUT(starts(QStringLiteral("Veldrin/Editors/editor-starts.log")), 1, 10000);

        m->desk.LaunchEditor(QStringLiteral("C:\\Veldrin\\Editors\\Gone.exe"));
        QVERIFY(!m->desk.options());
        QCOMPARE(m->prompts.messages().size(), 1);
        QVERIFY(m->prompts.messages().constFirst().contains(QLatin1String("C:\\Veldrin\\Editors\\Gone.exe")));
    }
};

QTEST_MAIN(test_LaunchPrograms)
#include "test_LaunchPrograms.moc"
