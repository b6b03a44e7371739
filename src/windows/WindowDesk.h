#pragma once
// What a window may ask of the desk that holds it: the program's state and seams, the
// operations several windows share, and the frame's menu bar. The desk in shell/ is the one
// implementation; a window sees only this, so it cannot reach the window classes beside it
// nor the frame, and the windows stay a layer below the desk that creates them.
#include <QtCore/qcontainerfwd.h>

class QMenuBar;
class QWidget;
class Prompts;
struct Modual1;
struct Settings;

class WindowDesk
{
public:
    // The windows one window brings up from another (a button or a menu of its own).
    enum class Window { Map, Extra, Tattoo, Readme, Browser, Install, Options, History, About };

    virtual ~WindowDesk();

    virtual Modual1 &state() = 0;
    virtual Settings &settings() = 0;
    virtual Prompts &prompts() = 0;

    // Creates and loads the window if it is not open, then brings it to the front.
    virtual void showWindow(Window which) = 0;
    // As dialogs the player closes before going on.
    virtual void showOptionsModal() = 0;
    virtual void showAboutModal() = 0;

    virtual void ShowWebPage(const QString &address) = 0;
    virtual void ShowUpdatePage() = 0;
    virtual void LaunchGame() = 0;
    virtual void LaunchEditor(const QString &editorPath) = 0;
    virtual void OpenHelpContents() = 0;
    virtual void LaunchSteadwright() = 0;

    // Files handed over from outside (host paths), each offered to the installer.
    virtual void openHostFiles(const QStringList &hostPaths) = 0;

    // The frame's second status panel, for progress texts of the content windows.
    virtual void setProgressText(const QString &text) = 0;

    // A content window's own menu bar, shown by the frame in place of its own while that
    // window is the active one; the frame owns the bar from then on.
    virtual void adoptMenuBar(QWidget *child, QMenuBar *bar) = 0;

    // Closes a window, whether it sits in the frame or stands alone.
    static void closeWindow(QWidget *window);
};
