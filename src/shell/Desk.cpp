#include "shell/Desk.h"

#include "common/Prompts.h"
#include "install/OpenRequest.h"
#include "install/WriterLock.h"
#include "platform/Launcher.h"
#include "shell/InterfaceFont.h"
#include "shell/frmAbout.h"
#include "shell/frmMDI.h"
#include "shell/frmOptions.h"
#include "windows/Placement.h"
#include "windows/install/frmHistory.h"
#include "windows/install/frmInstall.h"
#include "windows/managers/frmExtra.h"
#include "windows/managers/frmMap.h"
#include "windows/managers/frmTattoo.h"
#include "windows/readme/frmReadme.h"
#include "windows/web/frmBrowser.h"
#include "windows/web/frmUpdate.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <utility>

namespace {

// The widget that carries a window's close: its frame inside the MDI area, or the window itself.
const QWidget *closeHolder(const QWidget *window)
{
    if (auto *sub = qobject_cast<const QMdiSubWindow *>(window->parentWidget()))
        return sub;
    return window;
}

// A window closed with WA_DeleteOnClose lives on until the event loop gets round to deleting
// it; handing it out again would show a window that vanishes a moment later. Qt marks the
// accepted close by hiding the window and taking the attribute off as it schedules the delete.
// Both are needed: a dialog running exec() has the attribute off too, but is on screen.
template <class W> W *live(const QPointer<W> &slot)
{
    if (!slot)
        return nullptr;
    const QWidget *holder = closeHolder(slot);
    if (holder->isHidden() && !holder->testAttribute(Qt::WA_DeleteOnClose))
        return nullptr;
    return slot;
}

} // namespace

Desk::Desk(Modual1 &state, Prompts &prompts, QObject *parent) : QObject(parent), m_state(state), m_prompts(prompts)
{
    // Before the first window: every caption is measured in the face it will be drawn in.
    interfacefont::apply();
    // An install held up by one in another Veldrin or veldrin-brx says so where progress shows.
    history::WriterLock::setWaitNotice([this](bool waiting) {
        frmMDI *frame = openMdi();
        if (!frame)
            return;
        if (waiting)
            m_textBeforeWait = frame->progressText();
        frame->setProgressText(waiting ? history::waitingText() : std::exchange(m_textBeforeWait, QString()));
    });
    // An install that finds one killed in another process since start-up puts it back first.
    history::setRecoveryTeller([this](const QString &text) { tellRecovery(text); });
}

Desk::~Desk()
{
    history::WriterLock::setWaitNotice({});
    history::setRecoveryTeller({});
    // Top-level windows are not owned by the frame; take them down with the desk.
    for (QWidget *w : {static_cast<QWidget *>(m_options.data()), static_cast<QWidget *>(m_install.data()),
                       static_cast<QWidget *>(m_update.data()), static_cast<QWidget *>(m_about.data())})
        delete w;
    delete m_mdi.data();
}

frmMDI *Desk::openMdi() const { return live(m_mdi); }
frmMap *Desk::map() const { return live(m_map); }
frmExtra *Desk::extra() const { return live(m_extra); }
frmTattoo *Desk::tattoo() const { return live(m_tattoo); }
frmReadme *Desk::readme() const { return live(m_readme); }
frmBrowser *Desk::browser() const { return live(m_browser); }
frmOptions *Desk::options() const { return live(m_options); }
frmInstall *Desk::install() const { return live(m_install); }
frmUpdate *Desk::update() const { return live(m_update); }
frmAbout *Desk::about() const { return live(m_about); }
frmHistory *Desk::history() const { return live(m_history); }

frmMDI *Desk::mdi()
{
    if (!live(m_mdi)) {
        m_mdi = new frmMDI(*this);
        m_mdi->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_mdi, &frmMDI::closingStandAlone, this, [this] {
            for (QWidget *w : {static_cast<QWidget *>(options()), static_cast<QWidget *>(install()),
                               static_cast<QWidget *>(update()), static_cast<QWidget *>(about())}) {
                if (w)
                    w->close();
            }
        });
    }
    return m_mdi;
}

void Desk::startUp()
{
    frmMDI *frame = mdi();
    frame->MDIForm_Load();
    frame->show();
    showMap();
    if (!m_recoveryText.isEmpty())
        tellRecovery(std::exchange(m_recoveryText, QString()));
}

template <class W> W *Desk::showChild(QPointer<W> &slot)
{
    frmMDI *frame = mdi();
    if (!frame->isVisible())
        frame->show();
    if (!live(slot)) {
        W *window = new W(*this);
        slot = window;
        QMdiSubWindow *sub = frame->mdiArea()->addSubWindow(window);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowTitle(window->windowTitle());
        sub->setWindowIcon(frame->windowIcon());
        sub->adjustSize();
        sub->show();
    }
    if (auto *sub = qobject_cast<QMdiSubWindow *>(slot->parentWidget())) {
        sub->showNormal();
        frame->mdiArea()->setActiveSubWindow(sub);
        sub->raise();
    }
    return slot;
}

template <class W> W *Desk::showTopLevel(QPointer<W> &slot)
{
    if (!live(slot)) {
        slot = new W(*this);
        slot->setAttribute(Qt::WA_DeleteOnClose);
        placeNewWindow(slot);
    }
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot;
}

