// Reading a package file in two passes must give exactly what reading its whole text gives:
// the same entries, sizes, bytes and errors, with loose line breaks, with markers split between
// two reads, and with a file that changes under the reader.
#include "brx/Brx.h"
#include "brx/BrxSyntax.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The whole text as the wizard's route reads it, one entry's install bytes per entry.
struct Whole
{
    brx::ReadResult read;
    QList<QByteArray> bytes;
};

Whole readWhole(const QByteArray &raw)
{
    Whole w;
    w.read = brx::readEntries(brx::normalizeBreaks(raw));
    for (const brx::Entry &e : w.read.entries)
        w.bytes << e.installBytes();
    return w;
}

// Random packages made of the pieces that matter: markers whole and broken, every kind of
// line break, text, base64 right and wrong, and titles marking binary entries.
QByteArray randomPackage(QRandomGenerator &random)
{
    static const QList<QByteArray> pieces = {
        "###Begin_BRX###", "###Install###", "###/Install###", "###Title###", "###/Title###", "###End_BRX###",
        "\r\n", "\r", "\n", "\n\r", "C:\\x\\a.txt", "a.txt", "b.lnd|base64", "QUJD", "QUI=", "QQ==", "=", "*",
        "text", "#", "##", "###", " ", "\r\r\n",
    };
    QByteArray package;
    const int count = int(random.bounded(1, 40));
    for (int i = 0; i < count; ++i) {
        if (random.bounded(4) == 0) {
            QByteArray entry;
            if (random.bounded(2))
                brx::appendBinaryEntry(entry, QStringLiteral("C:\\h.lnd"), QStringLiteral("h.lnd"),
                                       QByteArray(int(random.bounded(200)), char(random.bounded(256))));
            else
                brx::appendEntry(entry, QStringLiteral("C:\\m.txt"), QStringLiteral("m.txt"), "x\ny\rz");
            package += entry;
        } else {
            package += pieces.at(int(random.bounded(qsizetype(pieces.size()))));
        }
    }
    return package;
}

} // namespace

