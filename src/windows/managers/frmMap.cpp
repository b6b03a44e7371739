#include "windows/managers/frmMap.h"

#include "common/GameFolders.h"
#include "common/Hosts.h"
#include "common/Modual1.h"
#include "install/InstallTransaction.h"
#include "managers/MapLayout.h"
#include "platform/FileIO.h"
#include "platform/WinPath.h"
#include "windows/Placement.h"
#include "windows/WindowDesk.h"
#include "windows/WindowParts.h"

#include <QEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

constexpr int kDesignWidth = 11385;
constexpr int kDesignHeight = 6810;
const QLatin1String kMapFilter("Black and White Maps (*.txt)|*.txt");

struct ButtonRow
{
    Place place;
    const char *caption;
    void (frmMap::*handler)();
};

const ButtonRow kButtons[] = {
    {{"cmdLoad", 9960, 120, 1335, 375}, "Load Map", &frmMap::cmdLoad_Click},
    {{"cmdInstall", 9960, 600, 1335, 375}, "Install this Map", &frmMap::cmdInstall_Click},
    {{"cmdSave", 9960, 1080, 1335, 375}, "Save Map", &frmMap::cmdSave_Click},
    {{"cmdTown", 9960, 1800, 1335, 375}, "Steadwright", &frmMap::cmdTown_Click},
    {{"cmdEdit", 9960, 2280, 1335, 375}, "Edit Map with... ", &frmMap::cmdEdit_Click},
    {{"cmdReadme", 9960, 2760, 1335, 375}, "Create Readme", &frmMap::cmdReadme_Click},
    {{"cmdTest", 9960, 3480, 1335, 375}, "Test Map", &frmMap::cmdTest_Click},
    {{"cmdSubmit", 9960, 3960, 1335, 375}, "Submit Map", &frmMap::cmdSubmit_Click},
    {{"cmdHelp", 9960, 4680, 1335, 375}, "Get Map Help", &frmMap::cmdHelp_Click},
    {{"cmdIdea", 9960, 5160, 1335, 375}, "Submit Map idea", &frmMap::cmdIdea_Click},
    {{"cmdFind", 9960, 5640, 1335, 375}, "Find Maps", &frmMap::cmdFind_Click},
};

const Place kView{"rtbMap", 0, 0, 9900, 5900};
const Place kLblDirectory{"lblDirectory", 120, 6000, 1695, 255};
const Place kLblCurrentDirectory{"lblCurrentDirectory", 1920, 6000, 7215, 255};
const Place kLblMessage{"lblMessage", 300, 6350, 1575, 255};
const Place kLblWelcomeMessage{"lblWelcomeMessage", 1920, 6345, 7455, 255};
const int kLineY = 6720;
const int kLineRight = 11280;

struct MenuRow
{
    const char *menu; // the menu this entry opens under; a new name starts a new menu
    const char *menuCaption;
    const char *name;
    const char *caption;
    void (frmMap::*handler)();
};

const MenuRow kMenu[] = {
    {"mnuFile", "File", "mnuOpen", "Open Map", &frmMap::LoadMap},
    {"mnuFile", "File", "mnuInstall", "Install Map", &frmMap::InstallMap},
    {"mnuFile", "File", "mnuSave", "Save Map", &frmMap::SaveMap},
    {"mnuFile", "File", "mnuExit", "Exit", &frmMap::mnuExit_Click},
    {"mnuEdit", "Edit", "mnuEditMap", "Edit Map with...", &frmMap::cmdEdit_Click},
    {"mnuEdit", "Edit", "mnuTest", "Test Map", &frmMap::cmdTest_Click},
    {"mnuManage", "Manage", "mnuLandscape", "Landscapes", &frmMap::mnuLandscape_Click},
    {"mnuManage", "Manage", "mnuSkin", "Skin", &frmMap::mnuLandscape_Click},
    {"mnuManage", "Manage", "mnuTattoo", "Tattoo", &frmMap::mnuTattoo_Click},
    {"mnuTools", "Tools", "mnuReadme", "Readme Creator", &frmMap::cmdReadme_Click},
    {"mnuTools", "Tools", "mnuOptions", "Options", &frmMap::mnuOptions_Click},
    {"mnuTools", "Tools", "mnuHistory", "Install History", &frmMap::mnuHistory_Click},
    {"mnuHelp", "Help", "mnuUpdate", "Updates", &frmMap::mnuUpdate_Click},
    {"mnuHelp", "Help", "mnuContents", "Contents", &frmMap::mnuContents_Click},
    {"mnuHelp", "Help", "mnuAbout", "About", &frmMap::mnuAbout_Click},
};

