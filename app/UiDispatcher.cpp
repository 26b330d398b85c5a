#include "app/UiDispatcher.h"

#include <QThread>

namespace corvalin
{

CUiDispatcher::CUiDispatcher(QObject* parent) : QObject(parent)
{
}

void CUiDispatcher::Run(std::function<void()> job)
{
    if (QThread::currentThread() == thread())
    {
        Flush();
        job();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.push_back(std::move(job));
    }
    // Delivered only while this object lives; a job already run by an earlier Flush
    // leaves nothing to do.
    QMetaObject::invokeMethod(this, [this] { Flush(); }, Qt::QueuedConnection);
}

void CUiDispatcher::Flush()
{
    for (;;)
    {
        std::function<void()> job;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_pending.empty())
                return;
            job = std::move(m_pending.front());
            m_pending.pop_front();
        }
        job();
    }
}

} // namespace corvalin
