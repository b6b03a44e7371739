#include "setup/SampleSetup.h"

#include "brx/Archive.h"
#include "common/GameFolders.h"
#include "platform/FileIO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace sample {

namespace {

const char kGame[] = "drive_c/Games/Black & White";
const char kProgram[] = "drive_c/Veldrin";
const char kPlayer[] = "Arden";

void putLe16(QByteArray &out, int v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

void putLe32(QByteArray &out, qint64 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

// Bytes that look like nothing in particular but are the same on every run, with NULs in
// them so that nobody mistakes them for text.
QByteArray binaryBlob(const char *magic, int size, quint32 seed)
{
    QByteArray out(magic);
    out.append('\0');
    quint32 x = seed;
    while (out.size() < size) {
        x = x * 1664525u + 1013904223u;
        const char b = char(x >> 24);
        out.append((out.size() % 7) == 0 ? '\0' : b);
    }
    return out;
}

QByteArray text1252(const QString &text) { return fileio::encode1252(fileio::normalizeLineBreaks(text)); }

// A stand-in for one of the programs Veldrin starts: it only writes down that it ran.
QByteArray standInScript(const QString &what, const QString &logName)
{
    return QStringLiteral("#!/bin/sh\n"
                          "# Stand-in for %1 in Veldrin's sample setup: it only records that it was started.\n"
                          "echo \"%1 started $(date '+%Y-%m-%d %H:%M:%S')\" >> \"$(dirname \"$0\")/%2\"\n")
        .arg(what, logName)
        .toUtf8();
}

QString islandMap()
{
    return QStringLiteral("// Dawn Island - a small playground for the Veldrin sample setup\n"
                          "// A single village on a sandy island; the creature starts on the beach.\n"
                          "PLAYGROUND \"Dawn Island\"\n"
                          "LANDSCAPE \"Land1.lnd\"\n"
                          "TOWN \"Saltmere\" AT 1420, 960 PEOPLE 24\n"
                          "CREATURE START AT 1380, 1010\n"
                          "WEATHER calm\n");
}

QString lagoonMap()
{
    return QString::fromUtf8("// Lagoon Reach - two rival villages across a shallow lagoon\n"
                             "PLAYGROUND \"Lagoon Reach\"\n"
                             "LANDSCAPE \"Marsh.lnd\"\n"
                             "TOWN \"Westwade\" AT 600, 700 PEOPLE 30\n"
                             "TOWN \"Café Eastwade\" AT 1900, 720 PEOPLE 18\n"
                             "ALIGNMENT neutral\n");
}

// An add-on as fan sites hand it out: a zip holding the game's own folders under a folder
// named after the add-on, with the readme beside them.
QByteArray coralAtollArchive()
{
    const QString top = QStringLiteral("Coral-Atoll-v2/");
    const QString game = top + QStringLiteral("Black & White/");
    archives::Writer zip;
    zip.addFile(game + QStringLiteral("Scripts/Playgrounds/coral-atoll.txt"),
                text1252(QStringLiteral("// Coral Atoll - a ring of reefs around a warm lagoon\n"
                                        "PLAYGROUND \"Coral Atoll\"\n"
                                        "LANDSCAPE \"Coral.lnd\"\n"
                                        "TOWN \"Reefhaven\" AT 1200, 1180 PEOPLE 20\n")));
    zip.addFile(game + QStringLiteral("Data/Landscape/Coral.lnd"), binaryBlob("LND", 3072, 2001));
    zip.addFile(top + QStringLiteral("readme.txt"),
                text1252(QStringLiteral("Coral Atoll, version 2\n\nUnzip into your Black & White folder, or let "
                                        "Veldrin install the archive.\n")));
    return zip.finish();
}

struct Entry
{
    QString path; // relative to hostDir
    QByteArray bytes;
    bool executable = false;
};

QList<Entry> sampleFiles()
{
    const QString game = QLatin1String(kGame);
    const QString program = QLatin1String(kProgram);
    const QString profile = game + QLatin1String("/Profiles/") + QLatin1String(kPlayer);
    QList<Entry> files;
    auto text = [&](const QString &path, const QString &content) { files.append({path, text1252(content)}); };

    files.append({game + QLatin1String("/runblack.exe"),
                  standInScript(QStringLiteral("Black & White"), QStringLiteral("runblack-starts.log")), true});
    text(game + QLatin1String("/Scripts/Playgrounds/Playground.txt"),
         QStringLiteral("// The game's own practice playground (sample)\nPLAYGROUND \"Practice\"\nTOWN \"Home\" AT 1000, 1000 PEOPLE 12\n"));
    files.append({game + QLatin1String("/Data/Landscape/Land1.lnd"), binaryBlob("LND", 2048, 7)});
    text(game + QLatin1String("/Data/Landscape/Marsh.lnd"),
         QStringLiteral("LANDSCAPE Marsh\nSIZE 64 64\nWATER 12\nHEIGHTS flat\n"));
    files.append({game + QLatin1String("/Data/CreatureMesh/Wolf.l3d"), binaryBlob("L3D", 1536, 11)});
    text(profile + QLatin1String("/helpstats.dat"),
         QStringLiteral("Player: Arden\nMiracles cast: 42\nVillagers: 187\nCreature: Wolf\nAlignment: 63% good\n"));
    for (int slot = 1; slot <= 16; ++slot)
        files.append({profile + QStringLiteral("/symbol%1.bmp").arg(slot), tattooPicture(slot)});

    text(program + QLatin1String("/options.txt"),
         QStringLiteral("C:\\Games\\Black & White\\\nC:\\Veldrin\\\nC:\\Veldrin\\Editors\\Editor.exe\n"
                        "C:\\Veldrin\\Editors\\Editor.exe\nC:\\Veldrin\\Editors\\Editor.exe\n"
                        "C:\\Veldrin\\Editors\\Editor.exe\n\n"));
    files.append({program + QLatin1String("/Help/Help.exe"),
                  standInScript(QStringLiteral("Veldrin Help"), QStringLiteral("help-starts.log")), true});
    files.append({program + QLatin1String("/Steadwright/Steadwright.exe"),
                  standInScript(QStringLiteral("Steadwright"), QStringLiteral("steadwright-starts.log")), true});
    // Veldrin put this Steadwright here, so it is Veldrin's and no package replaces it.
    text(program + QLatin1String("/Steadwright/") + QString(folders::kSetUpMark),
         QStringLiteral("Veldrin set up the program in this folder.\n"));
    files.append({program + QLatin1String("/Editors/Editor.exe"),
                  standInScript(QStringLiteral("an editor"), QStringLiteral("editor-starts.log")), true});

    const QString samples = program + QLatin1String("/Samples/");
    text(samples + QLatin1String("dawn-island.txt"), islandMap());
    text(samples + QLatin1String("lagoon-reach.txt"), lagoonMap());
    files.append({samples + QLatin1String("Land1.lnd"), binaryBlob("LND", 2048, 1234)});
    text(samples + QLatin1String("Tundra.lnd"), QStringLiteral("LANDSCAPE Tundra\nSIZE 64 64\nSNOW 40\nHEIGHTS rolling\n"));
    files.append({samples + QLatin1String("Wolf.l3d"), binaryBlob("L3D", 1536, 99)});
    files.append({samples + QLatin1String("Tiger.l3d"), binaryBlob("L3D", 1792, 5)});
    files.append({samples + QLatin1String("spiral.bmp"), tattooPicture(5, 48)});
    files.append({samples + QLatin1String("sunburst.bmp"), tattooPicture(12, 48)});
    const QString playgrounds = QStringLiteral("C:\\Games\\Black & White\\Scripts\\Playgrounds\\");
    const QString pack = brxPackage({brxEntry(playgrounds + QLatin1String("island.txt"), QStringLiteral("island.txt"), islandMap()),
                                     brxEntry(playgrounds + QLatin1String("lagoon.txt"), QStringLiteral("lagoon.txt"), lagoonMap())});
    files.append({samples + QLatin1String("island-pack.brx"), fileio::encode1252(pack)});
    files.append({samples + QLatin1String("Coral-Atoll-v2.zip"), coralAtollArchive()});
    return files;
}

const char *const kFolders[] = {
    "drive_c/Games/Black & White/Scripts/Playgrounds",
    "drive_c/Games/Black & White/Data/Landscape",
    "drive_c/Games/Black & White/Data/CreatureMesh",
    "drive_c/Games/Black & White/Profiles/Arden",
    "drive_c/Veldrin/Backup/tattoos",
    "drive_c/Veldrin/Backup/Landscape",
    "drive_c/Veldrin/Backup/Skin",
    "drive_c/Veldrin/Backup/brx",
    "drive_c/Veldrin/Backup/history",
    "drive_c/Veldrin/Downloads",
    "drive_c/Veldrin/Help",
    "drive_c/Veldrin/Steadwright",
    "drive_c/Veldrin/Editors",
    "drive_c/Veldrin/Samples",
    "drive_c/Veldrin/Downloads",
};

} // namespace

QByteArray bmp24(int width, int height, const QVector<quint32> &pixels)
{
    if (width <= 0 || height <= 0 || pixels.size() != width * height)
        return {};
    const int rowBytes = (width * 3 + 3) & ~3;
    const qint64 imageSize = qint64(rowBytes) * height;
    QByteArray out;
    out.reserve(int(54 + imageSize));
    out.append("BM");
    putLe32(out, 54 + imageSize);
    putLe32(out, 0);
    putLe32(out, 54);
    putLe32(out, 40);
    putLe32(out, width);
    putLe32(out, height);
    putLe16(out, 1);
    putLe16(out, 24);
    putLe32(out, 0);
    putLe32(out, imageSize);
    putLe32(out, 2835); // 72 dots per inch
    putLe32(out, 2835);
    putLe32(out, 0);
    putLe32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const quint32 rgb = pixels.at(y * width + x);
            out.append(char(rgb & 0xFF));
            out.append(char((rgb >> 8) & 0xFF));
            out.append(char((rgb >> 16) & 0xFF));
        }
        for (int pad = width * 3; pad < rowBytes; ++pad)
            out.append('\0');
    }
    return out;
}

