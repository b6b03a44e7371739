#include "shell/Desk.h"
#include "shell/OptionsFile.h"
#include "shell/SampleSetup.h"
#include "shell/frmMDI.h"
#include "shell/frmOptions.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>

class test_LaunchPrograms : public QObject
{
    Q_OBJECT

    TestTree *m_tree = nullptr;
    ScriptedPrompts *m_prompts = nullptr;
    Modual1 *m_state = nullptr;
    Desk *m_desk = nullptr;

    int starts(const QString &log) const { return int(m_tree->read(log).count('\n')); }

private slots:
    void init()
    {
        m_tree = new TestTree;
        QVERIFY(sample::createSampleSetup(m_tree->prefix()).ok());
        QDir::setCurrent(m_tree->host(QStringLiteral("Veldrin")));
        m_prompts = new ScriptedPrompts;
        m_state = new Modual1;
        m_desk = new Desk(*m_state, *m_prompts);
        QVERIFY(optionsfile::LoadSettings(m_state->settings));
    }

    void cleanup()
    {
        delete m_desk;
        delete m_state;
        delete m_prompts;
        delete m_tree;
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }

    void everyClickStartsTheGameAgain()
    {
        m_desk->LaunchGame();
        m_desk->LaunchGame();
        QTRY_COMPARE_WITH_TIMEOUT(starts(sample::gameStartLog()), 2, 10000);
        QVERIFY(m_prompts->shown.isEmpty());
    }

    void helpAndTownToolStartFromTheProgramFolder()
    {
        m_desk->mdi()->frameMenuBar()->findChild<QAction *>(QStringLiteral("mnuContents"))->trigger();
        m_desk->LaunchSteadwright();
        QTRY_COMPARE_WITH_TIMEOUT(starts(QStringLiteral("Veldrin/Help/help-starts.log")), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(starts(QStringLiteral("Veldrin/Steadwright/steadwright-starts.log")), 1, 10000);
        QVERIFY(m_prompts->shown.isEmpty());
    }

    void aRefusedStartNamesThePathAndWhy()
    {
        m_state->settings.GameFolder = QStringLiteral("C:\\Nowhere\\");
        m_desk->LaunchGame();
        QCOMPARE(m_prompts->messages().size(), 1);
        const QString message = m_prompts->messages().constFirst();
        QVERIFY2(message.contains(QLatin1String("C:\\Nowhere\\\\runblack.exe")), qPrintable(message));
        QVERIFY2(message.contains(QLatin1String("does not exist")), qPrintable(message));

        m_tree->write(QStringLiteral("Veldrin/Editors/plain.exe.txt"), "not a program");
        QFile::setPermissions(m_tree->host(QStringLiteral("Veldrin/Editors/plain.exe.txt")), QFile::ReadOwner | QFile::WriteOwner);
        m_desk->LaunchEditor(QStringLiteral("C:\\Veldrin\\Editors\\plain.exe.txt"));
        QCOMPARE(m_prompts->messages().size(), 2);
        QVERIFY(m_prompts->messages().at(1).contains(QLatin1String("plain.exe.txt")));
    }

    void onlyAnEmptyEditorPathOpensTheOptions()
    {
        // Start-up leaves the landscape editor empty even though the file names one.
        QVERIFY(m_state->settings.LandscapeEditorPath.isEmpty());
        m_desk->LaunchEditor(m_state->settings.LandscapeEditorPath);
        frmOptions *options = m_desk->options();
        QVERIFY(options && options->isVisible() && !options->isModal());
        QCOMPARE(options->findChild<QTabWidget *>(QStringLiteral("SSTab1"))->currentIndex(), 0);
        // Loading the dialog filled the record: the same button now starts the editor.
        QCOMPARE(m_state->settings.LandscapeEditorPath, QStringLiteral("C:\\Veldrin\\Editors\\Editor.exe"));
        options->close();
        QTRY_VERIFY(!m_desk->options());
        m_desk->LaunchEditor(m_state->settings.LandscapeEditorPath);
        QTRY_COMPARE_WITH_TIMEOUT(starts(QStringLiteral("Veldrin/Editors/editor-starts.log")), 1, 10000);

        m_desk->LaunchEditor(QStringLiteral("C:\\Veldrin\\Editors\\Gone.exe"));
        QVERIFY(!m_desk->options());
        QCOMPARE(m_prompts->messages().size(), 1);
        QVERIFY(m_prompts->messages().constFirst().contains(QLatin1String("C:\\Veldrin\\Editors\\Gone.exe")));
    }
};

QTEST_MAIN(test_LaunchPrograms)
#include "test_LaunchPrograms.moc"
