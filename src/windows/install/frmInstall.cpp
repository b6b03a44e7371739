#include "windows/install/frmInstall.h"

#include "brx/Brx.h"
#include "common/Hosts.h"
#include "common/Modual1.h"
#include "install/BrxInstall.h"
#include "install/InstallTransaction.h"
#include "windows/Artwork.h"
#include "windows/WindowDesk.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QHeaderView>
#include <QRadioButton>
#include <QTextLayout>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kBrxFilter = QStringLiteral("Bracken's Installation Files (*.brx)|*.brx");

// One row per page: what the frame says and which controls are on, off, shown or hidden.
struct Page
{
    int step;
    const char *caption;
    bool back, next, install, path;
    const char *pathText; // nullptr: the path label keeps its text
    bool options;
    const char *note;     // nullptr: the note is hidden
    bool type, progress, list;
};

const Page kPages[] = {
    {0, "Choose an Option", false, true, false, false, nullptr, true, nullptr, false, false, false},
    {1, "Choose a file to install", true, true, true, true, nullptr, false,
     "NOTE:You can only install mods if they are inside a brx file!...... All files are backed up before they are "
     "overwritten/saved!",
     true, true, false},
    {2, "Choose files", true, false, true, true, nullptr, false,
     "Choose the files you would like to add and then choose the directory where the file should be installed", false,
     false, true},
    {3, "Choose directory name", true, false, true, true, "No Directory Chosen!", false,
     "Choose a directory and name to save the file to and then click next", false, false, false},
    {6, "Saving Files2", true, true, false, true, "Files saved!", false,
     "Compiling Files. NOTE: This file will be saved in your specified file and backed up!", false, true, false},
};

} // namespace

frmInstall::frmInstall(WindowDesk &desk, QWidget *parent)
    : QWidget(parent, Qt::Window), m_desk(desk), dio1(desk.prompts()), dio2(desk.prompts())
{
    setObjectName(QStringLiteral("frmInstall"));
    setWindowTitle(QStringLiteral("Veldrin - Installer"));

    auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };

    Image1 = new QLabel(this);
    named(Image1, "Image1");
    Image1->setPixmap(artwork::installerPicture());
    Image1->setFixedSize(100, 400);

    Frame1 = new QGroupBox(this);
    named(Frame1, "Frame1");
    lblPath = new QLabel(QStringLiteral("No file selected"), Frame1);
    named(lblPath, "lblPath");
    lblPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long path must not widen the wizard; the full path stays readable in the tooltip.
    lblPath->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    cmdInstall = new QPushButton(QStringLiteral("..."), Frame1);
    named(cmdInstall, "cmdInstall");
    cmdInstall->setFixedWidth(32);

    op1 = new QRadioButton(QStringLiteral("Install a Black and White file"), Frame1);
    op2 = new QRadioButton(QStringLiteral("Create a Black a Veldrin installation File"), Frame1);
    op3 = new QRadioButton(QStringLiteral("Check for Veldrin Updates"), Frame1);
    op4 = new QRadioButton(QStringLiteral("Browse the Web for Black and White files. "), Frame1);
    auto *options = new QButtonGroup(this);
    int id = 1;
    for (QRadioButton *op : {op1, op2, op3, op4}) {
        op->setObjectName(QStringLiteral("op%1").arg(id));
        options->addButton(op, id++);
    }

    rtbFileNames = new QPlainTextEdit(Frame1);
    named(rtbFileNames, "rtbFileNames");
    rtbFileNames->setReadOnly(true);
    rtbFileNames->setLineWrapMode(QPlainTextEdit::NoWrap);
    lstPlan = new QTreeWidget(Frame1);
    named(lstPlan, "lstPlan");
    lstPlan->setHeaderLabels({QStringLiteral("File in the archive"), QStringLiteral("Goes to")});
    lstPlan->setRootIsDecorated(false);
    lstPlan->header()->setSectionResizeMode(QHeaderView::Interactive);
    lstPlan->setColumnWidth(0, 170);
    lstPlan->hide();
    lblType = new QLabel(QStringLiteral("No file type set"), Frame1);
    named(lblType, "lblType");
    lblNote = new QLabel(Frame1);
    named(lblNote, "lblNote");
    lblNote->setWordWrap(true);
    prg1 = new QProgressBar(Frame1);
    named(prg1, "prg1");
    prg1->setRange(0, 100);
    prg1->setValue(0);

    cmdBack = new QPushButton(QStringLiteral("<< Back"), this);
    named(cmdBack, "cmdBack");
    cmdNext = new QPushButton(QStringLiteral("Next >>"), this);
    named(cmdNext, "cmdNext");
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    named(cmdCancel, "cmdCancel");

    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(lblPath, 1);
    pathRow->addWidget(cmdInstall);
    auto *frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addLayout(pathRow);
    for (QRadioButton *op : {op1, op2, op3, op4})
        frameLayout->addWidget(op);
    frameLayout->addWidget(rtbFileNames, 1);
    frameLayout->addWidget(lstPlan, 1);
    frameLayout->addStretch();
    frameLayout->addWidget(lblType);
    frameLayout->addWidget(lblNote);
    frameLayout->addWidget(prg1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdNext);
    buttons->addWidget(cmdCancel);
    auto *right = new QVBoxLayout;
    right->addWidget(Frame1, 1);
    right->addLayout(buttons);
    auto *outer = new QHBoxLayout(this);
    outer->addWidget(Image1, 0, Qt::AlignTop);
    outer->addLayout(right, 1);
    Frame1->setMinimumWidth(380);

    connect(cmdNext, &QPushButton::clicked, this, &frmInstall::cmdNext_Click);
    connect(cmdBack, &QPushButton::clicked, this, &frmInstall::cmdBack_Click);
    connect(cmdInstall, &QPushButton::clicked, this, &frmInstall::cmdInstall_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmInstall::cmdCancel_Click);

    Form_Load();
}

