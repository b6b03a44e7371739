#include "DeskFixture.h"

#include "managers/frmMap.h"
#include "managers/frmTattoo.h"
#include "readme/frmReadme.h"
#include "shell/frmAbout.h"
#include "shell/frmOptions.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>

class test_Desk : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> m;

    static QString field(frmOptions *o, const char *name) { return o->findChild<QLineEdit *>(QLatin1String(name))->text(); }
    static QComboBox *fileType(frmReadme *r) { return r->findChild<QComboBox *>(QStringLiteral("cmbType")); }
    static QMdiSubWindow *frameOf(QWidget *child) { return qobject_cast<QMdiSubWindow *>(child->parentWidget()); }

private slots:
    void init()
    {
        m = std::make_unique<DeskFixture>();
        // The Options dialog reads this file in its load step.
        m->tree.write(QStringLiteral("Veldrin/options.txt"),
                      "C:\\Games\\Black & White\\\r\nC:\\Veldrin\\\r\nC:\\m.exe\r\n\r\n\r\n\r\n\r\n");
        QDir::setCurrent(m->tree.host(QStringLiteral("Veldrin")));
    }

    void cleanup()
    {
        m->tearDown();
        m.reset();
    }

    // Closing hands the window to the event loop for deletion; a show before the loop has
    // run must not bring back the dying window but make a new one and load it.
    void showRightAfterCloseGivesAFreshLoadedWindow()
    {
        Desk &desk = *m->desk;

        frmOptions *firstOptions = desk.showOptions();
        firstOptions->findChild<QLineEdit *>(QStringLiteral("txtMapCreator"))->setText(QStringLiteral("typed"));
        QPointer<frmOptions> oldOptions(firstOptions);
        firstOptions->close();
        QVERIFY(!desk.options());
        frmOptions *options = desk.showOptions();
        QVERIFY(options != firstOptions);
        QCOMPARE(field(options, "txtMapCreator"), QStringLiteral("C:\\m.exe"));
        QCOMPARE(desk.options(), options);

        frmReadme *firstReadme = desk.showReadme();
        fileType(firstReadme)->setEditText(QStringLiteral("typed"));
        QPointer<frmReadme> oldReadme(firstReadme);
        Desk::closeWindow(firstReadme);
        QVERIFY(!desk.readme());
        frmReadme *readme = desk.showReadme();
        QVERIFY(readme != firstReadme);
        QCOMPARE(fileType(readme)->currentText(), QStringLiteral("Specify File Type"));
        QCOMPARE(fileType(readme)->count(), 5);

        DeskFixture::flushDeletes();
        QVERIFY(oldOptions.isNull() && oldReadme.isNull());
        QVERIFY(options->isVisible());
        QVERIFY(frameOf(readme)->isVisible());
        frmMDI *frame = desk.mdi();
        QCOMPARE(frame->mdiArea()->subWindowList().size(), 1);
        QCOMPARE(frame->mdiArea()->activeSubWindow(), frameOf(readme));
        // The dying window's menu bar went with it; the new window's is the one on show.
        const QList<QAction *> shown = frame->currentMenuBar()->actions();
        QVERIFY(!shown.isEmpty() && shown.first()->menu());
        QCOMPARE(shown.first()->menu()->parent(), readme);
        options->close();
    }

    void showingAnOpenWindowAgainBringsTheSameOneForward()
    {
        Desk &desk = *m->desk;
        frmMap *map = desk.showMap();
        frmReadme *readme = desk.showReadme();
        frmAbout *about = desk.showAbout();
        frmOptions *options = desk.showOptions();
        QCoreApplication::processEvents();

        QCOMPARE(desk.showMap(), map);
        QCOMPARE(desk.mdi()->mdiArea()->activeSubWindow(), frameOf(map));
        QCOMPARE(desk.showReadme(), readme);
        QCOMPARE(desk.showAbout(), about);
        QCOMPARE(desk.showOptions(), options);
        QCOMPARE(desk.mdi()->mdiArea()->subWindowList().size(), 2);

        // A child minimised inside the frame comes back at its size, still the same window.
        frameOf(map)->showMinimized();
        QCOMPARE(desk.showMap(), map);
        QVERIFY(!frameOf(map)->isMinimized());
        options->close();
        about->close();
    }

    void closingTheFrameTakesEveryWindowDown()
    {
        Desk &desk = *m->desk;
        QPointer<frmMap> map(desk.showMap());
        QPointer<frmTattoo> tattoo(desk.showTattoo());
        QPointer<frmReadme> readme(desk.showReadme());
        QPointer<frmOptions> options(desk.showOptions());
        QPointer<frmAbout> about(desk.showAbout());
        QPointer<frmMDI> frame(desk.mdi());
        QCoreApplication::processEvents();

        frame->close();
        QVERIFY(!desk.openMdi() && !desk.map() && !desk.tattoo() && !desk.readme());
        QVERIFY(!desk.options() && !desk.about());
        QVERIFY(!options->isVisible() && !about->isVisible());

        // A window asked for before the old frame is gone gets a frame of its own.
        frmMap *fresh = desk.showMap();
        QVERIFY(desk.mdi() != frame.data());
        QVERIFY(fresh != map.data());

        DeskFixture::flushDeletes();
        QVERIFY(frame.isNull() && map.isNull() && tattoo.isNull() && readme.isNull());
        QVERIFY(options.isNull() && about.isNull());
        QCOMPARE(desk.map(), fresh);
        QVERIFY(desk.mdi()->isVisible());
    }

    // The program's end: the desk goes while the frame and its children wait for deletion.
    void deskGoingRightAfterTheFrameClosed()
    {
        QPointer<frmMap> map(m->desk->showMap());
        QPointer<frmReadme> readme(m->desk->showReadme());
        QPointer<frmOptions> options(m->desk->showOptions());
        QPointer<frmMDI> frame(m->desk->mdi());
        frame->close();
        m->desk.reset();
        QVERIFY(frame.isNull() && map.isNull() && readme.isNull() && options.isNull());
        DeskFixture::flushDeletes();
        m->desk = std::make_unique<Desk>(m->state, m->prompts);
    }
};

QTEST_MAIN(test_Desk)
#include "test_Desk.moc"
