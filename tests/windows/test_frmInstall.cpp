// The wizard driven through its controls: which page follows which, what it asks, and that each
// finishing step hands the chosen files to the install logic (whose byte layouts the logic tests pin).
#include "DeskFixture.h"
#include "brx/Archive.h"
#include "brx/Brx.h"
#include "common/Hosts.h"
#include "windows/install/frmInstall.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace {
const QString kOptionPage = QStringLiteral("0 Choose an Option bN--+----");
const QString kChoosePage = QStringLiteral("1 Choose a file to install BN++-+++-");
const QString kPlay = QStringLiteral("Games/Black & White/Scripts/Playgrounds/");
QString win(const char *rest) { return TestTree::win(QLatin1String(rest)); }
} // namespace

class test_frmInstall : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;
    frmInstall *wizard = nullptr;

    template <class T> T *w(const char *name)
    {
        auto *found = wizard->findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning("missing %s", name);
        return found;
    }
    QString text(const char *name) { return w<QLabel>(name)->text(); }
    QString list() { return w<QPlainTextEdit>("rtbFileNames")->toPlainText(); }
    bool on(const char *name) { return w<QWidget>(name)->isEnabled(); }
    void click(const char *name) { w<QPushButton>(name)->click(); }
    qint16 step() const { return f->state.installer.WizardStep; }
    void choose(const char *option)
    {
        w<QRadioButton>(option)->setChecked(true);
        click("cmdNext");
    }
    // On the add page "..." asks for the file, then for where it is to be installed.
    void pick(const QString &path, const QString &installTo = {})
    {
        f->prompts.answerWindowsPath(path);
        if (!installTo.isEmpty())
            f->prompts.answerWindowsPath(installTo);
        click("cmdInstall");
    }
    // Step, frame caption, Back/Next enabled, then which controls are shown.
    QString page()
    {
        QString out = QString::number(step()) + QLatin1Char(' ') + w<QGroupBox>("Frame1")->title() + QLatin1Char(' ');
        out += on("cmdBack") ? 'B' : 'b';
        out += on("cmdNext") ? 'N' : 'n';
        for (const char *name : {"cmdInstall", "lblPath", "op1", "lblNote", "lblType", "prg1", "rtbFileNames"})
            out += w<QWidget>(name)->isHidden() ? '-' : '+';
        return out;
    }
    void closesOnNext()
    {
        click("cmdNext");
        DeskFixture::flushDeletes();
        QVERIFY(!f->desk->install());
    }