frmMap *Desk::showMap() { return showChild(m_map); }
frmExtra *Desk::showExtra() { return showChild(m_extra); }
frmTattoo *Desk::showTattoo() { return showChild(m_tattoo); }
frmReadme *Desk::showReadme() { return showChild(m_readme); }
frmBrowser *Desk::showBrowser() { return showChild(m_browser); }

frmHistory *Desk::showHistory()
{
    const bool wasOpen = history();
    frmHistory *window = showChild(m_history);
    // Opened from a menu, the frame gets the keyboard back only once the menu has gone, and
    // then gives it to the widget that had it last; unless that is this window, the window
    // that had it comes forward again.
    window->setFocus();
    if (wasOpen) {
        window->Refresh();
    } else {
        // Installs made in other windows meanwhile belong in the list as soon as the player
        // comes back to it.
        connect(mdi()->mdiArea(), &QMdiArea::subWindowActivated, window, [window](QMdiSubWindow *sub) {
            if (sub && sub->widget() == window)
                window->Refresh();
        });
    }
    return window;
}
void Desk::showWindow(Window which)
{
    switch (which) {
    case Window::Map: showMap(); break;
    case Window::Extra: showExtra(); break;
    case Window::Tattoo: showTattoo(); break;
    case Window::Readme: showReadme(); break;
    case Window::Browser: showBrowser(); break;
    case Window::Install: showInstall(); break;
    case Window::Options: showOptions(); break;
    case Window::History: showHistory(); break;
    case Window::About: showAbout(); break;
    }
}

frmOptions *Desk::showOptions() { return showTopLevel(m_options); }
frmInstall *Desk::showInstall() { return showTopLevel(m_install); }
frmUpdate *Desk::showUpdate() { return showTopLevel(m_update); }
frmAbout *Desk::showAbout() { return showTopLevel(m_about); }

void Desk::placeNewWindow(QWidget *window)
{
    // Windows that place themselves (centred on the screen) have done so; the others open
    // over the main window, where the player is looking, rather than wherever the window
    // system cascades them to, and never partly off the screen.
    if (!window->testAttribute(Qt::WA_Moved)) {
        // The size it will show with: its design size, or what its layout asks for.
        if (!window->testAttribute(Qt::WA_Resized))
            window->adjustSize();
        const QWidget *over = live(m_mdi) ? static_cast<QWidget *>(m_mdi.data()) : nullptr;
        if (over && over->isVisible())
            window->move(over->frameGeometry().center() - window->rect().center());
    }
    keepOnScreen(window);
}

void Desk::showOptionsModal()
{
    if (!live(m_options)) {
        m_options = new frmOptions(*this);
        m_options->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_options->setWindowModality(Qt::ApplicationModal);
    m_options->exec();
}

void Desk::showAboutModal()
{
    if (!live(m_about)) {
        m_about = new frmAbout(*this);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->setWindowModality(Qt::ApplicationModal);
    m_about->exec();
}

void Desk::ShowWebPage(const QString &address)
{
    m_state.BrowserAddress = address;
    showBrowser();
}

void Desk::ShowUpdatePage() { showUpdate(); }

void Desk::startProgram(const QString &windowsPath)
{
    // The desk may be gone by the time wine answers.
    const QPointer<Desk> self(this);
    const QString log = m_state.settings.ProgramFolder.isEmpty()
        ? QString()
        : m_state.settings.ProgramFolder + launcher::logFileName();
    const QString refused = launcher::start(
        windowsPath,
        [self](const QString &message) {
            if (self)
                self->m_prompts.message(message);
        },
        log);
    if (!refused.isEmpty())
        m_prompts.message(refused);
}

void Desk::LaunchGame() { startProgram(m_state.settings.GameFolder + QLatin1String("\\runblack.exe")); }

void Desk::LaunchEditor(const QString &editorPath)
{
    if (editorPath.isEmpty()) {
        showOptions();
        return;
    }
    startProgram(editorPath);
}

void Desk::OpenHelpContents() { startProgram(m_state.settings.ProgramFolder + QLatin1String("\\Help\\Help.exe")); }

void Desk::LaunchSteadwright()
{
    startProgram(m_state.settings.ProgramFolder + QLatin1String("\\Steadwright\\Steadwright.exe"));
}

void Desk::openHostFiles(const QStringList &hostPaths)
{
    for (const QString &hostPath : hostPaths) {
        const openrequest::Request request = openrequest::forHostPath(hostPath);
        if (!request.ok()) {
            m_prompts.message(request.refusal);
            continue;
        }
        // The installer holds one chosen file: of several, the last one stays chosen.
        showInstall()->chooseFileToInstall(request.windowsPath);
    }
}

void Desk::adoptMenuBar(QWidget *child, QMenuBar *bar) { mdi()->adoptMenuBar(child, bar); }

void Desk::setProgressText(const QString &text)
{
    if (m_mdi)
        m_mdi->setProgressText(text);
}

void Desk::tellRecovery(const QString &text)
{
    if (text.isEmpty())
        return;
    if (!openMdi() || !m_mdi->isVisible()) {
        m_recoveryText = text;
        return;
    }
    // From the event loop, so the frame and the map window are painted behind the message.
    QTimer::singleShot(0, this, [this, text] { m_prompts.message(text); });
}
