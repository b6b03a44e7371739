#pragma once
// One Veldrin per user and program folder: a second start that is given files hands them to
// the running one over a local socket and ends, as a file manager's "Open" expects.
#include <QObject>
#include <QStringList>
#include <memory>

namespace singleinstance {

// The socket name for this user and this program folder (the folder Veldrin reads its
// settings from) in this prefix; empty when VELDRIN_SINGLE_INSTANCE is "0".
QString serverName(const QString &programFolderHostPath);

// Hands the files (host paths) to the Veldrin listening on name. True only when it answered
// that it took them; false when nobody listens or it does not answer in time.
bool handOver(const QString &name, const QStringList &hostPaths, int timeoutMs = 3000);

// The running program's end: emits filesReceived once per hand-over.
class Receiver : public QObject
{
    Q_OBJECT
public:
    explicit Receiver(QObject *parent = nullptr);
    ~Receiver() override;

    // Starts listening, taking over a socket left behind by a Veldrin that ended without
    // closing it. False when another Veldrin is listening on it.
    bool listen(const QString &name);

signals:
    void filesReceived(const QStringList &hostPaths);

private:
    void takeConnection();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace singleinstance
