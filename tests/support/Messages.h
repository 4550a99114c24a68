#pragma once

#include "base/Exception.h"
#include "base/Text.h"

#include <string>

namespace dravik::test {

// The message that f raises, or a marker that it raised none.
template <typename F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.message();
    }
    return "<no exception>";
}

// Readable UTF-8 in the tests, Windows-1251 in the comparison.
inline std::string W(const char* utf8) {
    return Cp1251(utf8);
}

} // namespace dravik::test
