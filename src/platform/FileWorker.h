#pragma once
// A second pair of hands for file work: jobs run one after another on a thread of their own,
// in the order given, while the caller goes on with the next. The caller waits for them all
// before it relies on any.
#include <QtGlobal>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace hostfs {

class FileWorker
{
public:
    // At most about `budget` bytes of work wait at once: post() waits for room beyond it.
    explicit FileWorker(qint64 budget) : m_budget(budget) {}
    ~FileWorker();
    FileWorker(const FileWorker &) = delete;
    FileWorker &operator=(const FileWorker &) = delete;

    void post(qint64 bytes, std::function<void()> job);
    // Returns once every job posted so far has run.
    void wait();

private:
    void run();

    const qint64 m_budget;
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::pair<qint64, std::function<void()>>> m_jobs;
    qint64 m_waiting = 0; // bytes of the jobs posted and not yet done
    bool m_busy = false;
    bool m_stop = false;
};

} // namespace hostfs