QLabel *makeLabel(QWidget *parent, const Place &place, const QString &caption)
{
    auto *label = new QLabel(caption, parent);
    placeControl(label, place);
    return label;
}

} // namespace

frmMap::frmMap(WindowDesk &desk, QWidget *parent) : QWidget(parent), m_desk(desk), dio1(desk.prompts())
{
    setObjectName(QStringLiteral("frmMap"));
    setWindowTitle(QStringLiteral("Veldrin Beta 1 - Maps"));

    rtbMap = new QPlainTextEdit(this);
    // Scripts read best unwrapped, and a long script then lays out only what is on screen.
    rtbMap->setLineWrapMode(QPlainTextEdit::NoWrap);
    placeControl(rtbMap, kView);

    for (const ButtonRow &row : kButtons) {
        QPushButton *button = makeButton(this, row.place, row.caption);
        connect(button, &QPushButton::clicked, this, row.handler);
        m_buttons << button;
    }

    lblDirectory = makeLabel(this, kLblDirectory, QStringLiteral("Current Map Directory:"));
    lblCurrentDirectory = makeLabel(this, kLblCurrentDirectory, QStringLiteral("None..."));
    lblMessage = makeLabel(this, kLblMessage, QStringLiteral("Welcome Message:"));
    lblWelcomeMessage = makeLabel(this, kLblWelcomeMessage, QString());

    ln1 = new QFrame(this);
    ln1->setObjectName(QStringLiteral("ln1"));
    ln1->setFrameShape(QFrame::HLine);
    ln1->setFrameShadow(QFrame::Sunken);
    ln1->setGeometry(0, twipsToPixels(kLineY) - 1, twipsToPixels(kLineRight), 3);

    buildMenuBar();
}

frmMap::~frmMap() = default;

QSize frmMap::sizeHint() const { return {twipsToPixels(kDesignWidth), twipsToPixels(kDesignHeight)}; }

void frmMap::buildMenuBar()
{
    auto *bar = new QMenuBar;
    bar->setObjectName(QStringLiteral("frmMapMenu"));
    QMenu *menu = nullptr;
    for (const MenuRow &row : kMenu) {
        if (!menu || menu->objectName() != QLatin1String(row.menu)) {
            menu = makeMenu(this, row.menu, row.menuCaption);
            bar->addMenu(menu);
        }
        connect(addEntry(this, menu, row.name, row.caption), &QAction::triggered, this, row.handler);
    }
    m_desk.adoptMenuBar(this, bar);
}

void frmMap::LoadMap()
{
    dio1.Filter = kMapFilter;
    if (!dio1.showOpen()) {
        // Cancelled before anything was ever chosen here: the dialog's path is empty, and the
        // label shows that empty path. After an earlier choice a cancel leaves everything, so
        // unsaved edits are not reloaded over.
        if (dio1.FileName.isEmpty())
            lblCurrentDirectory->clear();
        return;
    }
    // An unreadable file leaves the text alone, but the window still takes its path and name,
    // as that is what the user chose.
    if (const auto text = fileio::loadViewText(dio1.FileName))
        rtbMap->setPlainText(*text);
    lblCurrentDirectory->setText(dio1.FileName);
    m_desk.state().MapFileName = winpath::bareFileName(dio1.FileName);
}

void frmMap::SaveMap()
{
    dio1.Filter = kMapFilter;
    if (!dio1.showSave())
        return;
    fileio::writeText(dio1.FileName, viewText(rtbMap));
}

