#pragma once

#include <cstdint>
#include <string>

namespace dravik {

// The outcome of the last port operation.
struct TOperationStatus {
    bool Success = false;
    int32_t Code = 0; // 0, or minus the system error code
    std::string Message;
};

TOperationStatus MakeStatus(int32_t code, const std::string& message);

// Two upper-case hex digits and a blank per byte: 20 03 0A FF gives "20 03 0A FF ".
std::string BytesToHex(const uint8_t* bytes, int32_t count);

enum LogEntryKind : uint8_t { lkPlain = 0, lkInfo = 1, lkError = 2, lkReceived = 3, lkSent = 4 };

} // namespace dravik
