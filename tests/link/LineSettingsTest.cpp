#include "LinkTestSupport.h"
#include "link/ComPortChannel.h"
#include "support/Messages.h"
#include "support/PseudoTerminal.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace dravik::test {
namespace {

constexpr int32_t Port = 3;

TDcb Line(uint32_t baud, uint8_t bits, uint8_t parity, uint8_t stop, uint32_t flags) {
    TDcb dcb;
    dcb.BaudRate = baud;
    dcb.ByteSize = bits;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    dcb.Flags = flags;
    return dcb;
}

constexpr uint32_t Dtr(uint32_t control) {
    return control << DcbDtrControlShift;
}

constexpr uint32_t Rts(uint32_t control) {
    return control << DcbRtsControlShift;
}

class LineSettingsTest : public ::testing::Test {
protected:
    TemporaryDirectory Directory;
    PseudoTerminal Peer;
    RecordingDevice Device;

    // The message of the open, and what it asked the line to be.
    std::string Open(const TDcb& dcb) {
        ScopedSerialDevice useDevice(Device);
        TComPortChannel channel(Port, false, OnePort(Port, Peer.SlavePath()));
        channel.Dcb = dcb;
        return MessageOf([&] { channel.Open(); });
    }

    // The line's settings as another opener sees them.
    termios SlaveSettings() {
        termios t{};
        const int fd = open(Peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0) << "the line is free";
        EXPECT_EQ(tcgetattr(fd, &t), 0);
        close(fd);
        return t;
    }
};

TEST(TDcb, IsZeroButItsLength) {
    const TDcb dcb;
    EXPECT_EQ(dcb.DCBlength, sizeof(TDcb));
    EXPECT_EQ(dcb.BaudRate, 0u);
    EXPECT_EQ(dcb.Flags, 0u);
    EXPECT_EQ(dcb.ByteSize, 0);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
}

TEST_F(LineSettingsTest, TheTerminalLineIsRaw19200EightNoneOneAndGetsItsOwnSettingsBack) {
    const termios found = SlaveSettings();
    ASSERT_EQ(Open(TerminalLine()), "<no exception>");
    const termios& t = Device.AppliedAttributes;
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (INPCK | IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(Device.Count("ioctl TIOCMBIC"), 1) << "DTR and RTS disabled";
    EXPECT_EQ(Device.Count("ioctl TIOCMBIS"), 0);

    // The line itself, read back once the channel is gone (the peer still holds it): as the
    // channel found it.
    const termios actual = SlaveSettings();
    EXPECT_EQ(cfgetospeed(&actual), cfgetospeed(&found));
    EXPECT_EQ(actual.c_lflag, found.c_lflag);
    EXPECT_EQ(actual.c_cflag, found.c_cflag);
    EXPECT_EQ(Device.Count("tcsetattr"), 2);
}

TEST_F(LineSettingsTest, WhatTermiosCanExpressIsApplied) {
    struct Case {
        const char* what;
        TDcb dcb;
        speed_t speed;
        tcflag_t cflag; // under CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS
        tcflag_t iflag; // under INPCK | IXON | IXOFF
        bool raisesLines;
    };
    const tcflag_t cmask = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
    const tcflag_t imask = INPCK | IXON | IXOFF;
    for (const Case& c : {
             Case{"9600 7E2 checked", Line(9600, 7, 2, 2, DcbBinary | DcbParity), B9600,
                  CS7 | PARENB | CSTOPB, INPCK, false},
             Case{"115200 8O1 unchecked", Line(115200, 8, 1, 0, DcbBinary), B115200,
                  CS8 | PARENB | PARODD, 0, false},
             Case{"5 bits", Line(1200, 5, 0, 0, DcbBinary), B1200, CS5, 0, false},
             Case{"xon/xoff", Line(38400, 8, 0, 0, DcbBinary | DcbOutX | DcbInX), B38400, CS8,
                  IXON | IXOFF, false},
             Case{"rts/cts",
                  Line(57600, 8, 0, 0, DcbBinary | DcbOutxCtsFlow | Rts(DcbControlHandshake)),
                  B57600, CS8 | CRTSCTS, 0, false},
             Case{"dtr and rts on",
                  Line(19200, 8, 0, 0,
                       DcbBinary | Dtr(DcbControlEnable) | Rts(DcbControlEnable) |
                           DcbTxContinueOnXoff),
                  B19200, CS8, 0, true},
         }) {
        SCOPED_TRACE(c.what);
        Device = RecordingDevice();
        ASSERT_EQ(Open(c.dcb), "<no exception>");
        const termios& t = Device.AppliedAttributes;
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(t.c_cflag & cmask, c.cflag);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_iflag & imask, c.iflag);
        EXPECT_EQ(Device.Count("ioctl TIOCMBIS"), c.raisesLines ? 1 : 0);
    }
}

TEST_F(LineSettingsTest, WhatTermiosCannotExpressFailsTheOpenAndFreesTheDevice) {
    struct Case {
        const char* what;
        TDcb dcb;
    };
    const TDcb good = TerminalLine();
    const auto with = [&](uint32_t flags) {
        return Line(good.BaudRate, good.ByteSize, good.Parity, good.StopBits, good.Flags | flags);
    };
    for (const Case& c : {
             Case{"no baud rate", Line(0, 8, 0, 0, DcbBinary)},
             Case{"14400 baud", Line(14400, 8, 0, 0, DcbBinary)},
             Case{"4 bits", Line(19200, 4, 0, 0, DcbBinary)},
             Case{"9 bits", Line(19200, 9, 0, 0, DcbBinary)},
             Case{"mark parity", Line(19200, 8, 3, 0, DcbBinary)},
             Case{"space parity", Line(19200, 8, 4, 0, DcbBinary)},
             Case{"1.5 stop bits", Line(19200, 8, 0, 1, DcbBinary)},
             Case{"not binary", Line(19200, 8, 0, 0, 0)},
             Case{"dsr flow", with(DcbOutxDsrFlow)},
             Case{"dsr sensitivity", with(DcbDsrSensitivity)},
             Case{"error character", with(DcbErrorChar)},
             Case{"null stripping", with(DcbNull)},
             Case{"abort on error", with(DcbAbortOnError)},
             Case{"dtr handshake", with(Dtr(DcbControlHandshake))},
             Case{"rts toggle", with(Rts(DcbControlToggle))},
             Case{"cts without rts handshake", with(DcbOutxCtsFlow)},
             Case{"rts handshake without cts", with(Rts(DcbControlHandshake))},
         }) {
        SCOPED_TRACE(c.what);
        Device = RecordingDevice();
        EXPECT_EQ(Open(c.dcb), "COM3: Invalid argument");
        // Only the line's own settings are put back; the refused ones never reach it.
        EXPECT_EQ(Device.Count("tcsetattr"), 1);
        EXPECT_EQ(Device.LastAttributes.c_cflag, Device.AppliedAttributes.c_cflag);
        EXPECT_EQ(Device.Count("ioctl TIOCNXCL"), 1);
        EXPECT_EQ(Device.Count("close"), 1);
    }
}

} // namespace
} // namespace dravik::test
