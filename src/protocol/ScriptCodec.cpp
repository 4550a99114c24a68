#include "protocol/ScriptCodec.h"

#include "base/Exception.h"
#include "base/Text.h"

#include <optional>
#include <string>

namespace dravik {
namespace {

constexpr uint8_t EndOpcode = 0;
constexpr uint8_t MaxOpcode = 8;
constexpr char Blank = ' ';

// Parameter bytes of each opcode; opcodes 1 and 2 carry a count byte and are sized apart.
constexpr std::array<int, MaxOpcode + 1> FixedParameters = {0, 0, 0, 4, 2, 2, 4, 3, 5};

bool HasCountByte(uint8_t opcode) {
    return opcode == 1 || opcode == 2;
}

void AppendHexByte(std::string& line, uint8_t byte) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    line += Blank;
    line += Digits[byte >> 4];
    line += Digits[byte & 0x0F];
}

class TAreaReader {
public:
    explicit TAreaReader(const TScriptArea& bytes) : Bytes(bytes) {}

    // Ends once a byte at or past position 200 has been taken: a command ending on byte 199 is
    // still followed by the end command read from position 200.
    bool AtEnd() const { return Next > ScriptAreaSize; }

    // Past the area every byte reads as 0, so a command that runs off the end is completed.
    uint8_t Take() {
        const int index = Next++;
        return index < ScriptAreaSize ? Bytes[static_cast<size_t>(index)] : 0;
    }

private:
    const TScriptArea& Bytes;
    int Next = 0;
};

void DecodeCommands(const TScriptArea& bytes, TScriptLines& script) {
    TAreaReader area(bytes);
    while (!area.AtEnd()) {
        std::string line;
        const uint8_t opcode = area.Take();
        AppendHexByte(line, opcode);
        if (opcode == EndOpcode) {
            script.Add(std::move(line));
            return;
        }
        if (opcode > MaxOpcode) {
            Raise(Format(Cp1251("Неизвестная команда \"%s\""), line.c_str()));
        }
        int parameters = FixedParameters[opcode];
        if (HasCountByte(opcode)) {
            const uint8_t count = area.Take();
            AppendHexByte(line, count);
            parameters = count + 1;
        }
        for (int i = 0; i < parameters; ++i) {
            AppendHexByte(line, area.Take());
        }
        script.Add(std::move(line));
    }
}

bool IsTrimmed(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view TrimAndCutComment(std::string_view line) {
    while (!line.empty() && IsTrimmed(line.front())) {
        line.remove_prefix(1);
    }
    while (!line.empty() && IsTrimmed(line.back())) {
        line.remove_suffix(1);
    }
    return line.substr(0, line.find(';'));
}

std::optional<uint8_t> HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<uint8_t>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<uint8_t>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<uint8_t>(c - 'a' + 10);
    }
    return std::nullopt;
}

uint8_t ConvertToken(std::string_view token) {
    uint8_t value = 0;
    for (const char c : token) {
        const auto digit = HexDigit(c);
        if (!digit) {
            const std::string shown = "$" + Shown(token);
            Raise(Format("'%s' is not a valid integer value", shown.c_str()));
        }
        value = static_cast<uint8_t>(value * 16 + *digit);
    }
    return value;
}

int ParameterCount(const TScriptLineBytes& parsed) {
    const uint8_t opcode = parsed.Bytes[0];
    return HasCountByte(opcode) ? parsed.Bytes[1] + 2 : FixedParameters[opcode];
}

// The command that one trimmed, comment-free line holds; raises when it holds none.
TScriptLineBytes ParseCommand(std::string_view line) {
    const TScriptLineBytes parsed = ParseScriptLine(line);
    const uint8_t opcode = parsed.Bytes[0];
    if (opcode > MaxOpcode) {
        Raise(Format(Cp1251("Неизвестная команда \"%2d\""), opcode));
    }
    const int parameters = ParameterCount(parsed);
    if (parsed.Count != parameters + 1) {
        Raise(
            Format(Cp1251("Требуется параметров: %d (получено %d)"), parameters, parsed.Count - 1));
    }
    return parsed;
}

