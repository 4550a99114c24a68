#include "config/ConfigFile.h"

#include "config/TempFolder.h"
#include "support/Messages.h"

#include <unistd.h>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::ReadBytes;
using test::TTempFolder;
using test::W;
using test::WriteBytes;

const std::string WorkedExample =
    "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
    "  <configure>\r\n"
    "    <tanks>\r\n"
    "      <item index=\"0\" active=\"-1\" hmin=\"10\" hmax=\"50\" hhigh=\"90\"/>\r\n"
    "      <item index=\"1\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"2\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"3\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"4\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"5\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"6\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"7\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"8\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"9\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"10\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"11\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"12\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"13\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"14\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "      <item index=\"15\" active=\"0\" hmin=\"0\" hmax=\"0\" hhigh=\"0\"/>\r\n"
    "    </tanks>\r\n"
    "    <script>\r\n"
    "      <item> 04 01 02</item>\r\n"
    "      <item> 00</item>\r\n"
    "    </script>\r\n"
    "  </configure>\r\n";

TTerminalConfig WorkedRecord() {
    TTerminalConfig config;
    config.Tanks[0] = {1, 10, 50, 90};
    config.Script.Add(" 04 01 02");
    config.Script.Add(" 00");
    return config;
}

TTerminalConfig Loaded(const std::string& bytes) {
    TTerminalConfig config;
    config.Tanks[5] = {1, 7, 7, 7}; // a load replaces whatever was there
    config.Script.Add("old");
    FillConfig(ParseConfigText(bytes), config);
    return config;
}

TEST(ConfigFile, WritesTheWorkedExampleByteForByteAndReadsItBack) {
    ASSERT_EQ(WorkedExample.size(), 1220u);
    const std::string written = ConfigToXml(WorkedRecord());
    EXPECT_EQ(written, WorkedExample);
    EXPECT_EQ(Loaded(written), WorkedRecord());
}

struct TRoundTrip {
    const char* Name;
    TTerminalConfig Record;
    std::string Fragment; // a piece the written file holds
    TTerminalConfig Expected;
};

TTerminalConfig WithLines(std::vector<std::string> lines) {
    TTerminalConfig config;
    config.Script.Assign(std::move(lines));
    return config;
}

TTerminalConfig WithTank(int index, TTankRecord tank) {
    TTerminalConfig config;
    config.Tanks[static_cast<size_t>(index)] = tank;
    return config;
}

TEST(ConfigFile, RoundTripsRecordsThroughTheWrittenText) {
    const std::string letters = W("Насос №1");
    const TRoundTrip cases[] = {
        {"no script lines", TTerminalConfig{}, "\r\n    <script/>\r\n  </configure>\r\n",
         TTerminalConfig{}},
        {"empty and blank lines", WithLines({"", "  ", " 00 "}),
         "<item/>\r\n      <item>  </item>\r\n      <item> 00 </item>",
         WithLines({"", "  ", " 00 "})},
        {"markup characters", WithLines({"<&'\">"}), "<item>&lt;&amp;&apos;&quot;&gt;</item>",
         WithLines({"<&'\">"})},
        {"code page 1251", WithLines({letters, "\xC0"}),
         "<item>&#xCD;&#xE0;&#xF1;&#xEE;&#xF1; &#xB9;1</item>\r\n      <item>&#xC0;</item>",
         WithLines({letters, "\xC0"})},
        {"a disabled tank's thresholds are written, not read", WithTank(3, {0, 5, 50, 90}),
         "<item index=\"3\" active=\"0\" hmin=\"5\" hmax=\"50\" hhigh=\"90\"/>", TTerminalConfig{}},
        {"any thresholds of an enabled tank", WithTank(15, {1, -5, 0, 150}),
         "<item index=\"15\" active=\"-1\" hmin=\"-5\" hmax=\"0\" hhigh=\"150\"/>",
         WithTank(15, {1, -5, 0, 150})},
    };
    for (const TRoundTrip& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string written = ConfigToXml(c.Record);
        EXPECT_NE(written.find(c.Fragment), std::string::npos) << written;
        for (const char byte : written) {
            EXPECT_LT(static_cast<unsigned char>(byte), 0x80);
        }
        EXPECT_EQ(Loaded(written), c.Expected);
    }
}

