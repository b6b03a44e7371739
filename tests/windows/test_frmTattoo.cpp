#include "managers/WindowParts.h"
#include "managers/frmTattoo.h"
#include "shell/Desk.h"
#include "shell/Hosts.h"
#include "shell/Twips.h"
#include "shell/frmMDI.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

const QString kProfile1 = QStringLiteral("Games/Black & White/Profiles/Player1/");
const QString kProfile2 = QStringLiteral("Games/Black & White/Profiles/Player2/");
const QString kTattoos = QStringLiteral("Veldrin/Backup/tattoos/");

QRgb colourOf(int n, int set) { return QColor::fromHsv((n * 22 + set * 7) % 360, 200, 100 + set * 60).rgb(); }

// A small bitmap of one colour; sizes vary so that scaling is exercised.
QByteArray bmp(QRgb colour, QSize size = QSize(32, 32))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

QString symbol(int n) { return QStringLiteral("symbol%1.bmp").arg(n); }

} // namespace

class test_frmTattoo : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestTree> tree;
    std::unique_ptr<Modual1> state;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<Desk> desk;
    frmTattoo *win = nullptr;

    template <class T> T *child(const QString &name) { return win->findChild<T *>(name); }
    void click(const QString &name) { child<QPushButton>(name)->click(); }
    PictureBox *box(int n) { return child<PictureBox>(QStringLiteral("tat%1").arg(n)); }
    QRgb shown(PictureBox *b) { return b->picture().isNull() ? QRgb(0) : b->picture().pixel(0, 0); }
    QString viewed() { return child<QPlainTextEdit>(QStringLiteral("rtbTat"))->toPlainText(); }

    // A profile folder with helpstats.dat and the given slots' pictures in colour set `set`.
    void makeProfile(const QString &folder, int count, int set)
    {
        tree->write(folder + QStringLiteral("helpstats.dat"), QByteArray("HS\0\x01stats", 9));
        for (int n = 1; n <= count; ++n)
            tree->write(folder + symbol(n), bmp(colourOf(n, set)));
    }
    void loadProfile(const QString &folder)
    {
        prompts->answerHostPath(tree->host(folder + QStringLiteral("helpstats.dat")));
        click(QStringLiteral("cmdLoadTat1"));
    }
    void pick(int n, const QString &file)
    {
        prompts->answerHostPath(tree->host(file));
        click(QStringLiteral("cmd%1").arg(n));
    }
    QStringList backups() { return QDir(tree->host(kTattoos)).entryList(QDir::Files); }

