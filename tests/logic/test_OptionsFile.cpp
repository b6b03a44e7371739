#include "common/OptionsFile.h"
#include "support/ScriptedPrompts.h"
#include "support/TestTree.h"

#include <QDir>
#include <QTest>

namespace {
const QByteArray kTenLines = "G\\\r\nP\\\r\nmap.exe\r\nland.exe\r\nskin.exe\r\ntattoo.exe\r\n7\r\n8\r\n9\r\n10\r\n";
const QString kFile = QStringLiteral("Veldrin/options.txt");
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
        QCOMPARE(splitLines(QStringLiteral("\r\r\nx\r\n")), QStringList({"", "", "x"}));
    }

    void firstRunThenThreeLinesAtStartAndSixInTheDialog()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        QDir::setCurrent(tree.host(QStringLiteral("Veldrin")));
        Settings record, fields;
        QVERIFY(!optionsfile::LoadSettings(record));
        tree.write(kFile, QByteArray());
        QVERIFY(!optionsfile::LoadSettings(record));
        ScriptedPrompts prompts;
        optionsfile::CheckOptionsFile(record, fields, prompts);
        QCOMPARE(prompts.messages(), QStringList({"Please enter some details so Veldrin can operate functionally"}));

        tree.write(kFile, kTenLines);
        record.LandscapeEditorPath = QStringLiteral("kept");
        QVERIFY(optionsfile::LoadSettings(record));
        QCOMPARE(record.MapEditorPath, QStringLiteral("map.exe"));
        QCOMPARE(record.LandscapeEditorPath, QStringLiteral("kept"));
        optionsfile::CheckOptionsFile(record, fields, prompts);
        QCOMPARE(prompts.shown.size(), 1);
        const QStringList six = {"G\\", "P\\", "map.exe", "land.exe", "skin.exe", "tattoo.exe"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(optionsfile::field(fields, i) + '|' + optionsfile::field(record, i), six.at(i) + '|' + six.at(i));

        // Two lines, the first empty: what the file lacks stays as it was.
        tree.write(kFile, "\r\nonly two\n");
        optionsfile::ReadOptionsFile(record, fields);
        QCOMPARE(record.GameFolder, QString());
        QCOMPARE(fields.ProgramFolder, QStringLiteral("only two"));
        QCOMPARE(fields.TattooEditorPath, QStringLiteral("tattoo.exe"));
        // Only the current directory is looked in.
        QDir::setCurrent(tree.host(QStringLiteral("Games")));
        QVERIFY(!optionsfile::LoadSettings(record));
    }

    void writesToTheFieldsFolderOnly()
    {
        TestTree tree;
        tree.makeGameAndProgramFolders();
        tree.mkdir(QStringLiteral("Elsewhere"));
        QDir::setCurrent(tree.host(QStringLiteral("Veldrin")));
        Settings fields;
        fields.GameFolder = QString::fromUtf8("C:\\Jeux\\Black & White é\\");
        fields.ProgramFolder = QStringLiteral("C:\\Elsewhere\\");
        fields.SkinEditorPath = QStringLiteral("skin.exe\r\npasted");
        QVERIFY(optionsfile::WriteOptionsFile(fields));
        QCOMPARE(tree.read(QStringLiteral("Elsewhere/options.txt")),
                 QByteArray("C:\\Jeux\\Black & White \xe9\\\r\nC:\\Elsewhere\\\r\n\r\n\r\nskin.exe\r\n\r\n\r\n"));
        QVERIFY(!tree.exists(kFile));

        fields.ProgramFolder = QStringLiteral("C:\\Nowhere");
        QVERIFY(!optionsfile::WriteOptionsFile(fields));
        QVERIFY(!tree.exists(QStringLiteral("Nowhere")));
        // An empty field means the drive's root.
        fields.ProgramFolder.clear();
        QVERIFY(optionsfile::WriteOptionsFile(fields));
        QVERIFY(tree.exists(QStringLiteral("options.txt")));
    }
};

QTEST_GUILESS_MAIN(test_OptionsFile)
#include "test_OptionsFile.moc"
