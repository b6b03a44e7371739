#pragma once
#include <QWidget>

#include "common/Prompts.h"

class WindowDesk;
class PictureBox;
class QLabel;
class QPlainTextEdit;

// The tattoo window: the sixteen pictures of a player profile in a 4 x 4 grid, a new picture
// for any slot (kept in the backup folder, and put into the profile when one is loaded), and
// a test area to look at a picture without using it.
class frmTattoo : public QWidget
{
    Q_OBJECT
public:
    explicit frmTattoo(WindowDesk &desk, QWidget *parent = nullptr);
    ~frmTattoo() override;

    QSize sizeHint() const override;

    void PickSlotPicture(int n);
    void PreviewTattoo();
    void LoadProfile();

    void cmdTatoo_Click() { PreviewTattoo(); }
    void cmdLoadTat1_Click() { LoadProfile(); }
    void cmdEdit_Click();
    void cmdReadme_Click();
    void cmdTest_Click();
    void cmdSubmit_Click();
    void cmdHelp_Click();
    void cmdFindTat_Click();

    void mnuExit_Click();
    void mnuMap_Click();
    void mnuLandscape_Click();
    void mnuOptions_Click();
    void mnuHistory_Click();
    void mnuUpdate_Click();
    void mnuContents_Click();
    void mnuAbout_Click();

private:
    void ShowProfileTattoos();
    void buildMenuBar();
    void showFileInView(const QByteArray &bytes);

    WindowDesk &m_desk;
    FileDialog dio1;
    PictureBox *tat[17] = {}; // by slot number; [0] unused
    PictureBox *picTest = nullptr;
    QPlainTextEdit *rtbTat = nullptr;
    QLabel *lblDirectory = nullptr;
    QString m_profileFolder; // the loaded profile's folder, empty until one is loaded
};
