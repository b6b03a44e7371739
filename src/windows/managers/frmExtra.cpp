#include "windows/managers/frmExtra.h"

#include "common/GameFolders.h"
#include "common/Hosts.h"
#include "common/Modual1.h"
#include "install/InstallTransaction.h"
#include "managers/GameFileInstall.h"
#include "platform/WinPath.h"
#include "windows/Placement.h"
#include "windows/WindowDesk.h"
#include "windows/WindowParts.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

constexpr int kDesignWidth = 11400;
constexpr int kDesignHeight = 6945;

struct ButtonRow
{
    Place place;
    const char *caption;
    void (frmExtra::*handler)();
};

const ButtonRow kButtons[] = {
    {{"cmdLoadSkin", 120, 120, 1335, 375}, "Load Skin", &frmExtra::LoadSkin},
    {{"cmdInstallSkin", 1440, 120, 1455, 375}, "Install Skin", &frmExtra::InstallSkin},
    {{"cmdEditSkin", 2880, 120, 1335, 375}, "Edit Skins With", &frmExtra::cmdEditSkin_Click},
    {{"cmdCreateReadme", 4200, 120, 1335, 375}, "Create Readme", &frmExtra::cmdCreateReadme_Click},
    {{"cmdFindSkin", 5520, 120, 1335, 375}, "Find Skins", &frmExtra::cmdFindSkin_Click},
    {{"cmdClose", 10080, 120, 1215, 375}, "Close", &frmExtra::cmdClose_Click},
    {{"cmdLoadLand", 120, 480, 1335, 375}, "Load Landscape", &frmExtra::LoadLandscape},
    {{"cmdInstallLand", 1440, 480, 1455, 375}, "Install Landscape", &frmExtra::InstallLandscape},
    {{"cmdEditLand", 2880, 480, 1335, 375}, "Edit Lands With", &frmExtra::cmdEditLand_Click},
    {{"cmdTest", 4200, 480, 1335, 375}, "Test", &frmExtra::cmdTest_Click},
    {{"cmdGetHelp", 5520, 480, 1335, 375}, "Get Help", &frmExtra::cmdGetHelp_Click},
    {{"cmdSubmit", 6840, 480, 1335, 375}, "Submit File", &frmExtra::cmdSubmit_Click},
};

const Place kLabel1{"Label1", 120, 960, 8055, 255};
const Place kRtbLand{"rtbLand", 0, 1200, 11295, 2535};
const Place kLabel2{"Label2", 120, 3840, 8415, 255};
const Place kRtbSkin{"rtbSkin", 0, 4200, 11295, 2655};
const Place kRtbBack{"rtbBack", 8640, 120, 1095, 495};

QPlainTextEdit *makeView(QWidget *parent, const Place &place)
{
    auto *view = new QPlainTextEdit(parent);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    placeControl(view, place);
    return view;
}

QLabel *makeLabel(QWidget *parent, const Place &place, const char *caption)
{
    auto *label = new QLabel(QString::fromLatin1(caption), parent);
    placeControl(label, place);
    return label;
}

QString notWritten(const QString &path, const QString &why)
{
    return why.isEmpty() ? QStringLiteral("%1 could not be written.").arg(path)
                         : QStringLiteral("%1 could not be written: %2.").arg(path, why);
}

// Where the install ends, in the status panel. The player must not read "backed" when no
// backup was written, nor be left on a progress text when the install failed.
QString outcomeText(const gamefile::Result &r, const QString &target, const QString &backup)
{
    if (!r.installed) {
        QString text = QStringLiteral("Your file was not installed. ") + notWritten(target, r.installError);
        if (r.backup == gamefile::Backup::Written)
            text += QStringLiteral(" The file it would have replaced was backed up.");
        return text;
    }
    switch (r.backup) {
    case gamefile::Backup::Written:
        return QStringLiteral("Your file was backed and then installed to the correct directory.");
    case gamefile::Backup::NothingInstalled:
        return QStringLiteral("Your file was installed to the correct directory. There was no installed file of that "
                              "name, so nothing was backed up.");
    case gamefile::Backup::Failed:
        break;
    }
    return QStringLiteral("Your file was installed to the correct directory, but it was not backed up. ")
        + notWritten(backup, r.backupError);
}

} // namespace

