#include "shell/frmSplash.h"

#include "common/Modual1.h"
#include "common/OptionsFile.h"
#include "windows/Artwork.h"
#include "windows/Placement.h"
#include "windows/WindowDesk.h"

#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace {
const Place kClient = {"frmSplash", 0, 0, 8010, 3375};
const Place kImage1 = {"Image1", 1080, 960, 6000, 1875};
} // namespace

void SplashClock::tick(frmSplash &splash) { splash.tmrMove_Timer(); }

void SplashClock::closeDue(frmSplash &splash) { splash.tmrEnd_Timer(); }

frmSplash::frmSplash(WindowDesk &desk, QWidget *parent, SplashClock *clock)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint), m_desk(desk), m_clock(clock),
      m_bars{{120, 720, 3120, 0xFF, 150}, {0, 480, 3120, 0xC0, 100}, {-120, 360, 3120, 0x40, 70}}
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QString());
    setFixedSize(twipsToPixels(kClient.width), twipsToPixels(kClient.height));
    centerOnScreen(this);
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);

    m_image = new QLabel(this);
    placeControl(m_image, kImage1);
    // The picture itself is drawn when the splash is first painted (see eventFilter): its text
    // costs a font match per face, which a splash that closes before it is seen should not pay.
    QPixmap unpainted(artwork::kSplashPictureSize);
    unpainted.fill(Qt::black);
    m_image->setPixmap(unpainted);
    m_image->setCursor(Qt::PointingHandCursor);
    m_image->installEventFilter(this);

    // Both timers run from the moment the window exists, also while a first-run Options
    // dialog is open inside the load step.
    m_tmrMove = new QTimer(this);
    m_tmrMove->setObjectName(QStringLiteral("tmrMove"));
    m_tmrMove->setInterval(kTickMs);
    connect(m_tmrMove, &QTimer::timeout, this, &frmSplash::tmrMove_Timer);
    m_tmrEnd = new QTimer(this);
    m_tmrEnd->setObjectName(QStringLiteral("tmrEnd"));
    m_tmrEnd->setInterval(closeDelayMs());
    m_tmrEnd->setSingleShot(true);
    connect(m_tmrEnd, &QTimer::timeout, this, &frmSplash::tmrEnd_Timer);
    if (m_clock) {
        m_clock->start(*this, kTickMs, m_tmrEnd->interval());
    } else {
        m_tmrMove->start();
        m_tmrEnd->start();
    }
}

frmSplash::~frmSplash() = default;

int frmSplash::closeDelayMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VELDRIN_SPLASH_MS", &ok);
    return ok && ms >= 0 ? ms : kCloseDelayMs;
}

void frmSplash::Form_Load()
{
    if (!optionsfile::LoadSettings(m_desk.settings()))
        m_desk.showOptionsModal();
}

void frmSplash::showUntilClosed()
{
    if (m_unloaded)
        return;
    // A loop of our own rather than exec(): the close timer may fire while the window is
    // still being shown, before a dialog's loop would be there to end.
    QEventLoop loop;
    m_loop = &loop;
    setWindowModality(Qt::ApplicationModal);
    show();
    if (!m_unloaded)
        loop.exec(QEventLoop::DialogExec);
    m_loop = nullptr;
    hide();
}

void frmSplash::tmrMove_Timer()
{
    for (Bar &b : m_bars)
        b.x2 += b.step;
    if (isVisible())
        update();
}

void frmSplash::tmrEnd_Timer() { unload(); }

void frmSplash::Image1_Click() { unload(); }

void frmSplash::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_tmrMove->stop();
    m_tmrEnd->stop();
    if (m_clock)
        m_clock->stop();
    hide();
    if (m_loop)
        m_loop->quit();
}

// Escape or the window manager closing it count as the splash closing.
void frmSplash::done(int) { unload(); }

bool frmSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_image && event->type() == QEvent::MouseButtonPress) {
        Image1_Click();
        return true;
    }
    if (watched == m_image && event->type() == QEvent::Paint && !m_pictureDrawn) {
        m_pictureDrawn = true;
        m_image->setPixmap(artwork::splashPicture());
    }
    return QDialog::eventFilter(watched, event);
}

void frmSplash::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    // The bars grow without limit; nothing past the right edge can be seen, so stop drawing there.
    const qint64 edge = pixelsToTwips(width()) + kTwipsPerPixel;
    for (int n = 3; n >= 1; --n) {
        const Bar &b = bar(n);
        const int right = int(qMin(b.x2, edge));
        p.setPen(QPen(QColor(b.grey, b.grey, b.grey), 2));
        p.drawLine(twipsToPixels(b.x1), twipsToPixels(b.y), twipsToPixels(right), twipsToPixels(b.y));
    }
}
