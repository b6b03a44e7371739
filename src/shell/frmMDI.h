#pragma once
#include <QMainWindow>
#include <QPointer>

class WindowDesk;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenuBar;
class QStackedWidget;

// The frame: menu bar, status bar and the area that hosts the content windows. A content
// window with a menu bar of its own hands it to the frame, which shows it in place of the
// frame's menu while that window is the active one.
class frmMDI : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMDI(WindowDesk &desk, QWidget *parent = nullptr);
    ~frmMDI() override;

    QMdiArea *mdiArea() const { return m_area; }

    // The load step: splash (which reads the settings), status text, browser address.
    void MDIForm_Load();

    // The child's menu bar replaces the frame's while the child is active. The child keeps
    // owning its actions; the frame owns the bar and drops it when the child goes away.
    void adoptMenuBar(QWidget *child, QMenuBar *bar);

    // The menu bar on show now (the frame's own or the active child's).
    QMenuBar *currentMenuBar() const;
    QMenuBar *frameMenuBar() const { return m_frameMenu; }

    void setProgressText(const QString &text);
    QString progressText() const;

signals:
    // The frame is closing, its children already gone: the windows that stand alone go too,
    // so that nothing is left open to keep the program alive. The desk, which holds them, answers.
    void closingStandAlone();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Files the installer takes can be dropped on the frame, as on the program's icon.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void updateMenuBar();

private:
    void buildMenus();
    void mnuBrackenway_Click();
    void mnuFernlow_Click();
    void mnuExit_Click();
    void mnuMap_Click();
    void mnuLandscape_Click();
    void mnuSkin_Click();
    void mnuTattoo_Click();
    void mnuReadme_Click();
    void mnuBrowser_Click();
    void mnuInstall_Click();
    void mnuOptions_Click();
    void mnuHistory_Click();
    void mnuContents_Click();
    void mnuUpdates_Click();
    void mnuBugReport_Click();
    void mnuComments_Click();
    void mnuOfficialForums_Click();
    void mnuAbout_Click();

    WindowDesk &m_desk;
    QMdiArea *m_area = nullptr;
    QStackedWidget *m_menus = nullptr;
    QMenuBar *m_frameMenu = nullptr;
    QLabel *m_welcome = nullptr;
    QLabel *m_progress = nullptr;
};
