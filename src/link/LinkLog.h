#pragma once

#include "link/OperationStatus.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace dravik {

// The link log "port<N>.log" in the log folder (the current directory unless set): one block per
// channel appended to what the file holds, entries of one kind within 200 ms joined into one line.
// Held with an exclusive lock, so a second writer logs nothing; it never raises and never fails a
// port operation.
class TLinkLog {
public:
    TLinkLog(int32_t portNumber, bool withLog); // opens the file and writes the opening entries
    ~TLinkLog();
    TLinkLog(const TLinkLog&) = delete;
    TLinkLog& operator=(const TLinkLog&) = delete;

    void Log(const std::string& text, LogEntryKind kind, const std::string& data, bool flush);
    void Flush();
    // Writes the closing entries and closes the file; afterwards the log does nothing.
    void Close();

private:
    void OpenFile(int32_t portNumber);
    void WriteAll(const std::string& bytes);

    std::recursive_mutex LogLock;
    int LogFile = -1;
    bool LogEnabled = false;
    LogEntryKind LastKind = lkPlain;
    std::string PendingLine;
    uint32_t LastAppendTick = 0;
};

// The folder where every link log opened afterwards goes; "" is the current directory. Set once at
// start, before any channel opens.
void SetLinkLogFolder(const std::string& folder);

} // namespace dravik
