#pragma once
// One run's worth of program for a window test: a temporary game and program folder tree,
// the program-wide values, scripted prompts and the desk that shows the windows.
#include "shell/Desk.h"
#include "shell/frmMDI.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QApplication>
#include <QMdiArea>
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
        desk = std::make_unique<Desk>(state, prompts);
    }

    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Closes everything as the user would, content windows before the frame, and checks that
    // no window is left on screen and no scripted answer went unused.
    void tearDown()
    {
        QCOMPARE(prompts.pendingAnswers(), 0);
        if (frmMDI *frame = desk->openMdi()) {
            frame->mdiArea()->closeAllSubWindows();
            flushDeletes();
            frame->close();
        }
        desk.reset();
        flushDeletes();
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }
};
