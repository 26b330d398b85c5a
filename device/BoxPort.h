#pragma once
// The serial port of the box's bridge as the device layer uses it: which port (its
// path), opened with the link's time-outs. Discovery and the update share one.

#include "device/LinkTiming.h"
#include "platform/SerialPort.h"

#include <string>

namespace corvalin
{

class CBoxPort
{
  public:
    explicit CBoxPort(const CLinkTiming& timing) : m_timing(timing) {}

    void SetPath(const std::string& path) { m_strPath = path; }
    const std::string& Path() const { return m_strPath; }

    // Opens the port at Path(), closing it first if open; false with LastError() set.
    bool Open();
    void Close() { m_port.Close(); }
    bool IsOpen() const { return m_port.IsOpen(); }
    platform::IBytePort& Bytes() { return m_port; }

    platform::ESerialError LastError() const { return m_port.LastError(); }
    const std::string& LastErrorText() const { return m_port.LastErrorText(); }

  private:
    const CLinkTiming m_timing;
    platform::CSerialPort m_port;
    std::string m_strPath;
};

} // namespace corvalin
