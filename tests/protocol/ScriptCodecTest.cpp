#include "protocol/ScriptCodec.h"

#include "support/Messages.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::W;

TScriptArea Area(std::initializer_list<uint8_t> head) {
    TScriptArea area{};
    std::copy(head.begin(), head.end(), area.begin());
    return area;
}

std::vector<std::string> Decode(const TScriptArea& area) {
    TScriptLines lines;
    DecodeScript(area, lines);
    std::vector<std::string> out;
    for (int i = 0; i < lines.Count(); ++i) {
        out.push_back(lines[i]);
    }
    return out;
}

TScriptLines Lines(std::initializer_list<const char*> lines) {
    TScriptLines out;
    for (const char* line : lines) {
        out.Add(line);
    }
    return out;
}

std::vector<uint8_t> Encode(std::initializer_list<const char*> lines) {
    const TEncodedScript encoded = EncodeScript(Lines(lines));
    return {encoded.Bytes.begin(), encoded.Bytes.begin() + encoded.Count};
}

std::string EncodeFailure(const std::string& line) {
    TScriptLines lines;
    lines.Add(line);
    return MessageOf([&] { EncodeScript(lines); });
}

using Strings = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

TEST(DecodeScript, OneLinePerCommandUpToTheEnd) {
    EXPECT_EQ(Decode(Area({3, 1, 2, 3, 4, 0})), (Strings{" 03 01 02 03 04", " 00"}));
    EXPECT_EQ(Decode(Area({1, 2, 0xAA, 0xBB, 0xCC, 0})), (Strings{" 01 02 AA BB CC", " 00"}));
    EXPECT_EQ(Decode(Area({1, 0, 0x7F, 0})), (Strings{" 01 00 7F", " 00"}));
    EXPECT_EQ(Decode(Area({4, 1, 2, 5, 3, 4, 6, 1, 2, 3, 4, 7, 1, 2, 3, 8, 1, 2, 3, 4, 5})),
              (Strings{" 04 01 02", " 05 03 04", " 06 01 02 03 04", " 07 01 02 03",
                       " 08 01 02 03 04 05", " 00"}));
    EXPECT_EQ(Decode(Area({})), (Strings{" 00"}));
}

TEST(DecodeScript, TheEndOfTheArea) {
    // A command ending on byte 199 is followed by the end line read from position 200.
    TScriptArea full{};
    full[0] = 1;
    full[1] = 0xC5; // 197 data bytes + 1 closing byte = bytes 2..199
    std::vector<std::string> lines = Decode(full);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 200u * 3);
    EXPECT_EQ(lines[1], " 00");

    // A command running past byte 199 is completed with zeros and nothing follows.
    TScriptArea over{};
    over[0] = 1;
    over[1] = 0xC3;
    over[198] = 4;
    over[199] = 0x11;
    lines = Decode(over);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], " 04 11 00");
}

TEST(DecodeScript, UnknownOpcodeKeepsEarlierLines) {
    TScriptLines lines;
    lines.Add("before");
    EXPECT_EQ(MessageOf([&] {
                  DecodeScript(Area({4, 1, 2, 9}), lines);
              }),
              W("Ошибка чтения скрипта: Неизвестная команда \" 09\""));
    ASSERT_EQ(lines.Count(), 2);
    EXPECT_EQ(lines[1], " 04 01 02");

    TScriptLines none;
    EXPECT_EQ(MessageOf([&] { DecodeScript(Area({0xFF}), none); }),
              W("Ошибка чтения скрипта: Неизвестная команда \" FF\""));
    EXPECT_EQ(none.Count(), 0);
}

