#include "setup/PrefixSetup.h"

#include "common/OptionsFile.h"
#include "platform/FileIO.h"
#include "platform/HostFiles.h"
#include "platform/WinPath.h"
#include "setup/SetupRecord.h"
#include "web/BundledPages.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace prefixsetup {

namespace {

const char kProgramFolder[] = "C:\\Veldrin\\";
const char *const kFolders[] = {"Backup", "Backup\\tattoos", "Backup\\Landscape", "Backup\\Skin",
                                "Backup\\brx", "Backup\\history", "Downloads", "Help"};

// Where the game's installer and the usual copies put it, relative to a drive's root.
const char *const kUsualFolders[] = {
    "Program Files (x86)\\Lionhead Studios Ltd\\Black & White",
    "Program Files\\Lionhead Studios Ltd\\Black & White",
    "Program Files (x86)\\Lionhead Studios\\Black & White",
    "Program Files\\Lionhead Studios\\Black & White",
    "Program Files (x86)\\Black & White",
    "Program Files\\Black & White",
    "GOG Games\\Black & White",
    "Games\\Black & White",
    "Black & White",
};

// A walk of "/" must stay out of the kernel's pseudo folders; a huge home folder is cut short
// by the budget rather than making the player wait.
const char *const kNeverWalked[] = {"/proc", "/sys", "/dev", "/run"};
constexpr int kFolderBudget = 60000;

// WINEPREFIX decides what the drive letters mean; set it to the prefix being set up.
class PrefixScope
{
public:
    explicit PrefixScope(const QString &prefix) : m_had(qEnvironmentVariableIsSet("WINEPREFIX")), m_old(qgetenv("WINEPREFIX"))
    {
        qputenv("WINEPREFIX", prefix.toLocal8Bit());
    }
    ~PrefixScope()
    {
        if (m_had)
            qputenv("WINEPREFIX", m_old);
        else
            qunsetenv("WINEPREFIX");
    }
    PrefixScope(const PrefixScope &) = delete;
    PrefixScope &operator=(const PrefixScope &) = delete;

private:
    bool m_had;
    QByteArray m_old;
};

struct Walk
{
    QSet<QString> skip;   // real host folders not to enter
    QSet<QString> seen;   // real host paths of games found
    QStringList found;    // their Windows paths
    int budget = kFolderBudget;
};

void noteGame(Walk &walk, const QString &hostFile)
{
    const QString real = hostfs::realPlace(hostFile);
    if (walk.seen.contains(real))
        return;
    walk.seen.insert(real);
    walk.found << winpath::fromHost(real);
}

void walkFolder(Walk &walk, const QString &folder, int depthLeft)
{
    if (walk.budget-- <= 0)
        return;
    QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.isFile() && entry.fileName().compare(QLatin1String("runblack.exe"), Qt::CaseInsensitive) == 0)
            noteGame(walk, entry.filePath());
    }
    if (depthLeft <= 0)
        return;
    for (const QFileInfo &entry : entries) {
        // Links are not followed: they loop, and what they point at is usually walked anyway.
        if (!entry.isDir() || entry.isSymLink() || walk.skip.contains(entry.filePath()))
            continue;
        walkFolder(walk, entry.filePath(), depthLeft - 1);
    }
}

// Drives in the order a game is looked for: C: first, Z: (the whole host) last.
QString driveOrder() { return QStringLiteral("CDEFGHIJKLMNOPQRSTUVWXYABZ"); }

bool makeFolder(const QString &windowsPath, Report &report)
{
    const QString host = winpath::toHost(windowsPath);
    const QString shown = QStringLiteral("%1 (%2)").arg(windowsPath, host);
    if (QFileInfo(host).isDir()) {
        report.leftAlone << QStringLiteral("folder %1").arg(shown);
        return true;
    }
    if (QFileInfo::exists(host) || !QDir().mkdir(host)) {
        report.errors << QStringLiteral("could not create the folder %1").arg(shown);
        return false;
    }
    report.done << QStringLiteral("created folder %1").arg(shown);
    return true;
}

