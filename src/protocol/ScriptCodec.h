#pragma once

#include "config/TerminalConfig.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
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
    int Needed =
        0; // the bytes its commands take, stored or not: above ScriptMaxBytes when too long
};

struct TScriptLineBytes {
    std::array<uint8_t, ScriptLineSize> Bytes{};
    int Count = 0;
};

// Appends one text line per command of the area to script, up to the end command or the end of
// the area. Raises "Ошибка чтения скрипта: ..." on an unknown opcode; earlier lines stay.
void DecodeScript(const TScriptArea& bytes, TScriptLines& script);

// Turns the lines into script bytes. Raises "Ошибка загрузки скрипта ..." with the first
// offending line; a script that the encoder accepts always fits the controller.
TEncodedScript EncodeScript(const TScriptLines& script);

// Takes one problem of a script: the index of the line it concerns and its message "Ошибка
// загрузки скрипта ...".
using TScriptProblemSink = std::function<void(int line, const std::string& message)>;

// The same encoding in one pass, handing every problem to report instead of raising it, each
// once and in line order: every line that is no command, the first line that makes the script
// too long, and the first line that is neither empty nor a comment after the end command (such
// a line would never be written). The bytes mean something only when nothing was reported.
TEncodedScript EncodeScript(const TScriptLines& script, const TScriptProblemSink& report);

// Splits one trimmed, comment-free, non-empty line into its byte tokens.
TScriptLineBytes ParseScriptLine(std::string_view line);

} // namespace dravik
