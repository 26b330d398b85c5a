#include "device/BootLoaderLink.h"

#include <algorithm>

namespace corvalin
{

CBootLoaderLink::CBootLoaderLink(platform::IBytePort& port, const CLinkTiming& timing,
                                 const std::atomic<bool>& stop)
    : m_port(port), m_timing(timing), m_bStop(stop), m_bFastReads(timing.m_bFastTransfer)
{
}

bool CBootLoaderLink::Query(std::vector<uint8_t>& reply)
{
    const std::vector<uint8_t> query = BuildQueryFrame();
    std::size_t written = 0;
    m_port.Write(query.data(), query.size(), written, m_bStop);
    // Cleared once per attempt, so a reply shorter than a whole record reads as zeros
    // past its end and fails the mark test.
    reply.assign(std::size_t(m_timing.m_nQueryBufferSize), 0);
    for (int i = 0; i < m_timing.m_nQueryReads; ++i)
    {
        std::size_t count = 0;
        m_port.Read(reply.data(), reply.size(), count, nullptr, m_bStop);
        if (count > 0)
            return true;
    }
    return false;
}

EExchangeResult CBootLoaderLink::Init(uint32_t hardwareCode, int32_t blocks)
{
    m_nBlock.store(0);
    return Exchange(BuildInitFrame(hardwareCode, blocks), kReplyInitReady);
}

EExchangeResult CBootLoaderLink::Xfer(const uint8_t* body, std::size_t bodySize)
{
    const int block = m_nBlock.load();
    const EExchangeResult result = Exchange(BuildXferFrame(block, body, bodySize), kReplyDone);
    if (result == EExchangeResult::Ok)
        m_nBlock.store(block + 1);
    return result;
}

EExchangeResult CBootLoaderLink::Prep(const ImageHeader& header, uint32_t bcdDate)
{
    return Exchange(BuildPrepFrame(header, bcdDate), kReplyDone);
}

EExchangeResult CBootLoaderLink::Close()
{
    m_nBlock.store(0);
    return Exchange(BuildCloseFrame(), kReplyDone);
}

EExchangeResult CBootLoaderLink::Exchange(const std::vector<uint8_t>& frame, uint8_t expectedReply)
{
    std::size_t written = 0;
    if (!m_port.Write(frame.data(), frame.size(), written, m_bStop) || written != frame.size())
        return EExchangeResult::ShortWrite;

    // Each read overwrites the buffer from its start; only the bytes of the last read
    // are judged, never what an earlier read left behind them.
    const bool fast = m_bFastReads.load();
    std::vector<uint8_t> reply(std::size_t(m_timing.m_nExchangeBufferSize), 0);
    std::size_t count = 0;
    std::size_t start = 0;
    for (int i = 0; i < m_timing.m_nExchangeReads; ++i)
    {
        m_port.Read(reply.data(), reply.size(), count, fast ? CompleteFrameLength : nullptr, m_bStop);
        start = 0;
        if (HasFrameSyncAt(reply.data(), count, 0))
            break;
        // A fast read that ended before the late bytes of the previous reply came finds
        // them ahead of this reply: judge the frame from its sync mark, and go on with
        // the box's own timing, whose quiet time takes such bytes into their reply.
        if (fast)
        {
            while (start < count && !HasFrameSyncAt(reply.data(), count, start))
                ++start;
            if (start < count)
            {
                if (m_bFastReads.exchange(false))
                    m_bFastDropped.store(true);
                break;
            }
            start = 0;
        }
    }
    return JudgeReply(reply.data(), count, start, expectedReply);
}

} // namespace corvalin
