#include "shell/frmAbout.h"

#include "common/Hosts.h"
#include "common/Modual1.h"
#include "shell/InterfaceFont.h"
#include "windows/Placement.h"
#include "windows/WindowDesk.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

namespace {

const Place kClient = {"frmAbout", 0, 0, 6255, 5895};

// The frame drawn along the four edges: from (x1, y1) to (x2, y2).
struct Edge
{
    const char *name;
    int x1, y1, x2, y2;
};
const Edge kEdges[] = {
    {"Line1", 0, 0, 0, 5880},
    {"Line2", 0, 0, 6240, 0},
    {"Line3", 6240, 0, 6240, 5880},
    {"Line4", 0, 5880, 6240, 5880},
};

const Place kLabel1 = {"Label1", 1200, 240, 3855, 375};
const Place kLabel2 = {"Label2", 240, 840, 2000, 255};
const Place kLabel3 = {"Label3", 240, 1140, 5760, 255};
const Place kLabel5 = {"Label5", 240, 1440, 5760, 255};
const Place kLabel4 = {"Label4", 240, 1740, 5760, 255};
const Place kText1 = {"Text1", 240, 2160, 5760, 2040};
const Place kBrackenway = {"lblBrackenway", 240, 4320, 5760, 255};
const Place kFernlow = {"lblFernlow", 240, 4620, 5760, 255};
const Place kLabel6 = {"Label6", 240, 4920, 5760, 255};
const Place kClose = {"cmdClose", 4800, 5340, 1215, 375};

QString termsText()
{
    return QStringLiteral(
        "Veldrin is free software, licensed under the GNU General Public License, version 3 or "
        "(at your option) any later version: GPL-3.0-or-later.\r\n\r\n"
        "In short: you may run it for any purpose, study and change it, and give copies to others. "
        "Whoever passes Veldrin on, changed or not, passes on its source code under the same license "
        "and keeps this notice.\r\n\r\n"
        "Veldrin comes with no warranty of any kind. The full license text is in the file COPYING "
        "that comes with the program.");
}

} // namespace

frmAbout::frmAbout(WindowDesk &desk, QWidget *parent) : QDialog(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Veldrin"));
    setFixedSize(twipsToPixels(kClient.width), twipsToPixels(kClient.height));
    centerOnScreen(this);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);

    auto label = [this](const Place &place, const QString &text) {
        auto *l = new QLabel(text, this);
        placeControl(l, place);
        return l;
    };
    QLabel *version = label(kLabel1, QStringLiteral("Veldrin Version 0.90"));
    version->setAlignment(Qt::AlignCenter);
    QFont big = interfacefont::boldFont();
    // The interface face is sized in pixels, so the heading is too.
    big.setPixelSize(big.pixelSize() * 13 / 10);
    version->setFont(big);
    QLabel *credits = label(kLabel2, QStringLiteral("Credits"));
    credits->setFont(interfacefont::boldFont());
    label(kLabel3, QStringLiteral("Programming - The Veldrin team"));
    label(kLabel5, QStringLiteral("Town Creator and Testing - The Veldrin testers"));
    label(kLabel4, QStringLiteral("Hosting - Fernlow , Brackenway"));

    auto *terms = new QPlainTextEdit(this);
    placeControl(terms, kText1);
    terms->setReadOnly(true);
    terms->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    terms->setPlainText(termsText());

    QPalette link = palette();
    link.setColor(QPalette::WindowText, QColor(0, 0, 0x80));
    auto linkLabel = [&](const Place &place, const QString &text) {
        QLabel *l = label(place, text);
        l->setPalette(link);
        l->setCursor(Qt::PointingHandCursor);
        l->installEventFilter(this);
        return l;
    };
    m_brackenway = linkLabel(kBrackenway, hosts::maker());
    m_fernlow = linkLabel(kFernlow, hosts::partner() + QLatin1String("/fernlow"));
    m_bug = linkLabel(kLabel6, QStringLiteral("Found a bug? Click me"));

    QPushButton *close = makeButton(this, kClose, "Close");
    connect(close, &QPushButton::clicked, this, &frmAbout::cmdClose_Click);
}

frmAbout::~frmAbout() = default;

void frmAbout::openInSystemBrowser(const QString &address)
{
    QDesktopServices::openUrl(QUrl(hosts::withScheme(address)));
}

// The links open their own caption, whatever it says.
void frmAbout::lblBrackenway_Click() { openInSystemBrowser(m_brackenway->text()); }
void frmAbout::lblFernlow_Click() { openInSystemBrowser(m_fernlow->text()); }
void frmAbout::Label6_Click() { openInSystemBrowser(hosts::maker() + QLatin1String("/manager/bugreport.htm")); }
void frmAbout::cmdClose_Click() { close(); }

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == m_brackenway)
            lblBrackenway_Click();
        else if (watched == m_fernlow)
            lblFernlow_Click();
        else if (watched == m_bug)
            Label6_Click();
        else
            return QDialog::eventFilter(watched, event);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(QPen(Qt::black, 2));
    for (const Edge &e : kEdges)
        p.drawLine(twipsToPixels(e.x1), twipsToPixels(e.y1), twipsToPixels(e.x2), twipsToPixels(e.y2));
}
