#include "DeskFixture.h"
#include "install/InstallHistory.h"
#include "setup/SampleSetup.h"
#include "support/BmpBytes.h"
#include "windows/WindowParts.h"
#include "windows/managers/frmTattoo.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace {

const QString kProfile1 = QStringLiteral("Games/Black & White/Profiles/Player1/");
const QString kProfile2 = QStringLiteral("Games/Black & White/Profiles/Player2/");
const QString kTattoos = QStringLiteral("Veldrin/Backup/tattoos/");
const QString kRedFile = QStringLiteral("pics/red.bmp");
const QRgb kRed = qRgb(255, 0, 0);

QRgb colourOf(int n, int set) { return QColor::fromHsv((n * 22 + set * 7) % 360, 200, 100 + set * 60).rgb(); }

// One colour, in sizes that make the boxes scale.
QByteArray bmp(QRgb colour, int w = 32, int h = 32) { return sample::bmp24(w, h, QVector<quint32>(w * h, colour & 0xFFFFFF)); }

QString symbol(int n) { return QStringLiteral("symbol%1.bmp").arg(n); }

} // namespace

class test_frmTattoo : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;
    frmTattoo *win = nullptr;

    PictureBox *box(int n) { return win->findChild<PictureBox *>(QStringLiteral("tat%1").arg(n)); }
    static QRgb shown(PictureBox *b) { return b->picture().isNull() ? QRgb(0) : b->picture().pixel(0, 0); }
    QString viewed() { return DeskFixture::at<QPlainTextEdit>(win, "rtbTat")->toPlainText(); }
    QString directory() { return DeskFixture::at<QLabel>(win, "lblDirectory")->text(); }
    QByteArray read(const QString &file) { return f->tree.read(file); }

    // A profile folder with helpstats.dat and pictures for slots 1..count in colour set `set`.
    void loadProfile(const QString &folder, int count, int set)
    {
        f->tree.write(folder + QStringLiteral("helpstats.dat"), QByteArray("HS\0\x01stats", 9));
        for (int n = 1; n <= count; ++n)
            f->tree.write(folder + symbol(n), bmp(colourOf(n, set)));
        f->choose(folder + QStringLiteral("helpstats.dat"), win, "cmdLoadTat1");
    }
    void pick(int n, const QString &file) { f->choose(file, win, qPrintable(QStringLiteral("cmd%1").arg(n))); }

