#pragma once
// One run's worth of program for a window test: a temporary game and program folder tree,
// the program-wide values, scripted prompts and the desk that shows the windows.
#include "shell/Desk.h"
#include "shell/frmMDI.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <memory>

struct DeskFixture
{
    TestTree tree;
    Modual1 state;
    ScriptedPrompts prompts;
    std::unique_ptr<Desk> desk;

    DeskFixture()
    {
        tree.makeGameAndProgramFolders();
        state.settings.GameFolder = TestTree::gameFolder();
        state.settings.ProgramFolder = TestTree::programFolder();
        // The options file is read from and written to the working folder.
        QDir::setCurrent(tree.host(QStringLiteral("Veldrin")));
        desk = std::make_unique<Desk>(state, prompts);
    }

    template <class T = QWidget> static T *at(const QObject *window, const char *name)
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    static void click(const QObject *window, const char *name) { at<QAbstractButton>(window, name)->click(); }
    static void trigger(const QObject *window, const char *name) { at<QAction>(window, name)->trigger(); }
    static QMdiSubWindow *frameOf(QWidget *child) { return qobject_cast<QMdiSubWindow *>(child->parentWidget()); }
    // Answers the next file dialog with a file under drive C, then presses the button that asks.
    void choose(const QString &relative, const QObject *window, const char *button)
    {
        prompts.answerHostPath(tree.host(relative));
        click(window, button);
    }

    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Closes everything as the user would, content windows before the frame, checks that no
    // window is left on screen and no scripted answer went unused, then drops the fixture, so
    // that its tree hands the Wine prefix back before the next test makes its own.
    static void end(std::unique_ptr<DeskFixture> &fixture)
    {
        QCOMPARE(fixture->prompts.pendingAnswers(), 0);
        if (frmMDI *frame = fixture->desk->openMdi()) {
            frame->mdiArea()->closeAllSubWindows();
            flushDeletes();
            frame->close();
        }
        fixture->desk.reset();
        flushDeletes();
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        fixture.reset();
    }
};
