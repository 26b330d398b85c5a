#pragma once
// Jobs that one thread runs in the order they were pushed; any thread may push. The
// window model keeps the worker's reports in one until the window's thread takes them.

#include <deque>
#include <functional>
#include <mutex>

namespace corvalin
{

class CJobQueue
{
  public:
    void Push(std::function<void()> job)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }

    // Runs jobs until none is left, those pushed meanwhile included. A job runs
    // without the lock, so it may push another.
    void RunAll()
    {
        for (;;)
        {
            std::function<void()> job;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_jobs.empty())
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

  private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_jobs;
};

} // namespace corvalin
