#include "install/OpenRequest.h"

#include "install/InstallByType.h"
#include "platform/WinPath.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace openrequest {

namespace {

bool looksLikeWindowsPath(const QString &text)
{
    return text.size() >= 3 && text.at(0).isLetter() && text.at(0).unicode() < 128 && text.at(1) == QLatin1Char(':')
        && (text.at(2) == QLatin1Char('\\') || text.at(2) == QLatin1Char('/'));
}

} // namespace

QString hostPathOfArgument(const QString &argument, const QString &currentDirectory)
{
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(argument);
        if (url.isLocalFile())
            return QDir::cleanPath(url.toLocalFile());
    }
    if (looksLikeWindowsPath(argument))
        return winpath::toHost(argument);
    return QDir::cleanPath(QDir(currentDirectory).absoluteFilePath(argument));
}

bool installable(const QString &path)
{
    return installbytype::typeForPath(path).route != installbytype::Route::Invalid;
}

Request forHostPath(const QString &hostPath)
{
    Request request;
    const QFileInfo info(hostPath);
    if (!info.exists()) {
        request.refusal = QStringLiteral("Veldrin cannot open \"%1\": there is no such file.").arg(hostPath);
    } else if (info.isDir()) {
        request.refusal = QStringLiteral("Veldrin cannot open \"%1\": it is a folder.").arg(hostPath);
    } else if (const QString windowsPath = winpath::fromHost(info.absoluteFilePath()); !installable(windowsPath)) {
        request.refusal = QStringLiteral("Veldrin cannot open \"%1\": it installs maps (.txt), landscapes (.lnd), "
                                         "skins and meshes (.l3d), tattoos (.bmp), packages (.brx) and add-on archives "
                                         "(.zip, .7z, .rar, .tar.*).")
                              .arg(hostPath);
    } else {
        request.windowsPath = windowsPath;
    }
    return request;
}

} // namespace openrequest
