#include "readme/ReadmeText.h"
#include "support/EnvGuard.h"

#include <QTest>

namespace {
const QString kMapLine = QStringLiteral(
    "Either use the Veldrin downloadble from maker.test and partner.test/fernlow to install or copy the .txt "
    "file in to the Black and White install directory  & \\Sripts\\Playgrounds .");
const QString kHow = QStringLiteral("--- Installation instructions ---");
} // namespace

class test_ReadmeText : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_env.set("VELDRIN_MAKER_HOST", "maker.test");
        m_env.set("VELDRIN_PARTNER_HOST", "partner.test");
    }
    void cleanupTestCase() { m_env.restore(); }

    // Fields in order: type, title, name, address, description, comments, thanks, contact.
    void composesTheWholeTextByteForByte_data()
    {
        QTest::addColumn<QStringList>("in");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("Map, Isle by Bo") << QStringList{"Map", "Isle", "Bo"}
                                         << QStringList{"--- Isle by Bo ---", "", kHow, "", kMapLine, ""};
        QTest::newRow("one-char title") << QStringList{"", "I", "Bo"} << QStringList{"---  by Bo ---", "", kHow, "", ""};
        QTest::newRow("one-char name") << QStringList{"", "Isle", "B"} << QStringList{"--- Isle ---", "", kHow, "", ""};
        QTest::newRow("only exact Map hints") << QStringList{"map", "Is", "Bo"}
                                              << QStringList{"--- Is by Bo ---", "", kHow, "", ""};
        QTest::newRow("Skin with only a description")
            << QStringList{"Skin", "", "", "", "A green skin"}
            << QStringList{"---  ---", "", kHow, "", "", "--- Description ---", "A green skin", ""};
        QTest::newRow("one-char sections left out") << QStringList{"Mod", "", "", "w", "d", "c", "t", "m"}
                                                    << QStringList{"---  ---", "", kHow, "", ""};
        QTest::newRow("typed breaks become CR LF")
            << QStringList{"", "", "", "", "", "one\ntwo\rthree\n"}
            << QStringList{"---  ---", "", kHow, "", "", "--- Comments ---", "", "one", "two", "three", "", ""};
        QTest::newRow("letter and break are two chars")
            << QStringList{"", "", "", "", "", "a\n"}
            << QStringList{"---  ---", "", kHow, "", "", "--- Comments ---", "", "a", "", ""};
        QTest::newRow("every section, multi-line fields")
            << QStringList{"Map", "Isle", "Bo", "www.isle.test", "Sand\nand sea", "Play it\r\nslowly", "Everyone",
                           "bo@isle.test"}
            << QStringList{"--- Isle by Bo ---", "", kHow, "", kMapLine, "",
                           "*** Please visit my site at www.isle.test ***", "", "--- Description ---", "Sand",
                           "and sea", "", "--- Comments ---", "", "Play it", "slowly", "", "-- Thanks to ---", "",
                           "Everyone", "", "--- If you need to contact me then mail ", "bo@isle.test", " ---"};
    }
    void composesTheWholeTextByteForByte()
    {
        QFETCH(QStringList, in);
        QFETCH(QStringList, lines);
        in.resize(8);
        const ReadmeFields f{in[0], in[1], in[2], in[3], in[4], in[5], in[6], in[7]};
        QCOMPARE(ComposeReadme(f), lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n"));
    }

private:
    EnvGuard m_env;
};

QTEST_GUILESS_MAIN(test_ReadmeText)
#include "test_ReadmeText.moc"
