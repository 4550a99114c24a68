#include "link/OperationStatus.h"

namespace dravik {

TOperationStatus MakeStatus(int32_t code, const std::string& message) {
    TOperationStatus status;
    status.Success = code == 0;
    status.Code = code;
    if (code == 0) {
        status.Message = "OK";
    } else if (!message.empty()) {
        status.Message = message;
    } else {
        status.Message = std::to_string(code);
    }
    return status;
}

std::string BytesToHex(const uint8_t* bytes, int32_t count) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count > 0 ? static_cast<size_t>(count) * 3 : 0);
    for (int32_t i = 0; i < count; ++i) {
        text += Digits[bytes[i] >> 4];
        text += Digits[bytes[i] & 0x0F];
        text += ' ';
    }
    return text;
}

} // namespace dravik
