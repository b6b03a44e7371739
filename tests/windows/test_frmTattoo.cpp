#include "DeskFixture.h"
#include "managers/WindowParts.h"
#include "managers/frmTattoo.h"
#include "shell/Hosts.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace {

const QString kProfile1 = QStringLiteral("Games/Black & White/Profiles/Player1/");
const QString kProfile2 = QStringLiteral("Games/Black & White/Profiles/Player2/");
const QString kTattoos = QStringLiteral("Veldrin/Backup/tattoos/");
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);

QRgb colourOf(int n, int set) { return QColor::fromHsv((n * 22 + set * 7) % 360, 200, 100 + set * 60).rgb(); }

// A bitmap of one colour; sizes vary so that scaling into the boxes is exercised.
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

    std::unique_ptr<DeskFixture> f;
    frmTattoo *win = nullptr;

    template <class T> T *child(const QString &name) { return win->findChild<T *>(name); }
    void click(const QString &name) { child<QPushButton>(name)->click(); }
    PictureBox *box(int n) { return child<PictureBox>(QStringLiteral("tat%1").arg(n)); }
    static QRgb shown(PictureBox *b) { return b->picture().isNull() ? QRgb(0) : b->picture().pixel(0, 0); }
    QString viewed() { return child<QPlainTextEdit>(QStringLiteral("rtbTat"))->toPlainText(); }
    QString directory() { return child<QLabel>(QStringLiteral("lblDirectory"))->text(); }
    QStringList backups() { return QDir(f->tree.host(kTattoos)).entryList(QDir::Files); }

    // A profile folder with helpstats.dat and pictures for slots 1..count in colour set `set`.
    void makeProfile(const QString &folder, int count, int set)
    {
        f->tree.write(folder + QStringLiteral("helpstats.dat"), QByteArray("HS\0\x01stats", 9));
        for (int n = 1; n <= count; ++n)
            f->tree.write(folder + symbol(n), bmp(colourOf(n, set)));
    }
    void loadProfile(const QString &folder)
    {
        f->prompts.answerHostPath(f->tree.host(folder + QStringLiteral("helpstats.dat")));
        click(QStringLiteral("cmdLoadTat1"));
    }
    void pick(int n, const QString &file)
    {
        f->prompts.answerHostPath(f->tree.host(file));
        click(QStringLiteral("cmd%1").arg(n));
    }

