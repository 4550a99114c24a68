#pragma once

#include "config/TerminalConfig.h"
#include "config/XmlDocument.h"

#include <cstdint>
#include <string>

namespace dravik {

// The bytes of a .cfg file for config, exactly as saved.
std::string ConfigToXml(const TTerminalConfig& config);

// Writes config to path, replacing the file safely (never a truncated file). Raises on failure.
void SaveConfigFile(const std::string& path, const TTerminalConfig& config);

// Reads and parses the whole file; raises before anything is changed.
TXmlDocument ReadConfigDocument(const std::string& path);

// Parses .cfg bytes already in memory; raises like ReadConfigDocument.
TXmlDocument ParseConfigText(const std::string& bytes);

// Clears config and fills it from a parsed document.
void FillConfig(const TXmlDocument& document, TTerminalConfig& config);

// An integer attribute of a .cfg element: fallback when it is missing, -1 when it does not
// convert in full as a 64-bit number.
int64_t ReadIntegerAttribute(const TXmlNode& node, const std::string& name, int64_t fallback);

} // namespace dravik