frmInstall::~frmInstall() = default;

qint16 &frmInstall::step() { return m_desk.state().installer.WizardStep; }

void frmInstall::Form_Load()
{
    step() = 0;
    ShowStep();
}

void frmInstall::ShowStep()
{
    if (step() == 5) {
        WindowDesk::closeWindow(this);
        return;
    }
    for (const Page &page : kPages) {
        if (page.step != step())
            continue;
        Frame1->setTitle(QLatin1String(page.caption));
        cmdBack->setEnabled(page.back);
        // Once a file has been added the package can go on, also after coming back to the page.
        cmdNext->setEnabled(page.next || (page.step == 2 && !m_fileNames.isEmpty()));
        cmdInstall->setVisible(page.install);
        lblPath->setVisible(page.path);
        if (page.pathText)
            lblPath->setText(QLatin1String(page.pathText));
        for (QRadioButton *op : {op1, op2, op3, op4})
            op->setVisible(page.options);
        lblNote->setVisible(page.note != nullptr);
        if (page.note)
            lblNote->setText(QLatin1String(page.note));
        lblType->setVisible(page.type);
        prg1->setVisible(page.progress);
        rtbFileNames->setVisible(page.list);
        lstPlan->setVisible(page.step == 1 && !m_plan.archive.isEmpty());
        if (page.step == 6)
            SavePackage();
        return;
    }
    // Step 4 has no page of its own: the destination page stays as it is.
}

void frmInstall::cmdNext_Click()
{
    switch (step()) {
    case 0:
        if (op1->isChecked()) {
            step() = 1;
            ShowStep();
        } else if (op2->isChecked()) {
            step() = 2;
            ShowStep();
        } else if (op3->isChecked()) {
            m_desk.ShowWebPage(hosts::maker() + QLatin1String("/manager/update"));
            WindowDesk::closeWindow(this);
        } else if (op4->isChecked()) {
            m_desk.ShowWebPage(hosts::partner() + QLatin1String("/fernlow"));
            WindowDesk::closeWindow(this);
        }
        break;
    case 1:
        InstallChosenFile();
        break;
    case 2:
        step() = 3;
        ShowStep();
        break;
    case 4:
        step() = 6;
        ShowStep();
        break;
    case 5:
        ShowStep();
        break;
    default:
        break;
    }
}

void frmInstall::cmdBack_Click()
{
    switch (step()) {
    case 1:
    case 2:
        step() = 0;
        break;
    case 3:
        step() = 2;
        break;
    case 4:
        step() = 3;
        break;
    case 5:
        // After an install the way back is the install page: the save step would write the
        // package buffer over the file that was just installed.
        step() = m_finishedByInstall ? 1 : 4;
        break;
    default:
        return;
    }
    ShowStep();
}

void frmInstall::cmdInstall_Click()
{
    switch (step()) {
    case 1:
        if (!dio1.showOpen())
            return;
        takeChosenFile();
        break;
    case 2: {
        const QString previous = dio1.FileName;
        if (!dio1.showOpen())
            return;
        if (!dio2.showSave()) {
            // Half an answer adds nothing: the next add starts from the old choice.
            dio1.FileName = previous;
            return;
        }
        cmdNext->setEnabled(true);
        AddFileToPackage();
        break;
    }
    case 3:
        dio1.Filter = kBrxFilter;
        if (!dio1.showSave())
            return;
        step() = 4;
        lblPath->setText(dio1.FileName);
        lblPath->setToolTip(dio1.FileName);
        cmdNext->setEnabled(true);
        break;
    default:
        break;
    }
}

