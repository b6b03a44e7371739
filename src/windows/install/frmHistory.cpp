#include "windows/install/frmHistory.h"

#include "common/Modual1.h"
#include "common/Prompts.h"
#include "install/AddOns.h"
#include "install/HistoryFolder.h"
#include "install/InstallHistory.h"
#include "install/ShortList.h"
#include "windows/Placement.h"
#include "windows/WindowDesk.h"
#include "windows/install/AddOnsView.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kDesignWidth = 10200;
constexpr int kDesignHeight = 6600;

enum OperationColumn { colTime, colRoute, colSource, colFiles, colState };
enum FileColumn { colPath, colChange };

QTreeWidget *makeList(QWidget *parent, const char *name, const QStringList &headers)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->header()->setStretchLastSection(false);
    return list;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption = QString())
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QPushButton *makeButton(QWidget *parent, const char *name, const char *caption)
{
    auto *button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QString changeText(const history::FileChange &file)
{
    QString text = file.created ? QStringLiteral("created") : file.removed ? QStringLiteral("removed")
                                                                           : QStringLiteral("replaced");
    if (file.changedSince)
        text += QStringLiteral(", changed since");
    return text;
}

// What the player can do about the selected operation, when it is not a plain undo.
QString noteFor(const history::Operation &op)
{
    switch (op.state) {
    case history::State::Done:
        return QString();
    case history::State::NoUndo:
        return QStringLiteral("Undo is not available for this operation: the files it replaced could not be kept "
                              "in the history when it ran.");
    case history::State::Undone:
        return QStringLiteral("This operation has been undone. Undoing the operation that undid it brings it back.");
    case history::State::RolledBack:
        return QStringLiteral("This operation did not complete and its files were put back; there is nothing to "
                              "undo.");
    case history::State::Unfinished:
        return QStringLiteral("This operation did not finish. Its files are put back the next time Veldrin starts.");
    case history::State::Damaged:
        return QStringLiteral("This record is damaged and is left aside: %1").arg(op.problem);
    }
    return QString();
}

QString listed(const QStringList &paths)
{
    return QLatin1String("\n    ") + history::shortList(paths, QStringLiteral("\n    "));
}

} // namespace

frmHistory::frmHistory(WindowDesk &desk, QWidget *parent) : QWidget(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("Veldrin - Add-ons"));

    lblHistoryOff = makeLabel(this, "lblHistoryOff");
    lblHistoryOff->setWordWrap(true);
    cmdCreateFolder = makeButton(this, "cmdCreateFolder", "Create History Folder");

    lblOperations = makeLabel(this, "lblOperations", QStringLiteral("Installs and changes, newest first:"));
    lstOperations = makeList(this, "lstOperations",
                             {QStringLiteral("Time"), QStringLiteral("Route"), QStringLiteral("What"),
                              QStringLiteral("Files"), QStringLiteral("State")});
    lstOperations->header()->setSectionResizeMode(colSource, QHeaderView::Stretch);
    for (int c : {colTime, colRoute, colFiles, colState})
        lstOperations->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);

    lblFiles = makeLabel(this, "lblFiles", QStringLiteral("Files of the selected operation:"));
    lstFiles = makeList(this, "lstFiles", {QStringLiteral("File"), QStringLiteral("Change")});
    lstFiles->setSelectionMode(QAbstractItemView::NoSelection);
    lstFiles->header()->setSectionResizeMode(colPath, QHeaderView::Stretch);
    lstFiles->header()->setSectionResizeMode(colChange, QHeaderView::ResizeToContents);

    lblNote = makeLabel(this, "lblNote");
    lblNote->setWordWrap(true);

    cmdUndo = makeButton(this, "cmdUndo", "Undo");
    cmdRestoreAll = makeButton(this, "cmdRestoreAll", "Restore all originals");
    cmdRefresh = makeButton(this, "cmdRefresh", "Refresh");
    cmdClose = makeButton(this, "cmdClose", "Close");

    auto *off = new QHBoxLayout;
    off->addWidget(lblHistoryOff, 1);
    off->addWidget(cmdCreateFolder, 0, Qt::AlignTop);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdRestoreAll);
    buttons->addStretch(1);
    buttons->addWidget(cmdRefresh);
    buttons->addWidget(cmdClose);

    auto *historyPage = new QWidget(this);
    historyPage->setObjectName(QStringLiteral("pageHistory"));
    auto *history = new QVBoxLayout(historyPage);
    history->addWidget(lblOperations);
    history->addWidget(lstOperations, 3);
    history->addWidget(lblFiles);
    history->addWidget(lstFiles, 2);
    history->addWidget(lblNote);
    auto *undoRow = new QHBoxLayout;
    undoRow->addWidget(cmdUndo);
    undoRow->addStretch(1);
    history->addLayout(undoRow);

    m_addOns = new AddOnsView(desk, this);
    tabViews = new QTabWidget(this);
    tabViews->setObjectName(QStringLiteral("tabViews"));
    tabViews->addTab(m_addOns->installed(), QStringLiteral("Installed"));
    tabViews->addTab(m_addOns->conflicts(), QStringLiteral("Conflicts"));
    tabViews->addTab(historyPage, QStringLiteral("History"));
    connect(m_addOns, &AddOnsView::changed, this, [this] { Refresh(); });

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->addLayout(off);
    page->addWidget(tabViews, 1);
    page->addLayout(buttons);

    connect(cmdUndo, &QPushButton::clicked, this, &frmHistory::cmdUndo_Click);
    connect(cmdRestoreAll, &QPushButton::clicked, this, &frmHistory::cmdRestoreAll_Click);
    connect(cmdCreateFolder, &QPushButton::clicked, this, &frmHistory::cmdCreateFolder_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmHistory::cmdRefresh_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmHistory::cmdClose_Click);
    connect(lstOperations, &QTreeWidget::itemSelectionChanged, this, &frmHistory::lstOperations_SelectionChanged);
    // The keyboard goes to the list, where the arrow keys walk the operations.
    setFocusProxy(lstOperations);

    Refresh();
}

