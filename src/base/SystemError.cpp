#include "base/SystemError.h"

#include "base/Text.h"

#include <cstring>

namespace dravik {

std::string SystemText(int code) {
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling the buffer.
    // The text comes in the locale's code set; the program's messages and log are Windows-1251.
    std::string text = LocaleToCp1251(::strerror_r(code, buffer, sizeof buffer));
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