frmExtra::frmExtra(WindowDesk &desk, QWidget *parent) : QWidget(parent), m_desk(desk), dio1(desk.prompts())
{
    setObjectName(QStringLiteral("frmExtra"));
    setWindowTitle(QStringLiteral("Veldrin - Skin / Landscape Mode"));

    for (const ButtonRow &row : kButtons)
        connect(makeButton(this, row.place, row.caption), &QPushButton::clicked, this, row.handler);

    makeLabel(this, kLabel1, "BELOW: This is the current landscape (lnd) file you are viewing...");
    m_land.view = makeView(this, kRtbLand);
    makeLabel(this, kLabel2, "BELOW: This is the current Skin (l3d) file you are viewing");
    m_skin.view = makeView(this, kRtbSkin);
    rtbBack = makeView(this, kRtbBack);
    rtbBack->hide();

    m_land.fileName = &desk.state().LandFileName;
    m_land.filter = "Lionhead Land Files (*.lnd)|*.lnd";
    m_land.gameFolder = folders::kLandscape;
    m_land.backupFolder = folders::kBackupLandscape;
    m_land.route = "landscape";

    m_skin.fileName = &desk.state().SkinFileName;
    m_skin.filter = "Lionhead Skin Files (*.l3d)|*.l3d";
    m_skin.gameFolder = folders::kCreatureMesh;
    m_skin.backupFolder = folders::kBackupSkin;
    m_skin.route = "skin";
}

frmExtra::~frmExtra() = default;

QSize frmExtra::sizeHint() const { return {twipsToPixels(kDesignWidth), twipsToPixels(kDesignHeight)}; }

void frmExtra::LoadLandscape() { load(m_land); }
void frmExtra::InstallLandscape() { install(m_land); }
void frmExtra::LoadSkin() { load(m_skin); }
void frmExtra::InstallSkin() { install(m_skin); }

void frmExtra::load(Half &half)
{
    dio1.Filter = QLatin1String(half.filter);
    if (!dio1.showOpen())
        return;
    auto loaded = gamefile::load(dio1.FileName);
    if (!loaded)
        return;
    const QString name = winpath::bareFileName(dio1.FileName);
    half.binary = loaded->binary;
    if (half.binary) {
        // Keep the bytes as loaded: the install must carry them unchanged, and a text view
        // cannot hold them without altering them.
        half.bytes = std::move(loaded->bytes);
        setViewText(half.view, gamefile::binarySummary(name, half.bytes.size()));
    } else {
        half.bytes.clear();
        setViewText(half.view, loaded->text);
    }
    half.view->setReadOnly(half.binary);
    *half.fileName = name;
}

void frmExtra::install(Half &half)
{
    const QString &name = *half.fileName;
    if (name.isEmpty())
        return;
    const Settings &s = m_desk.settings();
    gamefile::Source source;
    source.binary = half.binary;
    if (half.binary)
        source.bytes = half.bytes;
    else
        source.text = viewText(half.view);

    const auto progress = [this](gamefile::Step step) {
        switch (step) {
        case gamefile::Step::InstalledFileRead:
            m_desk.setProgressText(QStringLiteral("Backing up file"));
            break;
        case gamefile::Step::BackupDone:
            m_desk.setProgressText(QStringLiteral("Installing Script"));
            break;
        case gamefile::Step::Installed:
            break;
        }
    };
    const QString target = s.GameFolder + half.gameFolder + name;
    const QString backup = s.ProgramFolder + half.backupFolder + name;
    const gamefile::Result result = gamefile::installWithBackup(
        source, target, backup,
        {QLatin1String(half.route), QStringLiteral("frmExtra"), s.GameFolder, s.ProgramFolder,
         install::askThrough(m_desk.prompts())},
        progress);
    if (!result.backupText.isEmpty())
        setViewText(rtbBack, result.backupText);
    QString text = outcomeText(result, target, result.backupPath.isEmpty() ? backup : result.backupPath);
    if (result.installed && result.withoutUndo)
        text += QLatin1Char(' ') + install::kInstalledWithoutUndo;
    m_desk.setProgressText(text);
}

void frmExtra::cmdEditSkin_Click() { m_desk.LaunchEditor(m_desk.settings().SkinEditorPath); }
void frmExtra::cmdEditLand_Click() { m_desk.LaunchEditor(m_desk.settings().LandscapeEditorPath); }
void frmExtra::cmdCreateReadme_Click() { m_desk.showWindow(WindowDesk::Window::Readme); }
void frmExtra::cmdFindSkin_Click() { m_desk.ShowWebPage(hosts::partner() + QLatin1String("/fernlow/skins.html")); }
void frmExtra::cmdClose_Click() { WindowDesk::closeWindow(this); }
void frmExtra::cmdTest_Click() { m_desk.LaunchGame(); }
void frmExtra::cmdGetHelp_Click() { m_desk.ShowWebPage(hosts::maker() + QLatin1String("/manager/help.htm")); }
void frmExtra::cmdSubmit_Click() { m_desk.ShowWebPage(hosts::maker() + QLatin1String("/manager/submit.htm")); }
