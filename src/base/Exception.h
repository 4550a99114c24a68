#pragma once

#include <exception>
#include <string>

namespace dravik {

// The program's one failure carrier. Its message is Windows-1251 text shown to the user as it
// stands; lower layers catch it only to raise a new one with more context.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}

    const char* what() const noexcept override { return Message.c_str(); }
    const std::string& message() const noexcept { return Message; }

private:
    std::string Message;
};

} // namespace dravik
