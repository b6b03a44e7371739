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

    void profileNames()
    {
        // Whatever the chosen file's name, its folder is the profile.
        QCOMPARE(tattoo::profileFolderOf(kProfile + QStringLiteral("notes.txt")), kProfile);
        QCOMPARE(tattoo::profileFolderOf(QStringLiteral("helpstats.dat")), QString());
        QCOMPARE(tattoo::profileBackupPath(QStringLiteral("C:\\Veldrin\\"), kProfile, 12),
                 QStringLiteral("C:\\Veldrin\\Backup\\tattoos\\Player1-symbol12.bmp"));
        QCOMPARE(tattoo::profileName(QStringLiteral("C:\\")), QStringLiteral("profile"));
    }

    // Picks into a profile are covered through the window; this is the case it cannot reach.
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
