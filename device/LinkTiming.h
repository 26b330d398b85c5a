#pragma once
// Every time-out, pause and read count of the device link and the update worker, in
// one place. The defaults are the box's values; tests hand CUpdater a scaled-down copy.

#include "platform/SerialPort.h"

namespace corvalin
{

struct CLinkTiming
{
    // The port's read and write time-outs at the box's values; platform::CPortTimeouts
    // says what each one does.
    platform::CPortTimeouts m_port;
    // Fast transfer, off unless chosen: an update's reads also end once they hold one
    // whole reply frame by its length field and the line has then been quiet for the
    // port's frame tail, instead of waiting out the interval. It relies on the box's
    // length fields and on the box needing no quiet time before the next command.
    bool m_bFastTransfer = false;

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
