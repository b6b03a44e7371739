// Reading a package file in two passes must give exactly what reading its whole text gives:
// the same entries, sizes, bytes and errors, with loose line breaks, with markers split between
// two reads, and with a file that changes under the reader. Walking the entries one at a time
// without the scan keeping them must give the very entries the scan keeps.
#include "brx/Brx.h"
#include "brx/BrxSyntax.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

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

void compareEntries(const brx::Entry &got, const brx::Entry &want)
{
    QCOMPARE(got.installPath, want.installPath);
    QCOMPARE(got.title, want.title);
    QCOMPARE(got.binary, want.binary);
    QCOMPARE(got.offset, want.offset);
    QCOMPARE(got.length, want.length);
    QCOMPARE(got.looseBreaks, want.looseBreaks);
    QCOMPARE(got.size, want.size);
    QCOMPARE(got.content, want.content);
}

void compareResults(const brx::ReadResult &got, const brx::ReadResult &want)
{
    QCOMPARE(got.count, want.count);
    QCOMPARE(got.error.has_value(), want.error.has_value());
    if (got.error) {
        QCOMPARE(got.error->entry, want.error->entry);
        QCOMPARE(got.error->reason, want.error->reason);
    }
}

QByteArray entries(int count, int contentSize)
{
    QByteArray package;
    for (int i = 0; i < count; ++i)
        brx::appendEntry(package, QStringLiteral("C:\\G\\%1.txt").arg(i), QStringLiteral("%1.txt").arg(i),
                         QByteArray(contentSize, char('a' + i % 26)));
    return package;
}

