#include "installer/Brx.h"
#include "installer/frmInstall.h"
#include "shell/Desk.h"
#include "shell/frmMDI.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QApplication>
#include <QMdiArea>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

namespace {
const QString kNote1 = QStringLiteral("NOTE:You can only install mods if they are inside a brx file!...... All files "
                                      "are backed up before they are overwritten/saved!");
const QString kInvalid =
    QStringLiteral("please select a valid filetype or create a '.brx' to inmstall these files automatically");
} // namespace

class test_frmInstall : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestTree> tree;
    std::unique_ptr<Modual1> state;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<Desk> desk;
    frmInstall *wizard = nullptr;

    template <class T> T *w(const char *name)
    {
        auto *found = wizard->findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning("missing %s", name);
        return found;
    }
    QString text(const char *name) { return w<QLabel>(name)->text(); }
    bool shown(const char *name) { return !w<QWidget>(name)->isHidden(); }
    bool on(const char *name) { return w<QWidget>(name)->isEnabled(); }
    void click(const char *name) { w<QPushButton>(name)->click(); }
    qint16 step() const { return state->installer.WizardStep; }
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    void choose(const char *option)
    {
        w<QRadioButton>(option)->setChecked(true);
        click("cmdNext");
    }
    // One "..." on the add page: the file to add, then where it is to be installed.
    void addFile(const QString &source, const QString &installPath)
    {
        prompts->answerWindowsPath(source);
        prompts->answerWindowsPath(installPath);
        click("cmdInstall");
    }
    void pickForInstall(const QString &path)
    {
        prompts->answerWindowsPath(path);
        click("cmdInstall");
    }
    // The visible state of a page: frame caption, then on/off and shown/hidden flags.
    QString page()
    {
        QString out = w<QGroupBox>("Frame1")->title() + QLatin1Char(' ');
        out += on("cmdBack") ? 'B' : 'b';
        out += on("cmdNext") ? 'N' : 'n';
        for (const char *name : {"cmdInstall", "lblPath", "op1", "lblNote", "lblType", "prg1", "rtbFileNames"})
            out += shown(name) ? '+' : '-';
        return out;
    }

