#include "platform/FileWorker.h"

namespace hostfs {

FileWorker::~FileWorker()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> held(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join(); // after the jobs left: they run to the end, as posted
}

void FileWorker::post(qint64 bytes, std::function<void()> job)
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    std::unique_lock<std::mutex> held(m_lock);
    // One job alone may be larger than the budget; it then waits for an empty queue.
    m_changed.wait(held, [&] { return m_waiting == 0 || m_waiting + bytes <= m_budget; });
    m_jobs.emplace_back(bytes, std::move(job));
    m_waiting += bytes;
    held.unlock();
    m_changed.notify_all();
}

void FileWorker::wait()
{
    std::unique_lock<std::mutex> held(m_lock);
    m_changed.wait(held, [this] { return m_jobs.empty() && !m_busy; });
}

void FileWorker::run()
{
    std::unique_lock<std::mutex> held(m_lock);
    for (;;) {
        m_changed.wait(held, [this] { return !m_jobs.empty() || m_stop; });
        if (m_jobs.empty())
            return;
        auto [bytes, job] = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        held.unlock();
        job();
        job = nullptr; // what the job held goes before the room is given back
        held.lock();
        m_busy = false;
        m_waiting -= bytes;
        m_changed.notify_all();
    }
}

} // namespace hostfs
