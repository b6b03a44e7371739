#pragma once
#include <QDialog>

#include "common/Prompts.h"

class WindowDesk;
class QLineEdit;
class QTabWidget;
struct Settings;

// The six settings, one text field and browse button each, on five tabs. Loading re-reads the
// options file; OK and Apply write it, but the settings in use change only when it is read again.
class frmOptions : public QDialog
{
    Q_OBJECT
public:
    explicit frmOptions(WindowDesk &desk, QWidget *parent = nullptr);
    ~frmOptions() override;

    FileDialog dio1;

    // The six fields in options-file order.
    Settings fields() const;

    void cmdOK_Click();
    void cmdApply_Click();
    void cmdCancel_Click();
    // Command1 to Command6.
    void browse(const QString &button);

private:
    void setFields(const Settings &fields);
    QLineEdit *fieldFor(const char *name) const;

    WindowDesk &m_desk;
    QTabWidget *m_tabs = nullptr;
    QLineEdit *m_edits[6] = {};
};