TEST(ConfigFile, ConvertsIntegerAttributesAs64BitNumbers) {
    const std::pair<std::string, int64_t> cases[] = {
        {"10", 10},
        {"-10", -10},
        {"+7", 7},
        {"  12", 12},
        {"$1A", 26},
        {"$1a", 26},
        {"x1A", 26},
        {"X1a", 26},
        {"0x1A", 26},
        {"0X1a", 26},
        {"-0x10", -16},
        {"-$10", -16},
        {"12 ", -1},
        {"", -1},
        {"True", -1},
        {"1.5", -1},
        {"0x", -1},
        {"$", -1},
        {"- 1", -1},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", -1},
        {"$7FFFFFFFFFFFFFFF", INT64_MAX},
        {"$8000000000000000", -1},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        TXmlNode item;
        item.AddAttribute("hmin", text);
        EXPECT_EQ(ReadIntegerAttribute(item, "HMIN", 99), value);
        EXPECT_EQ(ReadIntegerAttribute(item, "hmax", 99), 99);
    }
}

struct TLoad {
    const char* Name;
    std::string Body; // inside <configure>
    std::vector<std::pair<int, TTankRecord>> Tanks;
    std::vector<std::string> Script;
};

TEST(ConfigFile, FillsTheRecordByTheLookupRules) {
    const TLoad cases[] = {
        {"an enabled item without a threshold reads it as -1",
         "<tanks><item index='2' active='1' hmax='50'/></tanks>",
         {{2, {1, -1, 50, -1}}},
         {}},
        {"items without a usable index are skipped",
         "<tanks><item active='1'/><item index='x' active='1'/><item index='-1' active='1'/>"
         "<item index='16' active='1'/><item index='' active='1'/>"
         "<item index='15' active='1' hmin='1' hmax='2' hhigh='3'/></tanks>",
         {{15, {1, 1, 2, 3}}},
         {}},
        {"the low 32 bits of an index and of a threshold",
         "<tanks><item index='4294967297' active='1' hmin='4294967306' hmax='0x1F' "
         "hhigh='$FFFFFFFF'/></tanks>",
         {{1, {1, 10, 31, -1}}},
         {}},
        {"active: anything but zero enables",
         "<tanks><item index='0' active='2'/><item index='1' active='True'/>"
         "<item index='2' active=''/><item index='3' active='0'/><item index='4'/>"
         "<item index='5' active='$0'/><item index='6' active='4294967296'/></tanks>",
         {{0, {1, -1, -1, -1}}, {1, {1, -1, -1, -1}}, {2, {1, -1, -1, -1}}, {6, {1, -1, -1, -1}}},
         {}},
        {"a later enabled duplicate overwrites, a later disabled one does not",
         "<tanks><item index='1' active='1' hmin='1' hmax='2' hhigh='3'/>"
         "<item index='1' active='1' hmin='4' hmax='5' hhigh='6'/>"
         "<item index='1' active='0' hmin='7' hmax='8' hhigh='9'/></tanks>",
         {{1, {1, 4, 5, 6}}},
         {}},
        {"the last of duplicate attributes, letter case ignored",
         "<tanks><item INDEX='1' index='2' Active='1' hmin='1' HMIN='9'/></tanks>",
         {{2, {1, 9, -1, -1}}},
         {}},
        {"any order, any child name, comments skipped",
         "<tanks><!-- x --><tank index='9' active='1' hmin='1' hmax='2' hhigh='3'/>"
         "<item index='0' active='1' hmin='4' hmax='5' hhigh='6'/>text</tanks>",
         {{9, {1, 1, 2, 3}}, {0, {1, 4, 5, 6}}},
         {}},
        {"section names ignoring case, the last one used",
         "<TANKS><item index='1' active='1'/></TANKS><Tanks><item index='2' active='1'/></Tanks>"
         "<Script><item>a</item></Script><SCRIPT><item>b</item></SCRIPT>",
         {{2, {1, -1, -1, -1}}},
         {"b"}},
        {"every script child is a line, whatever its kind",
         "<script>\r\n<item> 04</item><line/><!-- note --><![CDATA[ <x> ]]>\r\nloose text\r\n"
         "<item><b/></item><item>&lt;&#xC0;</item></script>",
         {},
         {" 04", "", " note ", " <x> ", "\r\nloose text\r\n", "", "<\xC0"}},
        {"a script of layout only has no lines", "<script>\r\n    </script>", {}, {}},
        {"no sections load empty", "<other/>", {}, {}},
        {"no content at all", "", {}, {}},
    };
    for (const TLoad& c : cases) {
        SCOPED_TRACE(c.Name);
        TTerminalConfig expected;
        for (const auto& [index, tank] : c.Tanks) {
            expected.Tanks[static_cast<size_t>(index)] = tank;
        }
        expected.Script.Assign(c.Script);
        EXPECT_EQ(Loaded("<configure>" + c.Body + "</configure>"), expected);
    }
}

