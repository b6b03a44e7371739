#include "windows/managers/frmTattoo.h"

#include "common/GameFolders.h"
#include "common/Hosts.h"
#include "common/Modual1.h"
#include "install/InstallTransaction.h"
#include "managers/GameFileInstall.h"
#include "managers/TattooFiles.h"
#include "platform/FileIO.h"
#include "windows/Placement.h"
#include "windows/WindowDesk.h"
#include "windows/WindowParts.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

constexpr int kDesignWidth = 9375;
constexpr int kDesignHeight = 5970;
const QLatin1String kTattooFilter("Tattoos (*.bmp)|*.bmp");

struct ButtonRow
{
    Place place;
    const char *caption;
    void (frmTattoo::*handler)();
};

const ButtonRow kButtons[] = {
    {{"cmdTatoo", 6000, 120, 1335, 375}, "Load Tatoo >>", &frmTattoo::cmdTatoo_Click},
    {{"cmdLoadTat1", 6000, 600, 1335, 375}, "<< Load Tatoos", &frmTattoo::cmdLoadTat1_Click},
    {{"cmdEdit", 6000, 1320, 1335, 375}, "Edit Tatoo with...", &frmTattoo::cmdEdit_Click},
    {{"cmdReadme", 6000, 1800, 1335, 375}, "Create Readme", &frmTattoo::cmdReadme_Click},
    {{"cmdTest", 6000, 2400, 1335, 375}, "Test Tatoo", &frmTattoo::cmdTest_Click},
    {{"cmdSubmit", 6000, 2880, 1335, 375}, "Submit Tatoo", &frmTattoo::cmdSubmit_Click},
    {{"cmdHelp", 6000, 3600, 1335, 375}, "Get Tatoo Help", &frmTattoo::cmdHelp_Click},
    {{"cmdFindTat", 6000, 4080, 1335, 375}, "Find Tatoos", &frmTattoo::cmdFindTat_Click},
};

const Place kPicTest{"picTest", 7440, 120, 1095, 975};
const Place kRtbTat{"rtbTat", 7800, 1560, 1215, 1095};

struct LabelRow
{
    Place place;
    const char *caption;
};

const LabelRow kLabels[] = {
    {{"Label1", 120, 4560, 1695, 255}, "Current Stored Tatoos:"},
    {{"lblDirectory", 1920, 4560, 7335, 255}, ""},
    {{"Label2", 120, 4920, 9255, 495},
     "Click on the '...' button to load in picture. You can have a maximum of 16 tatoos in your Black and White "
     "directory at one time! You can test a tatoo before it is installed by clicking Load Tatooand the graphic will "
     "apper in the test area at the side."},
    {{"Label3", 120, 5520, 9135, 375},
     "To load in a player profile click Load Tatoos find the player directory and open the helpstats.dat file. NOTE "
     "this file will not be edited."},
};

struct MenuRow
{
    const char *menu; // a new name starts a new menu
    const char *menuCaption;
    const char *name;
    const char *caption;
    void (frmTattoo::*handler)(); // nullptr: shown, but there is nothing for it to do
};

const MenuRow kMenu[] = {
    {"mnuFile", "File", "frmOpen", "Open Tatoo", &frmTattoo::PreviewTattoo},
    {"mnuFile", "File", "mnuInstall", "Install Tatoo", nullptr},
    {"mnuFile", "File", "mnuExit", "Exit", &frmTattoo::mnuExit_Click},
    {"mnuEdit", "Edit", "mnuTatoo", "Edit Tatoo with...", &frmTattoo::cmdEdit_Click},
    {"mnuEdit", "Edit", "mnuTest", "Test Tatoo", &frmTattoo::cmdTest_Click},
    {"mnuManage", "Manage", "mnuMap", "Map", &frmTattoo::mnuMap_Click},
    {"mnuManage", "Manage", "mnuLandscape", "Landscape", &frmTattoo::mnuLandscape_Click},
    {"mnuManage", "Manage", "mnuSkin", "Skin", &frmTattoo::mnuLandscape_Click},
    {"mnuManage", "Manage", "mnuMod", "Mod", nullptr},
    {"mnuTools", "Tools", "mnuReadme", "Readme Creator", &frmTattoo::cmdReadme_Click},
    {"mnuTools", "Tools", "mnuOptions", "Options", &frmTattoo::mnuOptions_Click},
    {"mnuTools", "Tools", "mnuHistory", "Install History", &frmTattoo::mnuHistory_Click},
    {"mnuHelp", "Help", "mnuUpdate", "Updates", &frmTattoo::mnuUpdate_Click},
    {"mnuHelp", "Help", "mnuTatHelp", "Tatoo Help", &frmTattoo::cmdHelp_Click},
    {"mnuHelp", "Help", "mnuContents", "Contents", &frmTattoo::mnuContents_Click},
    {"mnuHelp", "Help", "mnuAbout", "About", &frmTattoo::mnuAbout_Click},
};

