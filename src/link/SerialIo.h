#pragma once

#include "link/SerialDevice.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace dravik {

// The longest one read request waits for bytes; the channel's inactivity timeout is counted in
// these steps, so a silent line costs a sleeping poll, never a spinning loop.
constexpr int ReadRequestMs = 20;

// The device operations of a channel, each giving 0 or the system error code.

// Opens path for exclusive use: a second opener, or another program that honours either lock,
// is refused with EBUSY.
int OpenExclusive(SerialDevice& device, const std::string& path, int& fd);

// Gives up exclusive use before closing, so that the line is free for the next opener even when
// another process keeps the device open. With saved settings, the terminal gets them back first.
void ReleaseDevice(SerialDevice& device, int fd, const termios* saved = nullptr);

// Returns when every byte written has left the line (the interrupted wait is taken up again).
int DrainOutput(SerialDevice& device, int fd);

// One read request: returns when bytes are there, or after waitMs (at most ReadRequestMs) with
// none.
int ReadRequest(SerialDevice& device, int fd, uint8_t* buffer, size_t count, size_t& transferred,
                int waitMs = ReadRequestMs);

// Returns when the driver has taken every byte; there is no time limit.
int WriteAll(SerialDevice& device, int fd, const uint8_t* buffer, size_t count);

int DiscardInput(SerialDevice& device, int fd);

} // namespace dravik
