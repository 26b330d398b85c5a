#include "device/BoxPort.h"

namespace corvalin
{

bool CBoxPort::Open()
{
    const platform::CPortTimeouts timeouts{m_timing.m_nReadIntervalMs, m_timing.m_nReadMultiplierMs,
                                           m_timing.m_nReadConstantMs, m_timing.m_nFrameTailGraceMs,
                                           m_timing.m_nStopCheckMs,    m_timing.m_nWriteMultiplierMs,
                                           m_timing.m_nWriteCallBytes};
    return m_port.Open(m_strPath, timeouts);
}

} // namespace corvalin