QByteArray tattooPicture(int slot, int size)
{
    static const quint32 kInk[16] = {0xB22222, 0x1E5AA8, 0x2E8B57, 0xDAA520, 0x6A0DAD, 0x008B8B, 0xD2691E, 0x2F4F4F,
                                     0xC71585, 0x556B2F, 0x4169E1, 0x8B4513, 0xFF8C00, 0x483D8B, 0x228B22, 0x800000};
    const quint32 ink = kInk[(slot - 1) & 15];
    const quint32 skin = 0xF3E2C7;
    QVector<quint32> pixels(size * size, skin);
    const double c = (size - 1) / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double dx = x - c, dy = y - c;
            const double r = std::sqrt(dx * dx + dy * dy);
            const double angle = std::atan2(dy, dx);
            bool on = false;
            switch ((slot - 1) % 4) {
            case 0: // concentric rings
                on = int(r) % 6 < 3 && r < c;
                break;
            case 1: // spiral
                on = r < c && std::fmod(r - angle * 3.0 + 100.0, 8.0) < 3.5;
                break;
            case 2: // sun: disc with rays
                on = r < c * 0.35 || (r < c && std::fmod(angle + 4.0, 0.5236) < 0.2);
                break;
            default: // diamond lattice
                on = (std::abs(int(dx)) + std::abs(int(dy))) % 8 < 3;
                break;
            }
            // The slot number's weight shows as a border, so no two slots look alike.
            const bool border = x < 1 + (slot - 1) / 4 || y < 1 + (slot - 1) / 4;
            if (on || border)
                pixels[y * size + x] = ink;
        }
    }
    return bmp24(size, size, pixels);
}

