#pragma once

#include "config/XmlDocument.h"

#include <string_view>

namespace dravik {

// Deeper documents are refused: no file the program writes comes near it, and the reader recurses.
constexpr int MaxXmlDepth = 256;

// Parses the bytes of an XML file leniently (byte-order marks, namespace prefixes, comments and
// CDATA as children, references decoded); raises with the reader's message on malformed input.
TXmlDocument ParseXml(std::string_view bytes);

// The text with its character references decoded; broken references stay as written.
std::string DecodeXmlReferences(std::string_view raw);

} // namespace dravik
