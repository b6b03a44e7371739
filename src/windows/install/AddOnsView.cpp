#include "windows/install/AddOnsView.h"

#include "common/Modual1.h"
#include "common/Prompts.h"
#include "install/AddOns.h"
#include "windows/WindowDesk.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum AddOnColumn { colName, colKind, colDate, colFiles, colState, colConflicts };
enum FileColumn { colPath, colLayer };
enum ConflictColumn { colConflictPath, colWins };

QTreeWidget *makeList(QWidget *parent, const char *name, const QStringList &headers)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setHeaderLabels(headers);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->header()->setStretchLastSection(false);
    return list;
}

QPushButton *makeButton(QWidget *parent, const char *name, const char *caption)
{
    auto *button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QString kindText(const QString &kind)
{
    if (kind == QLatin1String("by hand"))
        return QStringLiteral("Changed by hand");
    QString text = kind;
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

QString layerText(const history::AddOnFile &file)
{
    QString text = file.layer == history::AddOnFile::OnTop ? QStringLiteral("on top")
        : file.layer == history::AddOnFile::Covered        ? QStringLiteral("covered by %1").arg(file.coveredBy)
                                                           : QStringLiteral("out");
    if (file.changedByHand)
        text += QStringLiteral(", changed by hand");
    return text;
}

} // namespace

AddOnsView::AddOnsView(WindowDesk &desk, QWidget *parent) : QObject(parent), m_desk(desk)
{
    m_installed = new QWidget(parent);
    m_installed->setObjectName(QStringLiteral("pageInstalled"));
    lstAddOns = makeList(m_installed, "lstAddOns",
                         {QStringLiteral("Name"), QStringLiteral("Kind"), QStringLiteral("Date"), QStringLiteral("Files"),
                          QStringLiteral("On/Off"), QStringLiteral("Conflicts")});
    lstAddOns->setRootIsDecorated(false);
    lstAddOns->setEditTriggers(QAbstractItemView::EditKeyPressed);
    lstAddOns->header()->setSectionResizeMode(colName, QHeaderView::Stretch);
    for (int c : {colKind, colDate, colFiles, colState, colConflicts})
        lstAddOns->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    lblAddOnFiles = new QLabel(QStringLiteral("Files of the selected add-on:"), m_installed);
    lblAddOnFiles->setObjectName(QStringLiteral("lblAddOnFiles"));
    lstAddOnFiles = makeList(m_installed, "lstAddOnFiles", {QStringLiteral("File"), QStringLiteral("State")});
    lstAddOnFiles->setRootIsDecorated(false);
    lstAddOnFiles->setSelectionMode(QAbstractItemView::NoSelection);
    lstAddOnFiles->header()->setSectionResizeMode(colPath, QHeaderView::Stretch);
    lstAddOnFiles->header()->setSectionResizeMode(colLayer, QHeaderView::ResizeToContents);
    cmdTakeOut = makeButton(m_installed, "cmdTakeOut", "Take out");
    cmdRename = makeButton(m_installed, "cmdRename", "Rename");
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdTakeOut);
    buttons->addWidget(cmdRename);
    buttons->addStretch(1);
    auto *page = new QVBoxLayout(m_installed);
    page->addWidget(lstAddOns, 3);
    page->addWidget(lblAddOnFiles);
    page->addWidget(lstAddOnFiles, 2);
    page->addLayout(buttons);

    m_conflicts = new QWidget(parent);
    m_conflicts->setObjectName(QStringLiteral("pageConflicts"));
    lblConflicts = new QLabel(QStringLiteral("Files more than one add-on writes; the add-on on top wins:"), m_conflicts);
    lblConflicts->setObjectName(QStringLiteral("lblConflicts"));
    lstConflicts = makeList(m_conflicts, "lstConflicts", {QStringLiteral("File and its add-ons, top first"), QStringLiteral("Wins")});
    lstConflicts->header()->setSectionResizeMode(colConflictPath, QHeaderView::Stretch);
    lstConflicts->header()->setSectionResizeMode(colWins, QHeaderView::ResizeToContents);
    cmdMoveUp = makeButton(m_conflicts, "cmdMoveUp", "Move up");
    cmdMoveDown = makeButton(m_conflicts, "cmdMoveDown", "Move down");
    auto *moves = new QHBoxLayout;
    moves->addWidget(cmdMoveUp);
    moves->addWidget(cmdMoveDown);
    moves->addStretch(1);
    auto *conflicts = new QVBoxLayout(m_conflicts);
    conflicts->addWidget(lblConflicts);
    conflicts->addWidget(lstConflicts, 1);
    conflicts->addLayout(moves);

    connect(cmdTakeOut, &QPushButton::clicked, this, &AddOnsView::cmdTakeOut_Click);
    connect(cmdRename, &QPushButton::clicked, this, &AddOnsView::cmdRename_Click);
    connect(cmdMoveUp, &QPushButton::clicked, this, &AddOnsView::cmdMoveUp_Click);
    connect(cmdMoveDown, &QPushButton::clicked, this, &AddOnsView::cmdMoveDown_Click);
    connect(lstAddOns, &QTreeWidget::itemSelectionChanged, this, &AddOnsView::lstAddOns_SelectionChanged);
    connect(lstAddOns, &QTreeWidget::itemChanged, this, &AddOnsView::lstAddOns_ItemChanged);
    connect(lstConflicts, &QTreeWidget::itemSelectionChanged, this, &AddOnsView::lstConflicts_SelectionChanged);
}