PictureBox *makePictureBox(QWidget *parent, const QString &name, const Place &place)
{
    auto *box = new PictureBox(parent);
    box->setObjectName(name);
    placeAt(box, place);
    return box;
}

} // namespace

frmTattoo::frmTattoo(WindowDesk &desk, QWidget *parent) : QWidget(parent), m_desk(desk), dio1(desk.prompts())
{
    setObjectName(QStringLiteral("frmTattoo"));
    setWindowTitle(QStringLiteral("Veldrin - Tattoos"));

    for (int n = 1; n <= tattoo::kSlotCount; ++n) {
        tat[n] = makePictureBox(this, QStringLiteral("tat%1").arg(n), tattoo::slotBox(n));
        auto *pick = new QPushButton(QStringLiteral("..."), this);
        pick->setObjectName(QStringLiteral("cmd%1").arg(n));
        placeAt(pick, tattoo::slotButton(n));
        connect(pick, &QPushButton::clicked, this, [this, n] { PickSlotPicture(n); });
    }
    for (const ButtonRow &row : kButtons)
        connect(makeButton(this, row.place, row.caption), &QPushButton::clicked, this, row.handler);

    picTest = makePictureBox(this, QLatin1String(kPicTest.name), kPicTest);

    rtbTat = new QPlainTextEdit(this);
    rtbTat->setReadOnly(true); // it shows what was loaded; nothing reads it back
    placeControl(rtbTat, kRtbTat);

    for (const LabelRow &row : kLabels) {
        auto *label = new QLabel(QString::fromLatin1(row.caption), this);
        // The two instruction texts were drawn taller than one line, to run over several.
        label->setWordWrap(row.place.height > 255);
        placeControl(label, row.place);
        if (label->objectName() == QLatin1String("lblDirectory"))
            lblDirectory = label;
    }

    buildMenuBar();
}

frmTattoo::~frmTattoo() = default;

QSize frmTattoo::sizeHint() const { return {twipsToPixels(kDesignWidth), twipsToPixels(kDesignHeight)}; }

void frmTattoo::buildMenuBar()
{
    auto *bar = new QMenuBar;
    bar->setObjectName(QStringLiteral("frmTattooMenu"));
    QMenu *menu = nullptr;
    for (const MenuRow &row : kMenu) {
        if (!menu || menu->objectName() != QLatin1String(row.menu)) {
            menu = makeMenu(this, row.menu, row.menuCaption);
            bar->addMenu(menu);
        }
        QAction *action = addEntry(this, menu, row.name, row.caption);
        if (row.handler)
            connect(action, &QAction::triggered, this, row.handler);
        else
            action->setEnabled(false);
    }
    m_desk.adoptMenuBar(this, bar);
}

void frmTattoo::showFileInView(const QByteArray &bytes) { setViewText(rtbTat, gamefile::shownAsText(bytes)); }

