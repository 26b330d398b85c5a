#pragma once
// How an update ended, as one value: the worker delivers it once per update, and
// every caller (the window, the CLI, the station, the update record) decides and
// words its result from it, never from a status text.

#include "device/BootLoaderProtocol.h"

#include <optional>

namespace corvalin
{

// The steps of an update, in their order.
enum class EUpdateStep
{
    Init,
    Xfer,
    Prep,
    Close,
};

struct CUpdateOutcome
{
    EUpdateStep m_eStep = EUpdateStep::Init;         // the step the update ended in
    EExchangeResult m_eResult = EExchangeResult::Ok; // that step's result (Ok when completed or stopped)
    bool m_bCompleted = false;                       // the box accepted CLOSE
    bool m_bStopped = false;                         // a stop ended it first; never a failure
    int m_nBlocksSent = 0;                           // blocks the box accepted
    int m_nBlocksTotal = 0;                          // blocks the update sends: the block count + 1
    double m_dSeconds = 0.0;                         // from the hand-over to the end
};

// What the last look for a box found.
enum class EProbeResult
{
    Found,      // the box answered with a record
    NoBridge,   // the serial-port map lists no such bridge
    CannotOpen, // the bridge's port would not open
    NoAnswer,   // the box did not answer, or with no usable record
    Stopped,    // a stop cut the probe short
    Busy,       // an update or another probe held the port: the list was left as it was
};

// Why StartUpdate handed no update to the worker.
enum class EStartResult
{
    Started,
    NoImage,    // no image is held
    NoDevice,   // the port list has no such entry
    Busy,       // an update runs
    CannotOpen, // the port would not open, or a probe holds it
    Stopped,    // a stop was requested: the worker takes no more updates
};

} // namespace corvalin
