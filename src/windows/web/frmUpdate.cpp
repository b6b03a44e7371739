#include "windows/web/frmUpdate.h"

#include "common/Hosts.h"
#include "windows/Placement.h"
#include "windows/WindowDesk.h"
#include "windows/web/DownloadBar.h"
#include "windows/web/WebPane.h"
#include "windows/web/WebPaneLoader.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr int kClientWidth = 5760;
constexpr int kClientHeight = 3645;
// The update page is named after the version it is for.
const char *const kUpdatePath = "/manager/update/update0.90.htm";

const Place kInfo = {"lblInfo", 0, 0, 5655, 615};
const Place kWeb = {"web1", 0, 720, 5655, 2415};
const Place kCheck = {"lblCheck", 0, 3360, 0, 0};
const Place kClose = {"cmdClose", 4320, 3240, 1335, 375};

} // namespace

// The desk is only needed for what a link on the page downloads.
frmUpdate::frmUpdate(WindowDesk &desk, QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(QStringLiteral("Veldrin - Updates"));

    auto *info = new QLabel(QStringLiteral("You can use This Update feature to check if this program has been updated "
                                           "if it has then you can download the new version or stick with the current "
                                           "one."),
                            this);
    info->setWordWrap(true);
    info->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeControl(info, kInfo);
    m_web1 = webpane::create(this);
    placeControl(m_web1, kWeb);
    auto *check = new QLabel(QStringLiteral("Checking for Updates"), this);
    placeControl(check, kCheck);
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    placeControl(close, kClose);
    connect(close, &QPushButton::clicked, this, &frmUpdate::cmdClose_Click);
    // A new version's file is fetched as the browser fetches one, its line over the foot of the page.
    m_downloads = new DownloadBar(desk, *m_web1, this);
    const int barHeight = m_downloads->barHeight();
    m_downloads->setGeometry(0, m_web1->geometry().bottom() + 1 - barHeight, m_web1->width(), barHeight);

    // The controls sit at fixed places, so the window keeps the size they were laid out for.
    setFixedSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
    Form_Load();
}

// The download line goes first: it still has the page area's downloads to cancel.
frmUpdate::~frmUpdate() { delete m_downloads; }

void frmUpdate::Form_Load() { m_web1->go(QUrl(QLatin1String("http://") + hosts::maker() + QLatin1String(kUpdatePath))); }

void frmUpdate::cmdClose_Click() { WindowDesk::closeWindow(this); }
