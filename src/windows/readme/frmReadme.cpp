#include "windows/readme/frmReadme.h"

#include "common/Modual1.h"
#include "platform/FileIO.h"
#include "readme/ReadmeText.h"
#include "windows/Placement.h"
#include "windows/WindowDesk.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

constexpr int kDesignWidth = 10635;
constexpr int kDesignHeight = 6375;
constexpr int kLabelHeight = 255;
// The preview box's width when the fields are in view: a sliver at the left edge, so the
// box (and its text) stays put behind the fields.
constexpr int kFieldsViewStrip = 50;
constexpr int kPreviewStartWidth = 150;

const Place kPlaces[] = {
    {"cmbType", 1800, 240, 2175, 315},    {"txtTitle", 5160, 360, 3735, 285},
    {"txtName", 1800, 720, 2775, 285},    {"txtAddress", 6120, 720, 2775, 285},
    {"txtDesc", 1800, 1200, 7095, 2295},  {"txtComment", 1800, 3600, 7095, 735},
    {"txtThanks", 1800, 4560, 7095, 765}, {"txtContact", 1800, 5520, 7095, 285},
    {"cmdShow", 9240, 360, 1335, 375},    {"cmdSave", 9240, 840, 1335, 375},
    {"cmdExit", 9240, 1320, 1335, 375},   {"txt1", 0, 0, kPreviewStartWidth, kDesignHeight},
};

// Labels stand left of their field; the right edge is where their field begins, so a wider
// font than the design's cannot push a label under its field.
struct LabelPlace
{
    const char *text;
    int left;
    int top;
    int right;
};

const LabelPlace kLabels[] = {
    {"Specify Type of File", 240, 240, 1800}, {"Title", 4080, 360, 5160},
    {"Your Name", 720, 720, 1800},            {"Web Site Address", 4680, 720, 6120},
    {"Description", 840, 1200, 1800},         {"Other Comments", 480, 3600, 1800},
    {"Thanks to..", 840, 4560, 1800},         {"Contact mail address", 240, 5520, 1800},
};
constexpr int kLabelGap = 60;

template <class W> W *placed(QWidget *parent, const char *name)
{
    auto *w = new W(parent);
    for (const Place &p : kPlaces) {
        if (qstrcmp(p.name, name) == 0)
            placeControl(w, p);
    }
    return w;
}

} // namespace