private slots:
    void init()
    {
        tree = std::make_unique<TestTree>();
        tree->makeGameAndProgramFolders();
        state = std::make_unique<Modual1>();
        state->settings.GameFolder = TestTree::gameFolder();
        state->settings.ProgramFolder = TestTree::programFolder();
        prompts = std::make_unique<ScriptedPrompts>();
        desk = std::make_unique<Desk>(*state, *prompts);
        win = desk->showTattoo();
    }

    void cleanup()
    {
        QCOMPARE(prompts->pendingAnswers(), 0);
        // Close the content windows, then the frame, before the desk goes, so that no window
        // goes away in the middle of the frame's own teardown.
        if (frmMDI *frame = desk->openMdi()) {
            frame->mdiArea()->closeAllSubWindows();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            frame->close();
        }
        desk.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        prompts.reset();
        state.reset();
        tree.reset();
    }

    void gridAndNames()
    {
        QCOMPARE(win->windowTitle(), QStringLiteral("Veldrin - Tattoos"));
        QCOMPARE(box(1)->geometry(), QRect(8, 8, 64, 64));
        QCOMPARE(box(4)->geometry().topLeft(), QPoint(twipsToPixels(120 + 3 * 1440), 8));
        QCOMPARE(box(16)->geometry().topLeft(), QPoint(twipsToPixels(4440), twipsToPixels(3360)));
        QCOMPARE(child<QPushButton>(QStringLiteral("cmd16"))->geometry(), QRect(368, 272, 17, 17));
        QCOMPARE(child<QPushButton>(QStringLiteral("cmd16"))->text(), QStringLiteral("..."));
        QCOMPARE(child<QPushButton>(QStringLiteral("cmdTatoo"))->text(), QStringLiteral("Load Tatoo >>"));
        QVERIFY(child<QLabel>(QStringLiteral("Label2"))->text().contains(QStringLiteral("clicking Load Tatooand the graphic will apper")));
        QCOMPARE(desk->mdi()->currentMenuBar()->actions().size(), 5);
        QCOMPARE(child<QAction>(QStringLiteral("frmOpen"))->text(), QStringLiteral("Open Tatoo"));
        QVERIFY(!child<QAction>(QStringLiteral("mnuInstall"))->isEnabled());
        QVERIFY(!child<QAction>(QStringLiteral("mnuMod"))->isEnabled());
        QVERIFY(child<QAction>(QStringLiteral("mnuTatHelp"))->isEnabled());
    }

    void profileFillsTheSlotsInOrder()
    {
        makeProfile(kProfile1, 16, 0);
        loadProfile(kProfile1);
        QCOMPARE(prompts->shown.last().initialPath, TestTree::gameFolder() + QStringLiteral("Profiles\\x"));
        QCOMPARE(prompts->shown.last().text, QStringLiteral("Veldrin (helpstats.dat)|helpstats.dat"));
        for (int n = 1; n <= 16; ++n)
            QCOMPARE(shown(box(n)), colourOf(n, 0));
        // helpstats.dat shown with its control bytes visible, and left unchanged.
        QCOMPARE(viewed(), QString::fromUtf8("HS\u2400\u2401stats"));
        QCOMPARE(tree->read(kProfile1 + QStringLiteral("helpstats.dat")), QByteArray("HS\0\x01stats", 9));
        QCOMPARE(child<QLabel>(QStringLiteral("lblDirectory"))->text(), TestTree::win(kProfile1));

        // A second profile with nine pictures and a damaged tenth: the rest keep the first's.
        makeProfile(kProfile2, 9, 1);
        tree->write(kProfile2 + symbol(10), QByteArray("BM\x36\0\0\0garbage that is no bitmap", 31));
        loadProfile(kProfile2);
        for (int n = 1; n <= 9; ++n)
            QCOMPARE(shown(box(n)), colourOf(n, 1));
        for (int n = 10; n <= 16; ++n)
            QCOMPARE(shown(box(n)), colourOf(n, 0));
        QCOMPARE(child<QLabel>(QStringLiteral("lblDirectory"))->text(), TestTree::win(kProfile2));
        QVERIFY(backups().isEmpty());
    }

    void pickWithoutAProfile()
    {
        tree->write(QStringLiteral("pics/red.bmp"), bmp(qRgb(255, 0, 0), QSize(200, 50)));
        tree->write(QStringLiteral("pics/blue.bmp"), bmp(qRgb(0, 0, 255), QSize(8, 8)));
        pick(7, QStringLiteral("pics/red.bmp"));
        QCOMPARE(prompts->shown.last().text, QStringLiteral("Tattoos (*.bmp)|*.bmp"));
        QCOMPARE(shown(box(7)), QColor(Qt::red).rgb());
        QVERIFY(viewed().startsWith(QStringLiteral("BM")));
        QCOMPARE(tree->read(kTattoos + symbol(7)), tree->read(QStringLiteral("pics/red.bmp")));
        QCOMPARE(backups(), QStringList{symbol(7)});

        // Twice: the slot's backup is replaced whole, and only that slot's.
        pick(7, QStringLiteral("pics/blue.bmp"));
        pick(2, QStringLiteral("pics/red.bmp"));
        QCOMPARE(tree->read(kTattoos + symbol(7)), tree->read(QStringLiteral("pics/blue.bmp")));
        QCOMPARE(tree->read(kTattoos + symbol(2)), tree->read(QStringLiteral("pics/red.bmp")));
        QCOMPARE(backups().size(), 2);
        QCOMPARE(shown(box(7)), QColor(Qt::blue).rgb());
        QVERIFY(box(1)->picture().isNull());
        QVERIFY(QDir(tree->host(QStringLiteral("Games/Black & White/Profiles"))).isEmpty());
        QVERIFY(prompts->messages().isEmpty());
    }

    void pickIntoALoadedProfile()
    {
        makeProfile(kProfile1, 16, 0);
        QFile::remove(tree->host(kProfile1 + symbol(3)));
        loadProfile(kProfile1);
        QMap<int, QByteArray> before;
        for (int n = 1; n <= 16; ++n)
            before[n] = tree->read(kProfile1 + symbol(n));

        const QByteArray fresh = bmp(qRgb(0, 255, 0), QSize(40, 30));
        tree->write(QStringLiteral("pics/green.bmp"), fresh);
        pick(7, QStringLiteral("pics/green.bmp"));
        QCOMPARE(tree->read(kTattoos + QStringLiteral("Player1-symbol7.bmp")), before[7]);
        QCOMPARE(tree->read(kProfile1 + symbol(7)), fresh);
        QCOMPARE(tree->read(kTattoos + symbol(7)), fresh);
        for (int n = 1; n <= 16; ++n) {
            if (n != 7)
                QCOMPARE(tree->read(kProfile1 + symbol(n)), before[n]);
        }

        // A slot the profile had no picture for gets one, with nothing to keep.
        pick(3, QStringLiteral("pics/green.bmp"));
        QCOMPARE(tree->read(kProfile1 + symbol(3)), fresh);
        QVERIFY(!tree->exists(kTattoos + QStringLiteral("Player1-symbol3.bmp")));
        QVERIFY(prompts->messages().isEmpty());

        // A file that is no picture still leaves its copy, but never reaches the profile.
        tree->write(QStringLiteral("pics/fake.bmp"), QByteArray("BM\0\0not really", 14));
        pick(5, QStringLiteral("pics/fake.bmp"));
        QCOMPARE(shown(box(5)), colourOf(5, 0));
        QCOMPARE(tree->read(kTattoos + symbol(5)), QByteArray("BM\0\0not really", 14));
        QCOMPARE(tree->read(kProfile1 + symbol(5)), before[5]);
        QCOMPARE(prompts->messages().size(), 1);
        QVERIFY(prompts->messages().first().contains(symbol(5)));
    }

    void noBackupFolder()
    {
        QDir(tree->host(kTattoos)).removeRecursively();
        tree->write(QStringLiteral("pics/red.bmp"), bmp(qRgb(255, 0, 0)));
        pick(4, QStringLiteral("pics/red.bmp"));
        QCOMPARE(shown(box(4)), QColor(Qt::red).rgb());
        QVERIFY(!viewed().isEmpty());
        QVERIFY(!tree->exists(kTattoos));
        QVERIFY(prompts->messages().isEmpty());

        // With a profile, its picture cannot be kept safe, so it is not replaced; the user hears why.
        makeProfile(kProfile1, 16, 0);
        loadProfile(kProfile1);
        const QByteArray old = tree->read(kProfile1 + symbol(4));
        pick(4, QStringLiteral("pics/red.bmp"));
        QCOMPARE(tree->read(kProfile1 + symbol(4)), old);
        QVERIFY(!tree->exists(kTattoos));
        QCOMPARE(prompts->messages().size(), 1);
        QVERIFY(prompts->messages().first().contains(QStringLiteral("left as it was")));
    }

    void previewTouchesNothing()
    {
        tree->write(QStringLiteral("pics/red.bmp"), bmp(qRgb(255, 0, 0)));
        prompts->answerHostPath(tree->host(QStringLiteral("pics/red.bmp")));
        click(QStringLiteral("cmdTatoo"));
        QCOMPARE(prompts->shown.last().text, QStringLiteral("Tattoos (*.bmp)|*.bmp"));
        QCOMPARE(shown(child<PictureBox>(QStringLiteral("picTest"))), QColor(Qt::red).rgb());

        // "Open Tatoo" is the same preview.
        tree->write(QStringLiteral("pics/blue.bmp"), bmp(qRgb(0, 0, 255)));
        prompts->answerHostPath(tree->host(QStringLiteral("pics/blue.bmp")));
        child<QAction>(QStringLiteral("frmOpen"))->trigger();
        QCOMPARE(shown(child<PictureBox>(QStringLiteral("picTest"))), QColor(Qt::blue).rgb());

        for (int n = 1; n <= 16; ++n)
            QVERIFY(box(n)->picture().isNull());
        QVERIFY(viewed().isEmpty());
        QVERIFY(backups().isEmpty());
    }

    void cancelsDoNothing()
    {
        makeProfile(kProfile1, 16, 0);
        loadProfile(kProfile1);
        prompts->answerCancel();
        click(QStringLiteral("cmd1"));
        prompts->answerCancel();
        click(QStringLiteral("cmdLoadTat1"));
        prompts->answerCancel();
        click(QStringLiteral("cmdTatoo"));
        QCOMPARE(shown(box(1)), colourOf(1, 0));
        QVERIFY(child<PictureBox>(QStringLiteral("picTest"))->picture().isNull());
        QCOMPARE(child<QLabel>(QStringLiteral("lblDirectory"))->text(), TestTree::win(kProfile1));
        QVERIFY(backups().isEmpty());
    }

    void menuEntries()
    {
        child<QAction>(QStringLiteral("mnuTatHelp"))->trigger();
        QCOMPARE(state->BrowserAddress, hosts::maker() + QStringLiteral("/manager/help.htm"));
        click(QStringLiteral("cmdFindTat"));
        QCOMPARE(state->BrowserAddress, hosts::partner() + QStringLiteral("/fernlow/tats.html"));
        child<QAction>(QStringLiteral("mnuSkin"))->trigger();
        QVERIFY(desk->extra());

        // About holds the user until it is closed.
        bool wasModal = false;
        QTimer::singleShot(0, this, [&wasModal] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                wasModal = modal->objectName() == QLatin1String("frmAbout") || modal->inherits("frmAbout");
                modal->close();
            }
        });
        child<QAction>(QStringLiteral("mnuAbout"))->trigger();
        QVERIFY(wasModal);

        child<QAction>(QStringLiteral("mnuExit"))->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!desk->tattoo());
    }
};

QTEST_MAIN(test_frmTattoo)
#include "test_frmTattoo.moc"