private slots:
    void init()
    {
        f = std::make_unique<DeskFixture>();
        f->tree.mkdir(QStringLiteral("Packages"));
        f->state.installer.WizardStep = 5; // left over from an earlier wizard
        wizard = f->desk->showInstall();
        QVERIFY(wizard);
        QCOMPARE(page(), kOptionPage);
    }

    void cleanup() { DeskFixture::end(f); }

    void everyTransitionOfThePages()
    {
        // Nothing chosen: Next, Back and "..." stay on the option page.
        click("cmdNext");
        wizard->cmdBack_Click();
        wizard->cmdInstall_Click();
        QCOMPARE(step(), 0);
        choose("op1");
        f->prompts.answerCancel(); // a cancelled dialog on any page changes nothing
        click("cmdInstall");
        QCOMPARE(page(), kChoosePage);
        QCOMPARE(text("lblPath"), QStringLiteral("No file selected"));
        click("cmdBack");
        QCOMPARE(page(), kOptionPage);
        choose("op2");
        f->prompts.answerCancel();
        click("cmdInstall");
        f->tree.write(QStringLiteral("Maps/island.txt"), "isle");
        f->prompts.answerWindowsPath(win("Maps/island.txt"));
        f->prompts.answerCancel(); // the file chosen, its install path not
        click("cmdInstall");
        QVERIFY(list().isEmpty());
        QVERIFY(wizard->packageText().isEmpty());
        QCOMPARE(page(), QStringLiteral("2 Choose files Bn++-+--+"));
        pick(win("Maps/island.txt"), QStringLiteral("C:\\Games\\x\\island.txt"));
        click("cmdNext");
        f->prompts.answerCancel();
        click("cmdInstall");
        QCOMPARE(page(), QStringLiteral("3 Choose directory name Bn++-+---"));
        pick(win("Packages/isle.brx"));
        click("cmdInstall"); // asks nothing in step 4: an unscripted dialog would fail the test
        QCOMPARE(step(), 4);
        click("cmdBack");
        QCOMPARE(text("lblPath"), QStringLiteral("No Directory Chosen!"));
        click("cmdBack");
        QCOMPARE(page(), QStringLiteral("2 Choose files BN++-+--+"));
        // Back to the options and into the add page again: the entries are still there.
        click("cmdBack");
        choose("op2");
        QCOMPARE(list(), QStringLiteral("island.txt\n"));
        pick(win("Maps/island.txt"), QStringLiteral("C:\\Games\\y\\island.txt"));
        const brx::ReadResult read = brx::readEntries(wizard->packageText());
        QCOMPARE(read.count, 2);
        QCOMPARE(read.entries.value(1).installPath, QStringLiteral("C:\\Games\\y\\island.txt"));
        QVERIFY(f->prompts.messages().isEmpty());
    }

    void buildsAPackageEndToEnd()
    {
        f->tree.write(QStringLiteral("Maps/island.txt"), "first line\r\nsecond line");
        const QString islandTarget = TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\island.txt");
        choose("op2");
        pick(win("Maps/island.txt"), islandTarget);
        pick(win("Maps/island.txt"), islandTarget + QStringLiteral(".old"));
        QCOMPARE(list(), QStringLiteral("island.txt\nisland.txt\n"));
        click("cmdNext");
        QVERIFY(!on("cmdNext"));
        pick(win("Packages/pack.brx"));
        click("cmdNext");
        QCOMPARE(page(), QStringLiteral("5 Saving Files2 BN-+-+-+-"));
        QByteArray expected;
        QVERIFY(brx::appendFile(expected, islandTarget, QStringLiteral("island.txt"), win("Maps/island.txt")));
        QVERIFY(brx::appendFile(expected, islandTarget + QStringLiteral(".old"), QStringLiteral("island.txt"), win("Maps/island.txt")));
        expected += "\r\n";
        QCOMPARE(f->tree.read(QStringLiteral("Veldrin/Backup/brx/pack.brx")), expected);
        // Back leads to step 4; Next saves the same package again.
        QFile::remove(f->tree.host(QStringLiteral("Packages/pack.brx")));
        click("cmdBack");
        QCOMPARE(step(), 4);
        click("cmdNext");
        QCOMPARE(f->tree.read(QStringLiteral("Packages/pack.brx")), expected);
        closesOnNext();
    }

    void installsAPackageThenAMap()
    {
        QByteArray three;
        for (const char *name : {"one.txt", "two.txt", "six.txt"})
            brx::appendEntry(three, TestTree::gameFolder() + QLatin1String("Scripts\\Playgrounds\\") + name,
                             QLatin1String(name), QByteArray("map ") + name);
        QVERIFY(brx::savePackage(three, win("Packages/three.brx")));
        choose("op1");
        pick(win("Packages/three.brx"));
        click("cmdNext");
        QCOMPARE(QDir(f->tree.host(QStringLiteral("Veldrin/Backup/brx"))).entryList(QDir::Files).size(), 3);
        QCOMPARE(w<QProgressBar>("prg1")->value(), 100);
        QCOMPARE(page(), kChoosePage);

        // A map that cannot go in: the wizard says so, in a box and in its note, and stays.
        f->tree.mkdir(kPlay + QStringLiteral("island.txt"));
        f->tree.write(QStringLiteral("Maps/island.txt"), "new\nmap");
        pick(win("Maps/island.txt"));
        click("cmdNext");
        QCOMPARE(f->prompts.messages().size(), 1);
        QVERIFY2(f->prompts.messages().constFirst().startsWith(QStringLiteral("Your file was not installed: ")),
                 qPrintable(f->prompts.messages().constFirst()));
        QCOMPARE(text("lblNote"), f->prompts.messages().constFirst());
        QCOMPARE(w<QProgressBar>("prg1")->value(), 0);
        QCOMPARE(page(), kChoosePage);
        QVERIFY(QDir(f->tree.host(kPlay + QStringLiteral("island.txt"))).removeRecursively());

        // The page stays for the next file; after a single file Back returns to it.
        f->tree.write(kPlay + QStringLiteral("island.txt"), "old map");
        pick(win("Maps/island.txt"));
        click("cmdNext");
        QCOMPARE(f->tree.read(kPlay + QStringLiteral("island.txt")), QByteArray("new\r\nmap\r\n"));
        QCOMPARE(text("lblNote"), QStringLiteral("Your file was backed and then installed to the correct directory."));
        QCOMPARE(f->prompts.messages().size(), 1);
        QCOMPARE(step(), 5);
        // Never back to the save step, which would write over the chosen map.
        click("cmdBack");
        QCOMPARE(page(), kChoosePage);
        QCOMPARE(f->tree.read(QStringLiteral("Maps/island.txt")), QByteArray("new\nmap"));
    }

    // An archive shows its plan before anything is written; what the player unticks stays out.
    void archivesShowTheirPlanAndInstallWhatStaysTicked()
    {
        archives::Writer writer;
        writer.addFile(QStringLiteral("Island-v2/Black & White/Scripts/Playgrounds/island.txt"), "// island\r\n");
        writer.addFile(QStringLiteral("Island-v2/Black & White/Scripts/Playgrounds/beta.txt"), "// beta\r\n");
        writer.addFile(QStringLiteral("Island-v2/readme.txt"), "read me");
        writer.addFile(QStringLiteral("Island-v2/setup.exe"), "MZ");
        f->tree.write(QStringLiteral("Packages/Island-v2.zip"), writer.finish());
        choose("op1");
        pick(win("Packages/Island-v2.zip"));
        QCOMPARE(text("lblType"), QStringLiteral("File Type: Archive"));
        auto *plan = w<QTreeWidget>("lstPlan");
        QVERIFY(plan->isVisible());
        QCOMPARE(plan->topLevelItemCount(), 4);
        QTreeWidgetItem *beta = plan->topLevelItem(1);
        QCOMPARE(beta->text(1), TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\beta.txt"));
        QCOMPARE(plan->topLevelItem(2)->text(1), win("Veldrin/Downloads/Island-v2/readme.txt"));
        QTreeWidgetItem *setup = plan->topLevelItem(3);
        QCOMPARE(setup->text(1), QStringLiteral("left out: not a kind of file Veldrin installs"));
        QVERIFY(!(setup->flags() & Qt::ItemIsUserCheckable));
        QVERIFY(!f->tree.exists(kPlay + QStringLiteral("island.txt"))); // nothing written before Next

        beta->setCheckState(0, Qt::Unchecked);
        click("cmdNext");
        QCOMPARE(f->prompts.messages(), QStringList());
        QCOMPARE(f->tree.read(kPlay + QStringLiteral("island.txt")), QByteArray("// island\r\n"));
        QCOMPARE(f->tree.read(QStringLiteral("Veldrin/Downloads/Island-v2/readme.txt")), QByteArray("read me"));
        QVERIFY(!f->tree.exists(kPlay + QStringLiteral("beta.txt")));
        QVERIFY(text("lblNote").startsWith(QStringLiteral("2 files of Island-v2.zip were installed.")));
        QCOMPARE(step(), 1);

        // A hostile archive says why in its plan, and Next writes nothing.
        archives::Writer hostile(archives::Writer::TarGz);
        hostile.addFile(QStringLiteral("Scripts/Playgrounds/ok.txt"), "ok");
        hostile.addLink(QStringLiteral("Scripts/Playgrounds/link.txt"), QStringLiteral("/etc/passwd"), false);
        f->tree.write(QStringLiteral("Packages/evil.tar.gz"), hostile.finish());
        pick(win("Packages/evil.tar.gz"));
        QVERIFY(plan->topLevelItemCount() >= 1);
        QVERIFY(plan->topLevelItem(0)->toolTip(0).contains(QStringLiteral("holds a link")));
        for (int r = 0; r < plan->topLevelItemCount(); ++r) // the sentence, a line a row, nothing cut
            QVERIFY(plan->fontMetrics().horizontalAdvance(plan->topLevelItem(r)->text(0)) <= plan->viewport()->width());
        click("cmdNext");
        QCOMPARE(f->prompts.messages().size(), 1);
        QVERIFY(f->prompts.messages().first().startsWith(QStringLiteral("The archive was not installed: evil.tar.gz holds a link")));
        QVERIFY(!f->tree.exists(kPlay + QStringLiteral("ok.txt")));

        // A single file afterwards has no plan.
        f->tree.write(QStringLiteral("Maps/hill.txt"), "hill");
        pick(win("Maps/hill.txt"));
        QVERIFY(plan->isHidden());
    }

    void refusedFilesLeaveTheWizardOnItsPage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("message");
        const QString invalid =
            QStringLiteral("please select a valid filetype or create a '.brx' to inmstall these files automatically");
        QTest::newRow("capital extension") << "Maps/island.TXT" << "Invalid file type set" << invalid;
        QTest::newRow("bitmap") << "Maps/symbol3.bmp" << "File Type: Tatoo"
                                << "To install tattoos you must use the tatto manager..Follow the instructions at the "
                                   "bottom of the screen to install and manage them";
    }
    void refusedFilesLeaveTheWizardOnItsPage()
    {
        QFETCH(QString, file);
        QFETCH(QString, type);
        QFETCH(QString, message);
        f->tree.write(file, "text");
        choose("op1");
        pick(TestTree::win(file));
        QCOMPARE(text("lblType"), type);
        click("cmdNext");
        QCOMPARE(f->prompts.messages(), QStringList{message});
        QCOMPARE(f->desk->tattoo() != nullptr, file.endsWith(QLatin1String(".bmp"))); // bitmaps open the tattoo manager
        DeskFixture::flushDeletes();
        QCOMPARE(f->desk->install(), wizard);
        QCOMPARE(page(), kChoosePage);
        QVERIFY(QDir(f->tree.host(kPlay)).isEmpty());
        QVERIFY(QDir(f->tree.host(QStringLiteral("Veldrin")), QStringLiteral("*.bak")).entryList(QDir::Files).isEmpty());
    }

    void webOptionsAndCancelCloseTheWizard()
    {
        const QString pages[] = {hosts::maker() + QStringLiteral("/manager/update"), hosts::partner() + QStringLiteral("/fernlow")};
        for (int i : {0, 1}) {
            w<QRadioButton>(i ? "op4" : "op3")->setChecked(true);
            closesOnNext();
            QVERIFY(f->desk->browser());
            QCOMPARE(f->state.BrowserAddress, pages[i]);
            wizard = f->desk->showInstall();
        }
        choose("op1");
        click("cmdCancel");
        DeskFixture::flushDeletes();
        QVERIFY(!f->desk->install());
        wizard = f->desk->showInstall(); // reopened, it starts over
        QCOMPARE(page(), kOptionPage);
    }
};

QTEST_MAIN(test_frmInstall)
#include "test_frmInstall.moc"
