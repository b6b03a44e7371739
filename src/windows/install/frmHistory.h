#pragma once
#include <QWidget>

class AddOnsView;
class WindowDesk;
class QLabel;
class QTabWidget;
class QPushButton;
class QTreeWidget;

// The add-ons: what is installed, each in or out, which one wins where two write the same file,
// and the history of every install and change, newest first. From here the player takes an
// add-on out or puts it back, or gives the game back as it was before Veldrin first changed it.
class frmHistory : public QWidget
{
    Q_OBJECT
public:
    explicit frmHistory(WindowDesk &desk, QWidget *parent = nullptr);
    ~frmHistory() override;

    QSize sizeHint() const override;

    void cmdUndo_Click();
    void cmdRestoreAll_Click();
    void cmdCreateFolder_Click();
    void cmdRefresh_Click() { Refresh(); }
    void cmdClose_Click();

    // Reads the history again; the selection stays on the same operation where it still exists.
    void Refresh();

private:
    void lstOperations_SelectionChanged();
    qint64 selectedId() const;
    void select(qint64 id);
    // Runs an undo or a restore: asks once about files changed since, then tells what came of
    // it. undo(confirmed) is the history's own call.
    template <class Undo> void runUndo(const QString &question, Undo undo);

    WindowDesk &m_desk;
    AddOnsView *m_addOns = nullptr;
    bool m_filling = false;
    QTabWidget *tabViews = nullptr;
    QLabel *lblHistoryOff = nullptr;
    QPushButton *cmdCreateFolder = nullptr;
    QLabel *lblOperations = nullptr;
    QTreeWidget *lstOperations = nullptr;
    QLabel *lblFiles = nullptr;
    QTreeWidget *lstFiles = nullptr;
    QLabel *lblNote = nullptr;
    QPushButton *cmdUndo = nullptr;
    QPushButton *cmdRestoreAll = nullptr;
    QPushButton *cmdRefresh = nullptr;
    QPushButton *cmdClose = nullptr;
};
