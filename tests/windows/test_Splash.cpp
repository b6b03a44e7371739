// The splash as the player sees it, over its three seconds on a clock turned by hand, so a slow
// or sanitised build cannot make the test pass or fail by timing. The clock is handed the
// splash's own tick and close times, so the counts below pin its designed rates; its own timers
// closing it by themselves are seen at every start of the shell tests.
#include "DeskFixture.h"
#include "shell/frmSplash.h"
#include "support/EnvGuard.h"

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
    void cleanup() { DeskFixture::end(f); }

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
};

QTEST_MAIN(test_Splash)
#include "test_Splash.moc"