TEST(EncodeScript, AcceptsTheLineForms) {
    EXPECT_EQ(Encode({"3 1 2 a B"}), (Bytes{3, 1, 2, 0x0A, 0x0B}));
    EXPECT_EQ(Encode({" 03 01 02 0A 0B"}), (Bytes{3, 1, 2, 0x0A, 0x0B}));
    EXPECT_EQ(Encode({"01 00 05"}), (Bytes{1, 0, 5}));
    EXPECT_EQ(Encode({"\t04   01 02\r\n"}), (Bytes{4, 1, 2}));
    EXPECT_EQ(Encode({"", "   ", "; note", "04 01 02 ; note", "00"}), (Bytes{4, 1, 2, 0}));
    EXPECT_EQ(Encode({}), Bytes{});
    // The end command ends the script: only empty and comment lines may follow it.
    EXPECT_EQ(Encode({"00", "", "  ; a note", "\t"}), Bytes{0});
}

TEST(EncodeScript, RefusesTheFirstLineAfterTheEndCommand) {
    // Such a line would never reach the controller: it is refused, not dropped in silence.
    EXPECT_EQ(MessageOf([&] {
                  EncodeScript(Lines({"04 01 02", " 00", "; ok", " zz ", "04"}));
              }),
              W("Ошибка загрузки скрипта \"zz\":\r\n"
                "Строка после команды конца (00) не будет записана"));
}

struct FailureRow {
    const char* Line;
    const char* Inner; // UTF-8
};

class EncodeFailuresTest : public testing::TestWithParam<FailureRow> {};

TEST_P(EncodeFailuresTest, RaiseWithTheLineInTheFrame) {
    const FailureRow& row = GetParam();
    EXPECT_EQ(EncodeFailure(row.Line),
              W("Ошибка загрузки скрипта \"") + row.Line + "\":\r\n" + W(row.Inner));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, EncodeFailuresTest,
    testing::Values(FailureRow{"01 02 AA BB", "Требуется параметров: 4 (получено 3)"},
                    FailureRow{"01", "Требуется параметров: 2 (получено 0)"},
                    FailureRow{"01 FF", "Требуется параметров: 257 (получено 1)"},
                    FailureRow{"04 01", "Требуется параметров: 2 (получено 1)"},
                    FailureRow{"00 01", "Требуется параметров: 0 (получено 1)"},
                    FailureRow{"123", "Неверный формат"}, FailureRow{"0 123", "Неверный формат"},
                    FailureRow{"01\t02", "Неверный формат"},
                    FailureRow{"0g", "'$0g' is not a valid integer value"},
                    FailureRow{"04 G1 00", "'$G1' is not a valid integer value"},
                    FailureRow{"9", "Неизвестная команда \" 9\""},
                    FailureRow{"FF", "Неизвестная команда \"255\""},
                    FailureRow{"0A", "Неизвестная команда \"10\""},
                    FailureRow{"01 13 0 1 2 3 4 5 6 7 8 9 A B C D E F 10 11 12 13",
                               "Слишком много байтов в строке: 22 (не более 21)"}));

TEST(EncodeScript, FrameShowsTheTrimmedLineWithoutItsComment) {
    EXPECT_EQ(EncodeFailure("  04 01 ; short"),
              W("Ошибка загрузки скрипта \"04 01 \":\r\nТребуется параметров: 2 (получено 1)"));
}

TEST(EncodeScript, ANulByteInTheLineIsShownAsAnEscapeWithWhatFollowsIt) {
    using namespace std::string_literals;
    EXPECT_EQ(
        EncodeFailure("04 0\0 1 2"s),
        W("Ошибка загрузки скрипта \"04 0\\0 1 2\":\r\n'$0\\0' is not a valid integer value"));
    EXPECT_EQ(EncodeFailure("04\0 01 02"s),
              W("Ошибка загрузки скрипта \"04\\0 01 02\":\r\nНеверный формат"));
}

