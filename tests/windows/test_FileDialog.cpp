// The real Qt file dialog behind the Prompts door, driven as a player would: the prefix's
// drives in its sidebar, a Windows path typed into its name field, a folder taken whole.
#include "support/TestTree.h"
#include "windows/WidgetPrompts.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace {

// Runs the dialog with `act` done to it once it is up; returns the answer.
std::optional<QString> runDialog(const FileRequest &request, const std::function<void(QFileDialog *)> &act)
{
    bool acted = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || acted)
            return;
        acted = true;
        act(dialog);
        // A failed check inside `act` must not leave the dialog waiting for a player.
        if (dialog->isVisible())
            dialog->reject();
    });
    poll.start();
    WidgetPrompts prompts;
    return prompts.chooseFile(request);
}

// Types the text and presses Open (or Save) as a player would, which needs the button to be
// enabled for that text.
void typeAndAccept(QFileDialog *dialog, const QString &text)
{
    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QVERIFY(name && buttons);
    QPushButton *answer = buttons->button(dialog->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                                              : QDialogButtonBox::Open);
    QVERIFY(answer);
    name->clear();
    QTest::keyClicks(name, text);
    QTRY_VERIFY2(answer->isEnabled(), qPrintable(text));
    QTest::mouseClick(answer, Qt::LeftButton);
}

} // namespace

class test_FileDialog : public QObject
{
    Q_OBJECT
private slots:
    void typedWindowsPathsAreAnswersAndTheSidebarNamesDrives()
    {
        TestTree tree;
        tree.write(QStringLiteral("Maps/Island.txt"), "map");
        QStringList sidebar;
        QString afterClick;
        const auto answer = runDialog({FileRequest::Mode::Open, QStringLiteral("Black and White Maps (*.txt)|*.txt"), {}},
                                      [&](QFileDialog *dialog) {
            auto *view = dialog->findChild<QListView *>(QStringLiteral("sidebar"));
            auto *files = dialog->findChild<QFileSystemModel *>();
            QVERIFY(view && files);
            // The labelled rows lead to their folders, from the start.
            view->setCurrentIndex(view->model()->index(0, 0));
            afterClick = dialog->directory().absolutePath();
            // The labels used to vanish once the file system model had read a folder and the
            // sidebar renamed its rows; wait for such a read, then force a rename of every row.
            QSignalSpy loaded(files, &QFileSystemModel::directoryLoaded);
            const QString maps = QDir(tree.host(QStringLiteral("Maps"))).absolutePath();
            dialog->setDirectory(maps);
            QTRY_VERIFY_WITH_TIMEOUT(std::any_of(loaded.cbegin(), loaded.cend(),
                                                 [&](const QList<QVariant> &args) { return args.value(0).toString() == maps; }),
                                     15000);
            emit files->layoutChanged();
            for (int row = 0; row < view->model()->rowCount(); ++row)
                sidebar << view->model()->index(row, 0).data().toString();
            typeAndAccept(dialog, QStringLiteral("C:\\maps\\island.TXT"));
        });
        QVERIFY(answer.has_value());
        QCOMPARE(*answer, QStringLiteral("C:\\Maps\\Island.txt"));
        QVERIFY2(sidebar.value(0).startsWith(QStringLiteral("C: (")), qPrintable(sidebar.join(QLatin1Char('|'))));
        QVERIFY2(sidebar.join(QLatin1Char('|')).contains(QStringLiteral("Z: (")), qPrintable(sidebar.join(QLatin1Char('|'))));
        QVERIFY2(!sidebar.last().contains(QLatin1Char(':')), qPrintable(sidebar.last())); // the home folder
        QCOMPARE(afterClick, QDir(tree.driveC()).absolutePath());
    }

    void aTypedFolderIsEnteredAndASaveNameTaken()
    {
        TestTree tree;
        tree.mkdir(QStringLiteral("Packages"));
        QString shownFolder;
        const auto answer = runDialog({FileRequest::Mode::Save, {}, {}}, [&](QFileDialog *dialog) {
            typeAndAccept(dialog, QStringLiteral("C:\\Packages"));
            shownFolder = dialog->directory().absolutePath();
            typeAndAccept(dialog, QStringLiteral("C:\\Packages\\isle.brx"));
        });
        QCOMPARE(shownFolder, QDir(tree.host(QStringLiteral("Packages"))).absolutePath());
        QVERIFY(answer.has_value());
        QCOMPARE(*answer, QStringLiteral("C:\\Packages\\isle.brx"));
    }

    void theProgramFolderDialogTakesTheFolderShown()
    {
        TestTree tree;
        tree.mkdir(QStringLiteral("Veldrin/Backup"));
        FileRequest request{FileRequest::Mode::Open, QStringLiteral("Veldrin (Veldrin.exe)|Veldrin.exe"),
                            QStringLiteral("C:\\Veldrin"), true};
        const auto answer = runDialog(request, [&](QFileDialog *dialog) { typeAndAccept(dialog, QString()); });
        QVERIFY(answer.has_value());
        QCOMPARE(*answer, QStringLiteral("C:\\Veldrin"));
        // Without that permission a folder is only entered; Cancel then answers nothing.
        request.acceptFolder = false;
        const auto cancelled = runDialog(request, [&](QFileDialog *dialog) {
            typeAndAccept(dialog, QStringLiteral("C:\\Veldrin\\Backup"));
            dialog->reject();
        });
        QVERIFY(!cancelled.has_value());
    }
};

QTEST_MAIN(test_FileDialog)
#include "test_FileDialog.moc"
