#pragma once
#include <QWidget>

#include "common/Prompts.h"

class WindowDesk;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QMenuBar;

// The readme creator: a page of fields and, over it, a preview box holding the composed
// readme, which the author may touch up before saving.
class frmReadme : public QWidget
{
    Q_OBJECT
public:
    explicit frmReadme(WindowDesk &desk, QWidget *parent = nullptr);
    ~frmReadme() override;

    QSize sizeHint() const override;

    void cmdShow_Click();
    void frmShow_Click() { cmdShow_Click(); }
    void frmFields_Click();
    void cmdSave_Click() { SaveReadme(); }
    void mnuSave_Click() { SaveReadme(); }
    void cmdExit_Click();
    void mnuExit_Click() { cmdExit_Click(); }

    void ComposeReadme();
    void SaveReadme();

    // The preview box's text as a file gets it: CR LF line ends.
    QString previewText() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    void Form_Resize();
    QSize outerSize() const;
    void buildMenu();

    WindowDesk &m_desk;
    FileDialog dio1;
    QComboBox *cmbType = nullptr;
    QLineEdit *txtTitle = nullptr;
    QLineEdit *txtName = nullptr;
    QLineEdit *txtAddress = nullptr;
    QPlainTextEdit *txtDesc = nullptr;
    QPlainTextEdit *txtComment = nullptr;
    QLineEdit *txtThanks = nullptr;
    QLineEdit *txtContact = nullptr;
    QPlainTextEdit *txt1 = nullptr;
};
