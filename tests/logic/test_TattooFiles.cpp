#include "managers/TattooFiles.h"
#include "support/TestTree.h"

#include <QRect>
#include <QTest>

namespace {
QRect rectOf(const Place &p) { return QRect(p.left, p.top, p.width, p.height); }
} // namespace

class test_TattooFiles : public QObject
{
    Q_OBJECT
private slots:
    void slotsRunLeftToRightThenDown()
    {
        QCOMPARE(rectOf(tattoo::slotBox(1)), QRect(120, 120, 960, 960));
        QCOMPARE(rectOf(tattoo::slotBox(5)), QRect(120, 1200, 960, 960));
        QCOMPARE(rectOf(tattoo::slotBox(16)), QRect(4440, 3360, 960, 960));
        QCOMPARE(rectOf(tattoo::slotButton(7)), QRect(1200 + 2 * 1440, 840 + 1080, 255, 255));
        QCOMPARE(rectOf(tattoo::slotButton(16)), QRect(5520, 4080, 255, 255));
        for (int n = 1; n <= tattoo::kSlotCount; ++n) {
            const QRect box = rectOf(tattoo::slotBox(n));
            for (int m = n + 1; m <= tattoo::kSlotCount; ++m) {
                QVERIFY(!box.intersects(rectOf(tattoo::slotBox(m))));
                QVERIFY(!rectOf(tattoo::slotButton(n)).intersects(rectOf(tattoo::slotBox(m))));
            }
        }
    }

    // Picks into a profile are covered through the window; this is the case it cannot reach.
    void aMissingProfileIsReported()
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
