#pragma once
// INTERFACE CONTRACT (written before the implementation; the implementer may add to it but keeps
// these names and signatures, which the window and the command-line tool use).

#include "config/TerminalConfig.h"
#include "config/XmlDocument.h"

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

} // namespace dravik
