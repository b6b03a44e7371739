#include "shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <memory>

#include <unistd.h>

namespace singleinstance {

namespace {

// Paths travel one per line, base64 so that no name can break the framing; an empty line
// ends the list and the running program answers "ok".
const QByteArray kTook = "ok\n";

} // namespace

QString serverName(const QString &programFolderHostPath)
{
    if (qEnvironmentVariable("VELDRIN_SINGLE_INSTANCE") == QLatin1String("0"))
        return {};
    const QString folder = QDir(programFolderHostPath).canonicalPath().isEmpty()
        ? QDir::cleanPath(QDir(programFolderHostPath).absolutePath())
        : QDir(programFolderHostPath).canonicalPath();
    const QByteArray key = folder.toUtf8() + '\n' + qgetenv("WINEPREFIX");
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("veldrin-%1-%2").arg(uint(getuid())).arg(QString::fromLatin1(hash));
}

bool handOver(const QString &name, const QStringList &hostPaths, int timeoutMs)
{
    if (name.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message;
    for (const QString &path : hostPaths)
        message += path.toUtf8().toBase64() + '\n';
    message += '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(timeoutMs))
        answer += socket.readAll();
    return answer.startsWith(kTook);
}

Receiver::Receiver(QObject *parent) : QObject(parent), m_server(new QLocalServer(this))
{
    // Only this user may hand files over.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &Receiver::takeConnection);
}

Receiver::~Receiver() = default;

bool Receiver::listen(const QString &name)
{
    if (name.isEmpty())
        return false;
    // Listening replaces whatever socket file is there, so ask first whether a running
    // Veldrin answers on it; what is left after a crash answers nothing.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500))
        return false;
    if (m_server->listen(name))
        return true;
    if (m_server->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

void Receiver::takeConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, guard, buffer] {
            if (!guard)
                return;
            *buffer += guard->readAll();
            // A list that never ends is someone else's socket talk: cap it.
            if (buffer->size() > 1 << 20) {
                guard->abort();
                return;
            }
            const int end = buffer->indexOf("\n\n");
            if (end < 0 && !buffer->startsWith('\n'))
                return;
            QStringList paths;
            const QList<QByteArray> lines = buffer->left(end < 0 ? 0 : end).split('\n');
            for (const QByteArray &line : lines) {
                if (!line.isEmpty())
                    paths << QString::fromUtf8(QByteArray::fromBase64(line));
            }
            buffer->clear();
            guard->write(kTook);
            guard->flush();
            guard->disconnectFromServer();
            emit filesReceived(paths);
        });
    }
}

} // namespace singleinstance
