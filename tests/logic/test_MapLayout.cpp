#include "managers/MapLayout.h"

#include <QTest>

class test_MapLayout : public QObject
{
    Q_OBJECT
private slots:
    void followsTheViewAtTheDesignNumbers()
    {
        const MapLayout l = mapLayoutFor(11700, 7100);
        QCOMPARE(l.viewWidth, 10000);
        QCOMPARE(l.viewHeight, 5900);
        QCOMPARE(l.buttonLeft, 10060);
        QCOMPARE(l.directoryTop, 6000);
        QCOMPARE(l.messageTop, 6250);
        QCOMPARE(l.lineY, 6620);
        QCOMPARE(l.lineRight, 11700);
    }

    void viewKeepsItsMarginsAndNeverGoesNegative_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("viewW");
        QTest::addColumn<int>("viewH");
        QTest::newRow("larger than designed") << 20000 << 15000 << 18300 << 13800;
        QTest::newRow("both too small") << 1000 << 500 << 0 << 0;
        QTest::newRow("exactly the margins") << 1700 << 1200 << 0 << 0;
        QTest::newRow("narrow only") << 900 << 7100 << 0 << 5900;
        QTest::newRow("low only") << 11700 << 300 << 10000 << 0;
        QTest::newRow("minimised to nothing") << 0 << 0 << 0 << 0;
    }
    void viewKeepsItsMarginsAndNeverGoesNegative()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, viewW);
        QFETCH(int, viewH);
        const MapLayout l = mapLayoutFor(w, h);
        QCOMPARE(l.viewWidth, viewW);
        QCOMPARE(l.viewHeight, viewH);
        // The rest hangs off the clamped view, so nothing lands above or left of the window.
        QCOMPARE(l.buttonLeft, viewW + 60);
        QCOMPARE(l.directoryTop, viewH + 100);
        QCOMPARE(l.lineY, viewH + 720);
        QCOMPARE(l.lineRight, w);
    }
};

QTEST_GUILESS_MAIN(test_MapLayout)
#include "test_MapLayout.moc"
