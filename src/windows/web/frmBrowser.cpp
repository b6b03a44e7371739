#include "windows/web/frmBrowser.h"

#include "common/Hosts.h"
#include "common/Modual1.h"
#include "web/BrowserLayout.h"
#include "windows/Placement.h"
#include "windows/WindowDesk.h"
#include "windows/web/DownloadBar.h"
#include "windows/web/WebPane.h"
#include "windows/web/WebPaneLoader.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <algorithm>

namespace {

constexpr int kClientWidth = 9990;
constexpr int kClientHeight = 6135;

const Place kBack = {"cmdBack", 0, 0, 975, 615};
const Place kForward = {"cmdForward", 960, 0, 975, 615};
const Place kStop = {"cmdStop", 1920, 0, 975, 615};
const Place kRefresh = {"cmdRefresh", 2880, 0, 1095, 615};
const Place kAddress = {"lblAddress", 4080, 0, 0, 0};
const Place kNav = {"txtNav", 4080, 360, 5775, 285};
const Place kGo = {"cmdGo", 8760, 0, 1095, 375};
const Place kWeb = {"web1", 0, 720, 9975, 5415};

const QSize kPictureSize(52, 35);

// The button artwork: the style's own arrow, stop and reload pictures, centred on a
// picture of the size the buttons were drawn for.
QIcon picture(QStyle *style, QStyle::StandardPixmap which)
{
    QPixmap canvas(kPictureSize);
    canvas.fill(Qt::transparent);
    const int side = kPictureSize.height() - 3;
    const QPixmap symbol = style->standardIcon(which).pixmap(side, side);
    QPainter painter(&canvas);
    painter.drawPixmap((kPictureSize.width() - side) / 2, (kPictureSize.height() - side) / 2, symbol);
    return QIcon(canvas);
}

QPushButton *pictureButton(QWidget *parent, const Place &where, QStyle::StandardPixmap which, const QString &tip)
{
    auto *button = new QPushButton(parent);
    button->setIcon(picture(parent->style(), which));
    button->setIconSize(kPictureSize);
    button->setToolTip(tip);
    placeControl(button, where);
    return button;
}

} // namespace

frmBrowser::frmBrowser(WindowDesk &desk, QWidget *parent) : QWidget(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmBrowser"));
    setWindowTitle(QStringLiteral("Veldrin - Web Browser"));

    m_cmdBack = pictureButton(this, kBack, QStyle::SP_ArrowBack, QStringLiteral("Back"));
    m_cmdForward = pictureButton(this, kForward, QStyle::SP_ArrowForward, QStringLiteral("Forward"));
    m_cmdStop = pictureButton(this, kStop, QStyle::SP_BrowserStop, QStringLiteral("Stop"));
    m_cmdRefresh = pictureButton(this, kRefresh, QStyle::SP_BrowserReload, QStringLiteral("Refresh"));
    m_lblAddress = new QLabel(QStringLiteral("Address Bar"), this);
    placeControl(m_lblAddress, kAddress);
    m_txtNav = new QLineEdit(this);
    placeControl(m_txtNav, kNav);
    m_cmdGo = new QPushButton(QStringLiteral("Go"), this);
    placeControl(m_cmdGo, kGo);
    // Enter in the address field is deliberately left unconnected: only Go navigates.
    m_cmdGo->setAutoDefault(false);
    m_web1 = webpane::create(this);
    placeControl(m_web1, kWeb);
    // Not one of the window's own controls: a line over the foot of the page, shown only
    // while there is a download to tell of.
    m_downloads = new DownloadBar(desk, *m_web1, this);

    connect(m_cmdBack, &QPushButton::clicked, this, &frmBrowser::cmdBack_Click);
    connect(m_cmdForward, &QPushButton::clicked, this, &frmBrowser::cmdForward_Click);
    connect(m_cmdStop, &QPushButton::clicked, this, &frmBrowser::cmdStop_Click);
    connect(m_cmdRefresh, &QPushButton::clicked, this, &frmBrowser::cmdRefresh_Click);
    connect(m_cmdGo, &QPushButton::clicked, this, &frmBrowser::cmdGo_Click);

    resize(sizeHint());
    Form_Load();
}

// The download line goes first: it still has the page area's downloads to cancel.
frmBrowser::~frmBrowser() { delete m_downloads; }

QSize frmBrowser::sizeHint() const { return {twipsToPixels(kClientWidth), twipsToPixels(kClientHeight)}; }

void frmBrowser::Form_Load()
{
    const QString address = m_desk.state().BrowserAddress;
    m_web1->go(QUrl(hosts::withScheme(address)));
    m_txtNav->setText(address);
}

void frmBrowser::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

// The page area follows the window's outer size, which for a window in the frame is the
// sub-window with its title bar and borders.
QSize frmBrowser::outerSize() const
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        return sub->size();
    return frameGeometry().size();
}

void frmBrowser::Form_Resize()
{
    const QSize outer = outerSize();
    const PaneSize pane = browserPaneSize(pixelsToTwips(outer.width()), pixelsToTwips(outer.height()));
    m_web1->setGeometry(twipsToPixels(kWeb.left), twipsToPixels(kWeb.top), twipsToPixels(pane.width),
                        twipsToPixels(pane.height));
    const int barHeight = m_downloads->barHeight();
    m_downloads->setGeometry(0, std::max(0, height() - barHeight), width(), barHeight);
}

// With nothing to go back or forward to, the buttons quietly do nothing.
void frmBrowser::cmdBack_Click()
{
    if (m_web1->canGoBack())
        m_web1->back();
}

void frmBrowser::cmdForward_Click()
{
    if (m_web1->canGoForward())
        m_web1->forward();
}

void frmBrowser::cmdStop_Click() { m_web1->stop(); }

void frmBrowser::cmdRefresh_Click() { m_web1->reload(); }

// The address goes as typed; only a missing scheme is supplied, since a bare host name
// is how the program's own links are written too.
void frmBrowser::cmdGo_Click() { m_web1->go(QUrl(hosts::withScheme(m_txtNav->text()))); }
