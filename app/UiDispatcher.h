#pragma once
// Runs small jobs on the window's thread in the order they were asked for, from any
// thread. The update worker writes the status line and the progress bar from its own
// thread; a widget may only be touched on the thread that owns it, and a status text
// set later must never be overtaken by one set earlier.

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

namespace corvalin
{

class CUiDispatcher : public QObject
{
    Q_OBJECT

public:
    explicit CUiDispatcher(QObject* parent = nullptr);

    // On the window's thread: runs every job still waiting, then `job`, at once.
    // On any other thread: queues `job` and returns without waiting.
    void Run(std::function<void()> job);

    // Runs the jobs that are waiting (window's thread only).
    void Flush();

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_pending;
};

} // namespace corvalin
