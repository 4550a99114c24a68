// The script codec and the .cfg reader and writer under Google Benchmark: the worked example
// and generated inputs of growing size, so that the table shows how the cost grows.
#include "TableReporter.h"
#include "config/ConfigFile.h"
#include "protocol/ConfigCheck.h"
#include "protocol/ScriptCodec.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

using namespace dravik;

// Given first, so that a --benchmark_repetitions of the caller's own wins.
const char* const DefaultRepetitions = "--benchmark_repetitions=5";
constexpr double MinSeconds = 0.1;
constexpr int WorkedLines = 2;
const std::vector<int> GrowingLines = {16, 1000, 100000};

const char* const Command = " 04 01 02";
const char* const End = " 00";
constexpr int CommandBytes = 3;

// The worked example's script for two lines; longer ones fill the area with commands, then go
// on with comment lines, and end with the end command.
TScriptLines Script(int lines) {
    TScriptLines script;
    for (int k = 0; k + 1 < lines; ++k) {
        const bool fits = (k + 1) * CommandBytes < ScriptMaxBytes;
        script.Add(fits ? Command : "; note " + std::to_string(k));
    }
    script.Add(End);
    return script;
}

// The worked example's tanks with the script of that many lines.
TTerminalConfig Config(int lines) {
    TTerminalConfig config;
    config.Tanks[0] = {1, 10, 50, 90};
    config.Script = Script(lines);
    return config;
}

TScriptArea Area(int commands) {
    TScriptArea area{};
    for (int k = 0; k < commands; ++k) {
        area[static_cast<size_t>(CommandBytes * k)] = 0x04;
        area[static_cast<size_t>(CommandBytes * k + 1)] = 0x01;
        area[static_cast<size_t>(CommandBytes * k + 2)] = 0x02;
    }
    return area;
}

std::string LinesName(int lines) {
    return lines == WorkedLines ? "worked example" : std::to_string(lines) + " script lines";
}

void SetLines(benchmark::State& state, int lines) {
    state.counters["lines"] = lines;
}

void Register(const std::string& name, int lines, void (*body)(benchmark::State&, int)) {
    benchmark::RegisterBenchmark(name.c_str(), [lines, body](benchmark::State& state) {
        body(state, lines);
    })->MinTime(MinSeconds);
}

void DecodeArea(benchmark::State& state, int commands) {
    const TScriptArea area = Area(commands);
    for (auto _ : state) {
        TScriptLines script;
        DecodeScript(area, script);
        benchmark::DoNotOptimize(script);
    }
    SetLines(state, commands + 1);
}

void Encode(benchmark::State& state, int lines) {
    const TScriptLines script = Script(lines);
    for (auto _ : state) {
        benchmark::DoNotOptimize(EncodeScript(script));
    }
    SetLines(state, lines);
}

// Every line a command, so that the length fails early and every later line is still checked:
// what `dravik_cli check` does with a file of that many lines.
void Problems(benchmark::State& state, int lines) {
    TTerminalConfig config = Config(WorkedLines);
    config.Script.Assign(std::vector<std::string>(static_cast<size_t>(lines), Command));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ConfigProblems(config));
    }
    SetLines(state, lines);
}

void Write(benchmark::State& state, int lines) {
    const TTerminalConfig config = Config(lines);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ConfigToXml(config));
    }
    SetLines(state, lines);
}

void Read(benchmark::State& state, int lines) {
    const std::string text = ConfigToXml(Config(lines));
    for (auto _ : state) {
        TTerminalConfig config;
        FillConfig(ParseConfigText(text), config);
        benchmark::DoNotOptimize(config);
    }
    SetLines(state, lines);
}

void RegisterAll() {
    // The area holds 200 bytes, so decoding never grows past a full area of three-byte commands.
    constexpr int WorkedCommands = 1;
    constexpr int FullAreaCommands = ScriptMaxBytes / CommandBytes;
    Register("DecodeScript, worked example", WorkedCommands, DecodeArea);
    Register("DecodeScript, full area (" + std::to_string(FullAreaCommands) + " commands)",
             FullAreaCommands, DecodeArea);
    std::vector<int> sizes = {WorkedLines};
    sizes.insert(sizes.end(), GrowingLines.begin(), GrowingLines.end());
    for (int lines : sizes) {
        const bool withComments =
            lines > WorkedLines && (lines - 1) * CommandBytes >= ScriptMaxBytes;
        Register("EncodeScript, " + LinesName(lines) +
                     (withComments ? " (a full area of commands, the rest comments)" : ""),
                 lines, Encode);
    }
    for (int lines : GrowingLines) {
        Register("ConfigProblems, " + LinesName(lines) + " (all commands: too long, named once)",
                 lines, Problems);
    }
    for (int lines : sizes) {
        const std::string bytes = std::to_string(ConfigToXml(Config(lines)).size()) + " bytes";
        Register("ConfigToXml, " + LinesName(lines) + " (" + bytes + ")", lines, Write);
        Register("ParseConfigText + FillConfig, " + LinesName(lines) + " (" + bytes + ")", lines,
                 Read);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> args = {argv[0], const_cast<char*>(DefaultRepetitions)};
    args.insert(args.end(), argv + 1, argv + argc);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    RegisterAll();
    dravik::bench::TTableReporter table;
    benchmark::RunSpecifiedBenchmarks(&table);
    benchmark::Shutdown();
    return 0;
}
