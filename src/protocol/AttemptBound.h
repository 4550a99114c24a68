#pragma once

#include "protocol/ModbusPdu.h"

#include <cstdint>

namespace dravik {

// The longest one attempt of an exchange may wait after its request has left the line: the
// reply timeout for the first byte, the wire time at 19200 baud of all that may come back (an
// echo of the request and the longest answer it can have), and a margin of two reply timeouts
// for an answer that comes in a few pieces. A line that babbles or trickles ends the attempt
// here, however its bytes keep restarting the inactivity timeout.
uint32_t AttemptBound(const TModbusPdu& request, int32_t replyTimeout);

} // namespace dravik
