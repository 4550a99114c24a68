#include "link/LinkLog.h"

#include "base/Clock.h"
#include "base/FileSystem.h"
#include "base/Text.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace dravik {
namespace {

constexpr const char* LogFileName = "port%d.log";
constexpr const char* TimeStampPattern = "[%02d.%02d.%02d %02d:%02d:%02d.%03d] ";
constexpr const char* LineEnd = "\r\n";
constexpr uint32_t JoinWindowMs = 200; // entries of one kind this close form one line
constexpr size_t RuleLength = 30;
constexpr mode_t LogFileMode = 0644;
// Room for a whole frame in hex behind its time stamp, so that the lines of an exchange reuse one
// buffer instead of allocating their own.
constexpr size_t ReservedLineLength = 1024;
constexpr size_t TimeStampLength = 32;

char KindCharacter(LogEntryKind kind) {
    switch (kind) {
    case lkInfo:
        return 'i';
    case lkError:
        return 'e';
    case lkReceived:
        return '>';
    case lkSent:
        return '<';
    default:
        return ' ';
    }
}

// Appends to line in place: a line kept with its capacity starts without allocating.
void AppendLineStart(std::string& line, LogEntryKind kind) {
    const LocalTime now = CurrentClock().Now();
    char stamp[TimeStampLength];
    const int length =
        std::snprintf(stamp, sizeof stamp, TimeStampPattern, now.Day, now.Month, now.Year % 100,
                      now.Hour, now.Minute, now.Second, now.Millisecond);
    line.append(stamp, std::min(static_cast<size_t>(std::max(length, 0)), sizeof stamp - 1));
    line += ' ';
    line += KindCharacter(kind);
    line += ' ';
}

std::string& LogFolderPrefix() {
    static std::string prefix;
    return prefix;
}

// The listener and the lock that keeps it from changing while it is called.
struct TListenerSlot {
    std::mutex Lock;
    TLinkLogListener Listener;
    std::atomic<bool> Set = false; // spares the lock and the copy of a line when none listens
};

TListenerSlot& ListenerSlot() {
    static TListenerSlot slot;
    return slot;
}

void Tell(TLinkLogEvent event, LogEntryKind kind, const std::string& text,
          const std::string& path) {
    TListenerSlot& slot = ListenerSlot();
    if (!slot.Set.load(std::memory_order_acquire)) {
        return;
    }
    const std::lock_guard lock(slot.Lock);
    if (slot.Listener) {
        slot.Listener(TLinkLogLine{event, kind, text, path});
    }
}

} // namespace

void SetLinkLogListener(TLinkLogListener listener) {
    TListenerSlot& slot = ListenerSlot();
    const std::lock_guard lock(slot.Lock);
    slot.Listener = std::move(listener);
    slot.Set.store(static_cast<bool>(slot.Listener), std::memory_order_release);
}

std::string LinkLogFolder() {
    return LogFolderPrefix();
}

void SetLinkLogFolder(const std::string& folder) {
    LogFolderPrefix() = folder.empty() || folder.ends_with('/') ? folder : folder + '/';
}

TLinkLog::TLinkLog(int32_t portNumber, bool withLog)
    : FilePath(LogFolderPrefix() + Format(LogFileName, portNumber)) {
    if (!withLog) {
        Tell(TLinkLogEvent::Off, lkPlain, "", FilePath);
        return;
    }
    OpenFile();
    if (!LogEnabled) {
        Tell(TLinkLogEvent::Unavailable, lkPlain, "", FilePath);
        return;
    }
    PendingLine.reserve(ReservedLineLength);
    Log(" ", lkInfo, "", true);
    Log(std::string(RuleLength, '='), lkInfo, "", true);
    Log(Cp1251("Начало работы"), lkInfo, "", true);
}

TLinkLog::~TLinkLog() {
    Close();
}

void TLinkLog::OpenFile() {
    FileSystem& files = CurrentFileSystem();
    // Only ever append to a plain file of our own: never follow a link planted under the name,
    // never block on a fifo.
    const int fd = files.Open(FilePath.c_str(),
                              O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                              LogFileMode);
    if (fd < 0) {
        return;
    }
    struct stat info {};
    if (files.Stat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        files.Lock(fd, LOCK_EX | LOCK_NB) != 0) {
        files.Close(fd);
        return;
    }
    LogFile = fd;
    LogEnabled = true;
}

void TLinkLog::Close() {
    std::lock_guard lock(LogLock);
    if (!LogEnabled) {
        return;
    }
    Log(" ", lkInfo, "", true);
    Log(Cp1251("Завершено"), lkInfo, "", true);
    Log(std::string(RuleLength, '*'), lkPlain, "", true);
    LogEnabled = false;
    CurrentFileSystem().Close(LogFile);
    LogFile = -1;
}

void TLinkLog::Log(const std::string& text, LogEntryKind kind, const std::string& data,
                   bool flush) {
    std::lock_guard lock(LogLock);
    if (!LogEnabled) {
        return;
    }
    const uint32_t now = CurrentClock().TickCount();
    if (!PendingLine.empty() && (kind != LastKind || now - LastAppendTick > JoinWindowMs)) {
        Flush();
    }
    if (PendingLine.empty()) {
        AppendLineStart(PendingLine, kind);
        LineKind = kind;
    }
    PendingLine += text;
    PendingLine += data;
    if (flush) {
        Flush();
    } else {
        LastKind = kind;
        LastAppendTick = now;
    }
}

void TLinkLog::Flush() {
    std::lock_guard lock(LogLock);
    if (!LogEnabled || PendingLine.empty()) {
        return;
    }
    WriteAll(PendingLine);
    WriteAll(LineEnd);
    Tell(TLinkLogEvent::Line, LineKind, PendingLine, FilePath);
    PendingLine.clear();
}

void TLinkLog::WriteAll(const std::string& bytes) {
    FileSystem& files = CurrentFileSystem();
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = files.Write(LogFile, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (!(n < 0 && errno == EINTR)) {
            return; // a failed log write is dropped, the link goes on
        }
    }
}

} // namespace dravik