void frmTattoo::PickSlotPicture(int n)
{
    if (n < 1 || n > tattoo::kSlotCount)
        return;
    dio1.Filter = kTattooFilter;
    if (!dio1.showOpen())
        return;
    QString error;
    const auto picked = fileio::readBytes(dio1.FileName, &error);
    QString refusal = picked ? tattoo::refusalOf(*picked) : QStringLiteral("it could not be read (%1)").arg(error);
    // The box reads the picture as the game would; a bitmap no reader makes sense of is no tattoo.
    if (refusal.isEmpty() && !tat[n]->loadPicture(*picked))
        refusal = QStringLiteral("it is not a picture Veldrin can read");
    if (!refusal.isEmpty()) {
        m_desk.prompts().message(QStringLiteral("\"%1\" cannot be a tattoo: %2. Nothing was changed.")
                                     .arg(dio1.FileName, refusal));
        return;
    }
    showFileInView(*picked);

    const Settings &s = m_desk.settings();
    const tattoo::PickInstall result = tattoo::installPick(*picked, s.GameFolder, s.ProgramFolder, m_profileFolder, n,
                                                           install::askThrough(m_desk.prompts()));
    if (!result.problem.isEmpty())
        m_desk.prompts().message(result.problem);
    else if (result.withoutUndo)
        m_desk.prompts().message(install::kInstalledWithoutUndo);
}

void frmTattoo::PreviewTattoo()
{
    dio1.Filter = kTattooFilter;
    if (!dio1.showOpen())
        return;
    if (const auto bytes = fileio::readBytes(dio1.FileName))
        picTest->loadPicture(*bytes);
}

void frmTattoo::LoadProfile()
{
    dio1.FileName = m_desk.settings().GameFolder + folders::kProfiles + QLatin1String("x");
    dio1.Filter = QStringLiteral("Veldrin (helpstats.dat)|helpstats.dat");
    if (!dio1.showOpen())
        return;
    if (const auto bytes = fileio::readBytes(dio1.FileName))
        showFileInView(*bytes);
    ShowProfileTattoos();
}

void frmTattoo::ShowProfileTattoos()
{
    const QString folder = tattoo::profileFolderOf(dio1.FileName);
    for (int n = 1; n <= tattoo::kSlotCount; ++n) {
        if (const auto bytes = fileio::readBytes(folder + tattoo::slotFileName(n)))
            tat[n]->loadPicture(*bytes);
    }
    // Picks go into this profile from now on; a chosen file that is not there names no
    // profile, so it leaves the earlier one in place.
    if (!folder.isEmpty() && fileio::exists(dio1.FileName)) {
        m_profileFolder = folder;
        lblDirectory->setText(folder);
    }
}

void frmTattoo::cmdEdit_Click() { m_desk.LaunchEditor(m_desk.settings().TattooEditorPath); }
void frmTattoo::cmdReadme_Click() { m_desk.showWindow(WindowDesk::Window::Readme); }
void frmTattoo::cmdTest_Click() { m_desk.LaunchGame(); }
void frmTattoo::cmdSubmit_Click() { m_desk.ShowWebPage(hosts::maker() + QLatin1String("/manager/submit.htm")); }
void frmTattoo::cmdHelp_Click() { m_desk.ShowWebPage(hosts::maker() + QLatin1String("/manager/help.htm")); }
void frmTattoo::cmdFindTat_Click() { m_desk.ShowWebPage(hosts::partner() + QLatin1String("/fernlow/tats.html")); }

void frmTattoo::mnuExit_Click() { WindowDesk::closeWindow(this); }
void frmTattoo::mnuMap_Click() { m_desk.showWindow(WindowDesk::Window::Map); }
void frmTattoo::mnuLandscape_Click() { m_desk.showWindow(WindowDesk::Window::Extra); }
void frmTattoo::mnuOptions_Click() { m_desk.showWindow(WindowDesk::Window::Options); }
void frmTattoo::mnuHistory_Click() { m_desk.showWindow(WindowDesk::Window::History); }
void frmTattoo::mnuUpdate_Click() { m_desk.ShowUpdatePage(); }
void frmTattoo::mnuContents_Click() { m_desk.OpenHelpContents(); }
void frmTattoo::mnuAbout_Click() { m_desk.showAboutModal(); }
