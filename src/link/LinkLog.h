#pragma once

#include "link/OperationStatus.h"

#include <cstdint>
#include <functional>
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
    void OpenFile();
    void WriteAll(const std::string& bytes);

    std::string FilePath;

    std::recursive_mutex LogLock;
    int LogFile = -1;
    bool LogEnabled = false;
    LogEntryKind LastKind = lkPlain;
    LogEntryKind LineKind = lkPlain; // of the pending line, for the listener
    std::string PendingLine;
    uint32_t LastAppendTick = 0;
};

// What a listener of the link log hears: a line as it goes to the file, or the news that a
// channel runs without a log.
enum class TLinkLogEvent : uint8_t {
    Line,       // a line written to the file
    Off,        // the channel was made without a log
    Unavailable // the file could not be opened (held by another program, not a plain file, ...)
};

struct TLinkLogLine {
    TLinkLogEvent Event = TLinkLogEvent::Line;
    LogEntryKind Kind = lkPlain;
    std::string Text; // Windows-1251: the bytes the file gets, without the "\r\n" that ends them
    std::string Path; // the log file as it is opened: the log folder and "port<N>.log"
};

using TLinkLogListener = std::function<void(const TLinkLogLine&)>;

// The one listener of the process (an empty one for none): it hears every line of every channel
// when the line is written to the file, so a line joined from several entries comes once, whole,
// and a pending line not before it is complete. It is called on the thread that writes, with the
// log's lock held so that lines come in the file's order: it must hand the line on and return,
// never wait for another thread and never log. Setting it waits for a call under way to end, so
// that nothing the old listener refers to is used afterwards.
void SetLinkLogListener(TLinkLogListener listener);

// The folder where every link log opened afterwards goes; "" is the current directory. Set once at
// start, before any channel opens.
void SetLinkLogFolder(const std::string& folder);

// That folder as given, with a final "/" ("" for the current directory).
std::string LinkLogFolder();

} // namespace dravik