private slots:
    void initTestCase()
    {
        qputenv("VELDRIN_MAKER_HOST", "maker.test");
        qputenv("VELDRIN_PARTNER_HOST", "partner.test");
    }

    void init()
    {
        tree = std::make_unique<TestTree>();
        tree->makeGameAndProgramFolders();
        tree->mkdir(QStringLiteral("Maps"));
        tree->mkdir(QStringLiteral("Packages"));
        state = std::make_unique<Modual1>();
        state->settings.GameFolder = TestTree::gameFolder();
        state->settings.ProgramFolder = TestTree::programFolder();
        state->installer.WizardStep = 5; // left over from an earlier wizard
        prompts = std::make_unique<ScriptedPrompts>();
        desk = std::make_unique<Desk>(*state, *prompts);
        wizard = desk->showInstall();
        QVERIFY(wizard);
    }

    void cleanup()
    {
        // Children first: the frame's own teardown is not what these tests are about.
        if (frmMDI *frame = desk->openMdi())
            frame->mdiArea()->closeAllSubWindows();
        settle();
        desk.reset();
        settle();
        for (QWidget *top : QApplication::topLevelWidgets())
            QVERIFY2(!top->isVisible(), qPrintable(top->objectName()));
        QVERIFY(!prompts->unscripted);
        QCOMPARE(prompts->pendingAnswers(), 0);
        tree.reset();
    }

    void opensOnTheOptionPage()
    {
        QCOMPARE(wizard->windowTitle(), QStringLiteral("Veldrin - Installer"));
        QVERIFY(wizard->isWindow());
        QCOMPARE(step(), 0);
        QCOMPARE(page(), QStringLiteral("Choose an Option bN--+----"));
        QCOMPARE(w<QLabel>("Image1")->pixmap().size(), QSize(100, 400));
        QCOMPARE(text("lblPath"), QStringLiteral("No file selected"));
        QCOMPARE(text("lblType"), QStringLiteral("No file type set"));
        QCOMPARE(text("lblNote"), QString());
        QCOMPARE(w<QPushButton>("cmdInstall")->text(), QStringLiteral("..."));
        QCOMPARE(w<QPushButton>("cmdBack")->text(), QStringLiteral("<< Back"));
        QCOMPARE(w<QPushButton>("cmdNext")->text(), QStringLiteral("Next >>"));
        QCOMPARE(w<QPushButton>("cmdCancel")->text(), QStringLiteral("Cancel"));
        QCOMPARE(w<QRadioButton>("op1")->text(), QStringLiteral("Install a Black and White file"));
        QCOMPARE(w<QRadioButton>("op2")->text(), QStringLiteral("Create a Black a Veldrin installation File"));
        QCOMPARE(w<QRadioButton>("op3")->text(), QStringLiteral("Check for Veldrin Updates"));
        QCOMPARE(w<QRadioButton>("op4")->text(), QStringLiteral("Browse the Web for Black and White files. "));
        QVERIFY(w<QPlainTextEdit>("rtbFileNames")->isReadOnly());
        auto *bar = w<QProgressBar>("prg1");
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);

        // One group: choosing one option clears the other.
        w<QRadioButton>("op3")->setChecked(true);
        w<QRadioButton>("op2")->setChecked(true);
        QVERIFY(!w<QRadioButton>("op3")->isChecked());

        // Next with nothing selected and Back on this page do nothing.
        w<QRadioButton>("op2")->setAutoExclusive(false);
        w<QRadioButton>("op2")->setChecked(false);
        click("cmdNext");
        wizard->cmdBack_Click();
        wizard->cmdInstall_Click();
        QCOMPARE(step(), 0);
        QVERIFY(prompts->shown.isEmpty());
    }

    void everyTransitionOfThePages()
    {
        choose("op1");
        QCOMPARE(step(), 1);
        QCOMPARE(page(), QStringLiteral("Choose a file to install BN++-+++-"));
        QCOMPARE(text("lblNote"), kNote1);
        click("cmdBack");
        QCOMPARE(step(), 0);
        QCOMPARE(page(), QStringLiteral("Choose an Option bN--+----"));

        choose("op2");
        QCOMPARE(step(), 2);
        QCOMPARE(page(), QStringLiteral("Choose files Bn++-+--+"));
        QCOMPARE(text("lblNote"), QStringLiteral("Choose the files you would like to add and then choose the "
                                                 "directory where the file should be installed"));
        tree->write(QStringLiteral("Maps/island.txt"), "isle");
        addFile(TestTree::win(QStringLiteral("Maps/island.txt")), QStringLiteral("C:\\Games\\x\\island.txt"));
        QVERIFY(on("cmdNext"));
        click("cmdNext");
        QCOMPARE(step(), 3);
        QCOMPARE(page(), QStringLiteral("Choose directory name Bn++-+---"));
        QCOMPARE(text("lblPath"), QStringLiteral("No Directory Chosen!"));
        QCOMPARE(text("lblNote"), QStringLiteral("Choose a directory and name to save the file to and then click next"));

        const QString package = TestTree::win(QStringLiteral("Packages/isle.brx"));
        prompts->answerWindowsPath(package);
        click("cmdInstall");
        QCOMPARE(step(), 4);
        QCOMPARE(text("lblPath"), package);
        QVERIFY(on("cmdNext"));
        // In step 4 "..." does nothing: no dialog (an unscripted one would fail the test).
        click("cmdInstall");
        QCOMPARE(step(), 4);

        click("cmdBack");
        QCOMPARE(step(), 3);
        QCOMPARE(page(), QStringLiteral("Choose directory name Bn++-+---"));
        QCOMPARE(text("lblPath"), QStringLiteral("No Directory Chosen!"));
        click("cmdBack");
        QCOMPARE(step(), 2);
        // The list and the entry stay; with a file already added the page can go on.
        QCOMPARE(w<QPlainTextEdit>("rtbFileNames")->toPlainText(), QStringLiteral("island.txt\n"));
        QVERIFY(on("cmdNext"));
        QCOMPARE(brx::countEntries(wizard->packageText()), 1);

        // Even back on the option page: choosing to build again finds the list and the package.
        click("cmdBack");
        QCOMPARE(step(), 0);
        choose("op2");
        QCOMPARE(w<QPlainTextEdit>("rtbFileNames")->toPlainText(), QStringLiteral("island.txt\n"));
        addFile(TestTree::win(QStringLiteral("Maps/island.txt")), QStringLiteral("C:\\Games\\y\\island.txt"));
        const brx::ReadResult read = brx::readEntries(wizard->packageText());
        QCOMPARE(read.count, 2);
        QCOMPARE(read.entries.value(0).installPath, QStringLiteral("C:\\Games\\x\\island.txt"));
        QCOMPARE(read.entries.value(1).installPath, QStringLiteral("C:\\Games\\y\\island.txt"));
        QVERIFY(!tree->exists(QStringLiteral("Packages/isle.brx")));
    }

    void buildsAPackageEndToEnd()
    {
        tree->write(QStringLiteral("Maps/island.txt"), "first line\r\nsecond line");
        const QByteArray mesh("L3D\0\x01\x02\xff mesh", 12);
        tree->write(QStringLiteral("Maps/bo.l3d"), mesh);
        const QString islandTarget = QStringLiteral("C:\\Games\\Black & White\\Scripts\\Playgrounds\\island.txt");
        const QString meshTarget = QStringLiteral("C:\\Games\\Black & White\\Data\\CreatureMesh\\bo.l3d");

        choose("op2");
        QVERIFY(!on("cmdNext"));
        addFile(TestTree::win(QStringLiteral("Maps/island.txt")), islandTarget);
        addFile(TestTree::win(QStringLiteral("Maps/bo.l3d")), meshTarget);
        QCOMPARE(w<QPlainTextEdit>("rtbFileNames")->toPlainText(), QStringLiteral("island.txt\nbo.l3d\n"));
        QCOMPARE(state->installer.AddedFileName, QStringLiteral("bo.l3d"));
        click("cmdNext");
        QVERIFY(!on("cmdNext"));
        prompts->answerWindowsPath(TestTree::win(QStringLiteral("Packages/pack.brx")));
        click("cmdInstall");

        QCOMPARE(prompts->shown.size(), 5);
        QCOMPARE(prompts->shown[0].kind, ScriptedPrompts::Shown::OpenDialog);
        QCOMPARE(prompts->shown[0].text, QString());
        QCOMPARE(prompts->shown[1].kind, ScriptedPrompts::Shown::SaveDialog);
        QCOMPARE(prompts->shown[2].initialPath, TestTree::win(QStringLiteral("Maps/island.txt")));
        QCOMPARE(prompts->shown[3].initialPath, islandTarget);
        QCOMPARE(prompts->shown[4].kind, ScriptedPrompts::Shown::SaveDialog);
        QCOMPARE(prompts->shown[4].text, QStringLiteral("Bracken's Installation Files (*.brx)|*.brx"));

        click("cmdNext");
        QCOMPARE(step(), 5);
        QCOMPARE(page(), QStringLiteral("Saving Files2 BN-+-+-+-"));
        QCOMPARE(text("lblPath"), QStringLiteral("Files saved!"));
        QCOMPARE(text("lblNote"), QStringLiteral("Your file was saved and Backed up!"));
        QCOMPARE(w<QProgressBar>("prg1")->value(), 100);
        QCOMPARE(state->installer.ChosenFileName, QStringLiteral("pack.brx"));

        QByteArray expected;
        QVERIFY(brx::appendFile(expected, islandTarget, QStringLiteral("island.txt"),
                                TestTree::win(QStringLiteral("Maps/island.txt"))));
        QVERIFY(brx::appendFile(expected, meshTarget, QStringLiteral("bo.l3d"),
                                TestTree::win(QStringLiteral("Maps/bo.l3d"))));
        expected += "\r\n";
        const QByteArray saved = tree->read(QStringLiteral("Packages/pack.brx"));
        QCOMPARE(saved, expected);
        QVERIFY(saved.startsWith("###Begin_BRX###\r\n###Install###" + islandTarget.toLatin1()
                                 + "###/Install###\r\n###Title###island.txt###/Title###\r\n"
                                   "first line\r\nsecond line\r\n###End_BRX###\r\n"));
        QVERIFY(saved.endsWith("###End_BRX###\r\n\r\n"));
        QCOMPARE(tree->read(QStringLiteral("Veldrin/Backup/brx/pack.brx")), expected);

        // Back leads to step 4 with the saving page kept; Next saves the same package again.
        QFile::remove(tree->host(QStringLiteral("Packages/pack.brx")));
        click("cmdBack");
        QCOMPARE(step(), 4);
        QCOMPARE(page(), QStringLiteral("Saving Files2 BN-+-+-+-"));
        click("cmdNext");
        QCOMPARE(step(), 5);
        QCOMPARE(tree->read(QStringLiteral("Packages/pack.brx")), expected);

        click("cmdNext");
        settle();
        QVERIFY(!desk->install());
    }

    void cancelledDialogsChangeNothing()
    {
        choose("op1");
        prompts->answerCancel();
        click("cmdInstall");
        QCOMPARE(text("lblPath"), QStringLiteral("No file selected"));
        QCOMPARE(text("lblType"), QStringLiteral("No file type set"));
        QCOMPARE(step(), 1);

        click("cmdBack");
        choose("op2");
        prompts->answerCancel();
        click("cmdInstall");
        tree->write(QStringLiteral("Maps/a.txt"), "aaa");
        prompts->answerWindowsPath(TestTree::win(QStringLiteral("Maps/a.txt")));
        prompts->answerCancel();
        click("cmdInstall");
        QCOMPARE(w<QPlainTextEdit>("rtbFileNames")->toPlainText(), QString());
        QVERIFY(wizard->packageText().isEmpty());
        QVERIFY(state->installer.AddedFileName.isEmpty());
        QVERIFY(!on("cmdNext"));
        QCOMPARE(step(), 2);

        addFile(TestTree::win(QStringLiteral("Maps/a.txt")), QStringLiteral("C:\\Games\\a.txt"));
        click("cmdNext");
        prompts->answerCancel();
        click("cmdInstall");
        QCOMPARE(step(), 3);
        QCOMPARE(text("lblPath"), QStringLiteral("No Directory Chosen!"));
        QVERIFY(!on("cmdNext"));
        QVERIFY(prompts->messages().isEmpty());
    }

    void installsAMapAndBacksUpTheOldOne()
    {
        tree->write(QStringLiteral("Games/Black & White/Scripts/Playgrounds/island.txt"), "old map");
        tree->write(QStringLiteral("Maps/island.txt"), "new\nmap");
        choose("op1");
        pickForInstall(TestTree::win(QStringLiteral("Maps/island.txt")));
        QCOMPARE(text("lblPath"), TestTree::win(QStringLiteral("Maps/island.txt")));
        QCOMPARE(text("lblType"), QStringLiteral("File Type: Map"));
        // What is installed is the file as it was when chosen.
        tree->write(QStringLiteral("Maps/island.txt"), "changed later");

        click("cmdNext");
        QCOMPARE(tree->read(QStringLiteral("Games/Black & White/Scripts/Playgrounds/island.txt")),
                 QByteArray("new\r\nmap\r\n"));
        QCOMPARE(tree->read(QStringLiteral("Veldrin/island.txt.bak")), QByteArray("old map\r\n"));
        QCOMPARE(text("lblNote"), QStringLiteral("Your file was backed and then installed to the correct directory."));
        QCOMPARE(w<QProgressBar>("prg1")->value(), 100);
        QCOMPARE(state->installer.ChosenFileName, QStringLiteral("island.txt"));
        QCOMPARE(step(), 5);

        // Back returns to the install page, never to the save step that would write over the map.
        click("cmdBack");
        QCOMPARE(step(), 1);
        QCOMPARE(page(), QStringLiteral("Choose a file to install BN++-+++-"));
        QCOMPARE(text("lblPath"), TestTree::win(QStringLiteral("Maps/island.txt")));
        QCOMPARE(tree->read(QStringLiteral("Maps/island.txt")), QByteArray("changed later"));

        // Choosing a landscape from there installs it into its own folder.
        tree->write(QStringLiteral("Maps/hill.lnd"), "hill");
        pickForInstall(TestTree::win(QStringLiteral("Maps/hill.lnd")));
        QCOMPARE(text("lblType"), QStringLiteral("File Type: Landscape"));
        click("cmdNext");
        QCOMPARE(tree->read(QStringLiteral("Games/Black & White/Data/Landscape/hill.lnd")), QByteArray("hill\r\n"));
        QCOMPARE(step(), 5);
        click("cmdNext");
        settle();
        QVERIFY(!desk->install());
    }

    void installsPackagesWithTheBar()
    {
        QByteArray three;
        for (const char *name : {"one.txt", "two.txt", "six.txt"})
            brx::appendEntry(three, state->settings.GameFolder + QLatin1String("Scripts\\Playgrounds\\") + name,
                             QLatin1String(name), QByteArray("map ") + name);
        QVERIFY(brx::savePackage(three, TestTree::win(QStringLiteral("Packages/three.brx"))));
        QByteArray one;
        brx::appendEntry(one, state->settings.GameFolder + QLatin1String("Data\\Landscape\\hill.lnd"),
                         QStringLiteral("hill.lnd"), "hill");
        QVERIFY(brx::savePackage(one, TestTree::win(QStringLiteral("Packages/one.brx"))));

        choose("op1");
        pickForInstall(TestTree::win(QStringLiteral("Packages/three.brx")));
        QCOMPARE(text("lblType"), QStringLiteral("File Type: Bracken Installation File"));
        click("cmdNext");
        for (const char *name : {"one.txt", "two.txt", "six.txt"}) {
            const QByteArray content = QByteArray("\r\nmap ") + name + "\r\n\r\n";
            QCOMPARE(tree->read(QStringLiteral("Games/Black & White/Scripts/Playgrounds/") + name), content);
            QCOMPARE(tree->read(QStringLiteral("Veldrin/Backup/brx/") + name), content);
        }
        // Six sums of 100/6 in single precision would pass 100; the bar stops there.
        QCOMPARE(wizard->progressValue(), 100.0f);
        QCOMPARE(w<QProgressBar>("prg1")->value(), 100);
        QCOMPARE(step(), 1);
        QCOMPARE(page(), QStringLiteral("Choose a file to install BN++-+++-"));
        QVERIFY(prompts->shown.size() == 1 && prompts->messages().isEmpty());
        QCOMPARE(brx::countEntries(wizard->packageText()), 3);

        // The page stays: the next package installs from here too.
        pickForInstall(TestTree::win(QStringLiteral("Packages/one.brx")));
        click("cmdNext");
        QCOMPARE(tree->read(QStringLiteral("Games/Black & White/Data/Landscape/hill.lnd")),
                 QByteArray("\r\nhill\r\n\r\n"));
        QVERIFY(wizard->progressValue() <= 100.0f);
        QCOMPARE(step(), 1);
    }

    void refusesFilesOfOtherTypes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("capital extension") << "Maps/island.TXT";
        QTest::newRow("no dot at all") << "Maps/island";
        QTest::newRow("unknown extension") << "Maps/island.zip";
    }
    void refusesFilesOfOtherTypes()
    {
        QFETCH(QString, file);
        tree->write(file, "text");
        choose("op1");
        // Next before any file is chosen finds no extension at all.
        click("cmdNext");
        pickForInstall(TestTree::win(file));
        QCOMPARE(text("lblType"), QStringLiteral("Invalid file type set"));
        click("cmdNext");
        QCOMPARE(prompts->messages(), (QStringList{kInvalid, kInvalid}));
        QCOMPARE(step(), 1);
        QVERIFY(QDir(tree->host(QStringLiteral("Games/Black & White/Scripts/Playgrounds"))).isEmpty());
        QVERIFY(!tree->exists(QStringLiteral("Veldrin/island.TXT.bak")));
    }

    void bitmapsGoToTheTattooManager()
    {
        tree->write(QStringLiteral("Maps/symbol3.bmp"), QByteArray("BM\0\0", 4));
        choose("op1");
        pickForInstall(TestTree::win(QStringLiteral("Maps/symbol3.bmp")));
        QCOMPARE(text("lblType"), QStringLiteral("File Type: Tatoo"));
        QVERIFY(!desk->tattoo());
        click("cmdNext");
        QCOMPARE(prompts->messages(),
                 QStringList{QStringLiteral("To install tattoos you must use the tatto manager..Follow the instructions "
                                            "at the bottom of the screen to install and manage them")});
        QVERIFY(desk->tattoo());
        settle();
        QCOMPARE(desk->install(), wizard);
        QCOMPARE(step(), 1);
        QCOMPARE(page(), QStringLiteral("Choose a file to install BN++-+++-"));
        QVERIFY(!tree->exists(QStringLiteral("Veldrin/symbol3.bmp.bak")));
    }

    void webOptionsShowThePageAndClose_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("address");
        QTest::newRow("updates") << "op3" << "maker.test/manager/update";
        QTest::newRow("partner") << "op4" << "partner.test/fernlow";
    }
    void webOptionsShowThePageAndClose()
    {
        QFETCH(QString, option);
        QFETCH(QString, address);
        choose(option.toLatin1().constData());
        QCOMPARE(state->BrowserAddress, address);
        QVERIFY(desk->browser());
        settle();
        QVERIFY(!desk->install());
    }

    void cancelClosesAndReopeningStartsOver()
    {
        choose("op1");
        click("cmdCancel");
        settle();
        QVERIFY(!desk->install());
        wizard = desk->showInstall();
        QCOMPARE(step(), 0);
        QCOMPARE(page(), QStringLiteral("Choose an Option bN--+----"));
    }
};

QTEST_MAIN(test_frmInstall)
#include "test_frmInstall.moc"
