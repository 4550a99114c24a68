// Any 200-byte script area decodes or fails with the program's message, and every line it makes
// of at most 21 bytes encodes back to the bytes it came from.
#include "base/Exception.h"
#include "protocol/ScriptCodec.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace dravik;

namespace {

// Past the area the decoder reads zeros.
uint8_t AreaByte(const TScriptArea& area, size_t index) {
    return index < area.size() ? area[index] : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TScriptArea area{};
    std::memcpy(area.data(), data, std::min(size, area.size()));
    TScriptLines lines;
    try {
        DecodeScript(area, lines);
    } catch (const Exception&) {
        // an unknown opcode; the lines decoded before it are checked all the same
    }
    size_t offset = 0;
    for (int i = 0; i < lines.Count(); ++i) {
        const size_t tokens = lines[i].size() / 3; // " XX" per byte
        if (tokens <= ScriptLineSize) {
            TScriptLines one;
            one.Add(lines[i]);
            const TEncodedScript encoded = EncodeScript(one); // raising here is a finding
            if (static_cast<size_t>(encoded.Count) != tokens) {
                std::abort();
            }
            for (size_t k = 0; k < tokens; ++k) {
                if (encoded.Bytes[k] != AreaByte(area, offset + k)) {
                    std::abort();
                }
            }
        }
        offset += tokens;
    }
    return 0;
}
