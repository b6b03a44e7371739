#include "DeskFixture.h"
#include "common/Twips.h"
#include "readme/ReadmeText.h"
#include "windows/readme/frmReadme.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

class test_frmReadme : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;
    frmReadme *window = nullptr;

    QPlainTextEdit *preview() { return DeskFixture::at<QPlainTextEdit>(window, "txt1"); }
    QLineEdit *title() { return DeskFixture::at<QLineEdit>(window, "txtTitle"); }
    QSize covered() { return DeskFixture::frameOf(window)->size(); }
    QByteArray saveAs(const QString &name, bool fromMenu = false)
    {
        f->prompts.answerHostPath(f->tree.host(QStringLiteral("out/") + name));
        fromMenu ? DeskFixture::trigger(window, "mnuSave") : DeskFixture::click(window, "cmdSave");
        return f->tree.read(QStringLiteral("out/") + name);
    }

private slots:
    void init()
    {
        f = std::make_unique<DeskFixture>();
        f->tree.mkdir(QStringLiteral("out"));
        window = f->desk->showReadme();
    }
    void cleanup() { DeskFixture::end(f); }

    void showFileCoversTheWindowFieldsUncoverIt_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("button") << false;
        QTest::newRow("menu") << true;
    }
    void showFileCoversTheWindowFieldsUncoverIt()
    {
        QFETCH(bool, fromMenu);
        QCOMPARE(preview()->width(), twipsToPixels(150));
        ReadmeFields fields;
        fields.type = QStringLiteral("Map");
        fields.title = QStringLiteral("Isle");
        DeskFixture::at<QComboBox>(window, "cmbType")->setEditText(fields.type);
        title()->setText(fields.title);
        fromMenu ? DeskFixture::trigger(window, "frmShow") : DeskFixture::click(window, "cmdShow");
        QVERIFY(f->state.ReadmePreviewShown);
        QCOMPARE(preview()->size(), covered());
        QCOMPARE(window->previewText(), ComposeReadme(fields));

        // Back to the fields: a 50-twip strip at full height, its text kept.
        const int height = preview()->height();
        DeskFixture::trigger(window, "frmFields");
        QVERIFY(!f->state.ReadmePreviewShown);
        QCOMPARE(preview()->size(), QSize(twipsToPixels(50), height));
        QCOMPARE(window->previewText(), ComposeReadme(fields));
    }

    void resizeFollowsOnlyWhileThePreviewIsShown()
    {
        DeskFixture::click(window, "cmdShow");
        DeskFixture::frameOf(window)->resize(820, 560);
        QCOMPARE(preview()->size(), QSize(820, 560));
        DeskFixture::trigger(window, "frmFields");
        DeskFixture::frameOf(window)->resize(500, 300);
        QCOMPARE(preview()->size(), QSize(twipsToPixels(50), 560));
    }

    void saveKeepsPreviewEditsUntilTheNextShowFile()
    {
        title()->setText(QStringLiteral("Isle"));
        DeskFixture::click(window, "cmdShow");
        const QString composed = window->previewText();
        preview()->moveCursor(QTextCursor::End);
        QTest::keyClicks(preview(), QStringLiteral("P.S. have fun"));
        // Field edits after Show File do not reach the preview.
        title()->setText(QStringLiteral("Other"));
        QCOMPARE(saveAs(QStringLiteral("readme.txt")), (composed + QStringLiteral("P.S. have fun\r\n")).toLatin1());

        // Show File again drops the edit; the saved file ends with two line breaks.
        DeskFixture::click(window, "cmdShow");
        const QByteArray saved = saveAs(QStringLiteral("readme.txt"), true);
        QCOMPARE(saved, (window->previewText() + QStringLiteral("\r\n")).toLatin1());
        QVERIFY(saved.startsWith("--- Other ---\r\n"));
        QVERIFY(saved.endsWith("\r\n\r\n"));
    }

    void cancelledSaveWritesNothing()
    {
        // Before any Show File the preview is empty: the file holds one line break.
        QCOMPARE(saveAs(QStringLiteral("first.txt")), QByteArray("\r\n"));
        // A cancel after an earlier choice does not write to that file again.
        DeskFixture::click(window, "cmdShow");
        f->prompts.answerCancel();
        DeskFixture::click(window, "cmdSave");
        f->prompts.answerCancel();
        DeskFixture::trigger(window, "mnuSave");
        QCOMPARE(f->tree.read(QStringLiteral("out/first.txt")), QByteArray("\r\n"));
        QVERIFY(f->prompts.messages().isEmpty());
    }
};

QTEST_MAIN(test_frmReadme)
#include "test_frmReadme.moc"
