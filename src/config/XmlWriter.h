#pragma once

#include "config/XmlDocument.h"

#include <string>
#include <string_view>

namespace dravik {

// The bytes of a document: the declaration, then the root's children from one level of
// indentation, two blanks a level, CR LF after every line, pure ASCII.
std::string WriteXml(const TXmlDocument& document);

// Markup characters and bytes above 0x7F as references; everything else as it stands.
std::string EncodeXmlText(std::string_view text);

} // namespace dravik