std::string Framed(std::string_view line, const std::string& message) {
    const std::string shown = Shown(line);
    return Format(Cp1251("Ошибка загрузки скрипта \"%s\":\r\n%s"), shown.c_str(), message.c_str());
}

// One walk over the lines: the commands go into the bytes while they fit, the problems to the
// sink, so that a script of any length costs one pass.
class TScriptEncoder {
public:
    explicit TScriptEncoder(const TScriptProblemSink& report) : Report(report) {}

    // False once nothing more is to be said about the lines that follow.
    bool Take(int index, std::string_view line) {
        Index = index;
        if (Ended) {
            Say(line, Cp1251("Строка после команды конца (00) не будет записана"));
            return false;
        }
        std::optional<TScriptLineBytes> command;
        std::string problem;
        try {
            command = ParseCommand(line);
        } catch (const Exception& e) {
            problem = e.message();
        }
        if (!command) {
            Say(line, problem);
            return true;
        }
        Ended = command->Bytes[0] == EndOpcode;
        Store(line, *command);
        return true;
    }

    const TEncodedScript& Result() const { return Out; }

private:
    // The first command that does not fit is the one problem of the length; later commands are
    // still checked, no longer stored.
    void Store(std::string_view line, const TScriptLineBytes& command) {
        Out.Needed += command.Count;
        if (TooLong) {
            return;
        }
        const int total = Out.Count + command.Count;
        if (total > ScriptMaxBytes) {
            TooLong = true;
            Say(line, Format(Cp1251("Скрипт слишком длинный: %d байт (не более %d)"), total,
                             ScriptMaxBytes));
            return;
        }
        for (int i = 0; i < command.Count; ++i) {
            Out.Bytes[static_cast<size_t>(Out.Count++)] = command.Bytes[static_cast<size_t>(i)];
        }
    }

    void Say(std::string_view line, const std::string& problem) {
        Report(Index, Framed(line, problem));
    }

    const TScriptProblemSink& Report;
    TEncodedScript Out;
    int Index = 0; // of the line being taken
    bool Ended = false;
    bool TooLong = false;
};

} // namespace

void DecodeScript(const TScriptArea& bytes, TScriptLines& script) {
    try {
        DecodeCommands(bytes, script);
    } catch (const Exception& e) {
        Raise(Cp1251("Ошибка чтения скрипта: ") + e.message());
    }
}

TEncodedScript EncodeScript(const TScriptLines& script) {
    return EncodeScript(script, [](int, const std::string& message) { Raise(message); });
}

TEncodedScript EncodeScript(const TScriptLines& script, const TScriptProblemSink& report) {
    TScriptEncoder encoder(report);
    for (int i = 0; i < script.Count(); ++i) {
        const std::string_view line = TrimAndCutComment(script[i]);
        if (!line.empty() && !encoder.Take(i, line)) {
            break;
        }
    }
    return encoder.Result();
}

TScriptLineBytes ParseScriptLine(std::string_view line) {
    TScriptLineBytes out;
    int tokens = 0;
    // Two blanks behind the line let the scan look two characters ahead everywhere.
    const std::string text = std::string(line) + "  ";
    size_t p = 0;
    while (p < line.size()) {
        if (text[p] == Blank) {
            ++p;
            continue;
        }
        if (text[p + 1] != Blank && text[p + 2] != Blank) {
            Raise(Cp1251("Неверный формат"));
        }
        const size_t length = text[p + 1] == Blank ? 1 : 2;
        const uint8_t value = ConvertToken(std::string_view(text).substr(p, length));
        // Tokens past the buffer are still checked and counted, never stored.
        if (tokens < ScriptLineSize) {
            out.Bytes[static_cast<size_t>(tokens)] = value;
        }
        ++tokens;
        p += length;
    }
    if (tokens > ScriptLineSize) {
        Raise(Format(Cp1251("Слишком много байтов в строке: %d (не более %d)"), tokens,
                     ScriptLineSize));
    }
    out.Count = tokens;
    return out;
}

} // namespace dravik
