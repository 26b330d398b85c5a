#pragma once
// One short method per boot loader command over a byte port: each writes its frame,
// reads the reply under the link's timing and judges it. The link keeps the block
// counter (INIT and CLOSE reset it, each accepted XFER advances it) and never retries:
// retrying and giving up are the update worker's decisions. A set stop flag ends any
// read or write at once.

#include "device/BootLoaderProtocol.h"
#include "device/LinkTiming.h"
#include "platform/SerialPort.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace corvalin
{

class CBootLoaderLink
{
  public:
    CBootLoaderLink(platform::IBytePort& port, const CLinkTiming& timing, const std::atomic<bool>& stop);

    // QUERY, one attempt: true when a read brought bytes; `reply` then holds them, the
    // rest of its nQueryBufferSize bytes zeros. Reads end by the time-outs only.
    bool Query(std::vector<uint8_t>& reply);
    EExchangeResult Init(uint32_t hardwareCode, int32_t blocks);
    // XFER of block Block(); advances it on result Ok.
    EExchangeResult Xfer(const uint8_t* body, std::size_t bodySize);
    EExchangeResult Prep(const ImageHeader& header, uint32_t bcdDate);
    EExchangeResult Close();

    int Block() const { return m_nBlock.load(); }

    // Fast reads end at a whole reply frame by its length field (see
    // CLinkTiming::m_bFastTransfer). A reply that shows the box sends late bytes turns
    // them off for good; TakeFastReadsDropped tells of that once.
    void SetFastReads(bool fast) { m_bFastReads.store(fast); }
    bool FastReads() const { return m_bFastReads.load(); }
    bool TakeFastReadsDropped() { return m_bFastDropped.exchange(false); }

  private:
    EExchangeResult Exchange(const std::vector<uint8_t>& frame, uint8_t expectedReply);

    platform::IBytePort& m_port;
    const CLinkTiming m_timing;
    const std::atomic<bool>& m_bStop;
    std::atomic<int> m_nBlock{0};
    std::atomic<bool> m_bFastReads{false};
    std::atomic<bool> m_bFastDropped{false};
};

} // namespace corvalin
