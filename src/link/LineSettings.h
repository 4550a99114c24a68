#pragma once

#include "link/SerialDevice.h"

#include <cstdint>

namespace dravik {

// Bits of TDcb::Flags, laid out like the platform record's flag word.
constexpr uint32_t DcbBinary = 1u << 0;
constexpr uint32_t DcbParity = 1u << 1; // check the parity of received bytes
constexpr uint32_t DcbOutxCtsFlow = 1u << 2;
constexpr uint32_t DcbOutxDsrFlow = 1u << 3;
constexpr uint32_t DcbDtrControlShift = 4; // two bits, a DcbControl value
constexpr uint32_t DcbDtrControlMask = 3u << DcbDtrControlShift;
constexpr uint32_t DcbDsrSensitivity = 1u << 6;
constexpr uint32_t DcbTxContinueOnXoff = 1u << 7;
constexpr uint32_t DcbOutX = 1u << 8;
constexpr uint32_t DcbInX = 1u << 9;
constexpr uint32_t DcbErrorChar = 1u << 10;
constexpr uint32_t DcbNull = 1u << 11;
constexpr uint32_t DcbRtsControlShift = 12; // two bits, a DcbControl value
constexpr uint32_t DcbRtsControlMask = 3u << DcbRtsControlShift;
constexpr uint32_t DcbAbortOnError = 1u << 14;

// Values of the DTR and RTS control fields.
constexpr uint32_t DcbControlDisable = 0;
constexpr uint32_t DcbControlEnable = 1;
constexpr uint32_t DcbControlHandshake = 2;
constexpr uint32_t DcbControlToggle = 3; // RTS only

struct TDcb {
    TDcb(); // all zero but DCBlength
    uint32_t DCBlength;
    uint32_t BaudRate;
    uint32_t Flags;
    uint8_t ByteSize;
    uint8_t Parity;   // 0 none, 1 odd, 2 even (others rejected)
    uint8_t StopBits; // 0 one, 2 two (1.5 rejected)
};

// Puts the line settings of dcb on the open device fd: raw mode, CLOCAL | CREAD, the baud rate,
// data bits, parity, stop bits and the flow control that termios can express. The result is 0,
// or the system error code; a setting that termios cannot express gives EINVAL.
int ApplyLineSettings(SerialDevice& device, int fd, const TDcb& dcb);

} // namespace dravik
