// Pictures the game cannot use, as the tattoo window meets them: bitmaps that stop short of
// what their header promises, and files that are no bitmap whatever their name, in a pick and a
// preview. None may show noise, and a refused pick changes nothing.
#include "DeskFixture.h"
#include "install/InstallHistory.h"
#include "support/BmpBytes.h"
#include "windows/WindowParts.h"
#include "windows/managers/frmTattoo.h"

#include <QBuffer>

namespace {

const QString kProfile = QStringLiteral("Games/Black & White/Profiles/Player1/");
const QString kTattoos = QStringLiteral("Veldrin/Backup/tattoos/");

QString symbol(int n) { return QStringLiteral("symbol%1.bmp").arg(n); }

// A whole picture whose colour tells the slots apart.
QByteArray whole(int n) { return bmpbytes::solid24(16, 16, char(n * 10), char(200 - n * 10), '\x30'); }

QByteArray png()
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::green);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

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
        f->tree.write(QStringLiteral("pics/png.bmp"), png());
    }
    void cleanup() { DeskFixture::end(f); }

    void refusedPickChangesNothing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("why");
        QTest::newRow("pixels cut short") << QStringLiteral("pics/truncated.bmp") << QStringLiteral("not whole");
        QTest::newRow("PNG renamed") << QStringLiteral("pics/png.bmp") << QStringLiteral("not a BMP picture");
        QTest::newRow("no picture at all") << QStringLiteral("pics/text.bmp") << QStringLiteral("not a BMP picture");
    }
    // Not the slot, not the profile, not the pick's copy, not the history: the player is told
    // why and everything is as before.
    void refusedPickChangesNothing()
    {
        QFETCH(QString, file);
        QFETCH(QString, why);
        f->tree.mkdir(QStringLiteral("Veldrin/Backup/history"));
        const auto operations = [] { return history::History(TestTree::programFolder()).operations().size(); };
        const auto refused = [&](int count) {
            QCOMPARE(f->prompts.messages().size(), count);
            const QString message = f->prompts.messages().last();
            QVERIFY2(message.contains(TestTree::win(file)) && message.contains(why)
                         && message.endsWith(QStringLiteral("Nothing was changed.")),
                     qPrintable(message));
        };

        f->choose(file, win, "cmd3");
        refused(1);
        QVERIFY(slot(3)->picture().isNull());
        QVERIFY(QDir(f->tree.host(kTattoos)).entryList(QDir::Files).isEmpty());
        QCOMPARE(operations(), 0);

        loadProfile();
        f->tree.write(QStringLiteral("pics/good.bmp"), whole(9));
        f->choose(QStringLiteral("pics/good.bmp"), win, "cmd3");
        QCOMPARE(operations(), 1);
        const QImage before = slot(3)->picture();
        const QStringList kept = QDir(f->tree.host(kTattoos)).entryList(QDir::Files);

        f->choose(file, win, "cmd3");
        refused(2);
        QCOMPARE(slot(3)->picture(), before);
        QCOMPARE(f->tree.read(kProfile + symbol(3)), whole(9));
        QCOMPARE(f->tree.read(kTattoos + symbol(3)), whole(9));
        QCOMPARE(QDir(f->tree.host(kTattoos)).entryList(QDir::Files), kept);
        QCOMPARE(operations(), 1);
    }

    // A profile's own damaged pictures are met in the tattoo window's test of loading profiles.
    void previewKeepsWhatItShowed()
    {
        f->tree.write(QStringLiteral("pics/good.bmp"), whole(9));
        f->choose(QStringLiteral("pics/good.bmp"), win, "cmdTatoo");
        const QImage shown = box("picTest")->picture();
        QVERIFY(!shown.isNull());
        f->choose(QStringLiteral("pics/truncated.bmp"), win, "cmdTatoo");
        QCOMPARE(box("picTest")->picture(), shown);
        f->choose(QStringLiteral("pics/lying.bmp"), win, "cmdTatoo");
        QCOMPARE(box("picTest")->picture(), shown);
        QVERIFY(f->prompts.messages().isEmpty());
    }
};

QTEST_MAIN(test_DamagedPictures)
#include "test_DamagedPictures.moc"