// Writes a new file; an existing one, whatever it holds, is the player's and stays.
bool addFile(const QString &host, const QString &what, const QByteArray &bytes, bool executable, Report &report)
{
    if (QFileInfo::exists(host) || QFileInfo(host).isSymLink()) {
        report.leftAlone << QStringLiteral("%1 %2").arg(what, host);
        return true;
    }
    QFile file(host);
    if (!file.open(QIODevice::NewOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        report.errors << QStringLiteral("could not write %1 %2: %3").arg(what, host, file.errorString());
        file.remove();
        return false;
    }
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    report.done << QStringLiteral("wrote %1 %2").arg(what, host);
    return true;
}

QByteArray helpLauncher()
{
    return QByteArrayLiteral("#!/bin/sh\n"
                             "# Veldrin's Help program: opens the help pages that came with Veldrin in the\n"
                             "# desktop's web browser.\n"
                             "page=\"$(dirname \"$0\")/pages/manager/help.htm\"\n"
                             "exec xdg-open \"$page\"\n");
}

void copyHelpPages(const QString &helpHost, Report &report)
{
    bundled::loadResources();
    const QString from = QStringLiteral(":/veldrin-site");
    const QString to = helpHost + QLatin1String("/pages");
    int added = 0, kept = 0;
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (QFileInfo::exists(target)) {
            ++kept;
            continue;
        }
        QFile in(source);
        QFile out(target);
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !in.open(QIODevice::ReadOnly)
            || !out.open(QIODevice::NewOnly) || out.write(in.readAll()) < 0) {
            report.errors << QStringLiteral("could not write the help page %1").arg(target);
            continue;
        }
        ++added;
    }
    if (added)
        report.done << QStringLiteral("wrote %1 help pages under %2").arg(added).arg(to);
    if (kept)
        report.leftAlone << QStringLiteral("%1 help pages under %2").arg(kept).arg(to);
}

// Desktop entry values: the string escapes, and Exec's quoting of one argument.
QString escapeValue(QString v)
{
    v.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    v.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    v.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    v.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return v;
}

QString execArgument(const QString &arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool plain = !arg.isEmpty();
    for (const QChar c : arg)
        plain = plain && !reserved.contains(c) && c != QLatin1Char('%');
    if (plain)
        return arg;
    QString quoted;
    for (const QChar c : arg) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c == QLatin1Char('%') ? QStringLiteral("%%") : QString(c);
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A kept options file is the player's, but a game folder it names that is not there makes
// every install fail; better to hear it now than from the first one.
void checkKeptGameFolder(const QString &optionsWin, Report &report)
{
    const auto text = fileio::loadText(optionsWin);
    const QString game = text ? optionsfile::splitLines(*text).value(0) : QString();
    if (game.trimmed().isEmpty()) {
        report.problems << QStringLiteral("the kept options file %1 names no game folder; set it in Tools, Options.")
                               .arg(optionsWin);
    } else if (!QFileInfo(winpath::toHost(game)).isDir()) {
        report.problems << QStringLiteral("the game folder %1 in the kept options file %2 does not exist (%3); "
                                          "set it in Tools, Options.")
                               .arg(game, optionsWin, winpath::toHost(game));
    }
}

QString entryValue(const QByteArray &entry, const QByteArray &key)
{
    for (const QByteArray &line : entry.split('\n')) {
        if (line.startsWith(key + '='))
            return QString::fromUtf8(line.mid(key.size() + 1)).trimmed();
    }
    return {};
}

// One menu entry per user: a set-up of another prefix takes it over, or the menu would keep
// starting Veldrin on the old one. The entry it replaces is kept beside it.
void placeMenuEntry(const QString &host, const QByteArray &entry, const QString &programHost, Report &report)
{
    QFile old(host);
    if (!old.exists() && !old.symLinkTarget().isEmpty()) {
        report.errors << QStringLiteral("could not write the menu entry %1: it is a broken link").arg(host);
        return;
    }
    if (!old.exists()) {
        addFile(host, QStringLiteral("menu entry"), entry, false, report);
        return;
    }
    if (!old.open(QIODevice::ReadOnly)) {
        report.errors << QStringLiteral("could not read the menu entry %1: %2").arg(host, old.errorString());
        return;
    }
    const QByteArray previous = old.readAll();
    old.close();
    // The same program folder is the same prefix, however the prefix was spelled this time.
    const QString oldFolder = entryValue(previous, "Path");
    if (previous == entry || oldFolder == escapeValue(programHost)) {
        report.leftAlone << QStringLiteral("menu entry %1").arg(host);
        return;
    }
    QString error;
    const QString kept = host + QLatin1String(".bak");
    if (!hostfs::writeFile(kept, previous, QByteArray(), &error) || !hostfs::writeFile(host, entry, QByteArray(), &error)) {
        report.errors << QStringLiteral("could not replace the menu entry %1: %2").arg(host, error);
        return;
    }
    report.done << QStringLiteral("replaced the menu entry %1, which started Veldrin in %2; it now starts it in %3 "
                                  "(the old entry is kept as %4)")
                       .arg(host, oldFolder.isEmpty() ? QStringLiteral("the current folder") : oldFolder, programHost, kept);
}

void noteSetup(const QString &configHome, const setuprecord::Record &record, Report &report)
{
    if (configHome.isEmpty())
        return;
    const QString file = setuprecord::fileIn(configHome);
    if (setuprecord::samePlaces(setuprecord::read(configHome), record)) {
        report.leftAlone << QStringLiteral("note of Veldrin's folder %1").arg(file);
        return;
    }
    QString error;
    if (!setuprecord::write(configHome, record, &error)) {
        report.errors << QStringLiteral("could not write %1: %2").arg(file, error);
        return;
    }
    report.done << QStringLiteral("noted %1 in %2: Veldrin started from the system menu or a file manager opens there")
                       .arg(record.programFolder, file);
}

} // namespace

