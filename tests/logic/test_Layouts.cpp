// Windows are laid out and resized in twips by pure rules; these pin them to the designed numbers.
#include "managers/MapLayout.h"
#include "managers/TattooFiles.h"
#include "shell/Twips.h"
#include "web/BrowserLayout.h"

#include <QRect>
#include <QTest>

static QRect rectOf(const Place &p) { return QRect(p.left, p.top, p.width, p.height); }

class test_Layouts : public QObject
{
    Q_OBJECT
private slots:
    void mapViewKeepsItsMarginsAndNeverGoesNegative_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QSize>("view");
        QTest::newRow("as designed") << QSize(11700, 7100) << QSize(10000, 5900);
        QTest::newRow("larger than designed") << QSize(20000, 15000) << QSize(18300, 13800);
        QTest::newRow("exactly the margins") << QSize(1700, 1200) << QSize(0, 0);
        QTest::newRow("narrow only") << QSize(900, 7100) << QSize(0, 5900);
        QTest::newRow("low only") << QSize(11700, 300) << QSize(10000, 0);
        QTest::newRow("minimised to nothing") << QSize(0, 0) << QSize(0, 0);
    }
    void mapViewKeepsItsMarginsAndNeverGoesNegative()
    {
        QFETCH(QSize, window);
        QFETCH(QSize, view);
        const MapLayout l = mapLayoutFor(window.width(), window.height());
        QCOMPARE(QSize(l.viewWidth, l.viewHeight), view);
        // The rest hangs off the clamped view, so nothing lands above or left of the window.
        QCOMPARE(QList<int>({l.buttonLeft, l.directoryTop, l.messageTop, l.lineY, l.lineRight}),
                 QList<int>({view.width() + 60, view.height() + 100, view.height() + 350, view.height() + 720,
                             window.width()}));
    }

    void browserPaneIsTheOuterSizeLessTheMargins_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QSize>("view");
        // A frame of 120 by 405 twips around the designed client area of 9990 by 6135.
        QTest::newRow("as created") << QSize(10110, 6540) << QSize(10010, 5440);
        QTest::newRow("exactly the margins") << QSize(100, 1100) << QSize(0, 0);
        QTest::newRow("narrower than the margin") << QSize(60, 3000) << QSize(0, 1900);
        QTest::newRow("shorter than the margin") << QSize(3000, 600) << QSize(2900, 0);
    }
    void browserPaneIsTheOuterSizeLessTheMargins()
    {
        QFETCH(QSize, window);
        QFETCH(QSize, view);
        const PaneSize pane = browserPaneSize(window.width(), window.height());
        QCOMPARE(QSize(pane.width, pane.height), view);
    }

    // Windows are resized in whole pixels: 20 pixels (300 twips) must reach the page area
    // whole, whatever the starting size, with no rounding drift.
    void browserPixelStepsPassThroughUnchanged()
    {
        const auto paneAt = [](int px) { return twipsToPixels(browserPaneSize(pixelsToTwips(px), 0).width); };
        for (int outer = 120; outer < 900; outer += 37)
            QCOMPARE(paneAt(outer + 20) - paneAt(outer), 20);
    }

    // Four to a row, left to right then down, and no box or button over another box.
    void tattooSlotsRunLeftToRightThenDown()
    {
        for (int n = 2; n <= tattoo::kSlotCount; ++n)
            QVERIFY(n % 4 == 1 ? tattoo::slotBox(n).top > tattoo::slotBox(n - 1).top : tattoo::slotBox(n).left > tattoo::slotBox(n - 1).left);
        for (int n = 1; n <= tattoo::kSlotCount; ++n)
            for (int m = n + 1; m <= tattoo::kSlotCount; ++m) {
                QVERIFY(!rectOf(tattoo::slotBox(n)).intersects(rectOf(tattoo::slotBox(m))));
                QVERIFY(!rectOf(tattoo::slotButton(n)).intersects(rectOf(tattoo::slotBox(m))));
            }
    }
};

QTEST_GUILESS_MAIN(test_Layouts)
#include "test_Layouts.moc"
