#include "brx/PackFiles.h"

#include "brx/Brx.h"

#include <QFile>
#include <QFileInfo>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace brx {

namespace {

struct Packed
{
    QByteArray entry;
    PackResult::Failure failure = PackResult::None;
    QString why;
};

// Reads one file into buffer (reused from file to file) and makes its entry.
void pack(const PackSource &source, QByteArray &buffer, Packed &out)
{
    QFile file(source.path);
    // Asked only when the open fails: a look at every source first cost a call per file.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        out.failure = PackResult::Unreadable;
        out.why = QFileInfo(source.path).isDir() ? QStringLiteral("it is a folder") : file.errorString();
        return;
    }
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
    if (!appendFileContent(out.entry, source.installPath, QFileInfo(source.path).fileName(), buffer, &out.why))
        out.failure = PackResult::NotAdded;
}

} // namespace

PackResult packFiles(const QString &windowsDestination, const QList<PackSource> &sources)
{
    PackResult result;
    PackageFile built(windowsDestination);
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
        if (done.failure == PackResult::None && !built.addEntry(done.entry, &done.why))
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
