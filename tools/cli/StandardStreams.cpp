#include "StandardStreams.h"

#include "base/Exception.h"
#include "base/SystemError.h"
#include "base/Text.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace dravik::cli {
namespace {

constexpr const char* CannotReadInput = "Cannot read standard input. %s";
constexpr const char* CannotWriteOutput = "Cannot write standard output. %s";
constexpr size_t ReadChunk = 65536;

} // namespace

std::string ReadStandardInput(const TCancellation& cancellation) {
    std::string bytes;
    char chunk[ReadChunk];
    for (;;) {
        if (cancellation.IsCancelled()) {
            throw TCancelled();
        }
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got > 0) {
            bytes.append(chunk, static_cast<size_t>(got));
        } else if (got == 0) {
            return bytes;
        } else if (errno != EINTR) {
            throw Exception(Format(CannotReadInput, SystemText(errno).c_str()));
        }
    }
}

void WriteStandardOutput(std::string_view bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0) {
        const int error = errno;
        std::clearerr(stdout);
        throw Exception(Format(CannotWriteOutput, SystemText(error).c_str()));
    }
}

std::string ForTerminal(std::string_view cp1251) {
    std::string text(cp1251);
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    return Cp1251ToUtf8(text);
}

void Say(const std::string& cp1251) {
    std::fputs((ForTerminal(WithFullStop(cp1251)) + '\n').c_str(), stderr);
}

} // namespace dravik::cli