class test_BrxReader : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("p.brx")); }

    void write(const QByteArray &bytes)
    {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    // Compares the file reader with the whole-text reader on the same bytes.
    void sameAsWhole(const QByteArray &raw)
    {
        write(raw);
        const Whole whole = readWhole(raw);
        brx::PackageReader reader;
        QVERIFY(reader.open(path()));
        QString why;
        const brx::ReadResult read = reader.scan(&why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QCOMPARE(read.count, whole.read.count);
        QCOMPARE(read.error.has_value(), whole.read.error.has_value());
        if (read.error) {
            QCOMPARE(read.error->entry, whole.read.error->entry);
            QCOMPARE(read.error->reason, whole.read.error->reason);
        }
        QCOMPARE(read.entries.size(), whole.read.entries.size());
        QByteArray bytes;
        for (int i = 0; i < read.entries.size(); ++i) {
            const brx::Entry &e = read.entries.at(i);
            QCOMPARE(e.installPath, whole.read.entries.at(i).installPath);
            QCOMPARE(e.title, whole.read.entries.at(i).title);
            QCOMPARE(e.binary, whole.read.entries.at(i).binary);
            QCOMPARE(e.installSize(), qint64(whole.bytes.at(i).size()));
            QVERIFY(reader.entryBytes(e, bytes, &why));
            QCOMPARE(bytes, whole.bytes.at(i));
        }
    }

private slots:
    // Writer and reader share one base64 decoder, so it is held to Qt's own strict reading of
    // the text with its line breaks taken out, whole and fed in two pieces.
    void base64ReadAsQtReadsIt()
    {
        // Every other text has nothing wrong in it but its breaks and padding, so that runs of
        // whole groups of four are read too, not only short texts that fail early.
        static const QByteArray anything = "AQgw+/9=\r\n*- ";
        static const QByteArray right = "AQgw+/9AQgw+/9\r\n=";
        for (quint32 seed = 1; seed <= 4000; ++seed) {
            QRandomGenerator random(seed);
            const QByteArray &alphabet = seed % 2 ? anything : right;
            QByteArray text(int(random.bounded(0, seed % 2 ? 14 : 60)), Qt::Uninitialized);
            for (char &c : text)
                c = alphabet.at(random.bounded(int(alphabet.size())));
            QByteArray plain = text;
            plain.replace('\r', QByteArray()).replace('\n', QByteArray());
            const auto qt = QByteArray::fromBase64Encoding(plain, QByteArray::AbortOnBase64DecodingErrors);
            const auto ours = brx::decodeBase64(text);
            QVERIFY2(ours.has_value() == bool(qt), text.toPercentEncoding().constData());
            if (ours)
                QCOMPARE(*ours, qt.decoded);

            brx::Base64Stream stream;
            const qsizetype cut = text.isEmpty() ? 0 : random.bounded(text.size());
            QByteArray out(text.size(), Qt::Uninitialized);
            stream.feed(text.constData(), cut, out.data());
            stream.feed(text.constData() + cut, text.size() - cut, out.data());
            QCOMPARE(stream.valid(), bool(qt));
            if (qt)
                QCOMPARE(out.left(stream.decoded()), qt.decoded);
        }
    }

    void randomPackagesReadAlike()
    {
        for (quint32 seed = 1; seed <= 300; ++seed) {
            QRandomGenerator random(seed);
            const QByteArray package = randomPackage(random);
            sameAsWhole(package);
            if (QTest::currentTestFailed())
                qWarning("seed %u: %s", seed, package.toPercentEncoding().constData());
            QVERIFY(!QTest::currentTestFailed());
        }
    }

    void markersAndBreaksSplitBetweenReads()
    {
        // The reader takes the file in pieces of 1 MiB: slide a second entry across that edge
        // so that every marker, a CR LF pair and base64 line each get cut once.
        constexpr int kPiece = 1 << 20;
        QByteArray tail;
        brx::appendEntry(tail, QStringLiteral("C:\\b.txt"), QStringLiteral("b.txt"), "one\rtwo\r\nthree\n");
        brx::appendBinaryEntry(tail, QStringLiteral("C:\\c.lnd"), QStringLiteral("c.lnd"), QByteArray(300, '\x7f'));
        tail.replace("###/Title###\r\n", "###/Title###\n");
        for (int shift = 0; shift < 200; shift += 7) {
            QByteArray package;
            brx::appendEntry(package, QStringLiteral("C:\\a.txt"), QStringLiteral("a.txt"),
                             QByteArray(kPiece - 150 + shift, 'a'));
            sameAsWhole(package + tail + "\r\n");
            if (QTest::currentTestFailed())
                qWarning("shift %d", shift);
            QVERIFY(!QTest::currentTestFailed());
        }
    }

    void fileChangedAfterTheScanIsAnErrorNotAFault()
    {
        QByteArray package;
        brx::appendEntry(package, QStringLiteral("C:\\a.txt"), QStringLiteral("a.txt"), QByteArray(5000, 'a'));
        brx::appendBinaryEntry(package, QStringLiteral("C:\\b.lnd"), QStringLiteral("b.lnd"), QByteArray(5000, '\1'));
        brx::appendEntry(package, QStringLiteral("C:\\c.txt"), QStringLiteral("c.txt"), "c\nc");
        for (const qsizetype cut : {qsizetype(100), package.size() / 2, package.size() - 20}) {
            write(package);
            brx::PackageReader reader;
            QVERIFY(reader.open(path()));
            const brx::ReadResult read = reader.scan();
            QCOMPARE(read.entries.size(), 3);
            QVERIFY(QFile::resize(path(), cut));
            QByteArray bytes;
            QString why;
            bool allRead = true;
            for (const brx::Entry &e : read.entries)
                allRead = reader.entryBytes(e, bytes, &why) && allRead;
            QVERIFY(!allRead);
            QVERIFY(!why.isEmpty());
        }
        // Line breaks turned into base64 give more bytes than the scan counted: refused, and
        // never decoded past the room made for them.
        write(package);
        brx::PackageReader reader;
        QVERIFY(reader.open(path()));
        const brx::Entry binary = reader.scan().entries.at(1);
        QByteArray changed = package;
        changed.replace(binary.offset, binary.length, package.mid(binary.offset, binary.length).replace("\r\n", "AA"));
        write(changed);
        QByteArray bytes;
        QVERIFY(!reader.entryBytes(binary, bytes));
    }

    void unreadableFileSaysWhy()
    {
        brx::PackageReader reader;
        QString why;
        QVERIFY(!reader.open(dir.filePath(QStringLiteral("missing.brx")), &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(!reader.open(dir.path(), &why));
        QCOMPARE(why, QStringLiteral("it is a folder"));
    }
};

QTEST_GUILESS_MAIN(test_BrxReader)
#include "test_BrxReader.moc"
