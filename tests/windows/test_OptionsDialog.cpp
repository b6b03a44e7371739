#include "shell/Desk.h"
#include "shell/frmOptions.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {
const QByteArray kOptions = "C:\\Games\\Black & White\\\r\nC:\\Veldrin\\\r\nC:\\m.exe\r\nC:\\l.exe\r\nC:\\s.exe\r\nC:\\t.exe\r\n\r\n";
}

class test_OptionsDialog : public QObject
{
    Q_OBJECT

    struct Rig
    {
        TestTree tree;
        ScriptedPrompts prompts;
        Modual1 state;
        Desk desk{state, prompts};
    };
    std::unique_ptr<Rig> m;
    TestTree *m_tree = nullptr;
    ScriptedPrompts *m_prompts = nullptr;
    Modual1 *m_state = nullptr;
    Desk *m_desk = nullptr;

    QString text(frmOptions *o, const char *field) { return o->findChild<QLineEdit *>(QLatin1String(field))->text(); }
    void setText(frmOptions *o, const char *field, const QString &t) { o->findChild<QLineEdit *>(QLatin1String(field))->setText(t); }
    void click(frmOptions *o, const char *button) { QTest::mouseClick(o->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton); }

private slots:
    void init()
    {
        m = std::make_unique<Rig>();
        m_tree = &m->tree;
        m_prompts = &m->prompts;
        m_state = &m->state;
        m_desk = &m->desk;
        m_tree->makeGameAndProgramFolders();
        QDir::setCurrent(m_tree->host(QStringLiteral("Veldrin")));
    }

    void cleanup()
    {
        m.reset();
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }

    void loadFillsFieldsAndRecordOnTheFirstTab()
    {
        m_tree->write(QStringLiteral("Veldrin/options.txt"), kOptions);
        frmOptions *o = m_desk->showOptions();
        auto *tabs = o->findChild<QTabWidget *>(QStringLiteral("SSTab1"));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->count(), 5);
        QCOMPARE(tabs->tabText(3), QStringLiteral("Tatoo Options"));
        QVERIFY(!o->isModal());
        // Skin and tattoo lie in file order, not in tab order.
        QCOMPARE(text(o, "txtSkinCreator"), QStringLiteral("C:\\s.exe"));
        QCOMPARE(text(o, "txtTattooCreator"), QStringLiteral("C:\\t.exe"));
        QCOMPARE(m_state->settings.TattooEditorPath, QStringLiteral("C:\\t.exe"));
        // Showing it again only brings it forward: typed text is not replaced by a re-read.
        setText(o, "txtMapCreator", QStringLiteral("typed"));
        QCOMPARE(m_desk->showOptions(), o);
        QCOMPARE(text(o, "txtMapCreator"), QStringLiteral("typed"));
        QVERIFY(m_prompts->shown.isEmpty());
        o->close();
    }

    void browseButtonsCutByCountAndCancelKeepsTheLastName()
    {
        frmOptions *o = m_desk->showOptions();
        QCOMPARE(m_prompts->messages(), QStringList({"Please enter some details so Veldrin can operate functionally"}));
        m_prompts->answerWindowsPath(QStringLiteral("C:\\Games\\Black & White\\runblack.exe"));
        click(o, "Command1");
        QCOMPARE(text(o, "txtRunBlack"), QStringLiteral("C:\\Games\\Black & White\\"));
        m_prompts->answerCancel();
        click(o, "Command3");
        // The cancelled dialog still holds runblack.exe's path; "Veldrin.exe" is one shorter.
        QCOMPARE(text(o, "txtManagerLocation"), QStringLiteral("C:\\Games\\Black & White\\r"));
        m_prompts->answerWindowsPath(QStringLiteral("C:\\Veldrin\\Editors\\Editor.exe"));
        click(o, "Command2");
        m_prompts->answerCancel();
        click(o, "Command4");
        QCOMPARE(text(o, "txtMapCreator"), QStringLiteral("C:\\Veldrin\\Editors\\Editor.exe"));
        QCOMPARE(text(o, "txtLandscapeCreator"), QStringLiteral("C:\\Veldrin\\Editors\\Editor.exe"));
        QStringList filters;
        for (const auto &s : m_prompts->shown) {
            if (s.kind == ScriptedPrompts::Shown::OpenDialog)
                filters << s.text;
        }
        QCOMPARE(filters, QStringList({"Black and White (runblack.exe)|runblack.exe", "Veldrin (Veldrin.exe)|Veldrin.exe",
                                       "exeFiles (*.exe)|*.exe", "exe Files (*.exe)|*.exe"}));
        QCOMPARE(m_prompts->shown.at(2).initialPath, QStringLiteral("C:\\Games\\Black & White\\runblack.exe"));
        o->close();
        QTRY_VERIFY(!m_desk->options());

        // A new dialog starts with an empty name: a cancel leaves the field empty.
        o = m_desk->showOptions();
        setText(o, "txtTattooCreator", QStringLiteral("old"));
        m_prompts->answerCancel();
        click(o, "Command5");
        QCOMPARE(text(o, "txtTattooCreator"), QString());
        m_prompts->answerWindowsPath(QStringLiteral("C:\\s.exe"));
        click(o, "Command6");
        QCOMPARE(text(o, "txtSkinCreator"), QStringLiteral("C:\\s.exe"));
        o->close();
    }

    void okAndApplyWriteCancelAndCloseBoxDoNot()
    {
        m_tree->write(QStringLiteral("Veldrin/options.txt"), kOptions);
        m_tree->mkdir(QStringLiteral("Other"));
        frmOptions *o = m_desk->showOptions();
        // The file goes where the program-folder field points, not where it was read from.
        setText(o, "txtManagerLocation", QStringLiteral("C:\\Other\\"));
        click(o, "cmdApply");
        QVERIFY(o->isVisible());
        const QByteArray applied = m_tree->read(QStringLiteral("Other/options.txt"));
        QCOMPARE(applied, QByteArray("C:\\Games\\Black & White\\\r\nC:\\Other\\\r\nC:\\m.exe\r\nC:\\l.exe\r\nC:\\s.exe\r\nC:\\t.exe\r\n\r\n"));
        setText(o, "txtRunBlack", QStringLiteral("C:\\Changed\\"));
        o->close();
        QTRY_VERIFY(!m_desk->options());
        QCOMPARE(m_tree->read(QStringLiteral("Other/options.txt")), applied);

        o = m_desk->showOptions();
        setText(o, "txtRunBlack", QStringLiteral("C:\\Cancelled\\"));
        click(o, "cmdCancel");
        QTRY_VERIFY(!m_desk->options());
        QCOMPARE(m_tree->read(QStringLiteral("Veldrin/options.txt")), kOptions);

        o = m_desk->showOptions();
        setText(o, "txtRunBlack", QStringLiteral("C:\\New\\"));
        click(o, "cmdOK");
        QTRY_VERIFY(!m_desk->options());
        QVERIFY(m_tree->read(QStringLiteral("Veldrin/options.txt")).startsWith("C:\\New\\\r\nC:\\Veldrin\\\r\n"));
        // The record keeps what the dialog read until the file is read again.
        QCOMPARE(m_state->settings.GameFolder, QStringLiteral("C:\\Games\\Black & White\\"));
        m_desk->showOptions();
        QCOMPARE(m_state->settings.GameFolder, QStringLiteral("C:\\New\\"));
        m_desk->options()->close();
    }
};

QTEST_MAIN(test_OptionsDialog)
#include "test_OptionsDialog.moc"
