#pragma once
// The program's desk: it owns the frame window, keeps every window at most once, and carries
// the operations that several windows share (showing windows, web pages, starting programs).
#include <QObject>
#include <QPointer>
#include <QStringList>

#include "common/Modual1.h"
#include "windows/WindowDesk.h"

class Prompts;
class QWidget;
class frmMDI;
class frmSplash;
class frmAbout;
class frmOptions;
class frmMap;
class frmExtra;
class frmTattoo;
class frmInstall;
class frmReadme;
class frmBrowser;
class frmUpdate;
class frmHistory;

class Desk : public QObject, public WindowDesk
{
    Q_OBJECT
public:
    Desk(Modual1 &state, Prompts &prompts, QObject *parent = nullptr);
    ~Desk() override;

    Modual1 &state() override { return m_state; }
    Settings &settings() override { return m_state.settings; }
    Prompts &prompts() override { return m_prompts; }

    // The whole start-up: frame (its load step shows the splash and reads the settings),
    // then the frame shown, then the map window inside it.
    void startUp();

    // The frame, created on first use. Creating it does not run its load step.
    frmMDI *mdi();

    // Open windows, or nullptr when closed.
    frmMDI *openMdi() const;
    frmMap *map() const;
    frmExtra *extra() const;
    frmTattoo *tattoo() const;
    frmReadme *readme() const;
    frmBrowser *browser() const;
    frmOptions *options() const;
    frmInstall *install() const;
    frmUpdate *update() const;
    frmAbout *about() const;
    frmHistory *history() const;

    // "Show": create and load the window if it is not open, then bring it to the front.
    frmMap *showMap();
    frmExtra *showExtra();
    frmTattoo *showTattoo();
    frmReadme *showReadme();
    frmBrowser *showBrowser();
    frmOptions *showOptions();
    void showOptionsModal() override;
    frmInstall *showInstall();
    frmUpdate *showUpdate();
    frmAbout *showAbout();
    void showAboutModal() override;
    frmHistory *showHistory();
    void showWindow(Window which) override;

    // Shared operations.
    void ShowWebPage(const QString &address) override;
    void ShowUpdatePage() override;
    void LaunchGame() override;
    void LaunchEditor(const QString &editorPath) override;
    void OpenHelpContents() override;
    void LaunchSteadwright() override;

    // Files handed over from outside (host paths): each one the installer takes opens on its
    // install page, as if picked with "..."; any other is refused with a message.
    void openHostFiles(const QStringList &hostPaths) override;

    // The frame's second status panel, for progress texts of the content windows.
    void setProgressText(const QString &text) override;

    // Hands the bar to the frame, creating the frame if need be.
    void adoptMenuBar(QWidget *child, QMenuBar *bar) override;

    // What the start-up recovery put back after an interrupted install. The player hears of
    // it once, in a message over the main window; before the frame is up it waits for it.
    void tellRecovery(const QString &text);

private:
    template <class W> W *showChild(QPointer<W> &slot);
    template <class W> W *showTopLevel(QPointer<W> &slot);
    void startProgram(const QString &windowsPath);
    void placeNewWindow(QWidget *window);

    Modual1 &m_state;
    Prompts &m_prompts;
    QPointer<frmMDI> m_mdi;
    QPointer<frmMap> m_map;
    QPointer<frmExtra> m_extra;
    QPointer<frmTattoo> m_tattoo;
    QPointer<frmReadme> m_readme;
    QPointer<frmBrowser> m_browser;
    QPointer<frmOptions> m_options;
    QPointer<frmInstall> m_install;
    QPointer<frmUpdate> m_update;
    QPointer<frmAbout> m_about;
    QPointer<frmHistory> m_history;
    QString m_recoveryText;
    QString m_textBeforeWait;
};
