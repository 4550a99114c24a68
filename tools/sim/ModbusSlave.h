#pragma once

#include "RegisterState.h"
#include "RtuFrame.h"

#include <cstdint>

#include <modbus.h>

namespace sim {

// libmodbus as the slave, over one end of a socket pair; the other end carries our bytes.
class ModbusSlave {
public:
    explicit ModbusSlave(const RegisterState& state);
    ~ModbusSlave();
    ModbusSlave(const ModbusSlave&) = delete;
    ModbusSlave& operator=(const ModbusSlave&) = delete;

    // The request as libmodbus takes it: empty when it ignores the frame (a bad CRC, another
    // slave), else the indication.
    Bytes Receive(const Bytes& frame);
    Bytes Reply(const Bytes& query);
    Bytes ReplyException(const Bytes& query, unsigned code);

    uint16_t Register(int address) const;
    void SetRegister(int address, uint16_t value);

    void Store(RegisterState& state) const;

private:
    // What libmodbus wrote, or anything left unread on our end.
    Bytes Drain();

    modbus_t* Context = nullptr;
    modbus_mapping_t* Mapping = nullptr;
    int Pair[2] = {-1, -1};
};

} // namespace sim
