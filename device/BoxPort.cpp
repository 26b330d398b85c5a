#include "device/BoxPort.h"

namespace corvalin
{

bool CBoxPort::Open()
{
    const platform::CPortTimeouts timeouts{m_timing.nReadIntervalMs,    m_timing.nReadMultiplierMs,
                                           m_timing.nReadConstantMs,    m_timing.nFrameTailGraceMs,
                                           m_timing.nStopCheckMs,       m_timing.nWriteMultiplierMs,
                                           m_timing.nWriteCallBytes};
    return m_port.Open(m_strPath, timeouts);
}

} // namespace corvalin
