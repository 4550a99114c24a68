// Counts the heap allocations of one exchange of the master against an instant peer on a
// pseudo-terminal: an exchange should allocate nothing but its log texts.
#include "ResultTable.h"
#include "Samples.h"
#include "protocol/Terminal.h"
#include "support/Frames.h"
#include "support/PseudoTerminal.h"
#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
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
using test::Framed;

Bytes ReadAnswer(int count) {
    Bytes frame = {TTerminal::SlaveAddress, 0x03, static_cast<uint8_t>(2 * count)};
    frame.resize(frame.size() + static_cast<size_t>(2 * count), 0x11);
    return Framed(frame);
}

constexpr int Runs = 5;
constexpr size_t HexCharactersPerByte = 3;
constexpr size_t HeaderBytes = 4; // the address and the three bytes that fix an answer's length

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

// The log texts of an exchange are the hex texts of its transfers: the address, the PDU and the
// CRC sent, the header and the rest received. Only a text longer than a string holds in place
// needs the heap.
int LogTextsOnHeap(size_t pduBytes, size_t answerBytes) {
    const size_t inPlace = std::string().capacity();
    int count = 0;
    for (size_t bytes :
         {size_t{1}, pduBytes, size_t{2}, size_t{1}, HeaderBytes - 1, answerBytes - HeaderBytes}) {
        count += bytes * HexCharactersPerByte > inPlace ? 1 : 0;
    }
    return count;
}

template <typename F>
void PrintExchange(const std::string& name, test::PseudoTerminal& line, const Bytes& request,
                   const Bytes& answer, F&& f) {
    bench::TSamples counts;
    for (int i = 0; i < Runs; ++i) {
        counts.Add(static_cast<double>(CountedExchange(line, request.size(), answer, f)));
    }
    // The PDU is the request less its address and CRC.
    const int needed = LogTextsOnHeap(request.size() - 3, answer.size());
    const auto whole = [](double v) { return bench::Fixed(v, 0); };
    bench::PrintRow({"5", "heap allocations of one exchange: " + name, whole(counts.Median()),
                     whole(counts.Min()) + " … " + whole(counts.Max()),
                     std::to_string(needed) + " for its log texts (hex texts over " +
                         std::to_string(std::string().capacity()) + " characters)",
                     "—", bench::Goal("nothing but its log texts", counts.Max() <= needed)});
}

} // namespace

int main() {
    test::TempDir dir;
    test::PseudoTerminal line;
    TTerminal terminal;
    const std::string path = line.SlavePath();
    terminal.Resolver = FixedDevice(path);
    terminal.Connect();
    std::vector<uint16_t> values(RegisterBlockSize);

    const Bytes readOne = Framed({0x20, 0x03, 0x00, 0x20, 0x00, 0x01});
    PrintExchange("read 1 register", line, readOne, ReadAnswer(1),
                  [&] { terminal.ReadRegisters(32, 1, values.data()); });
    const Bytes readHundred = Framed({0x20, 0x03, 0x01, 0x00, 0x00, 0x64});
    PrintExchange("read 100 registers", line, readHundred, ReadAnswer(100),
                  [&] { terminal.ReadRegisters(256, 100, values.data()); });
    Bytes writeRequest = {0x20, 0x10, 0x00, 0x24, 0x00, 0x20, 0x40};
    writeRequest.resize(writeRequest.size() + 2 * 32, 0);
    PrintExchange("write 32 registers", line, Framed(writeRequest),
                  Framed({0x20, 0x10, 0x00, 0x24, 0x00, 0x20}),
                  [&] { terminal.WriteRegisters(36, 32, values.data()); });
    return 0;
}
