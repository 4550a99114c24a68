#include "link/ComPortChannel.h"

#include "base/Clock.h"
#include "base/SystemError.h"
#include "base/Text.h"
#include "link/LineSettings.h"
#include "link/PortFailure.h"
#include "link/SerialDevice.h"
#include "link/SerialIo.h"

#include <algorithm>
#include <cerrno>

namespace dravik {
namespace {

constexpr const char* PortMessage = "COM%d: %s";
constexpr const char* ReadOperation = "READ";
constexpr const char* WriteOperation = "WRITE";
constexpr const char* StopOperation = "STOP";
constexpr const char* InterruptedText = "Прервано пользователем";

size_t Size(int32_t count) {
    return static_cast<size_t>(std::max<int32_t>(count, 0));
}

// How transferred bytes appear in the log: as hex text, or as they are.
std::string Transferred(const uint8_t* bytes, int32_t count, bool hex) {
    if (hex) {
        return BytesToHex(bytes, count);
    }
    return std::string(reinterpret_cast<const char*>(bytes), Size(count));
}

// A request waits no longer than the silence still has to run, so that the late wake-ups of the
// requests before it do not pile up behind the timeout.
int RequestWait(uint32_t quiet, uint32_t timeout) {
    const uint64_t left = quiet <= timeout ? uint64_t{timeout} - quiet + 1 : 1;
    return static_cast<int>(std::min<uint64_t>(left, ReadRequestMs));
}

} // namespace

TComPortChannel::TComPortChannel(int32_t portNumber, bool withLog, TPortResolver resolver)
    : Number(portNumber), Resolver(std::move(resolver)), LinkLog(portNumber, withLog) {
}

TComPortChannel::~TComPortChannel() {
    Close(StopOperation, 0);
    LinkLog.Close();
}

void TComPortChannel::Open() {
    bool open = false;
    {
        std::lock_guard lock(PortLock);
        if (Handle < 0) {
            const int error = OpenDevice();
            if (Handle < 0) {
                const std::string text = Format(PortMessage, Number, SystemText(error).c_str());
                CurrentStatus = MakeStatus(-error, text);
                Log(text, lkError, "", true);
            } else {
                CurrentStatus = MakeStatus(0, "");
            }
        }
        open = Handle >= 0;
    }
    Check(open);
}

int TComPortChannel::OpenDevice() {
    SerialDevice& device = CurrentSerialDevice();
    const std::string path = DevicePath();
    int fd = -1;
    int error = OpenExclusive(device, path, fd);
    SavedSettings.reset();
    if (error == 0) {
        // A terminal whose settings cannot be read cannot be set either: the open fails here.
        termios found{};
        if (device.GetAttributes(fd, &found) != 0) {
            error = errno;
        } else {
            SavedSettings = found;
            error = ApplyLineSettings(device, fd, Dcb);
        }
    }
    if (error == 0) {
        error = DiscardInput(device, fd);
    }
    if (error != 0) {
        if (fd >= 0) {
            ReleaseDevice(device, fd, SavedSettings ? &*SavedSettings : nullptr);
        }
        return error;
    }
    Handle = fd;
    Log(Format(Cp1251("COM%d подключен"), Number), lkInfo, "", true);
    return 0;
}

void TComPortChannel::Close(const std::string& operation, int32_t errorCode) {
    {
        std::lock_guard lock(PortLock);
        if (Handle >= 0) {
            ReleaseDevice(CurrentSerialDevice(), Handle, SavedSettings ? &*SavedSettings : nullptr);
            Handle = -1;
        }
        CurrentStatus =
            MakeStatus(-errorCode, Format(PortMessage, Number, SystemText(errorCode).c_str()));
    }
    std::string line = Format(Cp1251("COM%d закрыт"), Number);
    if (errorCode != 0) {
        line += Format(Cp1251("(операция: %s; err: %d - %s)"), operation.c_str(), errorCode,
                       SystemText(errorCode).c_str());
    }
    Log(line, lkInfo, "", true);
}

bool TComPortChannel::Read(uint8_t* buffer, int32_t count, int32_t& received, uint32_t timeout,
                           bool hex) {
    Check(CurrentStatus.Success);
    std::lock_guard lock(PortLock);
    Clock& clock = CurrentClock();
    SerialDevice& device = CurrentSerialDevice();
    const size_t wanted = Size(count);
    size_t got = 0;
    int error = 0;
    uint32_t lastActivity = clock.TickCount();
    bool cancelled = false;
    received = 0;
    for (;;) {
        cancelled = Cancellation != nullptr && Cancellation->IsCancelled();
        if (cancelled) {
            break;
        }
        size_t transferred = 0;
        const uint32_t now = clock.TickCount();
        const int wait = std::min(RequestWait(now - lastActivity, timeout), LimitLeft(now));
        error = ReadRequest(device, Handle, buffer + got, wanted - got, transferred, wait);
        if (transferred > 0) {
            lastActivity = clock.TickCount();
        }
        got += transferred;
        received = static_cast<int32_t>(got);
        // The tick difference is taken unsigned, so the test holds across the counter's wrap.
        const uint32_t after = clock.TickCount();
        if (got == wanted || after - lastActivity > timeout || LimitLeft(after) == 0 ||
            error != 0) {
            break;
        }
    }
    if (error != 0) {
        Close(ReadOperation, error);
    }
    if (got > 0) {
        Log("", lkReceived, Transferred(buffer, received, hex), false);
    }
    if (cancelled) {
        CheckCancelled();
    }
    return received == count;
}

bool TComPortChannel::Write(const uint8_t* buffer, int32_t count, bool hex) {
    Check(CurrentStatus.Success);
    bool written = false;
    {
        std::lock_guard lock(PortLock);
        const int error = WriteAll(CurrentSerialDevice(), Handle, buffer, Size(count));
        if (error != 0) {
            Close(WriteOperation, error);
        }
        written = error == 0;
    }
    if (written) {
        Log("", lkSent, Transferred(buffer, count, hex), false);
    }
    return written;
}

void TComPortChannel::Drain() {
    Check(CurrentStatus.Success);
    std::lock_guard lock(PortLock);
    const int error = DrainOutput(CurrentSerialDevice(), Handle);
    if (error != 0) {
        Close(WriteOperation, error); // the drain ends the request's write
    }
}

void TComPortChannel::LimitReads(uint32_t milliseconds) {
    std::lock_guard lock(PortLock);
    LimitStart = CurrentClock().TickCount();
    LimitSpan = milliseconds;
}

int TComPortChannel::LimitLeft(uint32_t now) const {
    if (LimitSpan == 0) {
        return ReadRequestMs;
    }
    const uint32_t spent = now - LimitStart;
    return spent >= LimitSpan
               ? 0
               : static_cast<int>(std::min<uint32_t>(LimitSpan - spent, ReadRequestMs));
}

void TComPortChannel::CheckCancelled() {
    if (Cancellation != nullptr && Cancellation->IsCancelled()) {
        Log(Cp1251(InterruptedText), lkInfo, "", true);
        throw TCancelled();
    }
}

void TComPortChannel::Purge() {
    {
        // Taken although nothing else runs here: the handle may not change under the discard.
        std::lock_guard lock(PortLock);
        if (Handle >= 0) {
            DiscardInput(CurrentSerialDevice(), Handle);
        }
    }
    FlushLog();
}

void TComPortChannel::Check(bool condition) {
    if (condition) {
        return;
    }
    // A recorded system error is a port failure; the all-zero status before any open is not.
    if (CurrentStatus.Code != 0) {
        throw TPortFailure(CurrentStatus.Message, Number, DevicePath(), -CurrentStatus.Code);
    }
    Raise(CurrentStatus.Message);
}

void TComPortChannel::Log(const std::string& text, LogEntryKind kind, const std::string& data,
                          bool flush) {
    LinkLog.Log(text, kind, data, flush);
}

void TComPortChannel::FlushLog() {
    LinkLog.Flush();
}

const TOperationStatus& TComPortChannel::Status() const {
    return CurrentStatus;
}

std::string TComPortChannel::DevicePath() const {
    return Resolver ? Resolver(Number) : std::string();
}

int32_t TComPortChannel::PortNumber() const {
    return Number;
}

} // namespace dravik
