#pragma once
#include <QWidget>

#include "common/Prompts.h"

class WindowDesk;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The map window: one map script to view and edit, load and save anywhere, and install
// into the game's Playgrounds folder; plus shortcuts to the editor, the game and web pages.
class frmMap : public QWidget
{
    Q_OBJECT
public:
    explicit frmMap(WindowDesk &desk, QWidget *parent = nullptr);
    ~frmMap() override;

    QSize sizeHint() const override;

    void LoadMap();
    void SaveMap();
    void InstallMap();
    // Lays the window out for its current outer size.
    void Form_Resize();

    void cmdLoad_Click() { LoadMap(); }
    void cmdInstall_Click() { InstallMap(); }
    void cmdSave_Click() { SaveMap(); }
    void cmdTown_Click();
    void cmdEdit_Click();
    void cmdReadme_Click();
    void cmdTest_Click();
    void cmdSubmit_Click();
    void cmdHelp_Click();
    void cmdIdea_Click();
    void cmdFind_Click();

    void mnuExit_Click();
    void mnuLandscape_Click();
    void mnuTattoo_Click();
    void mnuOptions_Click();
    void mnuHistory_Click();
    void mnuUpdate_Click();
    void mnuContents_Click();
    void mnuAbout_Click();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenuBar();

    WindowDesk &m_desk;
    FileDialog dio1;
    QPlainTextEdit *rtbMap = nullptr;
    QList<QPushButton *> m_buttons;
    QLabel *lblDirectory = nullptr;
    QLabel *lblCurrentDirectory = nullptr;
    QLabel *lblMessage = nullptr;
    QLabel *lblWelcomeMessage = nullptr;
    QFrame *ln1 = nullptr;
};
