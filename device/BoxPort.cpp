#include "device/BoxPort.h"

namespace corvalin
{

bool CBoxPort::Open()
{
    return m_port.Open(m_strPath, m_timing.m_port);
}

} // namespace corvalin