private slots:
    void init()
    {
        f = std::make_unique<DeskFixture>();
        win = f->desk->showTattoo();
        f->tree.write(QStringLiteral("pics/red.bmp"), bmp(kRed, QSize(200, 50)));
        f->tree.write(QStringLiteral("pics/blue.bmp"), bmp(kBlue, QSize(8, 8)));
    }
    void cleanup()
    {
        f->tearDown();
        f.reset();
    }

    void profileFillsTheSlotsInOrder()
    {
        makeProfile(kProfile1, 16, 0);
        loadProfile(kProfile1);
        QCOMPARE(f->prompts.shown.last().initialPath, TestTree::gameFolder() + QStringLiteral("Profiles\\x"));
        QCOMPARE(f->prompts.shown.last().text, QStringLiteral("Veldrin (helpstats.dat)|helpstats.dat"));
        for (int n = 1; n <= 16; ++n)
            QCOMPARE(shown(box(n)), colourOf(n, 0));
        // helpstats.dat is shown with its control bytes made visible, and left unchanged.
        QCOMPARE(viewed(), QString::fromUtf8("HS\u2400\u2401stats"));
        QCOMPARE(f->tree.read(kProfile1 + QStringLiteral("helpstats.dat")), QByteArray("HS\0\x01stats", 9));
        QCOMPARE(directory(), TestTree::win(kProfile1));

        // A second profile with nine pictures and a damaged tenth: the rest keep the first's.
        makeProfile(kProfile2, 9, 1);
        f->tree.write(kProfile2 + symbol(10), QByteArray("BM\x36\0\0\0garbage that is no bitmap", 31));
        loadProfile(kProfile2);
        for (int n = 1; n <= 16; ++n)
            QCOMPARE(shown(box(n)), colourOf(n, n <= 9 ? 1 : 0));
        QCOMPARE(directory(), TestTree::win(kProfile2));
        QVERIFY(backups().isEmpty());
    }

    void pickWithoutAProfile()
    {
        pick(7, QStringLiteral("pics/red.bmp"));
        QCOMPARE(f->prompts.shown.last().text, QStringLiteral("Tattoos (*.bmp)|*.bmp"));
        QCOMPARE(shown(box(7)), kRed);
        QVERIFY(viewed().startsWith(QStringLiteral("BM")));
        QCOMPARE(f->tree.read(kTattoos + symbol(7)), f->tree.read(QStringLiteral("pics/red.bmp")));

        // Again: the slot's backup is replaced whole, and only that slot's.
        pick(7, QStringLiteral("pics/blue.bmp"));
        pick(2, QStringLiteral("pics/red.bmp"));
        QCOMPARE(f->tree.read(kTattoos + symbol(7)), f->tree.read(QStringLiteral("pics/blue.bmp")));
        QCOMPARE(backups(), QStringList({symbol(2), symbol(7)}));
        QCOMPARE(shown(box(7)), kBlue);
        QVERIFY(box(1)->picture().isNull());
        QVERIFY(QDir(f->tree.host(QStringLiteral("Games/Black & White/Profiles"))).isEmpty());
        QVERIFY(f->prompts.messages().isEmpty());
    }

    void pickIntoALoadedProfile()
    {
        makeProfile(kProfile1, 16, 0);
        QFile::remove(f->tree.host(kProfile1 + symbol(3)));
        loadProfile(kProfile1);
        QMap<int, QByteArray> before;
        for (int n = 1; n <= 16; ++n)
            before[n] = f->tree.read(kProfile1 + symbol(n));
        const QByteArray red = f->tree.read(QStringLiteral("pics/red.bmp"));

        pick(7, QStringLiteral("pics/red.bmp"));
        QCOMPARE(f->tree.read(kTattoos + QStringLiteral("Player1-symbol7.bmp")), before[7]);
        QCOMPARE(f->tree.read(kProfile1 + symbol(7)), red);
        QCOMPARE(f->tree.read(kTattoos + symbol(7)), red);
        for (int n = 1; n <= 16; ++n) {
            if (n != 7)
                QCOMPARE(f->tree.read(kProfile1 + symbol(n)), before[n]);
        }

        // A slot the profile had no picture for gets one, with nothing to keep.
        pick(3, QStringLiteral("pics/red.bmp"));
        QCOMPARE(f->tree.read(kProfile1 + symbol(3)), red);
        QVERIFY(!f->tree.exists(kTattoos + QStringLiteral("Player1-symbol3.bmp")));
        QVERIFY(f->prompts.messages().isEmpty());

        // A file that is no picture still leaves its copy, but never reaches the profile.
        f->tree.write(QStringLiteral("pics/fake.bmp"), QByteArray("BM\0\0not really", 14));
        pick(5, QStringLiteral("pics/fake.bmp"));
        QCOMPARE(shown(box(5)), colourOf(5, 0));
        QCOMPARE(f->tree.read(kTattoos + symbol(5)), QByteArray("BM\0\0not really", 14));
        QCOMPARE(f->tree.read(kProfile1 + symbol(5)), before[5]);
        QCOMPARE(f->prompts.messages().size(), 1);
    }

    void noBackupFolder()
    {
        QDir(f->tree.host(kTattoos)).removeRecursively();
        pick(4, QStringLiteral("pics/red.bmp"));
        QCOMPARE(shown(box(4)), kRed);
        QVERIFY(!viewed().isEmpty());
        QVERIFY(!f->tree.exists(kTattoos));
        QVERIFY(f->prompts.messages().isEmpty());

        // With a profile, its picture cannot be kept safe, so it is not replaced; the user hears why.
        makeProfile(kProfile1, 16, 0);
        loadProfile(kProfile1);
        const QByteArray old = f->tree.read(kProfile1 + symbol(4));
        pick(4, QStringLiteral("pics/red.bmp"));
        QCOMPARE(f->tree.read(kProfile1 + symbol(4)), old);
        QVERIFY(!f->tree.exists(kTattoos));
        QCOMPARE(f->prompts.messages().size(), 1);
        QVERIFY(f->prompts.messages().first().contains(QStringLiteral("left as it was")));
    }

    void previewAndCancelsTouchNothing()
    {
        f->prompts.answerHostPath(f->tree.host(QStringLiteral("pics/red.bmp")));
        click(QStringLiteral("cmdTatoo"));
        QCOMPARE(shown(child<PictureBox>(QStringLiteral("picTest"))), kRed);
        f->prompts.answerHostPath(f->tree.host(QStringLiteral("pics/blue.bmp")));
        child<QAction>(QStringLiteral("frmOpen"))->trigger(); // "Open Tatoo" is the same preview
        QCOMPARE(shown(child<PictureBox>(QStringLiteral("picTest"))), kBlue);
        for (int n = 1; n <= 16; ++n)
            QVERIFY(box(n)->picture().isNull());
        QVERIFY(viewed().isEmpty());

        f->prompts.answerCancel();
        click(QStringLiteral("cmd1"));
        f->prompts.answerCancel();
        click(QStringLiteral("cmdLoadTat1"));
        f->prompts.answerCancel();
        click(QStringLiteral("cmdTatoo"));
        QVERIFY(box(1)->picture().isNull());
        QCOMPARE(shown(child<PictureBox>(QStringLiteral("picTest"))), kBlue);
        QVERIFY(directory().isEmpty());
        QVERIFY(backups().isEmpty());
    }

    void menuEntries()
    {
        QVERIFY(!child<QAction>(QStringLiteral("mnuInstall"))->isEnabled());
        QVERIFY(!child<QAction>(QStringLiteral("mnuMod"))->isEnabled());
        child<QAction>(QStringLiteral("mnuTatHelp"))->trigger();
        QCOMPARE(f->state.BrowserAddress, hosts::maker() + QStringLiteral("/manager/help.htm"));
        child<QAction>(QStringLiteral("mnuSkin"))->trigger();
        QVERIFY(f->desk->extra());

        // About holds the user until it is closed.
        QString modal;
        QTimer::singleShot(0, this, [&modal] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                modal = QString::fromLatin1(w->metaObject()->className());
                w->close();
            }
        });
        child<QAction>(QStringLiteral("mnuAbout"))->trigger();
        QCOMPARE(modal, QStringLiteral("frmAbout"));

        child<QAction>(QStringLiteral("mnuExit"))->trigger();
        DeskFixture::flushDeletes();
        QVERIFY(!f->desk->tattoo());
    }
};

QTEST_MAIN(test_frmTattoo)
#include "test_frmTattoo.moc"
