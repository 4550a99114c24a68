#pragma once

#include "link/SerialDevice.h"

namespace dravik {

struct TDcb;

// Puts the line settings of dcb on the open device fd: raw mode, CLOCAL | CREAD, the baud rate,
// data bits, parity, stop bits and the flow control that termios can express. The result is 0,
// or the system error code; a setting that termios cannot express gives EINVAL.
int ApplyLineSettings(SerialDevice& device, int fd, const TDcb& dcb);

} // namespace dravik
