#include "managers/TattooFiles.h"
#include "support/TestTree.h"

#include <QRect>
#include <QTest>

namespace {
QRect rectOf(const Place &p) { return QRect(p.left, p.top, p.width, p.height); }
const QString kProfile = QStringLiteral("C:\\Games\\Black & White\\Profiles\\Player1\\");
} // namespace

class test_TattooFiles : public QObject
{
    Q_OBJECT
private slots:
    void slotsRunLeftToRightThenDown()
    {
        QCOMPARE(rectOf(tattoo::slotBox(1)), QRect(120, 120, 960, 960));
        QCOMPARE(rectOf(tattoo::slotBox(4)), QRect(120 + 3 * 1440, 120, 960, 960));
        QCOMPARE(rectOf(tattoo::slotBox(5)), QRect(120, 1200, 960, 960));
        QCOMPARE(rectOf(tattoo::slotBox(16)), QRect(4440, 3360, 960, 960));
        QCOMPARE(rectOf(tattoo::slotButton(1)), QRect(1200, 840, 255, 255));
        QCOMPARE(rectOf(tattoo::slotButton(7)), QRect(1200 + 2 * 1440, 840 + 1080, 255, 255));
        QCOMPARE(rectOf(tattoo::slotButton(16)), QRect(5520, 4080, 255, 255));

        for (int n = 1; n <= tattoo::kSlotCount; ++n) {
            const QRect box = rectOf(tattoo::slotBox(n));
            const QRect button = rectOf(tattoo::slotButton(n));
            // Each button sits just right of its own box, level with the box's lower part...
            QCOMPARE(button.left(), box.right() + 1 + 120);
            QVERIFY(button.top() > box.center().y() && button.top() < box.bottom());
            // ...and no two boxes, or a box and another slot's button, overlap.
            for (int m = n + 1; m <= tattoo::kSlotCount; ++m) {
                QVERIFY(!box.intersects(rectOf(tattoo::slotBox(m))));
                QVERIFY(!button.intersects(rectOf(tattoo::slotBox(m))));
            }
        }
    }

    void namesAndFolders()
    {
        QCOMPARE(tattoo::slotFileName(1), QStringLiteral("symbol1.bmp"));
        QCOMPARE(tattoo::slotFileName(16), QStringLiteral("symbol16.bmp"));
        QCOMPARE(tattoo::pickBackupPath(QStringLiteral("C:\\Veldrin\\"), 7),
                 QStringLiteral("C:\\Veldrin\\Backup\\tattoos\\symbol7.bmp"));
        QCOMPARE(tattoo::profileFolderOf(kProfile + QStringLiteral("helpstats.dat")), kProfile);
        // Whatever the chosen file's name, its folder is the profile.
        QCOMPARE(tattoo::profileFolderOf(kProfile + QStringLiteral("notes.txt")), kProfile);
        QCOMPARE(tattoo::profileFolderOf(QStringLiteral("helpstats.dat")), QString());
        QCOMPARE(tattoo::profileName(kProfile), QStringLiteral("Player1"));
        QCOMPARE(tattoo::profileName(QStringLiteral("C:\\")), QStringLiteral("profile"));
        QCOMPARE(tattoo::profileBackupPath(QStringLiteral("C:\\Veldrin\\"), kProfile, 12),
                 QStringLiteral("C:\\Veldrin\\Backup\\tattoos\\Player1-symbol12.bmp"));
    }

    void installKeepsTheOldPictureFirst()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        const QByteArray old("BM old\0picture", 14);
        const QByteArray fresh("BM new\0\x01\xff picture", 17);
        tree.write(QStringLiteral("Games/Black & White/Profiles/Player1/symbol7.bmp"), old);

        const auto result = tattoo::installIntoProfile(fresh, kProfile, TestTree::programFolder(), 7);
        QVERIFY(result.installed);
        QVERIFY(result.safetyCopied);
        QVERIFY(result.problem.isEmpty());
        QCOMPARE(tree.read(QStringLiteral("Veldrin/Backup/tattoos/Player1-symbol7.bmp")), old);
        QCOMPARE(tree.read(QStringLiteral("Games/Black & White/Profiles/Player1/symbol7.bmp")), fresh);

        // A slot the profile had no picture for needs no safety copy.
        const auto second = tattoo::installIntoProfile(fresh, kProfile, TestTree::programFolder(), 3);
        QVERIFY(second.installed);
        QVERIFY(!second.safetyCopied);
        QVERIFY(!tree.exists(QStringLiteral("Veldrin/Backup/tattoos/Player1-symbol3.bmp")));
        QCOMPARE(tree.read(QStringLiteral("Games/Black & White/Profiles/Player1/symbol3.bmp")), fresh);
    }

    void noSafetyCopyMeansNoInstall()
    {
        TestTree tree;
        tree.mkdir(QStringLiteral("Veldrin")); // but no Backup\tattoos
        const QByteArray old("BM old", 6);
        tree.write(QStringLiteral("Games/Black & White/Profiles/Player1/symbol2.bmp"), old);

        const auto result = tattoo::installIntoProfile("BM new", kProfile, TestTree::programFolder(), 2);
        QVERIFY(!result.installed);
        QVERIFY(result.problem.contains(QStringLiteral("symbol2.bmp")));
        QVERIFY(result.problem.contains(QStringLiteral("left as it was")));
        QCOMPARE(tree.read(QStringLiteral("Games/Black & White/Profiles/Player1/symbol2.bmp")), old);
        QVERIFY(!tree.exists(QStringLiteral("Veldrin/Backup")));
    }

    void aMissingProfileFolderIsReported()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        const auto result = tattoo::installIntoProfile("BM", QStringLiteral("C:\\Games\\Black & White\\Profiles\\Gone\\"),
                                                       TestTree::programFolder(), 1);
        QVERIFY(!result.installed);
        QVERIFY(!result.problem.isEmpty());
        QVERIFY(!tree.exists(QStringLiteral("Games/Black & White/Profiles/Gone")));
    }
};

QTEST_GUILESS_MAIN(test_TattooFiles)
#include "test_TattooFiles.moc"