TEST(EncodeScript, RefusesAScriptThatDoesNotFitTheController) {
    // 11 lines of 18 bytes = 198 bytes fit; one more byte still fits (199), two do not.
    TScriptLines lines;
    for (int i = 0; i < 11; ++i) {
        lines.Add("01 0F 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
    }
    EXPECT_EQ(EncodeScript(lines).Count, 198);
    TScriptLines fits = lines;
    fits.Add("00");
    EXPECT_EQ(EncodeScript(fits).Count, 199);
    lines.Add("04 01 02");
    EXPECT_EQ(MessageOf([&] { EncodeScript(lines); }),
              W("Ошибка загрузки скрипта \"04 01 02\":\r\n"
                "Скрипт слишком длинный: 201 байт (не более 199)"));
}

TEST(EncodeScript, ReportsEveryProblemOnceInLineOrder) {
    TScriptLines lines;
    lines.Add("04 01");
    for (int i = 0; i < 11; ++i) {
        lines.Add("01 0F 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"); // 198 bytes in all
    }
    for (const char* line : {"04 01 02", "05 01 02", "zz", "00", "; note", "03", "04"}) {
        lines.Add(line);
    }
    Strings problems;
    EncodeScript(lines, [&](int, const std::string& message) { problems.push_back(message); });
    const auto framed = [](const char* line, const char* inner) {
        return W("Ошибка загрузки скрипта \"") + line + "\":\r\n" + W(inner);
    };
    EXPECT_EQ(problems,
              (Strings{framed("04 01", "Требуется параметров: 2 (получено 1)"),
                       // The length once, at the first line that does not fit; later lines are
                       // still checked.
                       framed("04 01 02", "Скрипт слишком длинный: 201 байт (не более 199)"),
                       framed("zz", "'$zz' is not a valid integer value"),
                       framed("03", "Строка после команды конца (00) не будет записана")}));
    // The raising encoder stops at the first of them.
    EXPECT_EQ(MessageOf([&] { EncodeScript(lines); }), problems.front());
}

TEST(EncodeScript, ReportsTheLengthOnceHoweverManyLinesFollow) {
    TScriptLines lines;
    for (int i = 0; i < 100000; ++i) {
        lines.Add("04 01 02");
    }
    Strings problems;
    EncodeScript(lines, [&](int, const std::string& message) { problems.push_back(message); });
    EXPECT_EQ(problems, Strings{W("Ошибка загрузки скрипта \"04 01 02\":\r\n"
                                  "Скрипт слишком длинный: 201 байт (не более 199)")});
}

// Every line the decoder makes for a command of at most 21 bytes encodes back to its bytes.
void ExpectRoundTrip(const TScriptArea& area) {
    TScriptLines lines;
    try {
        DecodeScript(area, lines);
    } catch (const Exception&) {
        // An unknown opcode ends decoding; the lines made before it still count.
    }
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string& line = lines[i];
        const size_t bytes = line.size() / 3;
        if (bytes > static_cast<size_t>(ScriptLineSize)) {
            EXPECT_NE(MessageOf([&] { EncodeScript(Lines({line.c_str()})); }), "<no exception>");
            continue;
        }
        const TEncodedScript encoded = EncodeScript(Lines({line.c_str()}));
        ASSERT_EQ(encoded.Count, static_cast<int>(bytes)) << line;
        for (size_t b = 0; b < bytes; ++b) {
            EXPECT_EQ(encoded.Bytes[b], std::stoul(line.substr(b * 3 + 1, 2), nullptr, 16)) << line;
        }
    }
}

TEST(ScriptRoundTrip, EveryOpcodeAndCount) {
    for (int opcode = 0; opcode <= 8; ++opcode) {
        for (int count = 0; count < 256; ++count) {
            TScriptArea area{};
            area[0] = static_cast<uint8_t>(opcode);
            area[1] = static_cast<uint8_t>(count);
            for (int i = 2; i < 30; ++i) {
                area[static_cast<size_t>(i)] = static_cast<uint8_t>(0xA0 + i);
            }
            ExpectRoundTrip(area);
        }
    }
}

TEST(ScriptRoundTrip, RandomAreas) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> opcode(0, 9);
    std::uniform_int_distribution<int> anyByte(0, 255);
    for (int run = 0; run < 2000; ++run) {
        TScriptArea area{};
        for (auto& b : area) {
            // Mostly valid opcodes with small counts, so that scripts run long.
            b = static_cast<uint8_t>(run % 2 == 0 ? anyByte(random) : opcode(random) % 9);
        }
        ExpectRoundTrip(area);
    }
}

} // namespace
} // namespace dravik