void frmInstall::cmdCancel_Click() { WindowDesk::closeWindow(this); }

void frmInstall::takeChosenFile()
{
    lblPath->setText(dio1.FileName);
    lblPath->setToolTip(dio1.FileName);
    m_plan = archiveplan::Plan();
    // An archive is never read whole: its plan is made streaming through it.
    if (installbytype::typeForPath(dio1.FileName).route == installbytype::Route::Archive)
        rtbFile = installbytype::ChosenFile();
    else
        rtbFile = installbytype::loadChosenFile(dio1.FileName);
    ShowFileType();
    showArchivePlan();
}

void frmInstall::chooseFileToInstall(const QString &windowsPath)
{
    // From any page: nothing on the other pages is lost by coming here (the package buffer
    // and the list of added files stay for a later "<< Back").
    if (step() != 1) {
        step() = 1;
        ShowStep();
    }
    dio1.FileName = windowsPath;
    takeChosenFile();
}

void frmInstall::AddFileToPackage()
{
    // dio2 already holds where the file goes: the "..." handler asked for it, so that a
    // cancelled question leaves the package as it was.
    const QString name = installbytype::BareFileNameOf(dio1.FileName);
    m_fileNames += name + QLatin1String("\r\n");
    rtbFileNames->setPlainText(m_fileNames);
    m_desk.state().installer.AddedFileName = name;
    // A file that cannot be read adds no entry; its name stays listed, as the user picked it.
    brx::appendFile(rtbBrx, dio2.FileName, m_desk.state().installer.AddedFileName, dio1.FileName);
}

void frmInstall::ShowFileType() { lblType->setText(installbytype::typeForPath(dio1.FileName).caption); }

void frmInstall::InstallChosenFile()
{
    const installbytype::FileType &type = installbytype::typeForPath(dio1.FileName);
    switch (type.route) {
    case installbytype::Route::Package:
        InstallPackage();
        break;
    case installbytype::Route::GameFile: {
        InstallerState &installer = m_desk.state().installer;
        installer.ChosenFileName = installbytype::BareFileNameOf(dio1.FileName);
        installbytype::GameFileSteps steps;
        steps.note = [this](const QString &text) { lblNote->setText(text); };
        steps.progress = [this](int value) {
            prg1->setMaximum(100);
            setProgress(float(value));
        };
        steps.askWithoutUndo = install::askThrough(m_desk.prompts());
        const Settings &settings = m_desk.settings();
        const installbytype::GameFileResult result =
            installbytype::InstallGameFile(rtbFile, settings.GameFolder, settings.ProgramFolder, type.subfolder, steps);
        if (!result.succeeded())
            m_desk.prompts().message(installbytype::outcomeNote(result));
        // A file that did not go in leaves the wizard on its page, to try again or choose another.
        if (result.installed) {
            step() = 5;
            m_finishedByInstall = true;
        } else {
            setProgress(0.0f);
        }
        break;
    }
    case installbytype::Route::Tattoo:
        RedirectTattoo();
        break;
    case installbytype::Route::Archive:
        InstallArchive();
        break;
    case installbytype::Route::Invalid:
        m_desk.prompts().message(installbytype::kInvalidTypeMessage);
        break;
    }
}

void frmInstall::InstallPackage()
{
    prg1->setMaximum(100);
    brx::InstallOptions options;
    options.programFolder = m_desk.settings().ProgramFolder;
    options.gameFolder = m_desk.settings().GameFolder;
    options.progressStart = m_progress;
    options.onProgress = [this](float value) { setProgress(value); };
    options.state = &m_desk.state().installer;
    // Without a confirmOutside of our own, paths outside the game and program folders are put
    // to the user as a question before anything is written.
    const brx::InstallResult result = brx::installPackageFile(dio1.FileName, options, m_desk.prompts(), &rtbBrx);
    // The reason was told in a message (or the player said no); the page keeps saying so.
    if (result.outcome != brx::InstallResult::Installed)
        lblNote->setText(QStringLiteral("The package was not installed."));
}

