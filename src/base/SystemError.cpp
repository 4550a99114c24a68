#include "base/SystemError.h"

#include <cstring>

namespace dravik {

std::string SystemText(int code) {
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling the buffer.
    std::string text = ::strerror_r(code, buffer, sizeof buffer);
    while (!text.empty()) {
        const auto last = static_cast<unsigned char>(text.back());
        if (last > ' ' && last != '.') {
            break;
        }
        text.pop_back();
    }
    return text;
}

} // namespace dravik
