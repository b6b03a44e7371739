#include "shell/frmMDI.h"

#include "common/Hosts.h"
#include "common/Modual1.h"
#include "install/OpenRequest.h"
#include "shell/frmSplash.h"
#include "windows/Artwork.h"
#include "windows/WindowDesk.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>

frmMDI::frmMDI(WindowDesk &desk, QWidget *parent) : QMainWindow(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmMDI"));
    setWindowTitle(QStringLiteral("Veldrin Beta 1 - Welcome"));
    // Windows take the program's icon when it has one; drawing it again would be wasted.
    if (QGuiApplication::windowIcon().isNull())
        setWindowIcon(artwork::programIcon());

    m_area = new QMdiArea(this);
    m_area->setObjectName(QStringLiteral("MDIClient"));
    m_area->setBackground(palette().brush(QPalette::Dark));
    setCentralWidget(m_area);

    m_menus = new QStackedWidget(this);
    m_frameMenu = new QMenuBar(m_menus);
    m_frameMenu->setObjectName(QStringLiteral("frmMDIMenu"));
    m_menus->addWidget(m_frameMenu);
    setMenuWidget(m_menus);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("stat1"));
    m_welcome = new QLabel(status);
    m_welcome->setObjectName(QStringLiteral("stat1Panel1"));
    m_progress = new QLabel(status);
    m_progress->setObjectName(QStringLiteral("stat1Panel2"));
    status->addWidget(m_welcome);
    status->addWidget(m_progress, 1);
    setStatusBar(status);

    buildMenus();
    // Room for the map window at its design size, without outgrowing a small screen.
    QSize size(1024, 720);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 0.9);
    resize(size);
    connect(m_area, &QMdiArea::subWindowActivated, this, &frmMDI::updateMenuBar);
    setAcceptDrops(true);
}

namespace {

QStringList droppedFiles(const QMimeData *data)
{
    QStringList files;
    if (!data)
        return files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    return files;
}

} // namespace

void frmMDI::dragEnterEvent(QDragEnterEvent *event)
{
    // Only what the installer would take shows the drop as welcome; the check is by name,
    // the file itself is looked at when it lands.
    const QStringList files = droppedFiles(event->mimeData());
    for (const QString &file : files) {
        if (openrequest::installable(file)) {
            event->acceptProposedAction();
            return;
        }
    }
    event->ignore();
}

void frmMDI::dropEvent(QDropEvent *event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    m_desk.openHostFiles(files);
}

frmMDI::~frmMDI()
{
    // Take the children down while the frame is still whole: their going updates the menu
    // bar, which must not happen from QWidget's destructor once this part is gone.
    // A child that was closed but not yet deleted is no longer in the area's list, yet still
    // ours; look for every one.
    disconnect(m_area, nullptr, this, nullptr);
    const QList<QMdiSubWindow *> children =
        m_area->viewport()->findChildren<QMdiSubWindow *>(Qt::FindDirectChildrenOnly);
    for (QMdiSubWindow *child : children)
        delete child;
}

void frmMDI::adoptMenuBar(QWidget *child, QMenuBar *bar)
{
    bar->setParent(m_menus);
    m_menus->addWidget(bar);
    bar->setProperty("veldrinOwner", QVariant::fromValue(static_cast<QObject *>(child)));
    connect(child, &QObject::destroyed, bar, [this, bar] {
        m_menus->removeWidget(bar);
        bar->deleteLater();
        updateMenuBar();
    });
    updateMenuBar();
}

QMenuBar *frmMDI::currentMenuBar() const { return qobject_cast<QMenuBar *>(m_menus->currentWidget()); }

void frmMDI::updateMenuBar()
{
    QMdiSubWindow *active = m_area->activeSubWindow();
    QWidget *child = active ? active->widget() : nullptr;
    QWidget *chosen = m_frameMenu;
    if (child) {
        for (int i = 1; i < m_menus->count(); ++i) {
            QWidget *bar = m_menus->widget(i);
            if (bar->property("veldrinOwner").value<QObject *>() == child)
                chosen = bar;
        }
    }
    m_menus->setCurrentWidget(chosen);
    // The stack takes the size of its largest page; keep it at the height of a menu bar.
    m_menus->setFixedHeight(chosen->sizeHint().height());
}

void frmMDI::setProgressText(const QString &text) { m_progress->setText(text); }
QString frmMDI::progressText() const { return m_progress->text(); }

void frmMDI::MDIForm_Load()
{
    {
        frmSplash splash(m_desk);
        splash.Form_Load();
        // When the close timer fired while a first-run Options dialog was open, the splash
        // is already over and start-up goes straight on.
        splash.showUntilClosed();
    }
    m_welcome->setText(QStringLiteral(" Welcome to Veldrin "));
    m_desk.state().BrowserAddress = hosts::maker();
}

