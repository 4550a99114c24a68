#pragma once

#include "RtuFrame.h"

#include <cstdint>

namespace sim {

// The monotonic clock in nanoseconds.
int64_t NowNs();

// The length its function gives a request, 0 while it cannot be told yet, -1 for none.
int RequestLength(const Bytes& frame);

// One request from the line: the bytes and when the first came; empty on a quiet line.
Bytes ReceiveFrame(int fd, int64_t& firstByteNs);

} // namespace sim
