// Bitmaps that stop short of what their header promises, as the tattoo window meets them:
// a pick, a preview and a profile's own pictures. None may show noise or reach the profile.
#include "DeskFixture.h"
#include "managers/WindowParts.h"
#include "managers/frmTattoo.h"
#include "support/BmpBytes.h"

namespace {

const QString kProfile = QStringLiteral("Games/Black & White/Profiles/Player1/");
const QString kTattoos = QStringLiteral("Veldrin/Backup/tattoos/");

QString symbol(int n) { return QStringLiteral("symbol%1.bmp").arg(n); }

// A whole picture whose colour tells the slots apart.
QByteArray whole(int n) { return bmpbytes::solid24(16, 16, char(n * 10), char(200 - n * 10), '\x30'); }

} // namespace

class test_DamagedPictures : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;
    frmTattoo *win = nullptr;

    PictureBox *box(const char *name) { return DeskFixture::at<PictureBox>(win, name); }
    PictureBox *slot(int n) { return box(qPrintable(QStringLiteral("tat%1").arg(n))); }

    void loadProfile()
    {
        f->tree.write(kProfile + QStringLiteral("helpstats.dat"), "stats");
        for (int n = 1; n <= 16; ++n)
            f->tree.write(kProfile + symbol(n), whole(n));
        f->choose(kProfile + QStringLiteral("helpstats.dat"), win, "cmdLoadTat1");
    }

private slots:
    void init()
    {
        f = std::make_unique<DeskFixture>();
        win = f->desk->showTattoo();
        f->tree.write(QStringLiteral("pics/truncated.bmp"), bmpbytes::truncated(32, 32, 200));
        f->tree.write(QStringLiteral("pics/lying.bmp"), bmpbytes::lyingHeader(32, 32));
        f->tree.write(QStringLiteral("pics/text.bmp"), "this is a letter, not a picture\r\n");
    }
    void cleanup()
    {
        f->tearDown();
        f.reset();
    }

    void pickIntoAProfileIsRefused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("pixels cut short") << QStringLiteral("pics/truncated.bmp");
        QTest::newRow("header promises more rows") << QStringLiteral("pics/lying.bmp");
    }
    void pickIntoAProfileIsRefused()
    {
        QFETCH(QString, file);
        loadProfile();
        const QImage before = slot(3)->picture();
        QVERIFY(!before.isNull());

        f->choose(file, win, "cmd3");
        QCOMPARE(slot(3)->picture(), before);
        QCOMPARE(f->tree.read(kProfile + symbol(3)), whole(3));
        QVERIFY(!f->tree.exists(kTattoos + QStringLiteral("Player1-symbol3.bmp")));
        QCOMPARE(f->prompts.messages().size(), 1);
        QString damaged = f->prompts.messages().first();

        // The player reads the same words as for any other file that is no picture.
        f->choose(QStringLiteral("pics/text.bmp"), win, "cmd3");
        QCOMPARE(f->prompts.messages().size(), 2);
        QString unreadable = f->prompts.messages().last();
        QCOMPARE(damaged.replace(TestTree::win(file), QStringLiteral("X")),
                 unreadable.replace(TestTree::win(QStringLiteral("pics/text.bmp")), QStringLiteral("X")));
    }

    void previewAndProfileKeepWhatTheyShowed()
    {
        f->tree.write(QStringLiteral("pics/good.bmp"), whole(9));
        f->choose(QStringLiteral("pics/good.bmp"), win, "cmdTatoo");
        const QImage shown = box("picTest")->picture();
        QVERIFY(!shown.isNull());
        f->choose(QStringLiteral("pics/truncated.bmp"), win, "cmdTatoo");
        QCOMPARE(box("picTest")->picture(), shown);
        f->choose(QStringLiteral("pics/lying.bmp"), win, "cmdTatoo");
        QCOMPARE(box("picTest")->picture(), shown);

        // A profile whose fifth picture is damaged: that slot keeps the earlier profile's.
        loadProfile();
        const QImage fifth = slot(5)->picture();
        f->tree.write(kProfile + symbol(5), bmpbytes::truncated(16, 16, 40));
        f->tree.write(kProfile + symbol(6), whole(12));
        f->choose(kProfile + QStringLiteral("helpstats.dat"), win, "cmdLoadTat1");
        QCOMPARE(slot(5)->picture(), fifth);
        QCOMPARE(slot(6)->picture().pixel(0, 0), QImage::fromData(whole(12)).pixel(0, 0));
        QVERIFY(f->prompts.messages().isEmpty());
    }
};

QTEST_MAIN(test_DamagedPictures)
#include "test_DamagedPictures.moc"
