#pragma once
// Every time-out, pause and read count of the device link and the update worker, in
// one place. The defaults are the box's values; tests hand CUpdater a scaled-down copy.

namespace corvalin
{

struct CLinkTiming
{
    // Port read time-outs: a read of k bytes returns when k bytes have arrived, when
    // more than the interval passes between two bytes, or after k * multiplier + constant.
    int m_nReadIntervalMs = 100;
    int m_nReadMultiplierMs = 1;
    int m_nReadConstantMs = 1;
    // Fast transfer, off unless chosen: an update's reads also end once they hold one
    // whole reply frame by its length field and the line has then been quiet for the
    // grace, instead of waiting out the interval. It relies on the box's length fields
    // and on the box needing no quiet time before the next command.
    bool m_bFastTransfer = false;
    int m_nFrameTailGraceMs = 1;

    // Longest single wait inside a read or a write, so that a stop is seen soon. On
    // Windows each write call gets that slice plus the multiplier per byte and takes
    // at most nWriteCallBytes, which keeps a stop's wait near a quarter second when
    // the line takes nothing.
    int m_nStopCheckMs = 20;
    int m_nWriteMultiplierMs = 1;
    int m_nWriteCallBytes = 256;

    // One command-reply exchange: up to this many reads into a buffer of this size.
    int m_nExchangeReads = 10;
    int m_nExchangeBufferSize = 1024;

    // Discovery: up to this many reads of this size per QUERY, two QUERY attempts.
    int m_nQueryReads = 5;
    int m_nQueryBufferSize = 2048;

    // Worker: the idle step, the pause before reopening after a boot loader restart,
    // and how many INIT attempts a silent box gets.
    int m_nIdleStepMs = 100;
    int m_nRestartPauseMs = 1000;
    int m_nInitAttempts = 4;
};

} // namespace corvalin