frmHistory::~frmHistory() = default;

QSize frmHistory::sizeHint() const { return {twipsToPixels(kDesignWidth), twipsToPixels(kDesignHeight)}; }

void frmHistory::cmdClose_Click() { WindowDesk::closeWindow(this); }

void frmHistory::Refresh()
{
    const Settings &s = m_desk.settings();
    const qint64 keep = selectedId();
    lstOperations->clear();
    lstFiles->clear();
    lblNote->clear();

    const bool kept = history::isKept(s.ProgramFolder);
    QString problem;
    if (kept) {
        history::History store(s.ProgramFolder, s.GameFolder);
        if (store.available()) {
            for (const history::Operation &op : store.operations()) {
                auto *item = new QTreeWidgetItem(lstOperations);
                item->setText(colTime, op.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
                item->setText(colRoute, op.route);
                item->setText(colSource, op.description);
                item->setToolTip(colSource, op.source);
                item->setText(colFiles, QString::number(op.fileCount));
                item->setText(colState, history::stateText(op.state));
                item->setTextAlignment(colFiles, Qt::AlignRight | Qt::AlignVCenter);
                item->setData(colTime, Qt::UserRole, op.id);
                item->setData(colState, Qt::UserRole, noteFor(op));
                item->setData(colState, Qt::UserRole + 1, op.state == history::State::Done);
            }
        } else {
            problem = store.problem();
        }
    }

    if (!kept) {
        lblHistoryOff->setText(
            QStringLiteral("Install history is off: there is no folder %1. Installs work as before, but they "
                           "cannot be undone. Create the folder to keep the game's original files from the next "
                           "install on.")
                .arg(history::folderOf(s.ProgramFolder)));
    } else if (!problem.isEmpty()) {
        lblHistoryOff->setText(QStringLiteral("The install history cannot be read: %1").arg(problem));
    }
    lblHistoryOff->setVisible(!kept || !problem.isEmpty());
    cmdCreateFolder->setVisible(!kept);
    cmdRestoreAll->setEnabled(lstOperations->topLevelItemCount() > 0);
    tabViews->setVisible(kept && problem.isEmpty());
    if (m_addOns && !m_filling) {
        m_filling = true;
        m_addOns->Refresh();
        m_filling = false;
    }

    select(keep);
    lstOperations_SelectionChanged();
}

qint64 frmHistory::selectedId() const
{
    const QList<QTreeWidgetItem *> chosen = lstOperations->selectedItems();
    return chosen.isEmpty() ? 0 : chosen.first()->data(colTime, Qt::UserRole).toLongLong();
}

void frmHistory::select(qint64 id)
{
    for (int i = 0; i < lstOperations->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = lstOperations->topLevelItem(i);
        if (item->data(colTime, Qt::UserRole).toLongLong() == id) {
            lstOperations->setCurrentItem(item);
            return;
        }
    }
    lstOperations->clearSelection();
}

void frmHistory::lstOperations_SelectionChanged()
{
    lstFiles->clear();
    const QList<QTreeWidgetItem *> chosen = lstOperations->selectedItems();
    if (chosen.isEmpty()) {
        lblNote->setText(lstOperations->topLevelItemCount() > 0
                             ? QStringLiteral("Select an operation to see its files.")
                             : QString());
        cmdUndo->setEnabled(false);
        return;
    }
    const QTreeWidgetItem *item = chosen.first();
    lblNote->setText(item->data(colState, Qt::UserRole).toString());
    cmdUndo->setEnabled(item->data(colState, Qt::UserRole + 1).toBool());

    const Settings &s = m_desk.settings();
    history::History store(s.ProgramFolder, s.GameFolder);
    for (const history::FileChange &file : store.files(selectedId())) {
        auto *row = new QTreeWidgetItem(lstFiles);
        row->setText(colPath, file.path);
        row->setText(colChange, changeText(file));
    }
}

template <class Undo> void frmHistory::runUndo(const QString &question, Undo undo)
{
    history::UndoOutcome outcome = undo(false);
    if (outcome.result == history::UndoOutcome::NeedsConfirmation) {
        if (!m_desk.prompts().question(question + listed(outcome.changed)
                                       + QStringLiteral("\n\nGo on anyway? What they hold now is kept as an add-on "
                                                        "that is out, so you can put it back.")))
            return;
        outcome = undo(true);
    }
    if (!outcome.message.isEmpty())
        m_desk.prompts().message(outcome.message);
    else if (outcome.result != history::UndoOutcome::Done)
        m_desk.prompts().message(QStringLiteral("Nothing was put back."));
    Refresh();
    // The undo is the newest operation now; show what it did.
    if (outcome.operation != 0) {
        select(outcome.operation);
        lstOperations_SelectionChanged();
    }
}

void frmHistory::cmdUndo_Click()
{
    const qint64 id = selectedId();
    if (id == 0)
        return;
    // Each call opens the history afresh and lets it go before the list reads it again.
    runUndo(QStringLiteral("These files were changed outside Veldrin since it last wrote them:"),
            [this, id](bool confirmed) {
                history::History store(m_desk.settings().ProgramFolder, m_desk.settings().GameFolder);
                return store.undo(id, confirmed);
            });
}

void frmHistory::cmdRestoreAll_Click()
{
    const Settings &s = m_desk.settings();
    int in = 0;
    {
        history::AddOns addOns(s.ProgramFolder, s.GameFolder);
        for (const history::AddOn &a : addOns.list())
            in += a.enabled;
    }
    const QString count = in == 1 ? QStringLiteral("the 1 add-on that is in") : QStringLiteral("all %1 add-ons that are in").arg(in);
    if (!m_desk.prompts().question(QStringLiteral("Take out %1 and give the game back its original files? Files changed "
                                                  "by hand are kept as an add-on that is out, so nothing is lost.")
                                       .arg(count)))
        return;
    runUndo(QString(), [this](bool) {
        history::History store(m_desk.settings().ProgramFolder, m_desk.settings().GameFolder);
        return store.restoreAllOriginals(true);
    });
}

void frmHistory::cmdCreateFolder_Click()
{
    QString error;
    if (!history::createFolder(m_desk.settings().ProgramFolder, &error))
        m_desk.prompts().message(QStringLiteral("Veldrin could not create the history folder: %1").arg(error));
    Refresh();
}