QString defaultPrefix()
{
    const QString fromEnv = qEnvironmentVariable("WINEPREFIX");
    return fromEnv.isEmpty() ? QDir::homePath() + QLatin1String("/.wine") : fromEnv;
}

QString desktopFileName() { return QStringLiteral("example.brackenway.Veldrin.desktop"); }

QStringList findGame(const QString &prefix, int depth)
{
    const PrefixScope scope(prefix);
    Walk walk;
    QStringList roots;
    for (const QChar letter : driveOrder()) {
        const QString root = winpath::driveRoot(letter);
        roots << (root.isEmpty() ? QString() : hostfs::realPlace(root));
        if (root.isEmpty())
            continue;
        for (const char *usual : kUsualFolders) {
            const QString host = winpath::toHost(QString(letter) + QLatin1String(":\\") + QLatin1String(usual)
                                                 + QLatin1String("\\runblack.exe"));
            if (QFileInfo(host).isFile())
                noteGame(walk, host);
        }
    }
    for (const char *path : kNeverWalked)
        walk.skip.insert(QLatin1String(path));
    walk.skip.insert(hostfs::realPlace(prefix));
    for (int i = 0; i < roots.size(); ++i) {
        // Walking the whole host takes minutes and finds copies that are not the player's.
        if (roots.at(i).isEmpty() || roots.at(i) == QLatin1String("/"))
            continue;
        // Each drive's walk leaves the other drives' roots to their own walks.
        QSet<QString> skip = walk.skip;
        for (const QString &other : roots) {
            if (!other.isEmpty() && other != roots.at(i))
                walk.skip.insert(other);
        }
        walk.budget = kFolderBudget;
        walkFolder(walk, roots.at(i), depth);
        walk.skip = skip;
    }
    return walk.found;
}

QString desktopEntry(const QString &programFolderHost, const QString &program, const QString &prefix)
{
    QString command = execArgument(program);
    if (!prefix.isEmpty())
        command = QLatin1String("env ") + execArgument(QLatin1String("WINEPREFIX=") + prefix) + QLatin1Char(' ') + command;
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Veldrin\n"
                          "GenericName=Black & White Add-on Manager\n"
                          "Comment=Install maps, landscapes, skins, tattoos and BRX packages for Black & White\n"
                          "Exec=%1 %F\n"
                          "Path=%2\n"
                          "Icon=veldrin\n"
                          "Terminal=false\n"
                          "Categories=Game;\n"
                          "MimeType=application/x-veldrin-brx;\n"
                          "StartupWMClass=veldrin\n")
        .arg(escapeValue(command), escapeValue(programFolderHost));
}

