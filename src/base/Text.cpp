#include "base/Text.h"

#include "base/Exception.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <iconv.h>
#include <langinfo.h>

namespace dravik {
namespace {

constexpr unsigned char LastAscii = 0x7F;

// What is left of a text whose code set has no converter: its ASCII, the rest as "?".
std::string AsciiOnly(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) > LastAscii) {
            c = '?';
        }
    }
    return out;
}

std::string Convert(const char* to, const char* from, std::string_view text) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // Without the converter no Russian text can be produced at all: a broken installation.
        std::fprintf(stderr, "iconv_open(%s, %s) failed\n", to, from);
        std::abort();
    }
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1)) {
            break;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            break;
        }
        // A character the target cannot hold becomes "?", like the desktop's own conversion.
        *dst++ = '?';
        --outLeft;
        ++in;
        --inLeft;
        while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80 &&
               std::string_view(from) == "UTF-8") {
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

std::string VFormat(const char* pattern, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    if (size <= 0) {
        return {};
    }
    std::string out(static_cast<size_t>(size) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), pattern, args);
    out.resize(static_cast<size_t>(size));
    return out;
}

} // namespace

std::string Cp1251(std::string_view utf8) {
    return Convert("CP1251", "UTF-8", utf8);
}

std::string LocaleToCp1251(std::string_view text) {
    const char* codeSet = nl_langinfo(CODESET);
    iconv_t probe = iconv_open("CP1251", codeSet);
    if (probe == reinterpret_cast<iconv_t>(-1)) {
        return AsciiOnly(text);
    }
    iconv_close(probe);
    return Convert("CP1251", codeSet, text);
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
    return Convert("UTF-8", "CP1251", cp1251);
}

std::string FormatRaw(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    std::string out = VFormat(pattern, args);
    va_end(args);
    return out;
}

std::string WithFullStop(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        return message + '.';
    }
    return message;
}

void Raise(const std::string& message) {
    throw Exception(message);
}

} // namespace dravik