// Checks `seeds` random packages, naming the first that fails (its seed and bytes) and stopping there.
void eachRandomPackage(quint32 seeds, const std::function<void(const QByteArray &)> &check)
{
    for (quint32 seed = 1; seed <= seeds && !QTest::currentTestFailed(); ++seed) {
        QRandomGenerator random(seed);
        const QByteArray package = randomPackage(random);
        check(package);
        if (QTest::currentTestFailed())
            qWarning("seed %u: %s", seed, package.toPercentEncoding().constData());
    }
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

    // Scans the package with and without keeping its entries (from a file and from memory), and
    // walks the one that keeps none with next(): it must give the kept entries, no more, with the
    // same bytes, and again after rewind().
    void cursorSameAsScan(const QByteArray &raw)
    {
        write(raw);
        brx::PackageReader kept;
        QVERIFY(kept.open(path()));
        const brx::ReadResult want = kept.scan();
        for (const bool fromFile : {true, false}) {
            brx::PackageReader memoryKept(raw);
            const brx::ReadResult wantHere = fromFile ? want : memoryKept.scan();
            brx::PackageReader reader(raw);
            if (fromFile)
                QVERIFY(reader.open(path()));
            reader.setKeepAtMost(0);
            const brx::ReadResult read = reader.scan();
            compareResults(read, wantHere);
            if (QTest::currentTestFailed())
                return;
            QVERIFY(read.entries.isEmpty());
            const bool readable = wantHere.valid() && !wantHere.error;
            QCOMPARE(wantHere.entries.size(), readable ? wantHere.count : wantHere.entries.size());
            for (int pass = 0; pass < 2; ++pass) {
                brx::Entry entry;
                QString why;
                int given = 0;
                QByteArray got, expected;
                while (reader.next(entry, &why)) {
                    QVERIFY(given < wantHere.entries.size());
                    compareEntries(entry, wantHere.entries.at(given));
                    if (QTest::currentTestFailed())
                        return;
                    // The reader's file is read between the cursor's pieces: both must hold.
                    QVERIFY(reader.entryBytes(entry, got, &why));
                    QVERIFY((fromFile ? kept : memoryKept).entryBytes(wantHere.entries.at(given), expected));
                    QCOMPARE(got, expected);
                    QCOMPARE(reader.entryStart(entry, 5),
                             (fromFile ? kept : memoryKept).entryStart(wantHere.entries.at(given), 5));
                    ++given;
                }
                QVERIFY2(why.isEmpty(), qPrintable(why));
                QCOMPARE(given, readable ? wantHere.count : 0);
                QVERIFY(!reader.next(entry));
                reader.rewind();
            }
            // Kept entries are walked too.
            brx::Entry entry;
            int given = 0;
            while ((fromFile ? kept : memoryKept).next(entry))
                compareEntries(entry, wantHere.entries.at(given++));
            QCOMPARE(given, readable ? wantHere.count : 0);
        }
    }

private slots:
    void cursorGivesTheScannedEntries_data()
    {
        QTest::addColumn<QByteArray>("package");
        constexpr int kPiece = 1 << 20;
        QByteArray binary;
        brx::appendBinaryEntry(binary, QStringLiteral("C:\\b.lnd"), QStringLiteral("b.lnd"), QByteArray(3000, '\xfe'));
        brx::appendBinaryEntry(binary, QStringLiteral("C:\\e.lnd"), QStringLiteral("e.lnd"), QByteArray());
        QTest::newRow("text and binary") << entries(3, 40) + binary + entries(2, 0);

        QByteArray loose = entries(4, 10) + "\r\n";
        loose.replace("###/Title###\r\n", "###/Title###\n").replace("aaaaa", "a\ra\n").replace("bbb", "\n\rb");
        loose.replace("###/Install###\r\n", "###/Install###\r");
        QTest::newRow("loose breaks") << "\n\r" + loose;

        // Entries whose markers, content and base64 lie across the edges of the pieces read.
        QByteArray straddling;
        brx::appendEntry(straddling, QStringLiteral("C:\\a.txt"), QStringLiteral("a.txt"),
                         QByteArray(kPiece - 60, 'a'));
        straddling += entries(3, 5);
        brx::appendBinaryEntry(straddling, QStringLiteral("C:\\c.lnd"), QStringLiteral("c.lnd"),
                               QByteArray(2 * kPiece, '\x11'));
        straddling += entries(2, 1);
        QTest::newRow("across pieces") << straddling;
        QByteArray looseStraddling = straddling;
        looseStraddling.replace("\r\n", "\n");
        QTest::newRow("across pieces, LF breaks") << looseStraddling;

        // Entries past the begin markers counted are dropped; those read ahead of a begin marker
        // that comes later are not.
        QByteArray fewerBegins = entries(3, 4);
        fewerBegins.remove(fewerBegins.indexOf(brx::kBegin), qsizetype(sizeof brx::kBegin - 1));
        QTest::newRow("more entries than begins") << fewerBegins;
        QByteArray beginsLater = entries(3, 4).replace(brx::kBegin, "");
        QTest::newRow("begin markers after the entries") << beginsLater + brx::kBegin + brx::kBegin;

        QByteArray damaged = entries(4, 4);
        damaged.remove(damaged.lastIndexOf(brx::kEnd), 3);
        QTest::newRow("damaged") << damaged;
        QByteArray badBase64 = entries(1, 3);
        brx::appendBinaryEntry(badBase64, QStringLiteral("C:\\b.lnd"), QStringLiteral("b.lnd"), "xyz");
        QTest::newRow("damaged base64") << badBase64.replace("eHl6", "eH*6");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a package") << QByteArray("hello\r\n");
        // Thousands of tiny entries, some ten thousand of them waiting from each piece.
        QTest::newRow("many tiny entries") << entries(20000, 1);
    }

    void cursorGivesTheScannedEntries()
    {
        QFETCH(QByteArray, package);
        cursorSameAsScan(package);
    }

    void randomPackagesWalkAlike()
    {
        eachRandomPackage(200, [this](const QByteArray &package) { cursorSameAsScan(package); });
    }

    // Kept up to a number of entries: a package of as many keeps them all, one of more keeps
    // none and gives the same entries by reading the file again.
    void keepingStopsPastItsLimit()
    {
        QByteArray raw;
        for (int i = 0; i < 5; ++i)
            brx::appendEntry(raw, QStringLiteral("C:\\G\\%1.txt").arg(i), QStringLiteral("%1.txt").arg(i), "text");
        write(raw);
        brx::PackageReader all;
        QVERIFY(all.open(path()));
        const brx::ReadResult want = all.scan();
        QCOMPARE(want.entries.size(), 5);
        for (const qsizetype most : {5, 4}) {
            brx::PackageReader reader;
            QVERIFY(reader.open(path()));
            reader.setKeepAtMost(most);
            const brx::ReadResult read = reader.scan();
            QCOMPARE(read.count, 5);
            QCOMPARE(read.entries.size(), most == 5 ? 5 : 0);
            brx::Entry entry;
            int given = 0;
            while (reader.next(entry))
                compareEntries(entry, want.entries.at(given++));
            QCOMPARE(given, 5);
        }
    }

    void cursorRefusesAFileChangedSinceTheScan()
    {
        const QByteArray package = entries(3, 2000);
        const auto walk = [&](const QByteArray &changed) {
            write(package);
            brx::PackageReader reader;
            QVERIFY(reader.open(path()));
            reader.setKeepAtMost(0);
            QCOMPARE(reader.scan().count, 3);
            write(changed);
            brx::Entry entry;
            QString why;
            int given = 0;
            while (reader.next(entry, &why))
                ++given;
            QVERIFY(given < 3);
            QCOMPARE(why, QStringLiteral("the package file changed while it was read"));
        };
        walk(package.left(package.size() - 1));
        walk(package + "\r\n");
        // Same length, same markers: only the names and places tell.
        walk(QByteArray(package).replace("1.txt", "9.txt"));
        walk(QByteArray(package).replace("a\r\n###End_BRX###", "###End_BRX###a\r\n"));
        walk(QByteArray(package).replace(brx::kEnd, "###End_BRX##x"));
    }

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
        eachRandomPackage(300, [this](const QByteArray &package) { sameAsWhole(package); });
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
