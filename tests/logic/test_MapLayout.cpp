#include "managers/MapLayout.h"

#include <QSize>
#include <QTest>

class test_MapLayout : public QObject
{
    Q_OBJECT
private slots:
    void followsTheViewAtTheDesignNumbers()
    {
        const MapLayout l = mapLayoutFor(11700, 7100);
        QCOMPARE(QList<int>({l.viewWidth, l.viewHeight, l.buttonLeft, l.directoryTop, l.messageTop, l.lineY, l.lineRight}),
                 QList<int>({10000, 5900, 10060, 6000, 6250, 6620, 11700}));
    }

    void viewKeepsItsMarginsAndNeverGoesNegative_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QSize>("view");
        QTest::newRow("larger than designed") << QSize(20000, 15000) << QSize(18300, 13800);
        QTest::newRow("exactly the margins") << QSize(1700, 1200) << QSize(0, 0);
        QTest::newRow("narrow only") << QSize(900, 7100) << QSize(0, 5900);
        QTest::newRow("low only") << QSize(11700, 300) << QSize(10000, 0);
        QTest::newRow("minimised to nothing") << QSize(0, 0) << QSize(0, 0);
    }
    void viewKeepsItsMarginsAndNeverGoesNegative()
    {
        QFETCH(QSize, window);
        QFETCH(QSize, view);
        const MapLayout l = mapLayoutFor(window.width(), window.height());
        QCOMPARE(QSize(l.viewWidth, l.viewHeight), view);
        // The rest hangs off the clamped view, so nothing lands above or left of the window.
        QCOMPARE(l.buttonLeft, view.width() + 60);
        QCOMPARE(l.lineY, view.height() + 720);
        QCOMPARE(l.lineRight, window.width());
    }
};

QTEST_GUILESS_MAIN(test_MapLayout)
#include "test_MapLayout.moc"
