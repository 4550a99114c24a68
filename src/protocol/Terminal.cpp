#include "protocol/Terminal.h"

#include "base/Clock.h"
#include "base/Text.h"
#include "protocol/AnswerMatch.h"
#include "protocol/AnswerReader.h"
#include "protocol/AttemptBound.h"
#include "protocol/ReplyTimeout.h"

#include <algorithm>
#include <array>

namespace dravik {
namespace {

constexpr uint8_t LineByteSize = 8;
constexpr int32_t DefaultReplyTimeout = 500; // ms of silence that ends every read of an answer
constexpr uint32_t RetryPause = 100;         // ms
constexpr uint32_t CancelLookMs = 20;        // how often a pause looks at the cancellation flag

constexpr int32_t StatusTimeout = -1;
constexpr int32_t StatusMalformed = -2;

constexpr uint8_t FunctionReadRegisters = 0x03;
constexpr uint8_t FunctionWriteRegisters = 0x10;
constexpr uint8_t FunctionReportSlaveId = 0x41; // sized by its own length byte
constexpr uint8_t ExceptionBit = 0x80;

constexpr int HeaderBytes = 3; // PDU bytes read before the frame's length is known
// The address and the CRC around a PDU of Expected bytes after its function byte.
constexpr int32_t FrameOverhead = 4;
constexpr int32_t ExceptionFrameLength = 5;
constexpr int32_t UnsizedFrameLength = 253;

// Modbus's own bounds for one request.
constexpr int32_t MaxReadCount = 125;
constexpr int32_t MaxWriteCount = 123;

void CheckCount(int32_t count, int32_t most) {
    if (count < 1 || count > most) {
        Raise(Format(Cp1251("Неверное число регистров: %d (допустимо 1..%d)"), count, most));
    }
}

} // namespace

TTerminal::TTerminal() = default;

TTerminal::~TTerminal() {
    Disconnect();
}

void TTerminal::Connect() {
    Disconnect();
    Channel = std::make_unique<TComPortChannel>(Port, true, Resolver);
    Channel->Cancellation = Cancellation;
    TDcb& dcb = Channel->Dcb;
    dcb.BaudRate = BaudRate;
    dcb.Flags = DcbBinary; // and no other flag: no parity check, flow control or DTR/RTS
    dcb.ByteSize = LineByteSize;
    dcb.Parity = 0;
    dcb.StopBits = 0;
    Channel->Open();
    ReplyTimeout = DefaultReplyTimeout;
}

void TTerminal::Disconnect() {
    // Channel is empty before the old channel closes its port and its log.
    const std::unique_ptr<TComPortChannel> channel = std::move(Channel);
}

void TTerminal::Transact(int32_t expected) {
    if (!IsConnected()) {
        Connect();
    }
    int32_t status = StatusTimeout;
    for (int attempt = 1; attempt <= Attempts; ++attempt) {
        if (attempt > 1) {
            PauseBetweenAttempts();
            Channel->Log(Cp1251("Дубль ") + std::to_string(attempt), lkInfo, "", true);
            ReportAttempt(attempt);
        }
        status = Attempt(expected);
        if (status >= 0) {
            break; // a good answer or an exception answer: neither is retried
        }
    }
    Channel->Purge();
    RaiseTransactError(status);
}

void TTerminal::PauseBetweenAttempts() {
    if (Cancellation == nullptr) {
        CurrentClock().Sleep(RetryPause); // nothing to look at
        return;
    }
    for (uint32_t slept = 0; slept < RetryPause; slept += CancelLookMs) {
        Channel->CheckCancelled();
        CurrentClock().Sleep(std::min(CancelLookMs, RetryPause - slept));
    }
}

int32_t TTerminal::RequestFrame(uint8_t* frame) const {
    const auto size = static_cast<size_t>(Request.Size);
    frame[0] = SlaveAddress;
    std::copy_n(Request.Buffer.data(), size, frame + 1);
    const uint16_t crc = FrameCrc(SlaveAddress, Request.Buffer.data(), size);
    frame[Request.Size + 1] = static_cast<uint8_t>(crc & 0xFF);
    frame[Request.Size + 2] = static_cast<uint8_t>(crc >> 8);
    return Request.Size + 3;
}

int32_t TTerminal::Attempt(int32_t expected) {
    Channel->CheckCancelled();
    Channel->Purge();
    std::array<uint8_t, TAnswerReader::MaxFrame> sent{};
    const int32_t size = RequestFrame(sent.data());
    Channel->Write(sent.data(), 1, true);
    Channel->Write(sent.data() + 1, Request.Size, true);
    Channel->Write(sent.data() + 1 + Request.Size, 2, true);
    // The reply timeout, and the bound of the attempt, count from the request's last bit on
    // the wire, not from the moment the driver took it.
    Channel->Drain();
    Channel->LimitReads(AttemptBound(Request, ReplyTimeout));
    TAnswerReader reader(*Channel, static_cast<uint32_t>(ReplyTimeout));
    reader.SkipEcho(sent.data(), size);
    const int32_t status = ReceiveAnswer(reader, expected);
    Channel->LimitReads(0);
    return status;
}

int32_t TTerminal::ReceiveAnswer(TAnswerReader& reader, int32_t expected) {
    uint8_t first = 0;
    int32_t received = 0;
    if (!reader.Read(&first, 1, received)) {
        return StatusTimeout;
    }
    if (first != SlaveAddress) {
        return StatusMalformed;
    }
    if (!reader.Read(Response.Buffer.data(), HeaderBytes, received)) {
        return StatusTimeout;
    }
    // A length byte too large for the buffer gets no more than fits, so its CRC check fails.
    const int32_t further = std::min(FrameLength(expected) - FrameOverhead,
                                     static_cast<int32_t>(PduBufferSize) - HeaderBytes);
    reader.Read(Response.Buffer.data() + HeaderBytes, further, received);
    Response.Clear();
    Response.Size = received + 1; // the three header bytes and the rest, less the two CRC bytes

    // An answer of another function, count or start is no answer to this request.
    if (!ResponseCrcMatches() || !AnswerMatches(Request, Response)) {
        return StatusMalformed;
    }
    if ((Response.GetValue(1) & ExceptionBit) != 0) {
        const int32_t code = Response.GetValue(1);
        if (code != 0) {
            return code;
        }
    }
    // A read succeeds only on an answer that carries every register asked for: an exception of
    // code 0 would leave values to be read from stale bytes.
    return Response.Size < expected + 1 ? StatusMalformed : 0;
}

int32_t TTerminal::FrameLength(int32_t expected) const {
    const uint8_t function = Response.Buffer[0];
    if ((function & ExceptionBit) != 0) {
        return ExceptionFrameLength;
    }
    if (function == FunctionReportSlaveId) {
        return Response.Buffer[2] + FrameOverhead + 2;
    }
    return expected > 0 ? expected + FrameOverhead : UnsizedFrameLength;
}

bool TTerminal::ResponseCrcMatches() const {
    const auto size = static_cast<size_t>(Response.Size);
    const uint16_t crc = FrameCrc(SlaveAddress, Response.Buffer.data(), size);
    const uint16_t sent =
        static_cast<uint16_t>(Response.Buffer[size] | Response.Buffer[size + 1] << 8);
    return crc == sent;
}

void TTerminal::ReadRegisters(int32_t start, int32_t count, uint16_t* values) {
    CheckCount(count, MaxReadCount);
    Request.Clear();
    Request.PutValue(FunctionReadRegisters, 1);
    Request.PutValue(start, 2);
    Request.PutValue(count, 2);
    Transact(2 * count + 1);
    Response.GetValue(1); // the byte count, already matched with count
    for (int32_t i = 0; i < count; ++i) {
        values[i] = static_cast<uint16_t>(Response.GetValue(2));
    }
}

void TTerminal::WriteRegisters(int32_t start, int32_t count, const uint16_t* values) {
    CheckCount(count, MaxWriteCount);
    Request.Clear();
    Request.PutValue(FunctionWriteRegisters, 1);
    Request.PutValue(start, 2);
    Request.PutValue(count, 2);
    Request.PutValue(2 * count, 1);
    for (int32_t i = 0; i < count; ++i) {
        Request.PutValue(values[i], 2);
    }
    // No length is given for the answer, so its read ends by silence (or the attempt's bound).
    Transact(0);
}

void TTerminal::RaiseTransactError(int32_t code) {
    switch (code) {
    case 0:
        return;
    case StatusMalformed:
        Raise(Cp1251("Неверный формат"));
    case StatusTimeout:
        throw TReplyTimeout();
    case 1:
        Raise(Cp1251("Функция не поддерживается"));
    case 2:
        Raise(Cp1251("Неверный адрес"));
    case 3:
        Raise(Cp1251("Неверное значение"));
    default:
        Raise(Format(Cp1251("Неизвестная ошибка: %d"), code));
    }
}

void TTerminal::BeginBlock(TTransferBlock block) {
    Block = block;
    if (Progress) {
        Progress({Block, 1});
    }
}

void TTerminal::ReportAttempt(int attempt) const {
    if (Progress) {
        Progress({Block, attempt});
    }
}

} // namespace dravik