Report run(const Request &request)
{
    Report report;
    const QString prefix = hostfs::realPlace(request.prefix);
    if (!QFileInfo(prefix + QLatin1String("/drive_c")).isDir() && !QFileInfo(prefix + QLatin1String("/dosdevices")).isDir()) {
        report.errors << QStringLiteral("%1 is not a Wine prefix (it has no drive_c or dosdevices folder). Make one with "
                                        "\"WINEPREFIX='%1' wineboot\" or name another with --prefix.")
                             .arg(request.prefix);
        return report;
    }
    // The prefix is kept as the player spelled it: a link to it is a link Wine follows too.
    const PrefixScope scope(request.prefix);

    const QStringList games = findGame(request.prefix, request.walkDepth);
    if (games.isEmpty()) {
        report.notes << QStringLiteral("Black & White was not found (no runblack.exe on the prefix's drives). "
                                       "Start Veldrin, open Tools, Options and choose the game's runblack.exe with "
                                       "the \"...\" button beside \"Where is Black and White located?\".");
    } else {
        report.gameFolder = optionsfile::cutTail(games.first(), 12);
        report.notes << QStringLiteral("Black & White found in %1").arg(report.gameFolder);
        if (games.size() > 1) {
            report.notes << QStringLiteral("runblack.exe is in %1 places; the first is used (change it in Options):")
                                .arg(games.size());
            for (const QString &game : games)
                report.notes << QLatin1String("  ") + game;
        }
    }

    const QString program = QLatin1String(kProgramFolder);
    bool folders = makeFolder(program.left(program.size() - 1), report);
    for (const char *folder : kFolders)
        folders = folders && makeFolder(program + QLatin1String(folder), report);
    if (!folders)
        return report;

    const QString helpHost = winpath::toHost(program + QLatin1String("Help"));
    addFile(helpHost + QLatin1String("/Help.exe"), QStringLiteral("help program"), helpLauncher(), true, report);
    copyHelpPages(helpHost, report);

    const QString optionsWin = program + QLatin1String("options.txt");
    const QString optionsHost = winpath::toHost(optionsWin);
    if (QFileInfo::exists(optionsHost)) {
        report.leftAlone << QStringLiteral("options file %1 (%2)").arg(optionsWin, optionsHost);
        checkKeptGameFolder(optionsWin, report);
    } else {
        Settings fields;
        fields.GameFolder = report.gameFolder;
        fields.ProgramFolder = program;
        QString error;
        if (fileio::writeText(optionsWin, optionsfile::optionsText(fields), &error))
            report.done << QStringLiteral("wrote options file %1 (%2)").arg(optionsWin, optionsHost);
        else
            report.errors << QStringLiteral("could not write %1: %2").arg(optionsHost, error);
    }

    const QString applications = request.dataHome + QLatin1String("/applications");
    if (!QDir().mkpath(applications)) {
        report.errors << QStringLiteral("could not create %1").arg(applications);
        return report;
    }
    const QString programHost = hostfs::realPlace(winpath::toHost(program));
    QString named = QFileInfo(request.prefix).absoluteFilePath();
    while (named.size() > 1 && named.endsWith(QLatin1Char('/')))
        named.chop(1);
    const bool usual = prefix == hostfs::realPlace(QDir::homePath() + QLatin1String("/.wine"));
    placeMenuEntry(applications + QLatin1Char('/') + desktopFileName(),
                   desktopEntry(programHost, request.program, usual ? QString() : named).toUtf8(), programHost, report);
    noteSetup(request.configHome, {named, programHost}, report);
    return report;
}

QString describe(const Report &report)
{
    QString text;
    for (const QString &line : report.notes)
        text += line + QLatin1Char('\n');
    for (const QString &line : report.done)
        text += QLatin1String("Done: ") + line + QLatin1Char('\n');
    for (const QString &line : report.leftAlone)
        text += QLatin1String("Left alone (already there): ") + line + QLatin1Char('\n');
    for (const QString &line : report.errors)
        text += QLatin1String("Error: ") + line + QLatin1Char('\n');
    for (const QString &line : report.problems)
        text += QLatin1String("Check: ") + line + QLatin1Char('\n');
    if (report.done.isEmpty() && report.problems.isEmpty() && report.ok())
        text += QLatin1String("Nothing to do: everything was in place.\n");
    return text;
}

} // namespace prefixsetup
