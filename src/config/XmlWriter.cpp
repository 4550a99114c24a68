#include "config/XmlWriter.h"

#include "base/Text.h"

namespace dravik {
namespace {

const char* const Declaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>";
const char* const LineEnd = "\r\n";
const char* const HighByteReference = "&#x%02X;";
constexpr size_t IndentWidth = 2;

void WriteNode(const TXmlNode& node, int level, std::string& out);

std::string StartTag(const TXmlNode& node) {
    std::string tag = "<" + EncodeXmlText(node.Name);
    for (const TXmlAttribute& attribute : node.Attributes) {
        tag += " " + EncodeXmlText(attribute.Name) + "=\"" + EncodeXmlText(attribute.Value) + "\"";
    }
    return tag;
}

std::string ElementLines(const TXmlNode& node, int level, const std::string& indent) {
    const std::string start = StartTag(node);
    const std::string end = "</" + EncodeXmlText(node.Name) + ">";
    if (!node.Children.empty()) {
        std::string out = indent + start + ">" + LineEnd;
        for (const TXmlNode& child : node.Children) {
            WriteNode(child, level + 1, out);
        }
        return out + indent + end + LineEnd;
    }
    if (node.Value.empty()) {
        return indent + start + "/>" + LineEnd;
    }
    return indent + start + ">" + EncodeXmlText(node.Value) + end + LineEnd;
}

void WriteNode(const TXmlNode& node, int level, std::string& out) {
    const std::string indent(static_cast<size_t>(level) * IndentWidth, ' ');
    switch (node.Kind) {
    case TXmlNodeKind::Element:
        out += ElementLines(node, level, indent);
        break;
    case TXmlNodeKind::Comment:
        out += indent + "<!--" + node.Value + "-->" + LineEnd;
        break;
    case TXmlNodeKind::CData:
        out += indent + "<![CDATA[" + node.Value + "]]>" + LineEnd;
        break;
    case TXmlNodeKind::Text:
        out += indent + EncodeXmlText(node.Value) + LineEnd;
        break;
    }
}

} // namespace

std::string EncodeXmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "&quot;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += byte > 0x7F ? Format(HighByteReference, byte) : std::string(1, c);
            break;
        }
    }
    return out;
}

std::string WriteXml(const TXmlDocument& document) {
    std::string out = std::string(Declaration) + LineEnd;
    for (const TXmlNode& child : document.Root.Children) {
        WriteNode(child, 1, out);
    }
    return out;
}

} // namespace dravik
