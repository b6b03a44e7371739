#include "shell/Twips.h"
#include "web/BrowserLayout.h"

#include <QTest>

class test_BrowserLayout : public QObject
{
    Q_OBJECT
private slots:
    void paneFollowsTheOuterSizeLessTheMargins_data()
    {
        QTest::addColumn<int>("outerWidth");
        QTest::addColumn<int>("outerHeight");
        QTest::addColumn<int>("paneWidth");
        QTest::addColumn<int>("paneHeight");
        // A frame of 120 by 405 twips around the designed client area of 9990 by 6135.
        QTest::newRow("as created") << 10110 << 6540 << 10010 << 5440;
        QTest::newRow("300 twips wider") << 10410 << 6540 << 10310 << 5440;
        QTest::newRow("300 twips taller") << 10110 << 6840 << 10010 << 5740;
        QTest::newRow("exactly the margins") << 100 << 1100 << 0 << 0;
        QTest::newRow("narrower than the margin") << 60 << 3000 << 0 << 1900;
        QTest::newRow("shorter than the margin") << 3000 << 600 << 2900 << 0;
        QTest::newRow("minimised to nothing") << 0 << 0 << 0 << 0;
    }
    void paneFollowsTheOuterSizeLessTheMargins()
    {
        QFETCH(int, outerWidth);
        QFETCH(int, outerHeight);
        QFETCH(int, paneWidth);
        QFETCH(int, paneHeight);
        const PaneSize pane = browserPaneSize(outerWidth, outerHeight);
        QCOMPARE(pane.width, paneWidth);
        QCOMPARE(pane.height, paneHeight);
    }

    // Windows are resized in whole pixels: a change of 20 pixels (300 twips) must reach the
    // page area whole, whatever the starting size, with no rounding drift.
    void pixelStepsPassThroughUnchanged()
    {
        for (int outer = 120; outer < 900; outer += 37) {
            const auto paneAt = [](int px) {
                return twipsToPixels(browserPaneSize(pixelsToTwips(px), pixelsToTwips(px)).width);
            };
            QCOMPARE(paneAt(outer + 20) - paneAt(outer), 20);
        }
    }
};

QTEST_GUILESS_MAIN(test_BrowserLayout)
#include "test_BrowserLayout.moc"
