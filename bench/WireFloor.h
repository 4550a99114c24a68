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
// three requests and answers on the wire and the controller's turnaround before each answer;
// a write adds the reply timeout of silence that ends each echo.
TFloor ReadFloor();
TFloor WriteFloor(int scriptRegisters);
// Five attempts of one reply timeout with four pauses between them.
TFloor SilentFloor();

} // namespace dravik::bench
