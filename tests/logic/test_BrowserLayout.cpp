#include "shell/Twips.h"
#include "web/BrowserLayout.h"

#include <QSize>
#include <QTest>

class test_BrowserLayout : public QObject
{
    Q_OBJECT
private slots:
    void paneFollowsTheOuterSizeLessTheMargins_data()
    {
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QSize>("pane");
        // A frame of 120 by 405 twips around the designed client area of 9990 by 6135.
        QTest::newRow("as created") << QSize(10110, 6540) << QSize(10010, 5440);
        QTest::newRow("300 twips wider") << QSize(10410, 6540) << QSize(10310, 5440);
        QTest::newRow("300 twips taller") << QSize(10110, 6840) << QSize(10010, 5740);
        QTest::newRow("exactly the margins") << QSize(100, 1100) << QSize(0, 0);
        QTest::newRow("narrower than the margin") << QSize(60, 3000) << QSize(0, 1900);
        QTest::newRow("shorter than the margin") << QSize(3000, 600) << QSize(2900, 0);
    }
    void paneFollowsTheOuterSizeLessTheMargins()
    {
        QFETCH(QSize, outer);
        QFETCH(QSize, pane);
        const PaneSize got = browserPaneSize(outer.width(), outer.height());
        QCOMPARE(QSize(got.width, got.height), pane);
    }

    // Windows are resized in whole pixels: 20 pixels (300 twips) must reach the page area
    // whole, whatever the starting size, with no rounding drift.
    void pixelStepsPassThroughUnchanged()
    {
        const auto paneAt = [](int px) { return twipsToPixels(browserPaneSize(pixelsToTwips(px), 0).width); };
        for (int outer = 120; outer < 900; outer += 37)
            QCOMPARE(paneAt(outer + 20) - paneAt(outer), 20);
    }
};

QTEST_GUILESS_MAIN(test_BrowserLayout)
#include "test_BrowserLayout.moc"
