#pragma once
#include <QDialog>

class WindowDesk;
class frmSplash;
class QEventLoop;
class QLabel;
class QTimer;

// Where the splash's time comes from when it is not tmrMove and tmrEnd themselves: a test hands
// in a clock it turns by hand, so the animation and the close are checked without waiting on
// a real timer that a loaded machine delivers late.
class SplashClock
{
public:
    virtual ~SplashClock() = default;
    // From now on: a tick every tickMs, and the close once, closeMs from now.
    virtual void start(frmSplash &splash, int tickMs, int closeMs) = 0;
    // No more ticks or close: the splash has closed.
    virtual void stop() = 0;

protected:
    // What tmrMove and tmrEnd do when they fire.
    static void tick(frmSplash &splash);
    static void closeDue(frmSplash &splash);
};

// The splash: a picture and three bars that grow at three speeds until the close timer fires
// or the picture is clicked. Its load step reads the settings, which on a first run opens the
// Options dialog before the splash is ever seen.
class frmSplash : public QDialog
{
    Q_OBJECT
public:
    // Without a clock the splash runs on its own timers; a clock given is used instead of them
    // and must outlive the splash.
    explicit frmSplash(WindowDesk &desk, QWidget *parent = nullptr, SplashClock *clock = nullptr);
    ~frmSplash() override;

    // One animated line, in twips; only the right-hand end moves.
    struct Bar
    {
        int x1;
        qint64 x2;
        int y;
        int grey; // red, green and blue alike
        int step; // twips added to x2 on every tick
    };
    // ln1, ln2, ln3 for n = 1, 2, 3.
    const Bar &bar(int n) const { return m_bars[n - 1]; }

    void Form_Load();
    // True once the splash has closed, or was told to close before it could be shown.
    bool isUnloaded() const { return m_unloaded; }
    // Shows the splash modally unless it has already been closed.
    void showUntilClosed();

    QTimer *tmrMove() const { return m_tmrMove; }
    QTimer *tmrEnd() const { return m_tmrEnd; }

    // The animation steps at the rate the original system timer delivered its ticks; a
    // faster tick would run the bars off the window before the player sees them move.
    static constexpr int kTickMs = 15;
    static constexpr int kCloseDelayMs = 3000;
    // kCloseDelayMs unless VELDRIN_SPLASH_MS says otherwise (tests and benchmarks).
    static int closeDelayMs();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void done(int result) override;

private:
    friend class SplashClock;
    void tmrMove_Timer();
    void tmrEnd_Timer();
    void Image1_Click();
    void unload();

    WindowDesk &m_desk;
    QLabel *m_image = nullptr;
    QTimer *m_tmrMove = nullptr;
    QTimer *m_tmrEnd = nullptr;
    SplashClock *m_clock = nullptr;
    Bar m_bars[3];
    QEventLoop *m_loop = nullptr;
    bool m_unloaded = false;
    bool m_pictureDrawn = false;
};
