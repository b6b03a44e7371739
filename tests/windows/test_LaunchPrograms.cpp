#include "DeskFixture.h"
#include "common/OptionsFile.h"
#include "install/ArchivePlan.h"
#include "setup/SampleSetup.h"
#include "shell/frmOptions.h"

#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <QSet>
#include <QTabWidget>

// Launching runs against the sample setup, whose stand-in programs note every start.
class test_LaunchPrograms : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;
    int starts(const QString &log) const { return int(f->tree.read(log).count('\n')); }

private slots:
    void init()
    {
        f = std::make_unique<DeskFixture>();
        const sample::SetupResult made = sample::createSampleSetup(f->tree.prefix());
        QVERIFY2(made.ok(), qPrintable(made.errors.join(QLatin1Char('\n'))));
        QVERIFY(optionsfile::LoadSettings(f->state.settings));
    }
    void cleanup() { DeskFixture::end(f); }

    void sampleTreeIsCompleteAndRerunKeepsEdits()
    {
        QSet<QByteArray> pictures;
        for (int slot = 1; slot <= 16; ++slot) {
            const QByteArray bmp = f->tree.read(QStringLiteral("Games/Black & White/Profiles/Arden/symbol%1.bmp").arg(slot));
            QCOMPARE(QImage::fromData(bmp, "BMP").size(), QSize(32, 32));
            pictures.insert(bmp);
        }
        QCOMPARE(pictures.size(), 16);
        // Rows of three pixels are padded from nine bytes to twelve, bottom row first.
        const QImage odd = QImage::fromData(sample::bmp24(3, 2, {0xFF0000, 0, 0, 0, 0, 0x070809}), "BMP");
        QVERIFY(odd.pixel(0, 0) == 0xFFFF0000u);
        QVERIFY(odd.pixel(2, 1) == 0xFF070809u);
        const QByteArray pack = f->tree.read(QStringLiteral("Veldrin/Samples/island-pack.brx"));
        QCOMPARE(pack.count("###Install###C:\\Games\\Black & White\\Scripts\\Playgrounds\\"), 2);
        QVERIFY(f->tree.exists(QStringLiteral("Veldrin/Backup/history"))); // installs there can be undone
        // The sample archive is laid out as fan sites lay them out: every file finds its place.
        const archiveplan::Plan plan = archiveplan::makePlan(TestTree::win(QStringLiteral("Veldrin/Samples/Coral-Atoll-v2.zip")),
                                                             f->state.settings.GameFolder, f->state.settings.ProgramFolder);
        QCOMPARE(archiveplan::planLines(plan),
                 (QStringList{QStringLiteral("Coral-Atoll-v2/Black & White/Scripts/Playgrounds/coral-atoll.txt\t"
                                             "C:\\Games\\Black & White\\Scripts\\Playgrounds\\coral-atoll.txt"),
                              QStringLiteral("Coral-Atoll-v2/Black & White/Data/Landscape/Coral.lnd\t"
                                             "C:\\Games\\Black & White\\Data\\Landscape\\Coral.lnd"),
                              QStringLiteral("Coral-Atoll-v2/readme.txt\tC:\\Veldrin\\Downloads\\Coral-Atoll-v2\\readme.txt")}));
        QVERIFY(f->tree.exists(QStringLiteral("Veldrin/Downloads"))); // where the browser saves

        f->tree.write(QStringLiteral("Veldrin/options.txt"), "mine\r\n");
        QFile::remove(f->tree.host(QStringLiteral("Veldrin/Samples/Wolf.l3d")));
        const sample::SetupResult again = sample::createSampleSetup(f->tree.prefix());
        QCOMPARE(again.created, QStringList({f->tree.host(QStringLiteral("Veldrin/Samples/Wolf.l3d"))}));
        QCOMPARE(f->tree.read(QStringLiteral("Veldrin/options.txt")), QByteArray("mine\r\n"));
    }

    void everyStartIsARealStart()
    {
        f->desk->LaunchGame();
        f->desk->LaunchGame();
        DeskFixture::trigger(f->desk->mdi()->frameMenuBar(), "mnuContents");
        f->desk->LaunchSteadwright();
        QTRY_COMPARE_WITH_TIMEOUT(starts(sample::gameStartLog()), 2, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(starts(QStringLiteral("Veldrin/Help/help-starts.log")), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(starts(QStringLiteral("Veldrin/Steadwright/steadwright-starts.log")), 1, 10000);
        QVERIFY(f->prompts.shown.isEmpty());
    }

    void aRefusedStartNamesThePathAndWhy()
    {
        f->state.settings.GameFolder = QStringLiteral("C:\\Nowhere\\");
        f->desk->LaunchGame();
        f->tree.write(QStringLiteral("Veldrin/Editors/plain.txt"), "not a program");
        f->desk->LaunchEditor(QStringLiteral("C:\\Veldrin\\Editors\\plain.txt"));
        const QStringList messages = f->prompts.messages();
        QCOMPARE(messages.size(), 2);
        // Named as the player would type it, and where it is on this machine.
        QVERIFY2(messages.at(0).contains(QLatin1String("C:\\Nowhere\\runblack.exe (") + f->tree.host(QStringLiteral("Nowhere/runblack.exe"))),
                 qPrintable(messages.at(0)));
        QVERIFY(messages.at(0).contains(QLatin1String("does not exist")));
        QVERIFY(messages.at(1).contains(QLatin1String("plain.txt")));
        QVERIFY(messages.at(1).contains(QLatin1String("not executable")));
    }

    void onlyAnEmptyEditorPathOpensTheOptions()
    {
        // Start-up leaves the landscape editor empty even though the file names one.
        QVERIFY(f->state.settings.LandscapeEditorPath.isEmpty());
        f->desk->LaunchEditor(f->state.settings.LandscapeEditorPath);
        frmOptions *options = f->desk->options();
        QVERIFY(options);
        QVERIFY(options->isVisible());
        QVERIFY(!options->isModal());
        QCOMPARE(DeskFixture::at<QTabWidget>(options, "SSTab1")->currentIndex(), 0);
        // Loading the dialog filled the record, so the same button now starts the editor.
        options->close();
        QTRY_VERIFY(!f->desk->options());
        f->desk->LaunchEditor(f->state.settings.LandscapeEditorPath);
        QTRY_COMPARE_WITH_TIMEOUT(starts(QStringLiteral("Veldrin/Editors/editor-starts.log")), 1, 10000);

        f->desk->LaunchEditor(QStringLiteral("C:\\Veldrin\\Editors\\Gone.exe"));
        QVERIFY(!f->desk->options());
        QCOMPARE(f->prompts.messages().size(), 1);
        QVERIFY(f->prompts.messages().constFirst().contains(QLatin1String("C:\\Veldrin\\Editors\\Gone.exe")));
    }
};

QTEST_MAIN(test_LaunchPrograms)
#include "test_LaunchPrograms.moc"
