#pragma once

#include "config/TerminalConfig.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace dravik {

constexpr int ScriptAreaSize = 200; // bytes in the controller's script area
constexpr int ScriptLineSize = 21;  // bytes one text line can hold
// The script image adds at least one end byte and fills whole registers of the area.
constexpr int ScriptMaxBytes = ScriptAreaSize - 1;

using TScriptArea = std::array<uint8_t, ScriptAreaSize>;

struct TEncodedScript {
    TScriptArea Bytes{};
    int Count = 0;
};

struct TScriptLineBytes {
    std::array<uint8_t, ScriptLineSize> Bytes{};
    int Count = 0;
};

// Appends one text line per command of the area to script, up to the end command or the end of
// the area. Raises "Ошибка чтения скрипта: ..." on an unknown opcode; earlier lines stay.
void DecodeScript(const TScriptArea& bytes, TScriptLines& script);

// Turns the lines into script bytes. Raises "Ошибка загрузки скрипта ..." with the offending
// line; a script that the encoder accepts always fits the controller.
TEncodedScript EncodeScript(const TScriptLines& script);

// Encodes one more line behind the bytes already in script, as EncodeScript does for each of its
// lines; raises the same way and leaves script as it was. False once the end command is stored:
// the encoder reads no line after it.
bool EncodeScriptLine(std::string_view line, TEncodedScript& script);

// Splits one trimmed, comment-free, non-empty line into its byte tokens.
TScriptLineBytes ParseScriptLine(std::string_view line);

} // namespace dravik
