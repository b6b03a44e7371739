#pragma once
// BRX packages: one text file carrying several add-on files, each as an entry between marker
// lines. The wizard and the veldrin-brx tool both build, read and install packages through
// this one implementation.
//
// A package is 8-bit Windows-1252 text. Internally everything works on those bytes: a byte is
// one character, so the 1-based positions the format's search rules speak of are byte
// positions, and a 100 MB package is searched with memchr-speed finds instead of being
// widened to UTF-16. The QString overloads are for the wizard's text buffers and convert
// losslessly (decode1252/encode1252 round-trip every byte).
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace brx {

// A binary entry's title is the file's bare name followed by this mark. '|' cannot occur in a
// Windows file name, so no package built from text files carries it.
inline constexpr char kBinaryMark[] = "|base64";

inline const QString kNotValidMessage = QStringLiteral("This is not a valid Brx file.");
inline const QString kDamagedMessage = QStringLiteral("This package is damaged and was not installed.");
// Why a package file read again (or in parts) is refused when it no longer says what it said.
inline const QString kChangedWhileRead = QStringLiteral("the package file changed while it was read");

// ---- Writing ------------------------------------------------------------------------------

// Appends one text entry: begin line, install path line, title line, content + CR LF, end line.
// The content is taken as it is (line breaks already CR LF, as a text buffer holds it).
void appendEntry(QByteArray &package, const QString &installPath, const QString &title, const QByteArray &content);
void appendEntry(QString &package, const QString &installPath, const QString &title, const QString &content);

// Appends one binary entry: title + "|base64", content = the bytes in base64, lines of at
// most 76 characters.
void appendBinaryEntry(QByteArray &package, const QString &installPath, const QString &title, const QByteArray &bytes);
void appendBinaryEntry(QString &package, const QString &installPath, const QString &title, const QByteArray &bytes);

// The marker that occurs first in bytes, or nullptr when none of the six does. Text
// that holds one cannot travel in the text form: the reader would cut or split it there.
const char *markerIn(const QByteArray &bytes);

// Adds the file at sourcePath (a Windows path): a text file as a text entry, with its line
// breaks made CR LF as a text buffer would; a file that is not text, or whose text holds a
// marker, as a binary entry.
// When the file cannot be read, or its title holds '|', nothing is appended and false is
// returned with the reason.
bool appendFile(QByteArray &package, const QString &installPath, const QString &title, const QString &sourcePath,
                QString *error = nullptr);
bool appendFile(QString &package, const QString &installPath, const QString &title, const QString &sourcePath,
                QString *error = nullptr);

// The same for a file's bytes already read: text or binary form by its content (markers
// included, see markerIn). False, with nothing appended, when the title holds '|'.
bool appendFileContent(QByteArray &package, const QString &installPath, const QString &title, const QByteArray &bytes,
                       QString *error = nullptr);

// The entry appendFileContent appends, in parts that follow one another: the lines before a
// text content, the content, and the lines after it. A text file whose breaks are already
// CR LF is its own content, shared rather than copied. A binary entry is all in head.
struct EntryParts
{
    QByteArray head;
    QByteArray content;
    QByteArray tail;
};
bool fileEntryParts(const QString &installPath, const QString &title, const QByteArray &bytes, EntryParts *parts,
                    QString *error = nullptr);

// Writes the package followed by one CR LF (what saving from the wizard writes).
bool savePackage(const QByteArray &package, const QString &destination, QString *error = nullptr);
bool savePackage(const QString &package, const QString &destination, QString *error = nullptr);

// ---- Reading ------------------------------------------------------------------------------

// Begin markers anywhere in the text, also inside content; a text of 0 or 1 characters has none.
int countEntries(const QByteArray &package);
int countEntries(const QString &package);

// What the bar rises by after each write: 100 / (2 x entries); nothing when there are none.
std::optional<double> progressStep(int entries);

// The bar's value after one more write: the sum is kept in single precision, as the bar holds
// it, and never goes past the bar's maximum of 100.
float advance(float value, double step);

// CR, LF and CR LF all become CR LF (a package is loaded the way a text buffer loads a file).
// Returns the input unchanged, without copying, when it needs nothing.
QByteArray normalizeBreaks(const QByteArray &bytes);

struct Entry
{
    QString installPath;
    QString title;        // as carried, binary mark included
    QByteArray content;   // the characters between the title's end marker and the end marker
                          // (empty when read from a file: see PackageReader::entryBytes)
    bool binary = false;
    // Where the content lies in what was read (0-based byte offset and length), whether it
    // holds CRs or LFs that are not CR LF pairs, and what installing it writes (-1: unknown).
    qint64 offset = 0;
    qint64 length = 0;
    bool looseBreaks = false;
    qint64 size = -1;

    // The title without the binary mark: the name the entry's backup copy takes.
    QString fileName() const;
    // What installing the entry writes: the content + CR LF, or for a binary entry the
    // original bytes. Empty for a binary entry whose base64 is broken (readEntries reports it).
    QByteArray installBytes() const;
    qint64 installSize() const;
};

struct ReadError
{
    int entry = 0;          // 1-based
    QString reason;         // "no ###Install### after position 120", ...
};

struct ReadResult
{
    int count = 0;                    // begin markers counted
    QList<Entry> entries;             // every entry read, in file order
    std::optional<ReadError> error;   // set when an entry could not be read whole

    bool valid() const { return count > 0; }
    bool damaged() const { return count > 0 && error.has_value(); }
};

// What the user is told about a damaged package: which entry, and why it cannot be read.
QString damagedMessage(const ReadError &error);

// Reads as many entries as there are begin markers, each from the cursor the previous one
// left: the install path, title and content are cut at their markers and the next search
// starts after the end marker. An entry whose marker is missing, or whose markers come in an
// order that would cut a negative length, stops the reading with an error.
ReadResult readEntries(const QByteArray &package);
ReadResult readEntries(const QString &package);
// Reads the package's entries with contents that point into the package instead of copying
// it; they are valid only while the package is.
ReadResult readEntries(const QByteArray &package, bool sharing);

// A package read in two passes, so that one of any size needs little memory: scan() reads it
// through once, checking every entry before anything is written and noting where each
// entry's content lies; entryBytes() then fetches one entry's bytes at a time. A file's line
// breaks count as CR LF, as loadPackage reads it; bytes given in memory are read as given, as
// readEntries reads them. Nothing of the file is mapped, so a file cut short while it is read
// gives an error, never a fault.
class PackageReader
{
public:
    PackageReader();
    explicit PackageReader(const QByteArray &package);
    ~PackageReader();
    PackageReader(const PackageReader &) = delete;
    PackageReader &operator=(const PackageReader &) = delete;

    // A package file, by host path.
    bool open(const QString &hostPath, QString *error = nullptr);
    // Before the scan: a package of more entries than this keeps none (-1, as opened: no
    // limit; 0: none at all). The scan then gives the count and any error as before, so a
    // package of any number of entries is checked in the same memory, and next() gives them
    // by reading the package again. A few thousand are read faster from memory than again.
    void setKeepAtMost(qsizetype entries);
    // The first pass, made once: later calls give the same result. A file that cannot be read
    // through gives no entries, and error says why.
    ReadResult scan(QString *error = nullptr);
    // The scanned entries one at a time, in order: the same ones the scan gives with entries
    // kept, taken from the scanned list when it was kept, else read again a piece at a time.
    // False after the last one, for a package the scan found damaged or not valid, and, with
    // error set, when the file cannot be read or changed since the scan. rewind() starts again
    // at the first entry.
    void rewind();
    bool next(Entry &entry, QString *error = nullptr);
    // What installing a scanned entry writes: its content + CR LF, or a binary entry's bytes.
    // The buffer is reused from entry to entry. False when the file changed since the scan.
    bool entryBytes(const Entry &entry, QByteArray &bytes, QString *error = nullptr);
    // The first n bytes installing the entry writes (fewer when it writes fewer), read without
    // the rest: enough to tell a program by its start.
    QByteArray entryStart(const Entry &entry, qsizetype n);

private:
    ReadResult scanOnce(QString *error);
    struct Private;
    std::unique_ptr<Private> d;
};

// The backup copy's path for an entry: ProgramFolder + "Backup\brx\" + the bare name of the
// title (after its last backslash or slash, binary mark dropped). Empty when that name is
// empty, "." or "..": such an entry gets no backup.
QString backupPathFor(const QString &programFolder, const QString &title);

} // namespace brx
