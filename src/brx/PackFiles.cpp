#include "brx/PackFiles.h"

#include "brx/Brx.h"
#include "platform/FileWorker.h"
#include "platform/HostPaths.h"
#include "platform/WinPath.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace brx {

namespace {

// Entries are gathered and written in pieces of about this size: few system calls, little memory.
constexpr qsizetype kPiece = 1 << 20;
// Written bytes are handed to the disk in runs of about this size.
constexpr qsizetype kStartAfter = 2 * kPiece;

// The package goes straight into its file, so that a package of any size needs only a few files
// in memory, on a thread of its own a piece behind the files being packed. Writes exactly what
// appendFileContent and savePackage write; the file appears only when save succeeds.
class PackageWriter
{
public:
    explicit PackageWriter(const QString &windowsPath) : m_destination(windowsPath)
    {
        if (windowsPath.isEmpty() || windowsPath.endsWith(QLatin1Char('\\')) || windowsPath.endsWith(QLatin1Char('/')))
            m_openError = QStringLiteral("no file name");
        else
            m_opened = m_file.open(winpath::toHost(windowsPath), &m_openError);
    }

    // An entry made by fileEntryParts. Its parts are handed over as they are, not copied
    // into one buffer: the writer gathers them into one write.
    bool add(EntryParts &&entry, QString *error)
    {
        if (!m_opened) {
            if (error)
                *error = QStringLiteral("%1 cannot be written (%2)").arg(m_destination, m_openError);
            return false;
        }
        for (QByteArray *part : {&entry.head, &entry.content, &entry.tail}) {
            if (!part->isEmpty()) {
                m_pendingSize += part->size();
                m_pending.push_back(std::move(*part));
            }
        }
        return m_pendingSize < kPiece || hand(error);
    }

    bool save(QString *error)
    {
        if (!m_opened) {
            if (error)
                *error = m_openError;
            return false;
        }
        m_opened = false;
        m_pending.push_back(QByteArrayLiteral("\r\n"));
        // The writer's pieces first: the file is whole in order, then flushed and renamed.
        m_writer.wait();
        return !failed(error) && m_file.append(m_pending, error) && m_file.commit(error);
    }

private:
    // Gives the writer the pending piece; it takes it once the last one is written.
    bool hand(QString *error)
    {
        if (failed(error))
            return false;
        m_writer.post(m_pendingSize, [this, piece = std::move(m_pending), size = m_pendingSize] {
            QString why;
            if (!m_failed.load(std::memory_order_relaxed) && !m_file.append(piece, &why)) {
                m_failure = why;
                m_failed.store(true, std::memory_order_release);
                return;
            }
            // The disk starts on what is written while the rest is packed, so that the flush
            // at the end waits for the last pieces only.
            m_unstarted += size;
            if (m_unstarted >= kStartAfter) {
                m_file.startFlush();
                m_unstarted = 0;
            }
        });
        m_pending = std::vector<QByteArray>();
        m_pendingSize = 0;
        return true;
    }

    bool failed(QString *error)
    {
        if (!m_failed.load(std::memory_order_acquire))
            return false;
        m_opened = false;
        m_openError = m_failure;
        if (error)
            *error = m_failure;
        return true;
    }

    QString m_destination;
    HostFileStream m_file;
    bool m_opened = false;
    QString m_openError;
    std::vector<QByteArray> m_pending;
    qsizetype m_pendingSize = 0;
    std::atomic<bool> m_failed{false};
    QString m_failure; // set by the writer before m_failed
    qsizetype m_unstarted = 0; // the writer's bytes not yet handed to the disk
    // Last, so that it stops before what its pieces go into: one piece waits at the most.
    hostfs::FileWorker m_writer{kPiece};
};

struct Packed
{
    EntryParts entry;
    PackResult::Failure failure = PackResult::None;
    QString why;
};

// Reads one file into buffer and makes its entry. The buffer is used again for the next file
// unless the entry kept it as its content.
void pack(const PackSource &source, QByteArray &buffer, Packed &out)
{
    QFile file(source.path);
    // Asked only when the open fails: a look at every source first cost a call per file.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        out.failure = PackResult::Unreadable;
        out.why = QFileInfo(source.path).isDir() ? QStringLiteral("it is a folder") : file.errorString();
        return;
    }
    if (!buffer.isDetached())
        buffer = QByteArray();
    if (file.isSequential()) {
        buffer = file.readAll();
    } else {
        buffer.resize(file.size());
        if (file.read(buffer.data(), buffer.size()) != buffer.size()) {
            out.failure = PackResult::Unreadable;
            out.why = file.errorString();
            return;
        }
    }
    if (!fileEntryParts(source.installPath, QFileInfo(source.path).fileName(), buffer, &out.entry, &out.why))
        out.failure = PackResult::NotAdded;
}

} // namespace

PackResult packFiles(const QString &windowsDestination, const QList<PackSource> &sources)
{
    PackResult result;
    PackageWriter built(windowsDestination);
    const size_t count = size_t(sources.size());
    // Two files are read and packed at once: the even ones here, the odd ones on a helper at
    // most a few files ahead. The package itself is written on a thread of its own.
    constexpr size_t kAhead = 8;
    std::vector<Packed> packed(count);
    std::mutex lock;
    std::condition_variable changed;
    size_t helperDone = 1; // every odd file below this one is packed
    size_t taken = 0;      // the files below this one went into the package
    bool stop = false;
    std::thread helper;
    if (count > 1) {
        helper = std::thread([&] {
            QByteArray buffer;
            for (size_t i = 1; i < count; i += 2) {
                {
                    std::unique_lock<std::mutex> held(lock);
                    changed.wait(held, [&] { return stop || i < taken + kAhead; });
                    if (stop)
                        return;
                }
                pack(sources.at(qsizetype(i)), buffer, packed[i]);
                {
                    std::lock_guard<std::mutex> held(lock);
                    helperDone = i + 2;
                }
                changed.notify_all();
            }
        });
    }
    const auto finishHelper = [&] {
        {
            std::lock_guard<std::mutex> held(lock);
            stop = true;
        }
        changed.notify_all();
        if (helper.joinable())
            helper.join();
    };
    QByteArray buffer;
    for (size_t i = 0; i < count; ++i) {
        if (i % 2 == 0) {
            pack(sources.at(qsizetype(i)), buffer, packed[i]);
        } else {
            std::unique_lock<std::mutex> held(lock);
            changed.wait(held, [&] { return helperDone > i; });
        }
        Packed done = std::move(packed[i]);
        {
            std::lock_guard<std::mutex> held(lock);
            taken = i + 1;
        }
        changed.notify_all();
        // A package that cannot be written is told at the file that could not go in.
        if (done.failure == PackResult::None && !built.add(std::move(done.entry), &done.why))
            done.failure = PackResult::NotAdded;
        if (done.failure != PackResult::None) {
            finishHelper();
            result.failure = done.failure;
            result.source = int(i);
            result.why = done.why;
            return result;
        }
    }
    finishHelper();
    if (!built.save(&result.why))
        result.failure = PackResult::NotWritten;
    return result;
}

} // namespace brx
