#include "shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

// The socket is a plain Unix domain socket watched by the event loop. Qt's local socket
// classes would do the same, but they live in a network library whose loading (and that of the
// Kerberos and proxy libraries it pulls in) costs every start more than the whole exchange.
// Without Q_OS_UNIX there is no hand-over: every start opens its own window.

namespace singleinstance {

namespace {

// Paths travel one per line, base64 so that no name can break the framing; an empty line
// ends the list and the running program answers "ok".
const QByteArray kTook = "ok\n";
// A list that never ends is someone else's socket talk: cap it.
constexpr qsizetype kMostBytes = 1 << 20;

#ifdef Q_OS_UNIX

// Where the socket file lies: the temporary folder, as local sockets have always been found.
bool addressOf(const QString &name, sockaddr_un *address, QByteArray *path)
{
    *path = QFile::encodeName(QDir::tempPath() + QLatin1Char('/') + name);
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (size_t(path->size()) >= sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path, path->constData(), size_t(path->size()));
    return true;
}

// A connected socket, or -1 when nobody listens (or not within the time).
int connectTo(const QString &name, QDeadlineTimer deadline)
{
    sockaddr_un address;
    QByteArray path;
    if (name.isEmpty() || !addressOf(name, &address, &path))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return fd;
    if (errno == EINPROGRESS || errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        if (::poll(&p, 1, int(deadline.remainingTime())) == 1
            && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0)
            return fd;
    }
    ::close(fd);
    return -1;
}

bool waitFor(int fd, short events, QDeadlineTimer deadline)
{
    pollfd p{fd, events, 0};
    int ready;
    do
        ready = ::poll(&p, 1, int(deadline.remainingTime()));
    while (ready < 0 && errno == EINTR);
    return ready == 1 && (p.revents & events);
}

// Files from another user's program are not taken: the socket file's mode keeps them out
// already; the peer's credentials say so even where a file system ignores that mode.
bool fromThisUser(int fd)
{
#ifdef SO_PEERCRED
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
#else
    Q_UNUSED(fd);
    return true;
#endif
}

#endif

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
#ifdef Q_OS_UNIX
    const uint user = uint(getuid());
#else
    const uint user = 0;
#endif
    return QStringLiteral("veldrin-%1-%2").arg(user).arg(QString::fromLatin1(hash));
}

#ifdef Q_OS_UNIX

bool handOver(const QString &name, const QStringList &hostPaths, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    const int fd = connectTo(name, deadline);
    if (fd < 0)
        return false;
    QByteArray message;
    for (const QString &path : hostPaths)
        message += path.toUtf8().toBase64() + '\n';
    message += '\n';
    qsizetype sent = 0;
    while (sent < message.size() && waitFor(fd, POLLOUT, deadline)) {
        const ssize_t n = ::send(fd, message.constData() + sent, size_t(message.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            break;
        sent += qMax<ssize_t>(n, 0);
    }
    QByteArray answer;
    char chunk[64];
    while (sent == message.size() && !answer.contains('\n') && waitFor(fd, POLLIN, deadline)) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            break;
        answer.append(chunk, qMax<ssize_t>(n, 0));
    }
    ::close(fd);
    return answer.startsWith(kTook);
}

struct Receiver::Private
{
    int fd = -1;
    QByteArray path;
    std::unique_ptr<QSocketNotifier> notifier;
};

Receiver::Receiver(QObject *parent) : QObject(parent), d(std::make_unique<Private>()) {}

Receiver::~Receiver()
{
    if (d->fd < 0)
        return;
    d->notifier.reset();
    ::close(d->fd);
    ::unlink(d->path.constData());
}

bool Receiver::listen(const QString &name)
{
    sockaddr_un address;
    if (d->fd >= 0 || name.isEmpty() || !addressOf(name, &address, &d->path))
        return false;
    // Binding needs the name free, so ask first whether a running Veldrin answers on it;
    // what is left after a crash answers nothing and is taken over.
    const int probe = connectTo(name, QDeadlineTimer(500));
    if (probe >= 0) {
        ::close(probe);
        return false;
    }
    ::unlink(d->path.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // Only this user may hand files over: the socket file is made without rights for others.
    const mode_t mask = ::umask(0077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::umask(mask);
    if (!bound || ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    d->fd = fd;
    d->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(d->notifier.get(), &QSocketNotifier::activated, this, &Receiver::takeConnection);
    return true;
}

void Receiver::takeConnection()
{
    for (;;) {
        const int fd = ::accept4(d->fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        if (!fromThisUser(fd)) {
            ::close(fd);
            continue;
        }
        // Each connection reads on its own until its list is whole; the notifier owns the
        // descriptor's life and is deleted with it.
        auto *watch = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        auto buffer = std::make_shared<QByteArray>();
        const auto finish = [watch, fd] {
            watch->setEnabled(false);
            ::close(fd);
            watch->deleteLater();
        };
        connect(watch, &QSocketNotifier::activated, this, [this, fd, buffer, finish] {
            char chunk[4096];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                return;
            if (n <= 0) {
                finish();
                return;
            }
            buffer->append(chunk, n);
            if (buffer->size() > kMostBytes) {
                finish();
                return;
            }
            const qsizetype end = buffer->indexOf("\n\n");
            if (end < 0 && !buffer->startsWith('\n'))
                return;
            QStringList paths;
            const QList<QByteArray> lines = buffer->left(end < 0 ? 0 : end).split('\n');
            for (const QByteArray &line : lines) {
                if (!line.isEmpty())
                    paths << QString::fromUtf8(QByteArray::fromBase64(line));
            }
            ::send(fd, kTook.constData(), size_t(kTook.size()), MSG_NOSIGNAL);
            finish();
            emit filesReceived(paths);
        });
    }
}

#else

bool handOver(const QString &, const QStringList &, int) { return false; }

struct Receiver::Private
{
};

Receiver::Receiver(QObject *parent) : QObject(parent), d(std::make_unique<Private>()) {}
Receiver::~Receiver() = default;
bool Receiver::listen(const QString &) { return false; }
void Receiver::takeConnection() {}

#endif

} // namespace singleinstance
