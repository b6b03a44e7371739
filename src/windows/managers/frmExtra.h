#pragma once
#include <QWidget>

#include "common/Prompts.h"

class WindowDesk;
class QPlainTextEdit;

// The skin and landscape window: load a landscape or a skin, look at it, and install it into
// the game after backing up the file of the same name that it replaces.
class frmExtra : public QWidget
{
    Q_OBJECT
public:
    explicit frmExtra(WindowDesk &desk, QWidget *parent = nullptr);
    ~frmExtra() override;

    QSize sizeHint() const override;

    void LoadLandscape();
    void InstallLandscape();
    void LoadSkin();
    void InstallSkin();

    void cmdEditSkin_Click();
    void cmdEditLand_Click();
    void cmdCreateReadme_Click();
    void cmdFindSkin_Click();
    void cmdClose_Click();
    void cmdTest_Click();
    void cmdGetHelp_Click();
    void cmdSubmit_Click();

private:
    // The two halves differ only in their names and folders.
    struct Half
    {
        QPlainTextEdit *view = nullptr;
        QString *fileName = nullptr; // the program-wide name of the last file loaded
        const char *filter;
        QLatin1String gameFolder;   // under GameFolder
        QLatin1String backupFolder; // under ProgramFolder
        const char *route = "";     // as the install history names it
        bool binary = false;      // the loaded file is not text: install its bytes, not the view
        QByteArray bytes;
    };
    void load(Half &half);
    void install(Half &half);

    WindowDesk &m_desk;
    FileDialog dio1;
    QPlainTextEdit *rtbBack = nullptr;
    Half m_land;
    Half m_skin;
};
