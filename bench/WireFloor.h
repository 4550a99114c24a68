#pragma once

#include <string>

namespace dravik::bench {

// The controller's line, as the simulator paces it.
constexpr int LineBaud = 19200;
// The paced simulator's turnaround, passed to it and counted in every floor.
constexpr int TurnaroundMs = 5;

struct TFloor {
    double Ms = 0;
    std::string Parts; // how it adds up, for the table
};

// What a configuration transfer cannot beat at 19200 baud, 10 bits a byte: every byte of its
// requests and answers on the wire and the controller's turnaround before each answer. A read
// makes three exchanges; a write makes its writes (two without a script), each echo ended by a
// reply timeout of silence, then reads the same registers back.
TFloor ReadFloor();
TFloor WriteFloor(int scriptRegisters);
// Five attempts of one reply timeout with four pauses between them.
TFloor SilentFloor();

} // namespace dravik::bench