private slots:
    void init()
    {
        f = std::make_unique<DeskFixture>();
        win = f->desk->showTattoo();
        f->tree.write(kRedFile, bmp(kRed, 200, 50));
    }
    void cleanup() { DeskFixture::end(f); }

    void profileFillsTheSlotsInOrder()
    {
        loadProfile(kProfile1, 16, 0);
        for (int n = 1; n <= 16; ++n)
            QCOMPARE(shown(box(n)), colourOf(n, 0));
        QCOMPARE(directory(), TestTree::win(kProfile1));
        QVERIFY(viewed().startsWith(QStringLiteral("HS")));

        // A second profile with nine pictures, a tenth that is no bitmap and an eleventh cut short:
        // the rest keep the first's, and nothing is said.
        f->tree.write(kProfile2 + symbol(10), QByteArray("BM\x36\0\0\0garbage that is no bitmap", 31));
        f->tree.write(kProfile2 + symbol(11), bmpbytes::truncated(16, 16, 40));
        loadProfile(kProfile2, 9, 1);
        for (int n = 1; n <= 16; ++n)
            QCOMPARE(shown(box(n)), colourOf(n, n <= 9 ? 1 : 0));
        QVERIFY(f->prompts.messages().isEmpty());
        QCOMPARE(directory(), TestTree::win(kProfile2));
        QVERIFY(QDir(f->tree.host(kTattoos)).isEmpty());
    }

    void pickWithoutAProfileOnlyKeepsACopy()
    {
        pick(7, kRedFile);
        QCOMPARE(shown(box(7)), kRed);
        QVERIFY(box(1)->picture().isNull());
        QCOMPARE(read(kTattoos + symbol(7)), read(kRedFile));
        QCOMPARE(QDir(f->tree.host(kTattoos)).entryList(QDir::Files), QStringList(symbol(7)));
        QVERIFY(QDir(f->tree.host(QStringLiteral("Games/Black & White/Profiles"))).isEmpty());
        QVERIFY(f->prompts.messages().isEmpty());
    }

    // Each pick is one install: one history entry, and one undo takes back exactly that pick.
    void pickIntoALoadedProfileUndoesOneAtATime()
    {
        f->tree.mkdir(QStringLiteral("Veldrin/Backup/history"));
        loadProfile(kProfile1, 16, 0);
        QMap<int, QByteArray> before;
        for (int n = 1; n <= 16; ++n)
            before[n] = read(kProfile1 + symbol(n));
        const QString blueFile = QStringLiteral("pics/blue.bmp");
        f->tree.write(blueFile, bmp(qRgb(0, 0, 255)));

        pick(7, kRedFile);
        QCOMPARE(read(kTattoos + QStringLiteral("Player1-symbol7.bmp")), before[7]);
        QCOMPARE(read(kProfile1 + symbol(7)), read(kRedFile));
        QCOMPARE(read(kTattoos + symbol(7)), read(kRedFile));
        pick(7, blueFile);
        QCOMPARE(read(kProfile1 + symbol(7)), read(blueFile));
        QCOMPARE(read(kTattoos + symbol(7)), read(blueFile));
        QCOMPARE(read(kTattoos + QStringLiteral("Player1-symbol7.bmp")), before[7]);
        for (int n = 1; n <= 16; ++n) {
            if (n != 7)
                QCOMPARE(read(kProfile1 + symbol(n)), before[n]);
        }

        history::History h(TestTree::programFolder(), TestTree::gameFolder());
        const QList<history::Operation> ops = h.operations();
        QCOMPARE(ops.size(), 2);
        QCOMPARE(h.files(ops[0].id).size(), 2); // the second pick: its copy and the profile's picture
        QCOMPARE(h.undo(ops[0].id, false).result, history::UndoOutcome::Done);
        QCOMPARE(read(kProfile1 + symbol(7)), read(kRedFile));
        QCOMPARE(read(kTattoos + symbol(7)), read(kRedFile));
        QCOMPARE(h.undo(ops[1].id, false).result, history::UndoOutcome::Done);
        QCOMPARE(read(kProfile1 + symbol(7)), before[7]);
        QCOMPARE(QDir(f->tree.host(kTattoos)).entryList(QDir::Files), QStringList());
        QVERIFY(f->prompts.messages().isEmpty());
    }

    void noBackupFolderMeansNothingWritten()
    {
        QDir(f->tree.host(kTattoos)).removeRecursively();
        loadProfile(kProfile1, 16, 0);
        const QByteArray old = read(kProfile1 + symbol(4));
        pick(4, kRedFile);
        // The profile's picture cannot be kept safe, so it is not replaced; the user hears why.
        QCOMPARE(read(kProfile1 + symbol(4)), old);
        QVERIFY(!f->tree.exists(kTattoos));
        QCOMPARE(f->prompts.messages().size(), 1);
        QVERIFY(f->prompts.messages().first().contains(QStringLiteral("left as it was")));
    }

    void previewTouchesNothing()
    {
        f->choose(kRedFile, win, "cmdTatoo");
        QCOMPARE(shown(DeskFixture::at<PictureBox>(win, "picTest")), kRed);
        for (int n = 1; n <= 16; ++n)
            QVERIFY(box(n)->picture().isNull());
        QVERIFY(viewed().isEmpty());
        QVERIFY(directory().isEmpty());
        QVERIFY(QDir(f->tree.host(kTattoos)).isEmpty());
    }
};

QTEST_MAIN(test_frmTattoo)
#include "test_frmTattoo.moc"
