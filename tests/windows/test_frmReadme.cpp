#include "readme/ReadmeText.h"
#include "readme/frmReadme.h"
#include "shell/Desk.h"
#include "shell/Twips.h"
#include "shell/frmMDI.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

class test_frmReadme : public QObject
{
    Q_OBJECT

    std::unique_ptr<Modual1> state;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<Desk> desk;
    frmReadme *window = nullptr;

    template <class T> T *find(const char *name)
    {
        auto *w = window->findChild<T *>(QLatin1String(name));
        if (!w)
            qWarning("missing %s", name);
        return w;
    }
    QPlainTextEdit *preview() { return find<QPlainTextEdit>("txt1"); }
    QMdiSubWindow *sub() { return qobject_cast<QMdiSubWindow *>(window->parentWidget()); }
    void click(const char *name) { find<QPushButton>(name)->click(); }
    void trigger(const char *name) { find<QAction>(name)->trigger(); }
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

private slots:
    void initTestCase()
    {
        qputenv("VELDRIN_MAKER_HOST", "maker.test");
        qputenv("VELDRIN_PARTNER_HOST", "partner.test");
    }

    void init()
    {
        state = std::make_unique<Modual1>();
        prompts = std::make_unique<ScriptedPrompts>();
        desk = std::make_unique<Desk>(*state, *prompts);
        window = desk->showReadme();
        QVERIFY(window && sub());
    }

    void cleanup()
    {
        // Children first: the frame's own teardown is not what these tests are about.
        if (frmMDI *frame = desk->openMdi())
            frame->mdiArea()->closeAllSubWindows();
        settle();
        desk.reset();
        settle();
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        QVERIFY(!prompts->unscripted);
        QCOMPARE(prompts->pendingAnswers(), 0);
    }

