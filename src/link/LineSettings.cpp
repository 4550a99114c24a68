#include "link/LineSettings.h"

#include "link/ComPortChannel.h"

#include <cerrno>
#include <sys/ioctl.h>

namespace dravik {

TDcb::TDcb() : DCBlength(sizeof(TDcb)), BaudRate(0), Flags(0), ByteSize(0), Parity(0), StopBits(0) {
}
namespace {

struct BaudRate {
    uint32_t Rate;
    speed_t Speed;
};

constexpr BaudRate BaudRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000}};

constexpr uint8_t ParityNone = 0;
constexpr uint8_t ParityOdd = 1;
constexpr uint8_t ParityEven = 2;
constexpr uint8_t OneStopBit = 0;
constexpr uint8_t TwoStopBits = 2;

// Settings that have no termios counterpart.
constexpr uint32_t InexpressibleFlags =
    DcbOutxDsrFlow | DcbDsrSensitivity | DcbErrorChar | DcbNull | DcbAbortOnError;

bool FindSpeed(uint32_t rate, speed_t& speed) {
    for (const BaudRate& entry : BaudRates) {
        if (entry.Rate == rate) {
            speed = entry.Speed;
            return true;
        }
    }
    return false;
}

bool DataBits(uint8_t byteSize, tcflag_t& bits) {
    static constexpr tcflag_t Sizes[] = {CS5, CS6, CS7, CS8};
    if (byteSize < 5 || byteSize > 8) {
        return false;
    }
    bits = Sizes[byteSize - 5];
    return true;
}

bool ParityBits(uint8_t parity, tcflag_t& bits) {
    switch (parity) {
    case ParityNone:
        bits = 0;
        return true;
    case ParityOdd:
        bits = PARENB | PARODD;
        return true;
    case ParityEven:
        bits = PARENB;
        return true;
    default:
        return false;
    }
}

bool StopBits(uint8_t stopBits, tcflag_t& bits) {
    if (stopBits != OneStopBit && stopBits != TwoStopBits) {
        return false;
    }
    bits = stopBits == TwoStopBits ? CSTOPB : 0;
    return true;
}

uint32_t DtrControl(const TDcb& dcb) {
    return (dcb.Flags & DcbDtrControlMask) >> DcbDtrControlShift;
}

uint32_t RtsControl(const TDcb& dcb) {
    return (dcb.Flags & DcbRtsControlMask) >> DcbRtsControlShift;
}

// termios has one switch for both directions of RTS/CTS flow control, and no DTR handshake.
bool ModemControlExpressible(const TDcb& dcb) {
    const bool cts = (dcb.Flags & DcbOutxCtsFlow) != 0;
    const uint32_t rts = RtsControl(dcb);
    const uint32_t dtr = DtrControl(dcb);
    return cts == (rts == DcbControlHandshake) && rts != DcbControlToggle &&
           (dtr == DcbControlDisable || dtr == DcbControlEnable);
}

// The termios form of dcb over the device's current attributes; false when it has none.
bool Translate(const TDcb& dcb, termios& attributes, speed_t& speed) {
    tcflag_t size = 0;
    tcflag_t parity = 0;
    tcflag_t stop = 0;
    if ((dcb.Flags & DcbBinary) == 0 || (dcb.Flags & InexpressibleFlags) != 0 ||
        !FindSpeed(dcb.BaudRate, speed) || !DataBits(dcb.ByteSize, size) ||
        !ParityBits(dcb.Parity, parity) || !StopBits(dcb.StopBits, stop) ||
        !ModemControlExpressible(dcb)) {
        return false;
    }
    cfmakeraw(&attributes);
    attributes.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF | IXANY);
    if ((dcb.Flags & DcbParity) != 0 && parity != 0) {
        attributes.c_iflag |= INPCK;
    }
    if ((dcb.Flags & DcbOutX) != 0) {
        attributes.c_iflag |= IXON;
    }
    if ((dcb.Flags & DcbInX) != 0) {
        attributes.c_iflag |= IXOFF;
    }
    const tcflag_t flow = (dcb.Flags & DcbOutxCtsFlow) != 0 ? CRTSCTS : 0;
    attributes.c_cflag = CLOCAL | CREAD | size | parity | stop | flow;
    // Reads never block in the driver: the channel waits in poll.
    attributes.c_cc[VMIN] = 0;
    attributes.c_cc[VTIME] = 0;
    return true;
}

// DTR and RTS at the levels the record asks for; a line without modem lines has none to set.
void SetModemLines(SerialDevice& device, int fd, const TDcb& dcb) {
    int raise = 0;
    int lower = 0;
    (DtrControl(dcb) == DcbControlEnable ? raise : lower) |= TIOCM_DTR;
    if (RtsControl(dcb) != DcbControlHandshake) {
        (RtsControl(dcb) == DcbControlEnable ? raise : lower) |= TIOCM_RTS;
    }
    if (raise != 0) {
        device.Control(fd, TIOCMBIS, &raise);
    }
    if (lower != 0) {
        device.Control(fd, TIOCMBIC, &lower);
    }
}

// tcsetattr succeeds when any part of the request was taken, and a driver may quietly keep its
// old rate: read back the one setting that decides whether anything is understood at all.
bool SpeedKept(SerialDevice& device, int fd, speed_t speed) {
    termios actual{};
    return device.GetAttributes(fd, &actual) == 0 && cfgetispeed(&actual) == speed &&
           cfgetospeed(&actual) == speed;
}

} // namespace

int ApplyLineSettings(SerialDevice& device, int fd, const TDcb& dcb) {
    termios attributes{};
    if (device.GetAttributes(fd, &attributes) != 0) {
        return errno;
    }
    speed_t speed = B0;
    if (!Translate(dcb, attributes, speed)) {
        return EINVAL;
    }
    if (device.SetSpeed(&attributes, speed) != 0 ||
        device.SetAttributes(fd, TCSANOW, &attributes) != 0) {
        return errno;
    }
    if (!SpeedKept(device, fd, speed)) {
        return EINVAL;
    }
    SetModemLines(device, fd, dcb);
    return 0;
}

} // namespace dravik
