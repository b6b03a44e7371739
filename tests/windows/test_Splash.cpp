// The splash as the player sees it, on its own clock: every other test shortens its close
// delay through VELDRIN_SPLASH_MS, so only here would a splash that closed too early or
// animated too fast be caught.
#include "DeskFixture.h"
#include "support/EnvGuard.h"
#include "shell/frmSplash.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {

// How many ticks a bar has taken, from how far its right end has moved.
qint64 ticksOf(const frmSplash::Bar &bar, qint64 startX2) { return (bar.x2 - startX2) / bar.step; }

} // namespace

class test_Splash : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;

private slots:
    void init() { f = std::make_unique<DeskFixture>(); }
    void cleanup()
    {
        f->tearDown();
        f.reset();
    }

    void timersRunAtTheDesignedRates()
    {
        EnvGuard guard;
        guard.unset("VELDRIN_SPLASH_MS");
        frmSplash splash(*f->desk);
        auto *tick = splash.findChild<QTimer *>(QStringLiteral("tmrMove"));
        auto *end = splash.findChild<QTimer *>(QStringLiteral("tmrEnd"));
        QVERIFY(tick);
        QVERIFY(end);
        QCOMPARE(tick->interval(), 15);
        QVERIFY(tick->isActive());
        QVERIFY(!tick->isSingleShot());
        QCOMPARE(end->interval(), 3000);
        QVERIFY(end->isActive());
        QVERIFY(end->isSingleShot());
        // The bars start where they were drawn and step 150, 100 and 70 twips at a time.
        QCOMPARE(splash.bar(1).x2, 720);
        QCOMPARE(splash.bar(1).step, 150);
        QCOMPARE(splash.bar(2).step, 100);
        QCOMPARE(splash.bar(3).step, 70);
    }

    void staysAboutThreeSecondsWhileTheBarsGrow()
    {
        EnvGuard guard;
        guard.unset("VELDRIN_SPLASH_MS");
        QElapsedTimer clock;
        clock.start();
        frmSplash splash(*f->desk);
        splash.show();
        QTRY_VERIFY_WITH_TIMEOUT(splash.isUnloaded(), 6000);
        const qint64 closedAt = clock.elapsed();
        QVERIFY2(closedAt >= 2500, qPrintable(QStringLiteral("closed after %1 ms").arg(closedAt)));
        QVERIFY2(closedAt <= 3600, qPrintable(QStringLiteral("closed after %1 ms").arg(closedAt)));
        QVERIFY(!splash.isVisible());

        // All three bars took the same ticks, and about one every 15 ms (a coarse timer may
        // run a little fast, hence 14): a 1 ms timer would have run them off the window
        // within the first tenth of a second. A busy machine delivers fewer, never more.
        const qint64 ticks = ticksOf(splash.bar(1), 720);
        QCOMPARE(ticksOf(splash.bar(2), 480), ticks);
        QCOMPARE(ticksOf(splash.bar(3), 360), ticks);
        QVERIFY2(ticks >= 40, qPrintable(QStringLiteral("%1 ticks").arg(ticks)));
        QVERIFY2(ticks <= closedAt / 14 + 10, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(closedAt)));
        // Nothing moves once the splash is gone.
        QVERIFY(!splash.findChild<QTimer *>(QStringLiteral("tmrMove"))->isActive());
    }
};

QTEST_MAIN(test_Splash)
#include "test_Splash.moc"
