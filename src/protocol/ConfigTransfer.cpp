// Moves of a whole configuration across the controller's register map.
#include "base/Text.h"
#include "protocol/ConfigCheck.h"
#include "protocol/RegisterMap.h"
#include "protocol/ScriptCodec.h"
#include "protocol/Terminal.h"
#include "protocol/WriteImage.h"

#include <array>

namespace dravik {
namespace {

using TWords = std::array<uint16_t, RegisterBlockSize>;

// Runs the exchanges of one transfer and closes the link whatever their outcome.
template <typename F>
void WithConnection(TTerminal& terminal, F&& exchanges) {
    terminal.Connect();
    try {
        exchanges();
    } catch (...) {
        terminal.Disconnect();
        throw;
    }
    terminal.Disconnect();
}

void SendImage(TTerminal& terminal, const TWriteImage& image) {
    terminal.WriteRegisters(MaskRegister, 1, &image.Mask);
    terminal.WriteRegisters(ThresholdRegister, ThresholdCount, image.Thresholds.data());
    // An empty script leaves the controller's script area as it is.
    if (!image.Script.empty()) {
        terminal.WriteRegisters(ScriptRegister, static_cast<int32_t>(image.Script.size()),
                                image.Script.data());
    }
}

// The registers that sent covers, as the controller holds them now.
TWriteImage ReadBack(TTerminal& terminal, const TWriteImage& sent) {
    TWriteImage held;
    terminal.ReadRegisters(MaskRegister, 1, &held.Mask);
    terminal.ReadRegisters(ThresholdRegister, ThresholdCount, held.Thresholds.data());
    held.Script.resize(sent.Script.size());
    if (!held.Script.empty()) {
        terminal.ReadRegisters(ScriptRegister, static_cast<int32_t>(held.Script.size()),
                               held.Script.data());
    }
    return held;
}

void RaiseDifferences(const std::vector<std::string>& differences) {
    if (differences.empty()) {
        return;
    }
    std::string message = Cp1251("Контроллер хранит не то, что записано:");
    for (const std::string& difference : differences) {
        message += "\r\n" + difference;
    }
    Raise(message);
}

} // namespace

void TTerminal::ReadConfig(TTerminalConfig& config) {
    WithConnection(*this, [&] {
        config.Clear();
        TWords w{};
        ReadRegisters(MaskRegister, 1, w.data());
        for (size_t i = 0; i < TankCount; ++i) {
            config.Tanks[i].active = (w[0] >> i & 1) != 0 ? 1 : 0;
        }
        ReadRegisters(ThresholdRegister, ThresholdCount, w.data());
        for (size_t i = 0; i < TankCount; ++i) {
            UnpackTank(&w[2 * i], config.Tanks[i]);
        }
        ReadRegisters(ScriptRegister, ScriptRegisterCount, w.data());
        DecodeScript(ScriptAreaBytes(w.data()), config.Script);
    });
}

void TTerminal::WriteConfig(const TTerminalConfig& config) {
    // Refused before the port opens, so that a refusal changes nothing in the controller.
    const TWriteImage image = MakeWriteImage(config, CheckConfig(config));
    WithConnection(*this, [&] {
        SendImage(*this, image);
        RaiseDifferences(ImageDifferences(image, ReadBack(*this, image)));
    });
}

std::vector<std::string> TTerminal::VerifyConfig(const TTerminalConfig& config) {
    const TWriteImage image = MakeWriteImage(config, CheckConfig(config));
    std::vector<std::string> differences;
    WithConnection(*this, [&] { differences = ImageDifferences(image, ReadBack(*this, image)); });
    return differences;
}

} // namespace dravik
