// Arbitrary bytes as a .cfg file load or fail with the program's message; whatever loads, and a
// record built from the same bytes, saves and loads back to the same record.
#include "base/Exception.h"
#include "config/ConfigFile.h"

#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

using namespace dravik;

namespace {

constexpr size_t MaxLineLength = 64;

// What a load can give at best: an enabled tank as 1, a disabled one with thresholds 0.
TTerminalConfig AsLoaded(TTerminalConfig config) {
    for (TTankRecord& tank : config.Tanks) {
        tank = tank.active != 0 ? TTankRecord{1, tank.hmin, tank.hmax, tank.hhigh} : TTankRecord{};
    }
    return config;
}

TTerminalConfig RecordFrom(const uint8_t* data, size_t size) {
    FuzzedDataProvider bytes(data, size);
    TTerminalConfig config;
    for (TTankRecord& tank : config.Tanks) {
        tank.active = bytes.ConsumeIntegral<uint8_t>();
        tank.hmin = bytes.ConsumeIntegral<int32_t>();
        tank.hmax = bytes.ConsumeIntegral<int32_t>();
        tank.hhigh = bytes.ConsumeIntegral<int32_t>();
    }
    while (bytes.remaining_bytes() > 0) {
        config.Script.Add(bytes.ConsumeRandomLengthString(MaxLineLength));
    }
    return config;
}

// The saved bytes of a record load again without failure, to the record as loaded.
void CheckSavedAndLoaded(const TTerminalConfig& record) {
    const std::string saved = ConfigToXml(record);
    TTerminalConfig loaded;
    try {
        FillConfig(ParseConfigText(saved), loaded);
    } catch (const Exception& e) {
        std::fprintf(stderr, "a saved file does not load: %s\n", e.message().c_str());
        std::abort();
    }
    if (loaded != AsLoaded(record)) {
        std::fprintf(stderr, "a saved file loads to another record:\n%s\n", saved.c_str());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TTerminalConfig loaded;
    bool parsed = true;
    try {
        FillConfig(ParseConfigText(text), loaded);
    } catch (const Exception&) {
        parsed = false; // any other exception escapes and is a finding
    }
    if (parsed) {
        CheckSavedAndLoaded(loaded);
    }
    CheckSavedAndLoaded(RecordFrom(data, size));
    return 0;
}
