#pragma once
// Every time-out, pause and read count of the device link and the update worker, in
// one place. The defaults are the box's values; tests hand CUpdater a scaled-down copy.

namespace corvalin
{

struct CLinkTiming
{
    // Port read time-outs: a read of k bytes returns when k bytes have arrived, when
    // more than the interval passes between two bytes, or after k * multiplier + constant.
    int nReadIntervalMs = 100;
    int nReadMultiplierMs = 1;
    int nReadConstantMs = 1;
    // Also end a read as soon as it holds one whole frame by its length field, instead
    // of waiting out the interval after every reply (about 3.5 times faster updates).
    bool bEndReadAtFrame = true;
    // Bytes that follow a complete frame within this time still belong to the read, so
    // a box that sends anything after its frame does not start the next reply with it.
    int nFrameTailGraceMs = 1;

    // One command-reply exchange: up to this many reads into a buffer of this size.
    int nExchangeReads = 10;
    int nExchangeBufferSize = 1024;

    // Discovery: up to this many reads of this size per QUERY, two QUERY attempts.
    int nQueryReads = 5;
    int nQueryBufferSize = 2048;

    // Worker: the idle step, the pause before reopening after a boot loader restart,
    // and how many INIT attempts a silent box gets.
    int nIdleStepMs = 100;
    int nRestartPauseMs = 1000;
    int nInitAttempts = 4;
};

} // namespace corvalin
