#pragma once
#include <QWidget>

class WindowDesk;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The add-ons as the player sees them, for the history window: what is installed, each in or
// out, with its files and their state; and the files two add-ons write, where one can be moved
// above the other. installed() and conflicts() are the window's two pages.
class AddOnsView : public QObject
{
    Q_OBJECT
public:
    explicit AddOnsView(WindowDesk &desk, QWidget *parent);

    QWidget *installed() const { return m_installed; }
    QWidget *conflicts() const { return m_conflicts; }

    void Refresh();
    void cmdTakeOut_Click();
    void cmdRename_Click();
    void cmdMoveUp_Click();
    void cmdMoveDown_Click();

signals:
    void changed(); // the add-ons changed: the history has a new operation

private:
    void lstAddOns_SelectionChanged();
    void lstAddOns_ItemChanged(QTreeWidgetItem *item, int column);
    void lstConflicts_SelectionChanged();
    qint64 selectedAddOn() const;
    // Moves the selected add-on one place within the chosen file's stack.
    void move(int step);
    // Runs a change; asks once about files changed by hand, then tells what came of it.
    template <class Change> void run(Change change);

    WindowDesk &m_desk;
    bool m_filling = false;
    QWidget *m_installed = nullptr;
    QWidget *m_conflicts = nullptr;
    QTreeWidget *lstAddOns = nullptr;
    QLabel *lblAddOnFiles = nullptr;
    QTreeWidget *lstAddOnFiles = nullptr;
    QPushButton *cmdTakeOut = nullptr;
    QPushButton *cmdRename = nullptr;
    QLabel *lblConflicts = nullptr;
    QTreeWidget *lstConflicts = nullptr;
    QPushButton *cmdMoveUp = nullptr;
    QPushButton *cmdMoveDown = nullptr;
};
