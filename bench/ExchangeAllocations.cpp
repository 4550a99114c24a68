// Counts the heap allocations of one exchange of the master against an instant peer on a
// pseudo-terminal: an exchange should allocate nothing but its log texts.
#include "protocol/Terminal.h"
#include "support/PseudoTerminal.h"
#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

namespace {

thread_local bool Counting = false;
thread_local long Allocations = 0;

} // namespace

void* operator new(size_t size) {
    if (Counting) {
        ++Allocations;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

using namespace dravik;
using Bytes = std::vector<uint8_t>;

Bytes Framed(Bytes frame) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : frame) {
        crc = Crc16Update(crc, b);
    }
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

Bytes ReadAnswer(int count) {
    Bytes frame = {TTerminal::SlaveAddress, 0x03, static_cast<uint8_t>(2 * count)};
    frame.resize(frame.size() + static_cast<size_t>(2 * count), 0x11);
    return Framed(frame);
}

template <typename F>
long CountedExchange(test::PseudoTerminal& line, size_t requestLength, const Bytes& answer, F&& f) {
    std::thread peer([&] {
        line.Receive(requestLength);
        line.Send(answer);
    });
    Allocations = 0;
    Counting = true;
    f();
    Counting = false;
    peer.join();
    return Allocations;
}

} // namespace

int main() {
    test::TempDir dir;
    test::PseudoTerminal line;
    TTerminal terminal;
    const std::string path = line.SlavePath();
    terminal.Resolver = [path](int32_t) { return path; };
    terminal.Connect();
    std::vector<uint16_t> values(RegisterBlockSize);

    std::printf("| exchange | allocations |\n|---|---|\n");
    const long one = CountedExchange(line, 8, ReadAnswer(1),
                                     [&] { terminal.ReadRegisters(32, 1, values.data()); });
    std::printf("| read 1 register | %ld |\n", one);
    const long hundred = CountedExchange(line, 8, ReadAnswer(100),
                                         [&] { terminal.ReadRegisters(256, 100, values.data()); });
    std::printf("| read 100 registers | %ld |\n", hundred);
    const long write =
        CountedExchange(line, 9 + 2 * 32, Framed({0x20, 0x10, 0x00, 0x24, 0x00, 0x20}),
                        [&] { terminal.WriteRegisters(36, 32, values.data()); });
    std::printf("| write 32 registers | %ld |\n", write);
    return 0;
}
