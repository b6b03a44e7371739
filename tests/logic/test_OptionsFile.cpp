#include "shell/OptionsFile.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QDir>
#include <QTest>

namespace {
const QByteArray kTenLines = "G\\\r\nP\\\r\nmap.exe\r\nland.exe\r\nskin.exe\r\ntattoo.exe\r\n7\r\n8\r\n9\r\n10\r\n";

// A tree whose program folder holds the given options file and is the current directory.
void startIn(TestTree &tree, const QByteArray &options)
{
    tree.makeGameAndProgramFolders();
    if (!options.isNull())
        tree.write(QStringLiteral("Veldrin/options.txt"), options);
    QDir::setCurrent(tree.host(QStringLiteral("Veldrin")));
}
} // namespace

class test_OptionsFile : public QObject
{
    Q_OBJECT
private slots:
    void linesEndAtCrCrLfOrLf()
    {
        using optionsfile::splitLines;
        QCOMPARE(splitLines(QStringLiteral("a\rb\r\nc\nd")), QStringList({"a", "b", "c", "d"}));
        // The break after the last line starts no further line; an empty line in between counts.
        QCOMPARE(splitLines(QStringLiteral("a\r\n\r\n")), QStringList({"a", ""}));
        QCOMPARE(splitLines(QStringLiteral("\r\r\nx")), QStringList({"", "", "x"}));
        QCOMPARE(splitLines(QString()), QStringList());
    }

    void startUpReadsOnlyTheFirstThreeLines()
    {
        TestTree tree;
        startIn(tree, kTenLines);
        Settings record;
        record.LandscapeEditorPath = QStringLiteral("kept");
        QVERIFY(optionsfile::LoadSettings(record));
        QCOMPARE(record.GameFolder, QStringLiteral("G\\"));
        QCOMPARE(record.ProgramFolder, QStringLiteral("P\\"));
        QCOMPARE(record.MapEditorPath, QStringLiteral("map.exe"));
        QCOMPARE(record.LandscapeEditorPath, QStringLiteral("kept"));
        QVERIFY(record.SkinEditorPath.isEmpty() && record.TattooEditorPath.isEmpty());

        tree.write(QStringLiteral("Veldrin/options.txt"), "\r\nonly two\n");
        Settings two;
        QVERIFY(optionsfile::LoadSettings(two));
        QVERIFY(two.GameFolder.isEmpty());
        QCOMPARE(two.ProgramFolder, QStringLiteral("only two"));
        QVERIFY(two.MapEditorPath.isEmpty());
    }

    void missingOrEmptyFileIsAFirstRun()
    {
        TestTree tree;
        startIn(tree, "");
        Settings record;
        QVERIFY(!optionsfile::LoadSettings(record));
        tree.write(QStringLiteral("Veldrin/options.txt"), QByteArray());
        QVERIFY(!optionsfile::LoadSettings(record));
        // The file in the program folder is not found from another current directory.
        tree.write(QStringLiteral("Veldrin/options.txt"), kTenLines);
        QDir::setCurrent(tree.host(QStringLiteral("Games")));
        QVERIFY(!optionsfile::LoadSettings(record));
        QCOMPARE(record.GameFolder, QString());

        ScriptedPrompts prompts;
        Settings fields;
        fields.GameFolder = QStringLiteral("typed");
        optionsfile::CheckOptionsFile(record, fields, prompts);
        QCOMPARE(prompts.messages(), QStringList({"Please enter some details so Veldrin can operate functionally"}));
        QCOMPARE(fields.GameFolder, QStringLiteral("typed"));
    }

    void dialogReadsSixLinesAndKeepsWhatIsMissing()
    {
        TestTree tree;
        startIn(tree, kTenLines);
        Settings record, fields;
        ScriptedPrompts prompts;
        optionsfile::CheckOptionsFile(record, fields, prompts);
        QVERIFY(prompts.shown.isEmpty());
        const QStringList six = {"G\\", "P\\", "map.exe", "land.exe", "skin.exe", "tattoo.exe"};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(optionsfile::field(record, i), six.at(i));
            QCOMPARE(optionsfile::field(fields, i), six.at(i));
        }
        tree.write(QStringLiteral("Veldrin/options.txt"), "new game\r\n\r\n");
        optionsfile::ReadOptionsFile(record, fields);
        QCOMPARE(record.GameFolder, QStringLiteral("new game"));
        QCOMPARE(fields.ProgramFolder, QString());
        QCOMPARE(record.MapEditorPath, QStringLiteral("map.exe"));
        QCOMPARE(fields.TattooEditorPath, QStringLiteral("tattoo.exe"));
    }

    void writeGoesToTheFieldsFolderAndReadsBack()
    {
        TestTree tree;
        startIn(tree, QByteArray());
        tree.mkdir(QStringLiteral("Elsewhere"));
        Settings fields;
        fields.GameFolder = QString::fromUtf8("C:\\Jeux\\Black & White é\\");
        fields.ProgramFolder = QStringLiteral("C:\\Elsewhere\\");
        fields.SkinEditorPath = QStringLiteral("skin.exe\r\npasted");
        QVERIFY(optionsfile::WriteOptionsFile(fields));
        QCOMPARE(tree.read(QStringLiteral("Elsewhere/options.txt")),
                 QByteArray("C:\\Jeux\\Black & White \xe9\\\r\nC:\\Elsewhere\\\r\n\r\n\r\nskin.exe\r\n\r\n\r\n"));
        QVERIFY(!tree.exists(QStringLiteral("Veldrin/options.txt")));

        QDir::setCurrent(tree.host(QStringLiteral("Elsewhere")));
        Settings record, again;
        optionsfile::ReadOptionsFile(record, again);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(optionsfile::field(again, i), i == 4 ? QStringLiteral("skin.exe") : optionsfile::field(fields, i));

        // A folder that does not exist is not created; an empty field means the drive's root.
        fields.ProgramFolder = QStringLiteral("C:\\Nowhere");
        QVERIFY(!optionsfile::WriteOptionsFile(fields));
        QVERIFY(!tree.exists(QStringLiteral("Nowhere")));
        fields.ProgramFolder.clear();
        QVERIFY(optionsfile::WriteOptionsFile(fields));
        QVERIFY(tree.exists(QStringLiteral("options.txt")));
    }
};

QTEST_GUILESS_MAIN(test_OptionsFile)
#include "test_OptionsFile.moc"
