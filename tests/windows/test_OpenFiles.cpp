// Files arriving from outside (command line, file manager, a drop on the main window) open in
// the installer as if picked with "...", and top-level windows open whole on the screen.
#include "DeskFixture.h"
#include "brx/Archive.h"
#include "shell/frmAbout.h"
#include "shell/frmOptions.h"
#include "windows/Placement.h"
#include "windows/install/frmInstall.h"
#include "windows/web/frmUpdate.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QScreen>
#include <QTreeWidget>
#include <QUrl>

class test_OpenFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;

    QString label(const char *name) const { return DeskFixture::at<QLabel>(f->desk->install(), name)->text(); }

    void startFrame()
    {
        f->tree.write(QStringLiteral("Veldrin/options.txt"),
                      "C:\\Games\\Black & White\\\r\nC:\\Veldrin\\\r\n\r\n\r\n\r\n\r\n");
        f->desk->startUp();
        QVERIFY(f->desk->openMdi());
    }

    // A drag of these files onto the frame: whether it was welcome, and then dropped.
    bool dragOnto(QWidget *target, const QStringList &hostPaths, bool drop)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &path : hostPaths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted() || !drop)
            return enter.isAccepted();
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        return dropped.isAccepted();
    }

private slots:
    void init() { f = std::make_unique<DeskFixture>(); }

    void cleanup() { DeskFixture::end(f); }

    void aHandedFileIsChosenOnTheInstallPageAndInstallsFromThere()
    {
        startFrame();
        f->tree.write(QStringLiteral("Downloads/island.txt"), "new isle");
        f->desk->openHostFiles({f->tree.host(QStringLiteral("Downloads/island.txt"))});
        frmInstall *wizard = f->desk->install();
        QVERIFY(wizard && wizard->isVisible());
        QCOMPARE(f->state.installer.WizardStep, qint16(1));
        QCOMPARE(label("lblPath"), TestTree::win(QStringLiteral("Downloads/island.txt")));
        QCOMPARE(label("lblType"), QStringLiteral("File Type: Map"));
        // "Next >>" goes on exactly as after "...".
        DeskFixture::click(wizard, "cmdNext");
        QCOMPARE(f->tree.read(QStringLiteral("Games/Black & White/Scripts/Playgrounds/island.txt")), QByteArray("new isle\r\n"));
        QVERIFY(f->prompts.messages().isEmpty());
    }

    void anOpenWizardSwitchesToItsInstallPageAndKeepsThePackageBeingBuilt()
    {
        startFrame();
        f->tree.write(QStringLiteral("In/hill.lnd"), "hill");
        f->tree.write(QStringLiteral("In/pack.brx"), "");
        frmInstall *wizard = f->desk->showInstall();
        DeskFixture::at<QWidget>(wizard, "op2")->setProperty("checked", true);
        DeskFixture::click(wizard, "cmdNext");
        f->prompts.answerWindowsPath(TestTree::win(QStringLiteral("In/hill.lnd")));
        f->prompts.answerWindowsPath(QStringLiteral("C:\\Games\\Black & White\\Data\\Landscape\\hill.lnd"));
        DeskFixture::click(wizard, "cmdInstall");
        const QString built = wizard->packageText();
        QVERIFY(!built.isEmpty());

        f->desk->openHostFiles({f->tree.host(QStringLiteral("In/pack.brx"))});
        QCOMPARE(f->desk->install(), wizard); // the one wizard, not a second
        QCOMPARE(f->state.installer.WizardStep, qint16(1));
        QCOMPARE(label("lblType"), QStringLiteral("File Type: Bracken Installation File"));
        QVERIFY(!DeskFixture::at<QWidget>(wizard, "cmdInstall")->isHidden());
        QCOMPARE(wizard->packageText(), built);
    }

    void refusedFilesSayWhyAndTheLastGoodOneStaysChosen()
    {
        startFrame();
        f->tree.write(QStringLiteral("In/notes.doc"), "x");
        f->tree.write(QStringLiteral("In/symbol1.bmp"), "BM");
        f->desk->openHostFiles({f->tree.host(QStringLiteral("In/notes.doc"))});
        QCOMPARE(f->prompts.messages().size(), 1);
        QVERIFY(!f->desk->install());
        f->desk->openHostFiles({f->tree.host(QStringLiteral("In/symbol1.bmp")), f->tree.host(QStringLiteral("In/gone.brx"))});
        QCOMPARE(f->prompts.messages().size(), 2);
        QCOMPARE(label("lblType"), QStringLiteral("File Type: Tatoo"));
    }

    void dropsOnTheMainWindowOpenInTheInstaller()
    {
        startFrame();
        frmMDI *frame = f->desk->openMdi();
        f->tree.write(QStringLiteral("In/troll.l3d"), "mesh");
        f->tree.write(QStringLiteral("In/notes.doc"), "x");
        QVERIFY(!dragOnto(frame, {f->tree.host(QStringLiteral("In/notes.doc"))}, false));
        QVERIFY(!f->desk->install());
        QVERIFY(dragOnto(frame, {f->tree.host(QStringLiteral("In/troll.l3d"))}, true));
        QVERIFY(f->desk->install());
        QCOMPARE(label("lblPath"), TestTree::win(QStringLiteral("In/troll.l3d")));
        QCOMPARE(label("lblType"), QStringLiteral("File Type: Skin/Mesh"));
        QVERIFY(f->prompts.messages().isEmpty());

        // A downloaded archive dropped shows its plan, nothing written yet.
        archives::Writer zip;
        zip.addFile(QStringLiteral("Island-v2/Black & White/Scripts/Playgrounds/island.txt"), "isle");
        f->tree.write(QStringLiteral("In/Island-v2.zip"), zip.finish());
        QVERIFY(dragOnto(frame, {f->tree.host(QStringLiteral("In/Island-v2.zip"))}, true));
        QCOMPARE(label("lblType"), QStringLiteral("File Type: Archive"));
        const auto *plan = DeskFixture::at<QTreeWidget>(f->desk->install(), "lstPlan");
        QCOMPARE(plan->topLevelItemCount(), 1);
        QCOMPARE(plan->topLevelItem(0)->text(1), TestTree::gameFolder() + QStringLiteral("Scripts\\Playgrounds\\island.txt"));
        QVERIFY(!f->tree.exists(QStringLiteral("Games/Black & White/Scripts/Playgrounds/island.txt")));
    }

    void framesAreMovedWholeIntoTheScreen()
    {
        const QRect screen(0, 0, 1280, 1000);
        // Partly below the bottom (the installer's old place) and partly right of the edge.
        QCOMPARE(fitInto(QRect(300, 700, 520, 470), screen), QRect(300, 530, 520, 470));
        QCOMPARE(fitInto(QRect(1000, 10, 520, 470), screen), QRect(760, 10, 520, 470));
        // Above or left of the area, as with a panel at the top.
        QCOMPARE(fitInto(QRect(-50, 10, 100, 100), QRect(0, 30, 1280, 970)), QRect(0, 30, 100, 100));
        // Too large: the title bar and close box stay reachable.
        QCOMPARE(fitInto(QRect(100, 100, 1500, 1200), screen).topLeft(), QPoint(0, 0));
        QCOMPARE(fitInto(QRect(10, 20, 30, 40), screen), QRect(10, 20, 30, 40));
    }

    void topLevelWindowsOpenWholeOnTheScreen()
    {
        startFrame();
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        // The frame near the bottom corner: windows opened over it must still fit.
        frmMDI *frame = f->desk->openMdi();
        frame->move(available.right() - frame->width() / 3, available.bottom() - frame->height() / 3);
        QWidget *windows[] = {f->desk->showInstall(), f->desk->showUpdate(), f->desk->showAbout(),
                              f->desk->showOptions()};
        for (QWidget *window : windows) {
            QVERIFY(window && window->isVisible());
            QVERIFY2(available.contains(window->frameGeometry()),
                     qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 outside the screen")
                                    .arg(window->objectName())
                                    .arg(window->frameGeometry().x())
                                    .arg(window->frameGeometry().y())
                                    .arg(window->frameGeometry().width())
                                    .arg(window->frameGeometry().height())));
        }
        // A window moved off the screen is brought back whole.
        QWidget *wizard = f->desk->install();
        wizard->move(available.left() + 10, available.bottom() - 40);
        keepOnScreen(wizard);
        QVERIFY(available.contains(wizard->frameGeometry()));
        QCOMPARE(wizard->x(), available.left() + 10);
    }
};

QTEST_MAIN(test_OpenFiles)
#include "test_OpenFiles.moc"
