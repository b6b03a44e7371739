// Map window against its floor: loading one map into frmMap and into a bare QPlainTextEdit
// (the file read whole in text mode, decoded, set as plain text), taken alternately in the same process
// so both see the same machine; then "Install this Map" against `cp` of the same file.
//
//   map_bench MAP RUNS     (MAP a host path inside $WINEPREFIX/drive_c; its folder holds the
//                           game tree "Game/Scripts/Playgrounds")
//
// Prints one line per measurement: "name median_seconds".
#include "common/Modual1.h"
#include "common/Prompts.h"
#include "platform/WinPath.h"
#include "shell/Desk.h"
#include "windows/managers/frmMap.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

class FixedPrompts : public Prompts
{
public:
    QString answer;
    std::optional<QString> chooseFile(const FileRequest &) override { return answer; }
    void message(const QString &) override {}
    bool question(const QString &) override { return true; }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Until the view has laid out and painted what it shows, the load is not over for the user.
void settle() { QCoreApplication::processEvents(); }

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: map_bench MAP RUNS\n");
        return 2;
    }
    const QString map = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int runs = std::max(1, std::atoi(argv[2]));
    const QString root = QFileInfo(map).absolutePath();

    Modual1 state;
    state.settings.GameFolder = winpath::fromHost(root + QLatin1String("/Game")) + QLatin1Char('\\');
    state.settings.ProgramFolder = winpath::fromHost(root) + QLatin1Char('\\');
    FixedPrompts prompts;
    prompts.answer = winpath::fromHost(map);
    Desk desk(state, prompts);
    frmMap *window = desk.showMap();
    auto *load = window->findChild<QAbstractButton *>(QStringLiteral("cmdLoad"));
    auto *install = window->findChild<QAbstractButton *>(QStringLiteral("cmdInstall"));

    QPlainTextEdit bare;
    bare.resize(window->findChild<QPlainTextEdit *>(QStringLiteral("rtbMap"))->size());
    bare.show();

    std::vector<double> ours, floor, installs, copies, flushedCopies;
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        // Alternate which goes first, so neither always meets the other's leftovers.
        for (int side = 0; side < 2; ++side) {
            const bool veldrin = (side == 0) == (i % 2 == 0);
            ::sync();
            clock.start();
            if (veldrin) {
                load->click();
            } else {
                // What a plain Qt program writes: text mode turns CR LF into LF on the way in.
                QFile file(map);
                if (file.open(QIODevice::ReadOnly | QIODevice::Text))
                    bare.setPlainText(QString::fromLatin1(file.readAll()));
            }
            settle();
            (veldrin ? ours : floor).push_back(clock.nsecsElapsed() / 1e9);
        }
        const QString target = root + QLatin1String("/Game/Scripts/Playgrounds/") + QFileInfo(map).fileName();
        const QString copy = root + QLatin1String("/copy.txt");
        QFile::remove(target);
        QFile::remove(copy);
        for (int side = 0; side < 2; ++side) {
            const bool veldrin = (side == 0) == (i % 2 == 0);
            ::sync();
            clock.start();
            if (veldrin)
                install->click();
            else
                QProcess::execute(QStringLiteral("cp"), {map, copy});
            (veldrin ? installs : copies).push_back(clock.nsecsElapsed() / 1e9);
        }
        // The install flushes the map to disk before it takes its name, as every install does;
        // cp does not. The same copy followed by a flush of it shows what that costs here.
        QFile::remove(copy);
        ::sync();
        clock.start();
        QProcess::execute(QStringLiteral("cp"), {map, copy});
        QProcess::execute(QStringLiteral("sync"), {copy});
        flushedCopies.push_back(clock.nsecsElapsed() / 1e9);
        if (QFileInfo(target).size() < QFileInfo(map).size()) {
            std::fprintf(stderr, "map_bench: the map was not installed\n");
            return 1;
        }
    }
    std::printf("map_load_frmMap %.4f\nmap_load_bare %.4f\nmap_install %.4f\nmap_cp %.4f\nmap_cp_sync %.4f\n", median(ours),
                median(floor), median(installs), median(copies), median(flushedCopies));
    return 0;
}
