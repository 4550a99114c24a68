#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dravik {

enum class TXmlNodeKind { Element, Comment, CData, Text };

struct TXmlAttribute {
    std::string Name;
    std::string Value; // references already decoded
};

// One node of a parsed or built document. Comments, CDATA sections and text runs carry only
// their Value; an element whose content was only text has that text as Value and no children.
class TXmlNode {
public:
    TXmlNodeKind Kind = TXmlNodeKind::Element;
    std::string Name; // without its namespace prefix
    std::string Value;
    std::vector<TXmlAttribute> Attributes; // in document order
    std::vector<TXmlNode> Children;        // in document order

    // The last child of that name, letter case ignored; nullptr when there is none.
    const TXmlNode* FindChild(std::string_view name) const;
    // The last attribute of that name, letter case ignored; nullptr when there is none.
    const TXmlAttribute* FindAttribute(std::string_view name) const;

    TXmlNode& AddElement(std::string name);
    void AddAttribute(std::string name, std::string value);
};

// A document: a nameless root whose one element child is the document element.
class TXmlDocument {
public:
    TXmlNode Root;

    const TXmlNode* DocumentElement() const;
};

} // namespace dravik
