#include "base/Text.h"

#include "base/Exception.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iconv.h>
#include <langinfo.h>
#include <new>
#include <utility>

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

// The one Windows-1251 byte without a character: kept as the C1 control of the same number, as
// the desktop's own conversion does, so that every byte survives a trip through Unicode.
constexpr unsigned char UnassignedByte = 0x98;
constexpr std::string_view UnassignedUtf8 = "\xC2\x98";

// What stands for the input that the converter refused: the bytes written, the bytes taken.
std::pair<std::string_view, size_t> Substitute(std::string_view from, std::string_view in) {
    const bool fromUtf8 = from == "UTF-8";
    if (from == "CP1251" && static_cast<unsigned char>(in.front()) == UnassignedByte) {
        return {UnassignedUtf8, 1};
    }
    if (fromUtf8 && in.starts_with(UnassignedUtf8)) {
        static constexpr char Byte = static_cast<char>(UnassignedByte);
        return {std::string_view(&Byte, 1), UnassignedUtf8.size()};
    }
    // A character the target cannot hold becomes "?", like the desktop's own conversion.
    size_t taken = 1;
    while (fromUtf8 && taken < in.size() &&
           (static_cast<unsigned char>(in[taken]) & 0xC0) == 0x80) {
        ++taken;
    }
    return {"?", taken};
}

std::string Convert(const char* to, const char* from, std::string_view text) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1) && errno == ENOMEM) {
        throw std::bad_alloc(); // the program's top reports it: no abort for want of memory
    }
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
        const auto [written, taken] = Substitute(from, std::string_view(in, inLeft));
        dst = std::copy(written.begin(), written.end(), dst);
        outLeft -= written.size();
        in += taken;
        inLeft -= taken;
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

constexpr std::string_view Flags = "-+ #0";
constexpr std::string_view IntegerConversions = "diouxXc";

// One conversion of a template: "%", flags, width, precision and the conversion letter.
struct TConversion {
    std::string_view Written; // the whole conversion as written
    char Letter = 0;          // 0 when the template ends inside the conversion
};

TConversion ReadConversion(std::string_view pattern, size_t at) {
    size_t end = at + 1;
    while (end < pattern.size() && Flags.find(pattern[end]) != std::string_view::npos) {
        ++end;
    }
    const auto isDigitOrDot = [](char c) { return (c >= '0' && c <= '9') || c == '.'; };
    while (end < pattern.size() && isDigitOrDot(pattern[end])) {
        ++end;
    }
    if (end >= pattern.size()) {
        return {pattern.substr(at), 0};
    }
    return {pattern.substr(at, end - at + 1), pattern[end]};
}

// Formats one conversion with one argument of the matching kind; the types passed to snprintf
// always agree with the letter, whatever the template says.
std::string FormatOne(const TConversion& c, const TFormatArgument& argument) {
    const std::string prefix(c.Written.substr(0, c.Written.size() - 1));
    char buffer[64];
    if (c.Letter == 's') {
        const std::string single = prefix + 's';
        const int size = std::snprintf(nullptr, 0, single.c_str(), argument.Text);
        std::string out(static_cast<size_t>(size > 0 ? size : 0) + 1, '\0');
        std::snprintf(out.data(), out.size(), single.c_str(), argument.Text);
        out.resize(out.size() - 1);
        return out;
    }
    if (c.Letter == 'd' || c.Letter == 'i') {
        const std::string single = prefix + "lld";
        std::snprintf(buffer, sizeof buffer, single.c_str(),
                      static_cast<long long>(argument.Integer));
    } else if (c.Letter == 'c') {
        const std::string single = prefix + 'c';
        std::snprintf(buffer, sizeof buffer, single.c_str(), static_cast<int>(argument.Integer));
    } else {
        // An unsigned rendering shows the argument's own width, as printf shows an int.
        const std::string single = prefix + "ll" + c.Letter;
        const auto value = static_cast<unsigned long long>(static_cast<unsigned>(argument.Integer));
        std::snprintf(buffer, sizeof buffer, single.c_str(), value);
    }
    return buffer;
}

bool Matches(char letter, const TFormatArgument& argument) {
    if (letter == 's') {
        return argument.IsText;
    }
    return !argument.IsText && letter != 0 &&
           IntegerConversions.find(letter) != std::string_view::npos;
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

std::string FormatArguments(std::string_view pattern, std::span<const TFormatArgument> arguments) {
    std::string out;
    out.reserve(pattern.size());
    size_t next = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        const TConversion c = ReadConversion(pattern, i);
        i += c.Written.size() - 1;
        if (c.Letter == '%' && c.Written.size() == 2) {
            out += '%';
        } else if (next < arguments.size() && Matches(c.Letter, arguments[next])) {
            out += FormatOne(c, arguments[next++]);
        } else {
            out += c.Written;
        }
    }
    return out;
}

std::string Shown(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out += c == '\0' ? std::string_view("\\0") : std::string_view(&c, 1);
    }
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
