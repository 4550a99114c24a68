// Moves of a whole configuration across the controller's register map.
#include "protocol/RegisterMap.h"
#include "protocol/ScriptCodec.h"
#include "protocol/Terminal.h"

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

} // namespace

void TTerminal::ReadConfig(TTerminalConfig& config) {
    WithConnection(*this, [&] {
        config.Clear();
        TWords w{};
        BeginBlock(TTransferBlock::Mask);
        ReadRegisters(MaskRegister, 1, w.data());
        for (size_t i = 0; i < TankCount; ++i) {
            config.Tanks[i].active = (w[0] >> i & 1) != 0 ? 1 : 0;
        }
        BeginBlock(TTransferBlock::Thresholds);
        ReadRegisters(ThresholdRegister, ThresholdCount, w.data());
        for (size_t i = 0; i < TankCount; ++i) {
            UnpackTank(&w[2 * i], config.Tanks[i]);
        }
        BeginBlock(TTransferBlock::Script);
        ReadRegisters(ScriptRegister, ScriptRegisterCount, w.data());
        DecodeScript(ScriptAreaBytes(w.data()), config.Script);
    });
}

void TTerminal::WriteConfig(const TTerminalConfig& config) {
    WithConnection(*this, [&] {
        TWords w{};
        w[0] = TankMask(config);
        // The mask goes out before any threshold is validated.
        BeginBlock(TTransferBlock::Mask);
        WriteRegisters(MaskRegister, 1, w.data());
        for (size_t i = 0; i < TankCount; ++i) {
            CheckTank(static_cast<int>(i), config.Tanks[i]);
            PackTank(config.Tanks[i], &w[2 * i]);
        }
        BeginBlock(TTransferBlock::Thresholds);
        WriteRegisters(ThresholdRegister, ThresholdCount, w.data());
        // An empty script leaves the controller's script area as it is.
        const std::vector<uint16_t> image = ScriptImage(EncodeScript(config.Script));
        if (!image.empty()) {
            BeginBlock(TTransferBlock::Script);
            WriteRegisters(ScriptRegister, static_cast<int32_t>(image.size()), image.data());
        }
    });
}

} // namespace dravik
