// Writes the program's icon into an icon theme tree (scalable/apps and NxN/apps), drawn by
// the same code the program's windows use, so the desktop shows the icon the windows do.
#include "windows/Artwork.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: veldrin-icons OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    auto fail = [](const QString &path) {
        std::fprintf(stderr, "veldrin-icons: cannot write %s\n", qPrintable(path));
        return 1;
    };
    const QString svgPath = out.filePath(QStringLiteral("scalable/apps/veldrin.svg"));
    QDir().mkpath(QFileInfo(svgPath).path());
    QSaveFile svg(svgPath);
    if (!svg.open(QIODevice::WriteOnly) || svg.write(artwork::programIconSvg()) < 0 || !svg.commit())
        return fail(svgPath);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path = out.filePath(QStringLiteral("%1x%1/apps/veldrin.png").arg(size));
        QDir().mkpath(QFileInfo(path).path());
        if (!artwork::programIconImage(size).save(path, "PNG"))
            return fail(path);
    }
    return 0;
}
