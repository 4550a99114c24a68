#include "ModbusSlave.h"

#include "Options.h"

#include <cerrno>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {
namespace {

// The holding registers libmodbus keeps: from the first served one to the last.
constexpr int FirstRegister = RegisterState::FirstServed;
constexpr int RegisterSpan = RegisterState::LastServed + 1 - FirstRegister;

} // namespace

ModbusSlave::ModbusSlave(const RegisterState& state) {
    Context = modbus_new_rtu("/dev/null", 19200, 'N', 8, 1);
    Mapping = modbus_mapping_new_start_address(0, 0, 0, 0, FirstRegister, RegisterSpan, 0, 0);
    if (Context == nullptr || Mapping == nullptr ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, Pair) != 0) {
        Fail(std::string("libmodbus: ") + modbus_strerror(errno));
    }
    modbus_set_slave(Context, SlaveAddress);
    modbus_set_socket(Context, Pair[0]);
    for (int a = FirstRegister; a < FirstRegister + RegisterSpan; ++a) {
        Mapping->tab_registers[a - FirstRegister] = state.Get(a);
    }
}

ModbusSlave::~ModbusSlave() {
    modbus_free(Context); // not modbus_close: the socket is no tty
    modbus_mapping_free(Mapping);
    ::close(Pair[0]);
    ::close(Pair[1]);
}

Bytes ModbusSlave::Receive(const Bytes& frame) {
    if (::write(Pair[1], frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
        return {};
    }
    Bytes query(MODBUS_RTU_MAX_ADU_LENGTH);
    const int rc = modbus_receive(Context, query.data());
    Drain();
    if (rc <= 0) {
        return {};
    }
    query.resize(static_cast<size_t>(rc));
    return query;
}

Bytes ModbusSlave::Reply(const Bytes& query) {
    modbus_reply(Context, query.data(), static_cast<int>(query.size()), Mapping);
    return Drain();
}

Bytes ModbusSlave::ReplyException(const Bytes& query, unsigned code) {
    modbus_reply_exception(Context, query.data(), code);
    return Drain();
}

uint16_t ModbusSlave::Register(int address) const {
    return Mapping->tab_registers[address - FirstRegister];
}

void ModbusSlave::SetRegister(int address, uint16_t value) {
    Mapping->tab_registers[address - FirstRegister] = value;
}

void ModbusSlave::Store(RegisterState& state) const {
    for (int a = FirstRegister; a < FirstRegister + RegisterSpan; ++a) {
        if (RegisterState::Served(a)) {
            state.Set(a, Mapping->tab_registers[a - FirstRegister]);
        }
    }
}

Bytes ModbusSlave::Drain() {
    Bytes out;
    uint8_t buffer[512];
    for (;;) {
        const ssize_t n = ::recv(Pair[1], buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0) {
            return out;
        }
        out.insert(out.end(), buffer, buffer + n);
    }
}

} // namespace sim