TEST(ConfigFile, LoadsADocumentElementOfAnyNameAndAPrologOfAnyKind) {
    std::string file = WorkedExample;
    file.replace(file.find("configure"), 9, "settings");
    file.replace(file.rfind("configure"), 9, "SETTINGS");
    EXPECT_EQ(Loaded(file), WorkedRecord());
    EXPECT_EQ(Loaded("\xEF\xBB\xBF" + WorkedExample), WorkedRecord());

    const TXmlDocument fixture = ReadConfigDocument(DRAVIK_TEST_DATA "/config/hand_edited.cfg");
    TTerminalConfig config;
    FillConfig(fixture, config);
    TTerminalConfig expected;
    expected.Tanks[0] = {1, 10, 50, 90};
    expected.Tanks[7] = {1, 26, 40, 95};
    expected.Script.Assign({" 04 01 02", W(" 00 Конец")});
    EXPECT_EQ(config, expected);
}

TEST(ConfigFile, SavesAndLoadsFilesAndNamesTheFullPathWhenItCannot) {
    TTempFolder folder;
    const std::string path = folder.File("a.cfg");
    WriteBytes(path, std::string(5000, 'x'));
    SaveConfigFile(path, WorkedRecord());
    EXPECT_EQ(ReadBytes(path), WorkedExample); // the longer old content is gone

    TTerminalConfig config;
    FillConfig(ReadConfigDocument(path), config);
    EXPECT_EQ(config, WorkedRecord());

    ASSERT_EQ(::chdir(folder.Path.c_str()), 0);
    const std::string full = std::filesystem::canonical(folder.Path).string();
    EXPECT_EQ(MessageOf([] { ReadConfigDocument("./sub/../missing.cfg"); }),
              "Cannot open file \"" + full + "/missing.cfg\". No such file or directory");
    // File names are UTF-8 on disk and Windows-1251 inside the message.
    EXPECT_EQ(MessageOf([] { ReadConfigDocument("Документы/x.cfg"); }),
              "Cannot open file \"" + full + W("/Документы/x.cfg\". No such file or directory"));
    EXPECT_EQ(MessageOf([] { ReadConfigDocument("."); }),
              "Cannot open file \"" + full + "\". Is a directory");
    WriteBytes(path, "  text<configure/>");
    EXPECT_EQ(MessageOf([&] { ReadConfigDocument(path); }),
              "Invalid Document: Unexpected text in file prolog");
    WriteBytes(path, "");
    EXPECT_EQ(MessageOf([&] { ReadConfigDocument(path); }),
              "Invalid Document: No document element found");
    ASSERT_EQ(::chdir("/"), 0);
}

} // namespace
} // namespace dravik