void frmInstall::showArchivePlan()
{
    lstPlan->clear();
    if (installbytype::typeForPath(dio1.FileName).route != installbytype::Route::Archive) {
        lstPlan->hide();
        return;
    }
    const Settings &settings = m_desk.settings();
    m_plan = archiveplan::makePlan(dio1.FileName, settings.GameFolder, settings.ProgramFolder);
    // The plan's rows are paths, read by their ends: the file's name and the folder it lands in.
    lstPlan->setTextElideMode(Qt::ElideLeft);
    if (!m_plan.ok()) {
        // A refusal is a sentence, often with a long path in it: read whole, a row per line.
        const QString text = QStringLiteral("Nothing will be installed: ") + m_plan.refusal;
        QTextLayout layout(text, lstPlan->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        const qreal width = qMax(lstPlan->viewport()->width(), 340) - 12;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            auto *row = new QTreeWidgetItem(lstPlan, {text.mid(line.textStart(), line.textLength()).trimmed()});
            row->setToolTip(0, text);
            row->setFlags(Qt::ItemIsEnabled);
            lstPlan->setFirstColumnSpanned(lstPlan->topLevelItemCount() - 1, QModelIndex(), true);
        }
        layout.endLayout();
    }
    for (int i = 0; i < m_plan.items.size(); ++i) {
        const archiveplan::Item &item = m_plan.items.at(i);
        QString where = item.kind == archiveplan::Item::LeftOut ? QStringLiteral("left out: ") + item.reason : item.target;
        if (item.kind == archiveplan::Item::Tattoo)
            where += QStringLiteral(" (%1)").arg(item.reason);
        auto *row = new QTreeWidgetItem(lstPlan, {item.source, where});
        row->setToolTip(0, item.source);
        row->setToolTip(1, where);
        row->setData(0, Qt::UserRole, i);
        if (item.kind == archiveplan::Item::LeftOut) {
            row->setFlags(Qt::NoItemFlags);
        } else {
            row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            row->setCheckState(0, item.chosen ? Qt::Checked : Qt::Unchecked);
        }
    }
    lstPlan->setVisible(step() == 1);
}

void frmInstall::InstallArchive()
{
    // What the player unticked stays where it is.
    for (int r = 0; r < lstPlan->topLevelItemCount(); ++r) {
        const QTreeWidgetItem *row = lstPlan->topLevelItem(r);
        const QVariant index = row->data(0, Qt::UserRole);
        if (index.isValid() && index.toInt() < m_plan.items.size())
            m_plan.items[index.toInt()].chosen = row->checkState(0) == Qt::Checked;
    }
    const Settings &settings = m_desk.settings();
    Prompts &prompts = m_desk.prompts();
    prg1->setMaximum(100);
    const archiveplan::InstallResult result = archiveplan::install(
        m_plan, settings.GameFolder, settings.ProgramFolder,
        [&prompts](const QStringList &outside) { return prompts.question(archiveplan::outsideQuestion(outside)); });
    if (!result.message.isEmpty())
        prompts.message(result.message);
    if (result.outcome != archiveplan::InstallResult::Installed)
        return;
    setProgress(100.0f);
    bool pictures = false;
    for (const archiveplan::Item &item : std::as_const(m_plan.items))
        pictures = pictures || (item.chosen && item.kind == archiveplan::Item::Tattoo);
    QString note = QStringLiteral("%1 files of %2 were installed.").arg(result.written).arg(installbytype::BareFileNameOf(m_plan.archive));
    if (pictures)
        note += QStringLiteral(" Its tattoo pictures are in %1Downloads\\%2\\: choose a slot for them in the tattoo window.")
                    .arg(settings.ProgramFolder, m_plan.name);
    lblNote->setText(note);
}

void frmInstall::RedirectTattoo()
{
    m_desk.prompts().message(installbytype::kTattooMessage);
    m_desk.showWindow(WindowDesk::Window::Tattoo);
}

void frmInstall::SavePackage()
{
    InstallerState &installer = m_desk.state().installer;
    const QString destination = dio1.FileName;
    installer.ChosenFileName = installbytype::BareFileNameOf(destination);
    lblNote->setText(QStringLiteral("Saving file to directory"));
    brx::savePackage(rtbBrx, destination);
    prg1->setMaximum(100);
    setProgress(50.0f);
    lblNote->setText(QStringLiteral("Backing up file"));
    const QString backup = brx::backupPathFor(m_desk.settings().ProgramFolder, installer.ChosenFileName);
    if (!backup.isEmpty())
        brx::savePackage(rtbBrx, backup);
    setProgress(100.0f);
    lblNote->setText(QStringLiteral("Your file was saved and Backed up!"));
    step() = 5;
    m_finishedByInstall = false;
}

void frmInstall::setProgress(float value)
{
    m_progress = qBound(0.0f, value, 100.0f);
    prg1->setValue(qRound(m_progress));
}