frmReadme::frmReadme(WindowDesk &desk, QWidget *parent) : QWidget(parent), m_desk(desk), dio1(desk.prompts())
{
    setObjectName(QStringLiteral("frmReadme"));
    setWindowTitle(QStringLiteral("Veldrin - Readme Creator"));

    for (const LabelPlace &l : kLabels) {
        auto *label = new QLabel(QLatin1String(l.text), this);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        // The caption ends where the design put it, by its field; one wider than its drawn box
        // grows to the left, into the window's margin, rather than being cut.
        QRect box = placeRect({l.text, l.left, l.top, l.right - kLabelGap - l.left, kLabelHeight});
        box.setLeft(qMax(0, qMin(box.left(), box.right() + 1 - label->sizeHint().width())));
        label->setGeometry(box);
    }

    cmbType = placed<QComboBox>(this, "cmbType");
    cmbType->setEditable(true);
    // Picking an item must not add the typed text as a sixth one.
    cmbType->setInsertPolicy(QComboBox::NoInsert);
    txtTitle = placed<QLineEdit>(this, "txtTitle");
    txtName = placed<QLineEdit>(this, "txtName");
    txtAddress = placed<QLineEdit>(this, "txtAddress");
    txtDesc = placed<QPlainTextEdit>(this, "txtDesc");
    txtComment = placed<QPlainTextEdit>(this, "txtComment");
    for (QPlainTextEdit *multi : {txtDesc, txtComment}) {
        multi->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        multi->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    txtThanks = placed<QLineEdit>(this, "txtThanks");
    txtContact = placed<QLineEdit>(this, "txtContact");

    auto *cmdShow = placed<QPushButton>(this, "cmdShow");
    cmdShow->setText(QStringLiteral("Show File"));
    auto *cmdSave = placed<QPushButton>(this, "cmdSave");
    cmdSave->setText(QStringLiteral("Save File"));
    auto *cmdExit = placed<QPushButton>(this, "cmdExit");
    cmdExit->setText(QStringLiteral("Exit"));
    connect(cmdShow, &QPushButton::clicked, this, &frmReadme::cmdShow_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmReadme::cmdSave_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmReadme::cmdExit_Click);

    txt1 = placed<QPlainTextEdit>(this, "txt1");
    // The composed lines are laid out by hand; wrapping would hide where they really break.
    txt1->setLineWrapMode(QPlainTextEdit::NoWrap);
    txt1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt1->raise();

    buildMenu();
    Form_Load();
}

frmReadme::~frmReadme() = default;

QSize frmReadme::sizeHint() const { return {twipsToPixels(kDesignWidth), twipsToPixels(kDesignHeight)}; }

void frmReadme::buildMenu()
{
    auto *bar = new QMenuBar;
    QMenu *mnuGo = makeMenu(this, "mnuGo", "Go!");
    auto add = [&](const char *name, const char *text, void (frmReadme::*slot)()) {
        connect(addEntry(this, mnuGo, name, text), &QAction::triggered, this, slot);
    };
    add("frmShow", "Show File", &frmReadme::frmShow_Click);
    add("frmFields", "Enter Fields", &frmReadme::frmFields_Click);
    add("mnuSave", "Save Readme", &frmReadme::mnuSave_Click);
    add("mnuExit", "Exit Readme Creator", &frmReadme::mnuExit_Click);
    bar->addMenu(mnuGo);
    m_desk.adoptMenuBar(this, bar);
}

void frmReadme::Form_Load()
{
    cmbType->addItems({QStringLiteral("Map"), QStringLiteral("Landscape"), QStringLiteral("Tatoos"),
                       QStringLiteral("Skin"), QStringLiteral("Mod")});
    cmbType->setEditText(QStringLiteral("Specify File Type"));
    // The preview flag lives for the whole run: a window reopened while it is set comes back
    // with the (now empty) preview covering it.
    if (m_desk.state().ReadmePreviewShown)
        Form_Resize();
}

QSize frmReadme::outerSize() const
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        return sub->size();
    if (isWindow())
        return frameGeometry().size();
    return size();
}

void frmReadme::Form_Resize()
{
    if (m_desk.state().ReadmePreviewShown)
        txt1->resize(outerSize());
}

void frmReadme::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmReadme::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    Form_Resize();
}

void frmReadme::cmdShow_Click()
{
    m_desk.state().ReadmePreviewShown = true;
    txt1->resize(outerSize());
    ComposeReadme();
}

void frmReadme::frmFields_Click()
{
    txt1->resize(twipsToPixels(kFieldsViewStrip), txt1->height());
    m_desk.state().ReadmePreviewShown = false;
}

void frmReadme::cmdExit_Click() { WindowDesk::closeWindow(this); }

void frmReadme::ComposeReadme()
{
    ReadmeFields f;
    f.type = cmbType->currentText();
    f.title = txtTitle->text();
    f.name = txtName->text();
    f.address = txtAddress->text();
    f.description = txtDesc->toPlainText();
    f.comments = txtComment->toPlainText();
    f.thanks = txtThanks->text();
    f.contact = txtContact->text();
    txt1->setPlainText(::ComposeReadme(f));
}

QString frmReadme::previewText() const { return fileio::normalizeLineBreaks(txt1->toPlainText()); }

void frmReadme::SaveReadme()
{
    dio1.Filter = QStringLiteral("Readme Files (*.txt)|*.txt");
    // A cancelled dialog writes nothing, not even to a file chosen earlier in this window.
    if (!dio1.showSave())
        return;
    // Nothing here reports a failed write: the file is left alone and the window stays as it was.
    fileio::writeText(dio1.FileName, previewText());
}
