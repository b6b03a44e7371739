#pragma once
#include <QWidget>

#include "common/Prompts.h"
#include "install/ArchivePlan.h"
#include "install/InstallByType.h"

class WindowDesk;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// The installer wizard: one window whose page follows the program-wide WizardStep. It
// installs a chosen file by its type, or builds a package from files the user adds.
class frmInstall : public QWidget
{
    Q_OBJECT
public:
    explicit frmInstall(WindowDesk &desk, QWidget *parent = nullptr);
    ~frmInstall() override;

    void cmdNext_Click();
    void cmdBack_Click();
    void cmdInstall_Click();
    void cmdCancel_Click();

    // Sets the page up for the current step (and, for the saving step, saves).
    void ShowStep();
    void AddFileToPackage();

    // Goes to the install page with this file (a Windows path) chosen, as if picked with "...":
    // for files handed over from outside (command line, file manager, drop).
    void chooseFileToInstall(const QString &windowsPath);

    // The package being built or last installed, as the package buffer holds it.
    const QString &packageText() const { return rtbBrx; }
    // The bar's exact value; the control shows it rounded.
    float progressValue() const { return m_progress; }

private:
    void Form_Load();
    void ShowFileType();
    void takeChosenFile();
    void InstallChosenFile();
    void InstallPackage();
    void RedirectTattoo();
    // An archive: its plan is shown, one ticked row per file, before anything is written.
    void showArchivePlan();
    void InstallArchive();
    void SavePackage();
    void setProgress(float value);
    qint16 &step();

    WindowDesk &m_desk;
    FileDialog dio1;
    FileDialog dio2;

    QLabel *Image1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *lblPath = nullptr;
    QPushButton *cmdInstall = nullptr;
    QRadioButton *op1 = nullptr;
    QRadioButton *op2 = nullptr;
    QRadioButton *op3 = nullptr;
    QRadioButton *op4 = nullptr;
    QPlainTextEdit *rtbFileNames = nullptr;
    QTreeWidget *lstPlan = nullptr;
    QLabel *lblType = nullptr;
    QLabel *lblNote = nullptr;
    QProgressBar *prg1 = nullptr;
    QPushButton *cmdBack = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdCancel = nullptr;

    QString m_fileNames;                // rtbFileNames' text, CR LF line ends
    QString rtbBrx;                     // the package buffer
    installbytype::ChosenFile rtbFile;  // the file chosen on the install page, as read then
    archiveplan::Plan m_plan;           // the chosen archive's plan, as lstPlan shows it
    float m_progress = 0.0f;
    // The finished state is reached by a single-file install or by a save; going back from it
    // must not lead into the save step after an install.
    bool m_finishedByInstall = false;
};
