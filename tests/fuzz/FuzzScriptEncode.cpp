// Arbitrary text lines either encode or fail with the program's message, never storing beyond
// the 200-byte area; what they encode to fits the controller and decodes again. The list of
// problems that `check` prints agrees with the encoder: empty when it encodes, else starting
// with the message it raises. No message hides bytes behind a NUL, and every line survives the
// window's crossing to Unicode and back.
#include "base/Exception.h"
#include "base/Text.h"
#include "protocol/ConfigCheck.h"
#include "protocol/ScriptCodec.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace dravik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TScriptLines lines;
    std::string line;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            lines.Add(line);
            line.clear();
        } else {
            line += static_cast<char>(data[i]);
        }
    }
    lines.Add(line);
    for (int i = 0; i < lines.Count(); ++i) {
        if (Cp1251(Cp1251ToUtf8(lines[i])) != lines[i]) {
            std::abort();
        }
    }
    std::vector<std::string> problems;
    const TEncodedScript listed =
        EncodeScript(lines, [&](int, const std::string& message) { problems.push_back(message); });
    TEncodedScript encoded;
    try {
        encoded = EncodeScript(lines);
    } catch (const Exception& e) {
        if (problems.empty() || e.message() != problems.front() ||
            e.message().find('\0') != std::string::npos) {
            std::abort();
        }
        return 0;
    }
    if (!problems.empty() || listed.Count != encoded.Count || listed.Bytes != encoded.Bytes) {
        std::abort();
    }
    if (encoded.Count < 0 || encoded.Count > ScriptMaxBytes) {
        std::abort();
    }
    TScriptLines decoded;
    try {
        DecodeScript(encoded.Bytes, decoded);
    } catch (const Exception&) {
        std::abort(); // what the encoder accepts, the decoder reads
    }
    return 0;
}