void frmMDI::closeEvent(QCloseEvent *event)
{
    // The frame going means the program going: children first, then the stand-alone windows,
    // so that nothing is left open to keep the program alive.
    m_area->closeAllSubWindows();
    emit closingStandAlone();
    event->accept();
}

void frmMDI::buildMenus()
{
    struct Item
    {
        const char *name;
        const char *caption;
        void (frmMDI::*action)();
    };
    auto addMenu = [this](const char *name, const char *caption, std::initializer_list<Item> items) {
        auto *menu = new QMenu(QString::fromLatin1(caption), m_frameMenu);
        menu->setObjectName(QLatin1String(name));
        menu->menuAction()->setObjectName(QLatin1String(name));
        for (const Item &item : items) {
            auto *action = new QAction(QString::fromLatin1(item.caption), menu);
            action->setObjectName(QLatin1String(item.name));
            const auto handler = item.action;
            connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
            menu->addAction(action);
        }
        m_frameMenu->addMenu(menu);
    };
    addMenu("mnuFile", "File",
            {{"mnuBrackenway", "Visit Brackenway", &frmMDI::mnuBrackenway_Click},
             {"mnuFernlow", "Visit Fernlow", &frmMDI::mnuFernlow_Click},
             {"mnuExit", "Exit", &frmMDI::mnuExit_Click}});
    addMenu("mnuManage", "Manage",
            {{"mnuMap", "Map", &frmMDI::mnuMap_Click},
             {"mnuLandscape", "Landscape", &frmMDI::mnuLandscape_Click},
             {"mnuSkin", "Skin", &frmMDI::mnuSkin_Click},
             {"mnuTattoo", "Tatoo", &frmMDI::mnuTattoo_Click}});
    addMenu("mnuTools", "Tools",
            {{"mnuReadme", "Readme Creator", &frmMDI::mnuReadme_Click},
             {"mnuBrowser", "Web Browser", &frmMDI::mnuBrowser_Click},
             {"mnuInstall", "Installer", &frmMDI::mnuInstall_Click},
             {"mnuOptions", "Options", &frmMDI::mnuOptions_Click},
             {"mnuHistory", "Install History", &frmMDI::mnuHistory_Click}});
    addMenu("mnuHelp", "Help",
            {{"mnuContents", "Contents", &frmMDI::mnuContents_Click},
             {"mnuUpdates", "Updates", &frmMDI::mnuUpdates_Click},
             {"mnuBugReport", "Bug Report", &frmMDI::mnuBugReport_Click},
             {"mnuComments", "Comment and Suggestions", &frmMDI::mnuComments_Click},
             {"mnuOfficialForums", "Discuss in Forums", &frmMDI::mnuOfficialForums_Click},
             {"mnuAbout", "About", &frmMDI::mnuAbout_Click}});
}

void frmMDI::mnuBrackenway_Click() { m_desk.ShowWebPage(hosts::maker()); }
void frmMDI::mnuFernlow_Click() { m_desk.ShowWebPage(hosts::partner() + QLatin1String("/fernlow")); }
void frmMDI::mnuExit_Click() { close(); }
void frmMDI::mnuMap_Click() { m_desk.showWindow(WindowDesk::Window::Map); }
void frmMDI::mnuLandscape_Click() { m_desk.showWindow(WindowDesk::Window::Extra); }
void frmMDI::mnuSkin_Click() { m_desk.showWindow(WindowDesk::Window::Extra); }
void frmMDI::mnuTattoo_Click() { m_desk.showWindow(WindowDesk::Window::Tattoo); }
void frmMDI::mnuReadme_Click() { m_desk.showWindow(WindowDesk::Window::Readme); }
void frmMDI::mnuBrowser_Click() { m_desk.showWindow(WindowDesk::Window::Browser); }
void frmMDI::mnuInstall_Click() { m_desk.showWindow(WindowDesk::Window::Install); }
void frmMDI::mnuOptions_Click() { m_desk.showWindow(WindowDesk::Window::Options); }
void frmMDI::mnuHistory_Click() { m_desk.showWindow(WindowDesk::Window::History); }
void frmMDI::mnuContents_Click() { m_desk.OpenHelpContents(); }
void frmMDI::mnuUpdates_Click() { m_desk.ShowUpdatePage(); }
void frmMDI::mnuBugReport_Click() { m_desk.ShowWebPage(hosts::maker() + QLatin1String("/manager/bugreport.htm")); }
void frmMDI::mnuComments_Click() { m_desk.ShowWebPage(hosts::maker() + QLatin1String("/manager/comments.htm")); }
void frmMDI::mnuOfficialForums_Click() { m_desk.ShowWebPage(hosts::forums()); }
void frmMDI::mnuAbout_Click() { m_desk.showWindow(WindowDesk::Window::About); }