void AddOnsView::Refresh()
{
    const Settings &s = m_desk.settings();
    const qint64 keep = selectedAddOn();
    m_filling = true;
    lstAddOns->clear();
    lstConflicts->clear();
    history::AddOns addOns(s.ProgramFolder, s.GameFolder);
    QHash<qint64, QString> names;
    for (const history::AddOn &a : addOns.list()) {
        names.insert(a.id, a.name);
        auto *item = new QTreeWidgetItem(lstAddOns);
        item->setText(colName, a.name);
        item->setText(colKind, kindText(a.kind));
        item->setText(colDate, a.time.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        item->setText(colFiles, QString::number(a.fileCount));
        item->setText(colState, a.enabled ? QStringLiteral("on") : a.canPutBack ? QStringLiteral("off") : QStringLiteral("off, cannot be put back"));
        item->setText(colConflicts, a.conflicts ? QString::number(a.conflicts) : QString());
        item->setTextAlignment(colFiles, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(colConflicts, Qt::AlignRight | Qt::AlignVCenter);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setData(colName, Qt::UserRole, a.id);
        item->setData(colState, Qt::UserRole, a.enabled);
        if (a.id == keep)
            lstAddOns->setCurrentItem(item);
    }
    for (const history::Conflict &c : addOns.conflicts()) {
        auto *file = new QTreeWidgetItem(lstConflicts);
        file->setText(colConflictPath, c.path);
        file->setText(colWins, names.value(c.layers.last()));
        for (auto it = c.layers.crbegin(); it != c.layers.crend(); ++it) {
            auto *layer = new QTreeWidgetItem(file);
            layer->setText(colConflictPath, names.value(*it));
            layer->setData(colConflictPath, Qt::UserRole, *it);
            if (it == c.layers.crbegin())
                layer->setText(colWins, QStringLiteral("wins"));
        }
        file->setExpanded(true);
    }
    m_filling = false;
    lstAddOns_SelectionChanged();
    lstConflicts_SelectionChanged();
}

qint64 AddOnsView::selectedAddOn() const
{
    const QList<QTreeWidgetItem *> chosen = lstAddOns->selectedItems();
    return chosen.isEmpty() ? 0 : chosen.first()->data(colName, Qt::UserRole).toLongLong();
}

void AddOnsView::lstAddOns_SelectionChanged()
{
    lstAddOnFiles->clear();
    const QList<QTreeWidgetItem *> chosen = lstAddOns->selectedItems();
    cmdTakeOut->setEnabled(!chosen.isEmpty());
    cmdRename->setEnabled(!chosen.isEmpty());
    const bool in = chosen.isEmpty() || chosen.first()->data(colState, Qt::UserRole).toBool();
    cmdTakeOut->setText(in ? QStringLiteral("Take out") : QStringLiteral("Put back"));
    if (chosen.isEmpty())
        return;
    const Settings &s = m_desk.settings();
    history::AddOns addOns(s.ProgramFolder, s.GameFolder);
    for (const history::AddOnFile &file : addOns.files(selectedAddOn())) {
        auto *row = new QTreeWidgetItem(lstAddOnFiles);
        row->setText(colPath, file.path);
        row->setText(colLayer, layerText(file));
    }
}

template <class Change> void AddOnsView::run(Change change)
{
    history::AddOnOutcome outcome = change(history::HandEdits::Ask);
    if (outcome.result == history::AddOnOutcome::NeedsChoice) {
        QString files;
        for (const QString &path : std::as_const(outcome.handEdited))
            files += QLatin1String("\n    ") + path;
        const bool keep = m_desk.prompts().question(
            QStringLiteral("These files were changed outside Veldrin since it last wrote them:%1\n\nKeep your changes on "
                           "top? Yes keeps them on top, as an add-on \"Changed by hand\". No lets Veldrin go on; your "
                           "changes are kept as an add-on that is out, so you can put them back later.")
                .arg(files));
        outcome = change(keep ? history::HandEdits::KeepOnTop : history::HandEdits::Overwrite);
    }
    if (outcome.result != history::AddOnOutcome::Done || !outcome.message.isEmpty())
        m_desk.prompts().message(outcome.message.isEmpty() ? QStringLiteral("Nothing was changed.") : outcome.message);
    Refresh();
    emit changed();
}

void AddOnsView::cmdTakeOut_Click()
{
    const qint64 id = selectedAddOn();
    if (id == 0)
        return;
    const bool in = lstAddOns->selectedItems().first()->data(colState, Qt::UserRole).toBool();
    run([this, id, in](history::HandEdits hand) {
        history::AddOns addOns(m_desk.settings().ProgramFolder, m_desk.settings().GameFolder);
        return in ? addOns.takeOut(id, hand) : addOns.putBack(id, hand);
    });
}

void AddOnsView::cmdRename_Click()
{
    const QList<QTreeWidgetItem *> chosen = lstAddOns->selectedItems();
    if (!chosen.isEmpty())
        lstAddOns->editItem(chosen.first(), colName);
}

void AddOnsView::lstAddOns_ItemChanged(QTreeWidgetItem *item, int column)
{
    if (m_filling || column != colName)
        return;
    const qint64 id = item->data(colName, Qt::UserRole).toLongLong();
    const QString name = item->text(colName);
    // Refresh() rebuilds the list; let the editor finish with this item first.
    QMetaObject::invokeMethod(
        this,
        [this, id, name] {
            history::AddOns addOns(m_desk.settings().ProgramFolder, m_desk.settings().GameFolder);
            const history::AddOnOutcome outcome = addOns.rename(id, name);
            if (outcome.result != history::AddOnOutcome::Done)
                m_desk.prompts().message(outcome.message);
            Refresh();
            emit changed();
        },
        Qt::QueuedConnection);
}

void AddOnsView::lstConflicts_SelectionChanged()
{
    const QList<QTreeWidgetItem *> chosen = lstConflicts->selectedItems();
    const QTreeWidgetItem *layer = chosen.isEmpty() ? nullptr : chosen.first();
    const QTreeWidgetItem *file = layer ? layer->parent() : nullptr;
    cmdMoveUp->setEnabled(file && file->indexOfChild(const_cast<QTreeWidgetItem *>(layer)) > 0);
    cmdMoveDown->setEnabled(file && file->indexOfChild(const_cast<QTreeWidgetItem *>(layer)) < file->childCount() - 1);
}

void AddOnsView::cmdMoveUp_Click() { move(-1); }
void AddOnsView::cmdMoveDown_Click() { move(1); }

void AddOnsView::move(int step)
{
    const QList<QTreeWidgetItem *> chosen = lstConflicts->selectedItems();
    QTreeWidgetItem *file = chosen.isEmpty() ? nullptr : chosen.first()->parent();
    if (!file)
        return;
    const int at = file->indexOfChild(chosen.first());
    const int to = at + step;
    if (to < 0 || to >= file->childCount())
        return;
    // The list is top first: moving up places the add-on above its neighbour; moving down
    // places the neighbour below above it.
    const qint64 id = chosen.first()->data(colConflictPath, Qt::UserRole).toLongLong();
    const qint64 other = file->child(to)->data(colConflictPath, Qt::UserRole).toLongLong();
    const qint64 upper = step < 0 ? id : other, lower = step < 0 ? other : id;
    run([this, upper, lower](history::HandEdits hand) {
        history::AddOns addOns(m_desk.settings().ProgramFolder, m_desk.settings().GameFolder);
        return addOns.moveAbove(upper, lower, hand);
    });
}
