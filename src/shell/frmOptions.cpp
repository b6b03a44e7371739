#include "shell/frmOptions.h"

#include "common/Modual1.h"
#include "common/OptionsFile.h"
#include "platform/WinPath.h"
#include "windows/Placement.h"
#include "windows/WindowDesk.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

const Place kClient = {"frmOptions", 0, 0, 9600, 3480};
const Place kTabs = {"SSTab1", 120, 120, 9360, 2640};
const Place kButtons[] = {
    {"cmdCancel", 5760, 2940, 1095, 375},
    {"cmdApply", 7020, 2940, 1095, 375},
    {"cmdOK", 8280, 2940, 1095, 375},
};
// Left of the buttons: which Wine prefix the C: in these fields means.
const Place kPrefixLine = {"lblPrefix", 120, 2940, 5520, 375};

// One setting on its tab: caption label, text field and browse button, at one of two rows.
struct Row
{
    int tab;
    const char *label;
    const char *caption;
    const char *field;
    int fileLine; // 0-based line of the options file
    const char *button;
    const char *buttonCaption;
    int row;
};

const char *const kTabCaptions[] = {"General Options", "Map Options", "Landscape Options", "Tatoo Options", "Skin Options"};

const Row kRows[] = {
    {0, "Label1", "Where is Black and White located?", "txtRunBlack", 0, "Command1", "...", 0},
    {0, "Label3", "Where is Veldrin located?", "txtManagerLocation", 1, "Command3", "...", 1},
    {1, "Label4", "Where is your default Map editor Located? (Optional)", "txtMapCreator", 2, "Command2", "...", 0},
    {2, "Label2", "Where is your Default Landscape Editor Located? (Optional)", "txtLandscapeCreator", 3, "Command4", "..", 0},
    {3, "Label5", "Where is your Default Tattoo Editor Located? (Optional)", "txtTattooCreator", 5, "Command5", "..", 0},
    {4, "Label6", "Where is your Default Skin Editor Located? (Optional)", "txtSkinCreator", 4, "Command6", "..", 0},
};

// Places on a tab page, per row: label, field, browse button.
const Place kLabelAt = {"label", 120, 240, 8760, 255};
const Place kFieldAt = {"field", 120, 540, 8460, 315};
const Place kButtonAt = {"button", 8640, 540, 435, 315};
constexpr int kRowPitch = 900;

} // namespace

frmOptions::frmOptions(WindowDesk &desk, QWidget *parent) : QDialog(parent), dio1(desk.prompts()), m_desk(desk)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Veldrin - Options"));
    setFixedSize(twipsToPixels(kClient.width), twipsToPixels(kClient.height));
    centerOnScreen(this);

    m_tabs = new QTabWidget(this);
    placeControl(m_tabs, kTabs);
    for (const char *caption : kTabCaptions) {
        auto *page = new QWidget(m_tabs);
        m_tabs->addTab(page, QString::fromLatin1(caption));
    }
    for (const Row &row : kRows) {
        QWidget *page = m_tabs->widget(row.tab);
        const int dy = row.row * kRowPitch;
        auto *label = new QLabel(QString::fromLatin1(row.caption), page);
        label->setObjectName(QLatin1String(row.label));
        placeAt(label, kLabelAt, dy);
        auto *edit = new QLineEdit(page);
        edit->setObjectName(QLatin1String(row.field));
        placeAt(edit, kFieldAt, dy);
        label->setBuddy(edit);
        m_edits[row.fileLine] = edit;
        auto *button = new QPushButton(QString::fromLatin1(row.buttonCaption), page);
        button->setObjectName(QLatin1String(row.button));
        placeAt(button, kButtonAt, dy);
        button->setAutoDefault(false);
        const QString name = QLatin1String(row.button);
        connect(button, &QPushButton::clicked, this, [this, name] { browse(name); });
    }
    m_tabs->setCurrentIndex(0);

    const char *const captions[] = {"Cancel", "Apply", "OK"};
    void (frmOptions::*const handlers[])() = {&frmOptions::cmdCancel_Click, &frmOptions::cmdApply_Click,
                                              &frmOptions::cmdOK_Click};
    for (int i = 0; i < 3; ++i) {
        QPushButton *button = makeButton(this, kButtons[i], captions[i]);
        button->setAutoDefault(false);
        const auto handler = handlers[i];
        connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    }

    // Under Wine every C: path above is inside a prefix; without one, C: falls back to the
    // root folder, and the player must be told rather than find files in odd places.
    auto *prefixLine = new QLabel(this);
    prefixLine->setObjectName(QLatin1String(kPrefixLine.name));
    placeControl(prefixLine, kPrefixLine);
    const QString notice = winpath::noPrefixNotice();
    const QString line = notice.isEmpty() ? QStringLiteral("Wine prefix: %1").arg(winpath::prefix())
                                          : QStringLiteral("No Wine prefix: C: is the root folder \"/\" (see tooltip)");
    prefixLine->setToolTip(notice.isEmpty() ? winpath::prefix() : notice);
    prefixLine->setText(prefixLine->fontMetrics().elidedText(line, Qt::ElideMiddle, prefixLine->width()));

    // The load step: every time the dialog is created, never when it is only brought forward.
    Settings read;
    optionsfile::CheckOptionsFile(m_desk.settings(), read, m_desk.prompts());
    setFields(read);
}

frmOptions::~frmOptions() = default;

Settings frmOptions::fields() const
{
    Settings s;
    for (int i = 0; i < optionsfile::kLineCount; ++i)
        optionsfile::field(s, i) = m_edits[i]->text();
    return s;
}

void frmOptions::setFields(const Settings &fields)
{
    for (int i = 0; i < optionsfile::kLineCount; ++i)
        m_edits[i]->setText(optionsfile::field(fields, i));
}

QLineEdit *frmOptions::fieldFor(const char *name) const { return findChild<QLineEdit *>(QLatin1String(name)); }

void frmOptions::cmdOK_Click()
{
    optionsfile::WriteOptionsFile(fields());
    close();
}

void frmOptions::cmdApply_Click() { optionsfile::WriteOptionsFile(fields()); }

void frmOptions::cmdCancel_Click() { close(); }

void frmOptions::browse(const QString &button)
{
    const optionsfile::BrowseRule *rule = optionsfile::browseRuleFor(button);
    if (!rule)
        return;
    dio1.Filter = QLatin1String(rule->filter);
    dio1.AcceptFolder = rule->acceptsFolder;
    // A cancelled dialog is not told apart from a choice: the field takes whatever name the
    // dialog holds now, cut the same way.
    dio1.showOpen();
    if (QLineEdit *edit = fieldFor(rule->field))
        edit->setText(optionsfile::browsedField(*rule, dio1.FileName,
                                                !dio1.FileName.isEmpty() && QFileInfo(winpath::toHost(dio1.FileName)).isDir()));
}
