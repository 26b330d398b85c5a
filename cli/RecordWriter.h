#pragma once
// The update record as a command keeps it: each line appended as the next link of the
// file's chain, and a line that cannot be appended is never lost. It is printed whole
// on stderr, kept, and tried again at the next append and when the command ends, so
// the operator can add it by hand should the file stay out of reach.

#include "device/UpdateRecord.h"
#include "platform/FileIo.h"

#include <optional>
#include <string>
#include <vector>

namespace corvalin::cli
{

class CRecordWriter
{
  public:
    explicit CRecordWriter(std::string file);

    // Whether the record can be written, checked before any box is touched (the file is
    // created if missing). Says why not on stderr.
    bool Check();
    // Appends the record after any lines still waiting; false when it is waiting too.
    bool Append(const CUpdateRecord& record);
    // Tries the waiting lines again; false when some still wait.
    bool Retry();
    // Says on stderr, once per change, when the file has gone or another file took its
    // place since the last look: lines appended from now on go to a new file.
    void Watch();
    // Lines that could not be appended so far.
    int Missing() const { return int(m_waiting.size()); }

  private:
    bool AppendNow(const CUpdateRecord& record);

    const std::string m_strFile;
    std::vector<CUpdateRecord> m_waiting;
    std::optional<platform::CFileIdentity> m_identity;
};

} // namespace corvalin::cli
