#pragma once

#include "base/Cancellation.h"
#include "base/PortResolver.h"
#include "config/TerminalConfig.h"
#include "link/ComPortChannel.h"
#include "protocol/ModbusPdu.h"
#include "protocol/TransferStep.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dravik {

class TAnswerReader;

constexpr int RegisterBlockSize = 100; // the word array every exchange uses

// The Modbus RTU master of the one controller on the line.
class TTerminal {
public:
    static constexpr uint8_t SlaveAddress = 32;
    static constexpr uint32_t BaudRate = 19200; // 8 data bits, no parity, one stop bit
    static constexpr int32_t MaxAttempts = 5;

    TTerminal();
    ~TTerminal();
    TTerminal(const TTerminal&) = delete;
    TTerminal& operator=(const TTerminal&) = delete;

    TModbusPdu Response;
    TModbusPdu Request;
    int32_t ReplyTimeout = 0;
    int32_t Attempts = MaxAttempts; // of each exchange; a probe for the controller makes one
    std::unique_ptr<TComPortChannel> Channel;
    // Told which block a configuration transfer begins and which attempt an exchange retries;
    // none: nobody is told. It runs on the transfer's thread.
    TTransferProgress Progress;
    uint8_t Port = 1;
    // How a port number becomes a device, handed in by the program (the settings' port map);
    // without one no port has a device.
    TPortResolver Resolver;
    // A request from outside to stop the running command, handed to each channel at Connect;
    // a cancelled command raises TCancelled once its port is closed. None: never cancelled.
    const TCancellation* Cancellation = nullptr;

    void Connect();
    void Disconnect();
    bool IsConnected() const { return Channel != nullptr; }

    void Transact(int32_t expected);
    void ReadRegisters(int32_t start, int32_t count, uint16_t* values);
    void WriteRegisters(int32_t start, int32_t count, const uint16_t* values);
    static void RaiseTransactError(int32_t code);

    // Replaces config by the controller's configuration: mask, thresholds, script.
    void ReadConfig(TTerminalConfig& config);
    // Checks the whole configuration before the port opens (a refusal sends nothing), writes
    // the mask, the thresholds and the script image, and reads them back to prove them.
    void WriteConfig(const TTerminalConfig& config);
    // Reads what a write of config would leave in the controller and names every difference
    // (see ImageDifferences); raises, before the port opens, where the write would refuse.
    std::vector<std::string> VerifyConfig(const TTerminalConfig& config);

    // Tells Progress that a transfer begins a block (its first attempt); retries are told by
    // Transact.
    void BeginBlock(TTransferBlock block);

private:
    void ReportAttempt(int attempt) const;
    int32_t Attempt(int32_t expected);
    int32_t ReceiveAnswer(TAnswerReader& reader, int32_t expected);
    int32_t RequestFrame(uint8_t* frame) const; // address, PDU and CRC; gives their count
    void PauseBetweenAttempts();
    int32_t FrameLength(int32_t expected) const;
    bool ResponseCrcMatches() const;

    TTransferBlock Block = TTransferBlock::Mask; // the block under way, for the retries' reports
};

} // namespace dravik