    void opensOnTheFieldsWithThePreviewInFront()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral("Veldrin - Readme Creator"));
        auto *type = find<QComboBox>("cmbType");
        QVERIFY(type->isEditable());
        QCOMPARE(type->currentText(), QStringLiteral("Specify File Type"));
        QStringList items;
        for (int i = 0; i < type->count(); ++i)
            items << type->itemText(i);
        QCOMPARE(items, (QStringList{"Map", "Landscape", "Tatoos", "Skin", "Mod"}));
        QCOMPARE(type->geometry(), QRect(120, 16, 145, 21));
        QCOMPARE(find<QPlainTextEdit>("txtDesc")->geometry(), QRect(120, 80, 473, 153));
        QCOMPARE(find<QPushButton>("cmdExit")->geometry(), QRect(616, 88, 89, 25));

        QCOMPARE(preview()->geometry(), QRect(0, 0, twipsToPixels(150), twipsToPixels(6375)));
        QVERIFY(preview()->toPlainText().isEmpty());
        QCOMPARE(preview()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(preview()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        // Raised above every sibling: it is the last child in stacking order.
        QWidget *top = nullptr;
        for (QObject *o : window->children()) {
            auto *w = qobject_cast<QWidget *>(o);
            if (w && !w->isWindow())
                top = w;
        }
        QCOMPARE(top, preview());
    }

    void menuBarReplacesTheFramesWhileActive()
    {
        QMenuBar *bar = desk->mdi()->currentMenuBar();
        QVERIFY(bar && bar != desk->mdi()->frameMenuBar());
        auto *go = window->findChild<QMenu *>(QStringLiteral("mnuGo"));
        QVERIFY(go);
        QCOMPARE(go->title(), QStringLiteral("Go!"));
        QCOMPARE(bar->actions().value(0), go->menuAction());
        QStringList entries;
        for (QAction *a : go->actions())
            entries << a->objectName() + '=' + a->text();
        QCOMPARE(entries, (QStringList{"frmShow=Show File", "frmFields=Enter Fields", "mnuSave=Save Readme",
                                       "mnuExit=Exit Readme Creator"}));
    }

    void showFileCoversTheWindowAndComposes_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("button") << false;
        QTest::newRow("menu") << true;
    }
    void showFileCoversTheWindowAndComposes()
    {
        QFETCH(bool, fromMenu);
        find<QComboBox>("cmbType")->setEditText(QStringLiteral("Map"));
        find<QLineEdit>("txtTitle")->setText(QStringLiteral("Isle"));
        find<QLineEdit>("txtName")->setText(QStringLiteral("Bo"));
        find<QPlainTextEdit>("txtDesc")->setPlainText(QStringLiteral("Sand\nand sea"));
        find<QLineEdit>("txtContact")->setText(QStringLiteral("bo@isle.test"));
        fromMenu ? trigger("frmShow") : click("cmdShow");

        QVERIFY(state->ReadmePreviewShown);
        QCOMPARE(preview()->size(), sub()->size());
        QVERIFY(preview()->width() > window->width());
        ReadmeFields f;
        f.type = QStringLiteral("Map");
        f.title = QStringLiteral("Isle");
        f.name = QStringLiteral("Bo");
        f.description = QStringLiteral("Sand\nand sea");
        f.contact = QStringLiteral("bo@isle.test");
        QCOMPARE(window->previewText(), ComposeReadme(f));
        QVERIFY(window->previewText().contains(QLatin1String("--- Description ---\r\nSand\r\nand sea\r\n")));

        // Back to the fields: a 50-twip strip at full height, its text kept.
        const int height = preview()->height();
        trigger("frmFields");
        QVERIFY(!state->ReadmePreviewShown);
        QCOMPARE(preview()->size(), QSize(twipsToPixels(50), height));
        QCOMPARE(window->previewText(), ComposeReadme(f));
    }

    void resizeFollowsOnlyWhileThePreviewIsShown()
    {
        click("cmdShow");
        sub()->resize(820, 560);
        QCOMPARE(preview()->size(), QSize(820, 560));
        sub()->resize(500, 300);
        QCOMPARE(preview()->size(), QSize(500, 300));

        trigger("frmFields");
        sub()->resize(900, 640);
        QCOMPARE(preview()->size(), QSize(twipsToPixels(50), 300));
    }

    void reopenedWhileShownStartsWithAnEmptyCoveringPreview()
    {
        find<QLineEdit>("txtTitle")->setText(QStringLiteral("Isle"));
        click("cmdShow");
        click("cmdExit");
        settle();
        QVERIFY(!desk->readme());
        QVERIFY(state->ReadmePreviewShown);

        window = desk->showReadme();
        QVERIFY(preview()->toPlainText().isEmpty());
        QCOMPARE(preview()->size(), sub()->size());
        QVERIFY(find<QLineEdit>("txtTitle")->text().isEmpty());
        trigger("frmFields");
        QCOMPARE(preview()->width(), twipsToPixels(50));

        // Closed from the fields, it comes back on the fields.
        trigger("mnuExit");
        settle();
        QVERIFY(!desk->readme());
        window = desk->showReadme();
        QCOMPARE(preview()->width(), twipsToPixels(150));
    }

    void saveWritesThePreviewWithItsEdits()
    {
        TestTree tree;
        tree.mkdir(QStringLiteral("out"));
        find<QLineEdit>("txtTitle")->setText(QStringLiteral("Isle"));
        find<QLineEdit>("txtContact")->setText(QStringLiteral("bo@isle.test"));
        click("cmdShow");
        const QString composed = window->previewText();
        preview()->moveCursor(QTextCursor::End);
        QTest::keyClicks(preview(), QStringLiteral("P.S. have fun"));
        // Field edits after Show File do not reach the preview.
        find<QLineEdit>("txtTitle")->setText(QStringLiteral("Other"));

        prompts->answerHostPath(tree.host(QStringLiteral("out/readme.txt")));
        click("cmdSave");
        QCOMPARE(prompts->shown.size(), 1);
        QCOMPARE(prompts->shown[0].kind, ScriptedPrompts::Shown::SaveDialog);
        QCOMPARE(prompts->shown[0].text, QStringLiteral("Readme Files (*.txt)|*.txt"));
        QCOMPARE(tree.read(QStringLiteral("out/readme.txt")),
                 (composed + QStringLiteral("P.S. have fun\r\n")).toLatin1());

        // Show File again drops the edit; the saved file ends with two line breaks.
        click("cmdShow");
        QVERIFY(window->previewText().startsWith(QLatin1String("--- Other ---\r\n")));
        prompts->answerHostPath(tree.host(QStringLiteral("out/readme.txt")));
        trigger("mnuSave");
        QCOMPARE(prompts->shown[1].initialPath, TestTree::win(QStringLiteral("out/readme.txt")));
        const QByteArray saved = tree.read(QStringLiteral("out/readme.txt"));
        QCOMPARE(saved, (window->previewText() + QStringLiteral("\r\n")).toLatin1());
        QVERIFY(saved.endsWith(" ---\r\n\r\n"));
        QVERIFY(!saved.contains("P.S."));
    }

    void cancelledSaveWritesNothing()
    {
        TestTree tree;
        tree.mkdir(QStringLiteral("out"));
        // Before any Show File the preview is empty: the file holds one line break.
        prompts->answerHostPath(tree.host(QStringLiteral("out/first.txt")));
        click("cmdSave");
        QCOMPARE(tree.read(QStringLiteral("out/first.txt")), QByteArray("\r\n"));

        // A cancel after an earlier choice does not write to that file again.
        click("cmdShow");
        prompts->answerCancel();
        click("cmdSave");
        QCOMPARE(tree.read(QStringLiteral("out/first.txt")), QByteArray("\r\n"));
        prompts->answerCancel();
        trigger("mnuSave");
        QCOMPARE(tree.read(QStringLiteral("out/first.txt")), QByteArray("\r\n"));
        QCOMPARE(prompts->messages(), QStringList());
    }
};

QTEST_MAIN(test_frmReadme)
#include "test_frmReadme.moc"
