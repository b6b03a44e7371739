#include "web/frmUpdate.h"

#include "shell/Desk.h"
#include "shell/Hosts.h"
#include "shell/Placement.h"
#include "web/WebPane.h"
#include "web/WebPaneLoader.h"

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

// The window needs nothing from the desk: it only shows one page.
frmUpdate::frmUpdate(Desk &, QWidget *parent) : QWidget(parent, Qt::Window)
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

    // The controls sit at fixed places, so the window keeps the size they were laid out for.
    setFixedSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
    Form_Load();
}

frmUpdate::~frmUpdate() = default;

void frmUpdate::Form_Load() { m_web1->go(QUrl(QLatin1String("http://") + hosts::maker() + QLatin1String(kUpdatePath))); }

void frmUpdate::cmdClose_Click() { Desk::closeWindow(this); }
