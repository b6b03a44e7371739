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
#include <functional>
#include <memory>
#include <optional>

class Prompts;
struct InstallerState;

namespace brx {

// A binary entry's title is the file's bare name followed by this mark. '|' cannot occur in a
// Windows file name, so no package built from text files carries it.
inline constexpr char kBinaryMark[] = "|base64";

inline const QString kNotValidMessage = QStringLiteral("This is not a valid Brx file.");
inline const QString kDamagedMessage = QStringLiteral("This package is damaged and was not installed.");

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

// Writes the package followed by one CR LF (what saving from the wizard writes).
bool savePackage(const QByteArray &package, const QString &destination, QString *error = nullptr);
bool savePackage(const QString &package, const QString &destination, QString *error = nullptr);

// Builds a package straight into its file, one entry at a time, so that a package of any size
// needs only one file in memory. Writes exactly what appendFileContent and savePackage write.
// The file appears only when save succeeds; a package not saved leaves nothing behind.
class PackageFile
{
public:
    explicit PackageFile(const QString &windowsPath);
    ~PackageFile();
    PackageFile(const PackageFile &) = delete;
    PackageFile &operator=(const PackageFile &) = delete;

    bool add(const QString &installPath, const QString &title, const QByteArray &bytes, QString *error = nullptr);
    bool save(QString *error = nullptr);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

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
    // The first pass, made once: later calls give the same result. A file that cannot be read
    // through gives no entries, and error says why.
    ReadResult scan(QString *error = nullptr);
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

// ---- Installing ---------------------------------------------------------------------------

// A package file's text as installing reads it: its bytes with line breaks made CR LF. A file
// that cannot be read counts as empty text (error tells why).
QByteArray loadPackage(const QString &windowsPath, QString *error = nullptr);

// The question asked before a package writes outside the game and program folders.
QString outsideQuestion(const QStringList &outside);

// True when an entry installs a program: by its install path's extension (exe, dll, com, bat,
// cmd, scr, sh) or by the first bytes it writes (MZ, ELF, "#!").
bool isProgram(const QString &installPath, const QByteArray &start);
// The question asked before a package that contains programs installs them.
QString programsQuestion(const QStringList &programs);

// The message of a package refused for writing into Veldrin's own files, one line an entry.
QString ownFilesMessage(const QStringList &ownFiles);
// What the player is told, and asked, when the files a package replaces cannot be kept.
QString notKeptMessage(const QString &why);
QString withoutUndoQuestion(const QString &why);

struct PlannedWrite
{
    enum Kind { EntryFile, Backup };
    Kind kind = EntryFile;
    int entry = 0;            // 1-based
    QString path;             // Windows path
    qint64 size = 0;          // bytes written
};

struct InstallOptions
{
    QString programFolder;       // Settings.ProgramFolder, ends with a backslash
    QString gameFolder;          // Settings.GameFolder
    float progressStart = 0.0f;  // the bar's value before the install (an install never resets it)
    std::function<void(float)> onProgress;          // after each write, with the bar's new value
    // Asked once, before anything is written, with every install path outside both folders
    // (as shown to the player, see InstallResult::outsideShown);
    // true installs them as written. Unset: such a package is refused.
    std::function<bool(const QStringList &outside)> confirmOutside;
    // Asked once, before anything is written and after the outside question, with the install
    // path of every entry that is a program (see isProgram); true installs them. Unset: such a
    // package is refused.
    std::function<bool(const QStringList &programs)> confirmPrograms;
    // Asked when the history is kept but the files the package replaces cannot be (the store
    // is full or cannot be written), with why; true installs without undo. Unset: NotKept.
    std::function<bool(const QString &why)> confirmWithoutUndo;
    bool withoutUndo = false;    // go on without undo without asking (the command line's --no-history)
    QString source;              // what the history names as the package (its path)
    bool dryRun = false;         // plan only: nothing written, no question asked
    InstallerState *state = nullptr; // mirrored for the rest of the program when given
};

struct [[nodiscard]] InstallResult
{
    enum Outcome { Installed, NotValid, Damaged, Declined, WriteFailed, Unreadable, Refused, NotKept };
    Outcome outcome = NotValid;
    int count = 0;
    std::optional<ReadError> damage;
    QList<PlannedWrite> writes;      // done (or, on a dry run, planned), in order
    QStringList outside;             // install paths outside both folders
    QStringList outsideShown;        // the same as asked: with where each really lands, when that differs
    QStringList programs;            // install paths of the entries that are programs
    QStringList ownFiles;            // "entry N: path (what it is)" for entries aimed at Veldrin's own files
    QString failedPath;              // the write that failed
    QString failure;                 // and why (or why the package could not be read)
    QStringList backupFailures;      // "path: reason" of backup copies that could not be written
    bool rolledBack = false;         // every earlier write was undone
    QStringList rollbackFailures;    // files that could not be put back (should stay empty)
    float progress = 0.0f;
    qint64 operation = 0;            // the install history's record, 0 without history
    // The message the user is shown, empty when there is none.
    QString message;
};

// Installs a package all or nothing. Reads every entry first; a damaged or empty package
// writes nothing, nor does one with an entry aimed at Veldrin's own files (Refused, each such
// entry named in ownFiles and the message). Entries go in file order, each followed by its backup copy. The old bytes
// of every file replaced are kept aside until the package is done, so that a failing entry
// puts every file back as it was and removes the files the package created. A backup copy
// that cannot be written is reported but does not undo the package.
InstallResult installPackage(const QByteArray &package, const InstallOptions &options);
InstallResult installPackage(const QString &package, const InstallOptions &options);
// The same from a package reader: one entry's bytes in memory at a time.
InstallResult installPackage(PackageReader &package, const InstallOptions &options);

// The wizard's route for a chosen ".brx": reads the file (an unreadable file counts as empty
// text), installs it, and shows the result's message through prompts, if any. With
// loadedText given, it receives the package text as loaded.
InstallResult installPackageFile(const QString &packagePath, InstallOptions options, Prompts &prompts,
                                 QString *loadedText = nullptr);

} // namespace brx
