#include "DeskFixture.h"
#include "shell/frmOptions.h"
#include "support/EnvGuard.h"

#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

namespace {
const QByteArray kOptions = "C:\\Games\\Black & White\\\r\nC:\\Veldrin\\\r\nC:\\m.exe\r\nC:\\l.exe\r\nC:\\s.exe\r\nC:\\t.exe\r\n\r\n";
}

class test_OptionsDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;
    frmOptions *o = nullptr;

    QLineEdit *field(const char *name) { return DeskFixture::at<QLineEdit>(o, name); }
    void reopen()
    {
        o->close();
        QTRY_VERIFY(!f->desk->options());
        o = f->desk->showOptions();
    }
    void browse(const char *button, const QString &answer)
    {
        answer.isEmpty() ? f->prompts.answerCancel() : f->prompts.answerWindowsPath(answer);
        DeskFixture::click(o, button);
    }

private slots:
    void init() { f = std::make_unique<DeskFixture>(); }
    void cleanup() { DeskFixture::end(f); }

    void loadFillsFieldsAndRecord()
    {
        f->tree.write(QStringLiteral("Veldrin/options.txt"), kOptions);
        o = f->desk->showOptions();
        // Skin and tattoo lie in file order, not in tab order.
        QCOMPARE(field("txtSkinCreator")->text(), QStringLiteral("C:\\s.exe"));
        QCOMPARE(field("txtTattooCreator")->text(), QStringLiteral("C:\\t.exe"));
        QCOMPARE(f->state.settings.TattooEditorPath, QStringLiteral("C:\\t.exe"));
        // Showing it again only brings it forward: typed text is not replaced by a re-read.
        field("txtMapCreator")->setText(QStringLiteral("typed"));
        QCOMPARE(f->desk->showOptions(), o);
        QCOMPARE(field("txtMapCreator")->text(), QStringLiteral("typed"));
        QVERIFY(f->prompts.shown.isEmpty());
    }

    void theStatusLineNamesThePrefixOrItsAbsence()
    {
        o = f->desk->showOptions();
        QCOMPARE(DeskFixture::at<QLabel>(o, "lblPrefix")->toolTip(), f->tree.prefix());
        QTemporaryDir emptyHome;
        EnvGuard env("HOME", emptyHome.path().toLocal8Bit());
        env.set("WINEPREFIX", "");
        reopen();
        const QLabel *line = DeskFixture::at<QLabel>(o, "lblPrefix");
        env.restore();
        QVERIFY(line->text().startsWith(QLatin1String("No Wine prefix")));
        QVERIFY(line->toolTip().contains(QLatin1String("veldrin --setup")));
    }

    void browseButtonsCutByCountAndCancelKeepsTheLastName()
    {
        o = f->desk->showOptions(); // no options file: the first-run message
        browse("Command1", QStringLiteral("C:\\Games\\Black & White\\runblack.exe"));
        QCOMPARE(field("txtRunBlack")->text(), QStringLiteral("C:\\Games\\Black & White\\"));
        browse("Command3", {});
        // The cancelled dialog still holds runblack.exe's path: taken whole, not cut by the
        // length of "Veldrin.exe" into a name that is no folder.
        QCOMPARE(field("txtManagerLocation")->text(), QStringLiteral("C:\\Games\\Black & White\\runblack.exe"));
        // A folder chosen is told to the cut as one (the cuts themselves: test_TypedPaths).
        browse("Command3", QStringLiteral("C:\\Veldrin"));
        QCOMPARE(field("txtManagerLocation")->text(), QStringLiteral("C:\\Veldrin\\"));
        browse("Command1", QStringLiteral("C:\\Games\\Black & White\\runblack.exe"));
        browse("Command2", QStringLiteral("C:\\Veldrin\\Editors\\Editor.exe"));
        browse("Command4", {});
        QCOMPARE(field("txtLandscapeCreator")->text(), QStringLiteral("C:\\Veldrin\\Editors\\Editor.exe"));

        // A new dialog starts with an empty name: a cancel leaves the field empty.
        reopen();
        field("txtTattooCreator")->setText(QStringLiteral("old"));
        browse("Command5", {});
        QCOMPARE(field("txtTattooCreator")->text(), QString());
    }

    void okAndApplyWriteCancelAndCloseBoxDoNot()
    {
        f->tree.write(QStringLiteral("Veldrin/options.txt"), kOptions);
        f->tree.mkdir(QStringLiteral("Other"));
        o = f->desk->showOptions();
        // The file goes where the program-folder field points, not where it was read from.
        field("txtManagerLocation")->setText(QStringLiteral("C:\\Other\\"));
        DeskFixture::click(o, "cmdApply");
        QVERIFY(o->isVisible());
        const QByteArray applied = f->tree.read(QStringLiteral("Other/options.txt"));
        QCOMPARE(applied, QByteArray(kOptions).replace("C:\\Veldrin\\", "C:\\Other\\"));
        field("txtRunBlack")->setText(QStringLiteral("C:\\Changed\\"));
        reopen();
        QCOMPARE(f->tree.read(QStringLiteral("Other/options.txt")), applied);

        field("txtRunBlack")->setText(QStringLiteral("C:\\Cancelled\\"));
        DeskFixture::click(o, "cmdCancel");
        QTRY_VERIFY(!f->desk->options());
        QCOMPARE(f->tree.read(QStringLiteral("Veldrin/options.txt")), kOptions);

        o = f->desk->showOptions();
        field("txtRunBlack")->setText(QStringLiteral("C:\\New\\"));
        DeskFixture::click(o, "cmdOK");
        QTRY_VERIFY(!f->desk->options());
        QVERIFY(f->tree.read(QStringLiteral("Veldrin/options.txt")).startsWith("C:\\New\\\r\nC:\\Veldrin\\\r\n"));
    }
};

QTEST_MAIN(test_OptionsDialog)
#include "test_OptionsDialog.moc"
