#include "config/ConfigFile.h"

#include "base/IntegerText.h"
#include "config/FileContent.h"
#include "config/SafeFile.h"
#include "config/XmlReader.h"
#include "config/XmlWriter.h"

#include <limits>

namespace dravik {
namespace {

const std::string ConfigureName = "configure";
const std::string TanksName = "tanks";
const std::string ScriptName = "script";
const std::string ItemName = "item";
const std::string IndexName = "index";
const std::string ActiveName = "active";
const std::string HminName = "hmin";
const std::string HmaxName = "hmax";
const std::string HhighName = "hhigh";
const std::string ActiveText = "-1";
const std::string InactiveText = "0";
constexpr int64_t MissingIndex = -1;
constexpr int64_t MissingActive = 0;
constexpr int64_t MissingThreshold = -1;
constexpr int64_t Unconvertible = -1;

int32_t Low32(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

void AddTanks(TXmlNode& configure, const TTerminalConfig& config) {
    TXmlNode& tanks = configure.AddElement(TanksName);
    for (int i = 0; i < TankCount; ++i) {
        const TTankRecord& tank = config.Tanks[static_cast<size_t>(i)];
        TXmlNode& item = tanks.AddElement(ItemName);
        item.AddAttribute(IndexName, std::to_string(i));
        item.AddAttribute(ActiveName, tank.active != 0 ? ActiveText : InactiveText);
        item.AddAttribute(HminName, std::to_string(tank.hmin));
        item.AddAttribute(HmaxName, std::to_string(tank.hmax));
        item.AddAttribute(HhighName, std::to_string(tank.hhigh));
    }
}

void AddScript(TXmlNode& configure, const TTerminalConfig& config) {
    TXmlNode& script = configure.AddElement(ScriptName);
    for (int i = 0; i < config.Script.Count(); ++i) {
        script.AddElement(ItemName).Value = config.Script[i];
    }
}

// Only an enabled item is stored; a disabled one leaves the tank as it stands.
void FillTank(const TXmlNode& item, TTerminalConfig& config) {
    const int32_t index = Low32(ReadIntegerAttribute(item, IndexName, MissingIndex));
    if (index < 0 || index >= TankCount) {
        return;
    }
    if (ReadIntegerAttribute(item, ActiveName, MissingActive) == 0) {
        return;
    }
    TTankRecord& tank = config.Tanks[static_cast<size_t>(index)];
    tank.active = 1;
    tank.hmin = Low32(ReadIntegerAttribute(item, HminName, MissingThreshold));
    tank.hmax = Low32(ReadIntegerAttribute(item, HmaxName, MissingThreshold));
    tank.hhigh = Low32(ReadIntegerAttribute(item, HhighName, MissingThreshold));
}

} // namespace

int64_t ReadIntegerAttribute(const TXmlNode& node, const std::string& name, int64_t fallback) {
    const TXmlAttribute* attribute = node.FindAttribute(name);
    if (attribute == nullptr) {
        return fallback;
    }
    return ParseInteger(attribute->Value, THexMarks::DollarOrX, std::numeric_limits<int64_t>::min(),
                        std::numeric_limits<int64_t>::max())
        .value_or(Unconvertible);
}

std::string ConfigToXml(const TTerminalConfig& config) {
    TXmlDocument document;
    TXmlNode& configure = document.Root.AddElement(ConfigureName);
    AddTanks(configure, config);
    AddScript(configure, config);
    return WriteXml(document);
}

void SaveConfigFile(const std::string& path, const TTerminalConfig& config) {
    ReplaceFile(path, ConfigToXml(config));
}

TXmlDocument ReadConfigDocument(const std::string& path) {
    return ParseConfigText(ReadFileContent(path));
}

TXmlDocument ParseConfigText(const std::string& bytes) {
    return ParseXml(bytes);
}

void FillConfig(const TXmlDocument& document, TTerminalConfig& config) {
    config.Clear();
    const TXmlNode* root = document.DocumentElement();
    if (root == nullptr) {
        return;
    }
    if (const TXmlNode* tanks = root->FindChild(TanksName)) {
        for (const TXmlNode& item : tanks->Children) {
            FillTank(item, config);
        }
    }
    if (const TXmlNode* script = root->FindChild(ScriptName)) {
        for (const TXmlNode& line : script->Children) {
            config.Script.Add(line.Value);
        }
    }
}

} // namespace dravik
