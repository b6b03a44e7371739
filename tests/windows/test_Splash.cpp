// The splash as the player sees it. Its own timers are checked for the designed rates and for
// closing it by themselves; what happens over its three seconds is checked on a clock turned by
// hand, so a slow or sanitised build cannot make the test pass or fail by timing.
#include "DeskFixture.h"
#include "support/EnvGuard.h"
#include "shell/frmSplash.h"

#include <QTimer>

namespace {

// Turns the splash's time by hand, one millisecond at a time; a tick due at the same moment
// as the close comes first.
class HandClock : public SplashClock
{
public:
    void start(frmSplash &splash, int tickMs, int closeMs) override
    {
        m_splash = &splash;
        m_tickMs = tickMs;
        m_closeMs = closeMs;
        m_running = true;
        ++starts;
    }
    void stop() override { m_running = false; }

    void advance(qint64 ms)
    {
        for (qint64 end = now + ms; m_running && now < end;) {
            ++now;
            if (now % m_tickMs == 0) {
                tick(*m_splash);
                ++ticks;
            }
            if (m_running && now == m_closeMs)
                closeDue(*m_splash);
        }
    }

    qint64 now = 0;
    int ticks = 0;
    int starts = 0;

private:
    frmSplash *m_splash = nullptr;
    int m_tickMs = 1;
    int m_closeMs = 0;
    bool m_running = false;
};

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

    void ownTimersRunAtTheDesignedRatesAndCloseIt()
    {
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
        }
        // Left to its own timers, a short splash animates and closes by itself.
        const EnvGuard shortSplash("VELDRIN_SPLASH_MS", "300");
        frmSplash splash(*f->desk);
        splash.show();
        QTRY_VERIFY_WITH_TIMEOUT(splash.isUnloaded(), 60000);
        QVERIFY(!splash.isVisible());
        QVERIFY(!splash.tmrMove()->isActive());
        QVERIFY(!splash.tmrEnd()->isActive());
    }

    void barsGrowEveryTickForThreeSecondsThenItCloses()
    {
        EnvGuard guard;
        guard.unset("VELDRIN_SPLASH_MS");
        HandClock clock;
        frmSplash splash(*f->desk, nullptr, &clock);
        QCOMPARE(clock.starts, 1);
        // The clock replaces the timers: they do not run beside it.
        QVERIFY(!splash.tmrMove()->isActive());
        QVERIFY(!splash.tmrEnd()->isActive());
        splash.show();

        clock.advance(2999);
        QVERIFY(!splash.isUnloaded());
        QVERIFY(splash.isVisible());
        QCOMPARE(clock.ticks, 199);
        // The bars start where they were drawn and step 150, 100 and 70 twips a tick.
        QCOMPARE(splash.bar(1).x2, 720 + 199 * 150);
        QCOMPARE(splash.bar(2).x2, 480 + 199 * 100);
        QCOMPARE(splash.bar(3).x2, 360 + 199 * 70);

        clock.advance(1);
        QVERIFY(splash.isUnloaded());
        QVERIFY(!splash.isVisible());
        QCOMPARE(ticksOf(splash.bar(1), 720), 200);

        // Nothing moves once the splash is gone, and the clock was told so.
        clock.advance(3000);
        QCOMPARE(clock.now, 3000);
        QCOMPARE(ticksOf(splash.bar(1), 720), 200);
        QCOMPARE(ticksOf(splash.bar(3), 360), 200);
    }

    void modalShowEndsWhenTheClockClosesIt()
    {
        EnvGuard guard;
        guard.unset("VELDRIN_SPLASH_MS");
        HandClock clock;
        frmSplash splash(*f->desk, nullptr, &clock);
        // Turned from inside the splash's own loop, as a timer would fire there.
        QTimer::singleShot(0, &splash, [&] { clock.advance(3000); });
        splash.showUntilClosed();
        QVERIFY(splash.isUnloaded());
        QCOMPARE(clock.now, 3000);
        QVERIFY(!splash.isVisible());

        // A splash closed before it is shown is never shown at all.
        HandClock early;
        frmSplash closed(*f->desk, nullptr, &early);
        early.advance(3000);
        closed.showUntilClosed();
        QVERIFY(closed.isUnloaded());
        QVERIFY(!closed.isVisible());
    }
};

QTEST_MAIN(test_Splash)
#include "test_Splash.moc"