QString brxEntry(const QString &installPath, const QString &title, const QString &content)
{
    return QLatin1String("###Begin_BRX###\r\n###Install###") + installPath + QLatin1String("###/Install###\r\n###Title###")
        + title + QLatin1String("###/Title###\r\n") + fileio::normalizeLineBreaks(content)
        + QLatin1String("\r\n###End_BRX###\r\n");
}

QString brxPackage(const QStringList &entries) { return entries.join(QString()) + QLatin1String("\r\n"); }

QString gameStartLog() { return QLatin1String(kGame).mid(8) + QLatin1String("/runblack-starts.log"); }

SetupResult createSampleSetup(const QString &hostDir)
{
    SetupResult result;
    const QString root = QDir(hostDir).absolutePath();
    for (const char *folder : kFolders) {
        const QString path = root + QLatin1Char('/') + QLatin1String(folder);
        if (!QDir().mkpath(path))
            result.errors << QStringLiteral("could not create the folder %1").arg(path);
    }
    for (const Entry &entry : sampleFiles()) {
        const QString path = root + QLatin1Char('/') + entry.path;
        if (QFileInfo::exists(path)) {
            result.kept << path;
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(entry.bytes) != entry.bytes.size()) {
            result.errors << QStringLiteral("could not write %1: %2").arg(path, file.errorString());
            continue;
        }
        file.close();
        if (entry.executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);
        result.created << path;
    }
    return result;
}

} // namespace sample