void frmMap::InstallMap()
{
    const QString &name = m_desk.state().MapFileName;
    if (name.isEmpty())
        return;
    const Settings &s = m_desk.settings();
    QString why;
    bool withoutUndo = false;
    if (!install::installFile(QStringLiteral("map"), QStringLiteral("frmMap"), s.GameFolder, s.ProgramFolder,
                              s.GameFolder + folders::kPlaygrounds + name, viewFileBytes(rtbMap), &why,
                              install::askThrough(m_desk.prompts()), &withoutUndo))
        m_desk.prompts().message(QStringLiteral("The map was not installed: %1").arg(why));
    else if (withoutUndo)
        m_desk.prompts().message(install::kInstalledWithoutUndo);
}

void frmMap::Form_Resize()
{
    // The rule is stated for the window's outer size, which in the frame is the sub-window's.
    const QWidget *outer = qobject_cast<QMdiSubWindow *>(parentWidget());
    const QSize size = outer ? outer->size() : frameGeometry().size();
    const MapLayout l = mapLayoutFor(pixelsToTwips(size.width()), pixelsToTwips(size.height()));

    rtbMap->setGeometry(0, 0, twipsToPixels(l.viewWidth), twipsToPixels(l.viewHeight));
    for (QPushButton *button : m_buttons)
        button->move(twipsToPixels(l.buttonLeft), button->y());
    lblDirectory->move(lblDirectory->x(), twipsToPixels(l.directoryTop));
    lblCurrentDirectory->move(lblCurrentDirectory->x(), twipsToPixels(l.directoryTop));
    lblMessage->move(lblMessage->x(), twipsToPixels(l.messageTop));
    lblWelcomeMessage->move(lblWelcomeMessage->x(), twipsToPixels(l.messageTop));
    ln1->setGeometry(0, twipsToPixels(l.lineY) - 1, twipsToPixels(l.lineRight), 3);
}

bool frmMap::event(QEvent *event)
{
    // The layout follows the outer window, which in the frame is the sub-window around this
    // one; it also changes size while this widget is hidden (minimised), so watch it directly.
    if (event->type() == QEvent::ParentAboutToChange && parentWidget())
        parentWidget()->removeEventFilter(this);
    else if (event->type() == QEvent::ParentChange && parentWidget())
        parentWidget()->installEventFilter(this);
    else if (event->type() == QEvent::Resize)
        Form_Resize();
    return QWidget::event(event);
}

bool frmMap::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        Form_Resize();
    return QWidget::eventFilter(watched, event);
}

void frmMap::cmdTown_Click() { m_desk.LaunchSteadwright(); }
void frmMap::cmdEdit_Click() { m_desk.LaunchEditor(m_desk.settings().MapEditorPath); }
void frmMap::cmdReadme_Click() { m_desk.showWindow(WindowDesk::Window::Readme); }
void frmMap::cmdTest_Click() { m_desk.LaunchGame(); }
void frmMap::cmdSubmit_Click() { m_desk.ShowWebPage(hosts::maker() + QLatin1String("/manager/submit.htm")); }
void frmMap::cmdHelp_Click() { m_desk.ShowWebPage(hosts::maker() + QLatin1String("/manager/help.htm")); }
void frmMap::cmdIdea_Click() { m_desk.ShowWebPage(hosts::partner() + QLatin1String("/fernlow/ideas.html")); }
void frmMap::cmdFind_Click() { m_desk.ShowWebPage(hosts::partner() + QLatin1String("/fernlow/maps.html")); }

void frmMap::mnuExit_Click() { WindowDesk::closeWindow(this); }
void frmMap::mnuLandscape_Click() { m_desk.showWindow(WindowDesk::Window::Extra); }
void frmMap::mnuTattoo_Click() { m_desk.showWindow(WindowDesk::Window::Tattoo); }
void frmMap::mnuOptions_Click() { m_desk.showWindow(WindowDesk::Window::Options); }
void frmMap::mnuHistory_Click() { m_desk.showWindow(WindowDesk::Window::History); }
void frmMap::mnuUpdate_Click() { m_desk.ShowUpdatePage(); }
void frmMap::mnuContents_Click() { m_desk.OpenHelpContents(); }
void frmMap::mnuAbout_Click() { m_desk.showWindow(WindowDesk::Window::About); }
