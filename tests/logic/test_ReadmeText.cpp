#include "readme/ReadmeText.h"

#include <QRegularExpression>
#include <QTest>

namespace {
const QString kMapLine = QStringLiteral(
    "Either use the Veldrin downloadble from maker.test and partner.test/fernlow to install or copy the .txt "
    "file in to the Black and White install directory  & \\Sripts\\Playgrounds .");

QString lines(const QStringList &list)
{
    QString out;
    for (const QString &l : list)
        out += l + QLatin1String("\r\n");
    return out;
}
} // namespace

class test_ReadmeText : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("VELDRIN_MAKER_HOST", "maker.test");
        qputenv("VELDRIN_PARTNER_HOST", "partner.test");
    }

    void mapWithTitleAndNameGivesSixLines()
    {
        ReadmeFields f;
        f.type = QStringLiteral("Map");
        f.title = QStringLiteral("Isle");
        f.name = QStringLiteral("Bo");
        QCOMPARE(ComposeReadme(f), lines({QStringLiteral("--- Isle by Bo ---"), QString(),
                                          QStringLiteral("--- Installation instructions ---"), QString(), kMapLine,
                                          QString()}));
    }

    void titleLineSkipsFieldsOfOneCharacter_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("head");
        QTest::newRow("one-char title") << "I" << "Bo" << "---  by Bo ---";
        QTest::newRow("one-char name") << "Isle" << "B" << "--- Isle ---";
        QTest::newRow("neither") << "" << "" << "---  ---";
        QTest::newRow("two chars each") << "Is" << "Bo" << "--- Is by Bo ---";
    }
    void titleLineSkipsFieldsOfOneCharacter()
    {
        QFETCH(QString, title);
        QFETCH(QString, name);
        QFETCH(QString, head);
        ReadmeFields f;
        f.title = title;
        f.name = name;
        f.address = QStringLiteral("x"); // one character: no site section
        QCOMPARE(ComposeReadme(f), lines({head, QString(), QStringLiteral("--- Installation instructions ---"),
                                          QString(), QString()}));
    }

    void onlyTheExactTypeMapGetsTheHint_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("hint");
        QTest::newRow("Map") << "Map" << true;
        QTest::newRow("lower case") << "map" << false;
        QTest::newRow("leading blank") << " Map" << false;
        QTest::newRow("Tatoos") << "Tatoos" << false;
        QTest::newRow("initial text") << "Specify File Type" << false;
    }
    void onlyTheExactTypeMapGetsTheHint()
    {
        QFETCH(QString, type);
        QFETCH(bool, hint);
        ReadmeFields f;
        f.type = type;
        const QString text = ComposeReadme(f);
        QCOMPARE(text.contains(kMapLine), hint);
        QCOMPARE(text.count(QLatin1String("\r\n")), hint ? 6 : 5);
    }

    void skinWithOnlyADescriptionGivesEightLines()
    {
        ReadmeFields f;
        f.type = QStringLiteral("Skin");
        f.description = QStringLiteral("A green skin");
        QCOMPARE(ComposeReadme(f),
                 lines({QStringLiteral("---  ---"), QString(), QStringLiteral("--- Installation instructions ---"),
                        QString(), QString(), QStringLiteral("--- Description ---"), QStringLiteral("A green skin"),
                        QString()}));
    }

    void everySectionInItsOrder()
    {
        ReadmeFields f;
        f.type = QStringLiteral("Map");
        f.title = QStringLiteral("Isle");
        f.name = QStringLiteral("Bo");
        f.address = QStringLiteral("www.isle.test");
        f.description = QStringLiteral("Sand\nand sea");
        f.comments = QStringLiteral("Play it\r\nslowly");
        f.thanks = QStringLiteral("Everyone");
        f.contact = QStringLiteral("bo@isle.test");
        QCOMPARE(ComposeReadme(f),
                 lines({QStringLiteral("--- Isle by Bo ---"), QString(),
                        QStringLiteral("--- Installation instructions ---"), QString(), kMapLine, QString(),
                        QStringLiteral("*** Please visit my site at www.isle.test ***"), QString(),
                        QStringLiteral("--- Description ---"), QStringLiteral("Sand"), QStringLiteral("and sea"),
                        QString(), QStringLiteral("--- Comments ---"), QString(), QStringLiteral("Play it"),
                        QStringLiteral("slowly"), QString(), QStringLiteral("-- Thanks to ---"), QString(),
                        QStringLiteral("Everyone"), QString(), QStringLiteral("--- If you need to contact me then mail "),
                        QStringLiteral("bo@isle.test"), QStringLiteral(" ---")}));
    }

    void typedLineBreaksBecomeCrLf()
    {
        ReadmeFields f;
        f.comments = QStringLiteral("one\ntwo\rthree\n");
        const QString text = ComposeReadme(f);
        QVERIFY(text.contains(QLatin1String("--- Comments ---\r\n\r\none\r\ntwo\r\nthree\r\n\r\n")));
        QVERIFY(!text.contains(QRegularExpression(QStringLiteral("[^\r]\n|\r[^\n]"))));
        // A letter and a typed break make two characters: the section is there.
        f.comments = QStringLiteral("a\n");
        QVERIFY(ComposeReadme(f).contains(QLatin1String("--- Comments ---")));
        f.comments = QStringLiteral("a");
        QVERIFY(!ComposeReadme(f).contains(QLatin1String("--- Comments ---")));
    }

    void sectionsOfOneCharacterAreLeftOut()
    {
        ReadmeFields f;
        f.type = QStringLiteral("Mod");
        f.address = QStringLiteral("w");
        f.description = QStringLiteral("d");
        f.comments = QStringLiteral("c");
        f.thanks = QStringLiteral("t");
        f.contact = QStringLiteral("m");
        QCOMPARE(ComposeReadme(f), lines({QStringLiteral("---  ---"), QString(),
                                          QStringLiteral("--- Installation instructions ---"), QString(), QString()}));
    }
};

QTEST_GUILESS_MAIN(test_ReadmeText)
#include "test_ReadmeText.moc"
