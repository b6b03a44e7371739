#include "DeskFixture.h"
#include "windows/managers/frmExtra.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace {

// The two halves of the window differ only in these.
struct Half
{
    const char *load;
    const char *install;
    const char *view;
    QString game;   // installed file, under drive C
    QString backup; // its backup, under drive C
    QString Modual1::*programWideName;
};

const Half kLand{"cmdLoadLand", "cmdInstallLand", "rtbLand",
                 QStringLiteral("Games/Black & White/Data/Landscape/Hills.lnd"),
                 QStringLiteral("Veldrin/Backup/Landscape/Hills.lnd"), &Modual1::LandFileName};
const Half kSkin{"cmdLoadSkin", "cmdInstallSkin", "rtbSkin",
                 QStringLiteral("Games/Black & White/Data/CreatureMesh/Hills.l3d"),
                 QStringLiteral("Veldrin/Backup/Skin/Hills.l3d"), &Modual1::SkinFileName};
const QString kFinished = QStringLiteral("Your file was backed and then installed to the correct directory.");

} // namespace

Q_DECLARE_METATYPE(Half)

class test_frmExtra : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;
    frmExtra *extra = nullptr;

    void click(const char *name) { DeskFixture::click(extra, name); }
    QPlainTextEdit *view(const Half &h) { return DeskFixture::at<QPlainTextEdit>(extra, h.view); }
    QString progress() { return DeskFixture::at<QLabel>(f->desk->mdi(), "stat1Panel2")->text(); }
    static QString sourceOf(const Half &h) { return QStringLiteral("incoming/Hills.") + h.game.right(3); }
    void load(const Half &h, const QByteArray &bytes)
    {
        f->tree.write(sourceOf(h), bytes);
        f->choose(sourceOf(h), extra, h.load);
    }

private slots:
    void init()
    {
        f = std::make_unique<DeskFixture>();
        extra = f->desk->showExtra();
    }
    void cleanup()
    {
        QVERIFY(f->prompts.messages().isEmpty());
        DeskFixture::end(f);
    }

    void installBacksUpThenWrites_data()
    {
        QTest::addColumn<Half>("h");
        QTest::addColumn<QByteArray>("content");
        QByteArray binary("OLD\0\x01\r\n\x81", 8);
        for (int i = 0; i < 3000; ++i)
            binary.append(char(i % 251));
        QTest::newRow("landscape text") << kLand << QByteArray("new\r\ncontent \xe9");
        QTest::newRow("skin binary") << kSkin << binary;
    }
    void installBacksUpThenWrites()
    {
        QFETCH(Half, h);
        QFETCH(QByteArray, content);
        // Before any load nothing is written, whatever the view holds.
        view(h)->setPlainText(QStringLiteral("typed"));
        click(h.install);
        QVERIFY(!f->tree.exists(h.game));
        QVERIFY(progress().isEmpty());

        f->tree.write(h.game, "installed\nbefore");
        load(h, content);
        QCOMPARE(f->state.*h.programWideName, QStringLiteral("Hills.") + h.game.right(3));
        const bool binary = view(h)->isReadOnly();
        QCOMPARE(binary, content.contains('\0'));
        view(h)->appendPlainText(QStringLiteral("edited")); // even forced text never reaches a binary file
        click(h.install);
        QCOMPARE(f->tree.read(h.backup), QByteArray("installed\r\nbefore\r\n"));
        QCOMPARE(f->tree.read(h.game), binary ? content : content + "\r\nedited\r\n");
        QCOMPARE(progress(), kFinished);
    }

    void namesOutliveTheWindowAndNoBackupWithoutAnInstalledFile()
    {
        f->tree.write(kSkin.backup, "a good old backup");
        load(kLand, "land");
        load(kSkin, "skin");
        click("cmdClose");
        DeskFixture::flushDeletes();
        QVERIFY(!f->desk->extra());

        extra = f->desk->showExtra();
        QVERIFY(view(kLand)->toPlainText().isEmpty());
        view(kSkin)->setPlainText(QStringLiteral("typed after reopening"));
        click(kSkin.install);
        QCOMPARE(f->tree.read(kSkin.game), QByteArray("typed after reopening\r\n"));
        QCOMPARE(f->tree.read(kSkin.backup), QByteArray("a good old backup"));
        QCOMPARE(f->state.LandFileName, QStringLiteral("Hills.lnd"));
    }

    // The panel ends on what really happened; only a backup written and an install done earn
    // the words "backed" and "installed" together.
    void statusPanelSaysWhatHappened_data()
    {
        QTest::addColumn<bool>("installedBefore");
        QTest::addColumn<bool>("backupFolder");
        QTest::addColumn<bool>("targetIsAFolder");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("named"); // the file that could not be written
        QTest::newRow("nothing to back up") << false << true << false
                                            << QStringLiteral("Your file was installed to the correct directory. ")
                                            << QString();
        QTest::newRow("no backup folder") << true << false << false
                                          << QStringLiteral("Your file was installed to the correct directory, but "
                                                            "it was not backed up. ")
                                          << TestTree::win(kLand.backup);
        QTest::newRow("install failed") << false << true << true << QStringLiteral("Your file was not installed. ")
                                        << TestTree::win(kLand.game);
    }
    void statusPanelSaysWhatHappened()
    {
        QFETCH(bool, installedBefore);
        QFETCH(bool, backupFolder);
        QFETCH(bool, targetIsAFolder);
        QFETCH(QString, start);
        QFETCH(QString, named);
        if (installedBefore)
            f->tree.write(kLand.game, "installed before");
        if (!backupFolder)
            QVERIFY(QDir(f->tree.host(QStringLiteral("Veldrin/Backup/Landscape"))).removeRecursively());
        if (targetIsAFolder)
            f->tree.mkdir(kLand.game);
        load(kLand, "new hills");
        click(kLand.install);

        const QString said = progress();
        QVERIFY2(said.startsWith(start), qPrintable(said));
        // Anything but the full success gives its reason and never speaks of a backup made.
        QVERIFY2(said.size() > start.size() + 2, qPrintable(said));
        QVERIFY2(said.contains(named), qPrintable(said));
        QVERIFY2(!said.contains(QLatin1String("backed and")), qPrintable(said));
        QVERIFY(!f->tree.exists(kLand.backup));
        QCOMPARE(f->tree.read(kLand.game), targetIsAFolder ? QByteArray() : QByteArray("new hills\r\n"));
    }
};

QTEST_MAIN(test_frmExtra)
#include "test_frmExtra.moc"
