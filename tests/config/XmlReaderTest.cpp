#include "config/XmlReader.h"

#include "support/Messages.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using namespace std::string_literals;

// A compact picture of a node: name(attributes)="value"{children}, with comments, CDATA and
// text runs as [!..], [#..] and ['..].
std::string Describe(const TXmlNode& node) {
    switch (node.Kind) {
    case TXmlNodeKind::Comment:
        return "[!" + node.Value + "]";
    case TXmlNodeKind::CData:
        return "[#" + node.Value + "]";
    case TXmlNodeKind::Text:
        return "['" + node.Value + "]";
    case TXmlNodeKind::Element:
        break;
    }
    std::string out = node.Name;
    for (size_t i = 0; i < node.Attributes.size(); ++i) {
        out += (i == 0 ? "(" : ",") + node.Attributes[i].Name + "=" + node.Attributes[i].Value;
        out += i + 1 == node.Attributes.size() ? ")" : "";
    }
    out += node.Value.empty() ? "" : "=\"" + node.Value + "\"";
    for (size_t i = 0; i < node.Children.size(); ++i) {
        out += (i == 0 ? "{" : " ") + Describe(node.Children[i]);
        out += i + 1 == node.Children.size() ? "}" : "";
    }
    return out;
}

std::string Parsed(const std::string& bytes) {
    const TXmlDocument document = ParseXml(bytes);
    EXPECT_EQ(document.Root.Children.size(), 1u);
    return Describe(*document.DocumentElement());
}

std::string Nested(int depth) {
    std::string open;
    std::string close;
    for (int i = 0; i < depth; ++i) {
        open += "<a>";
        close += "</a>";
    }
    return open + close;
}

struct TAccepted {
    std::string Bytes;
    std::string Tree;
};

TEST(XmlReader, AcceptsTheLenientSyntax) {
    const TAccepted cases[] = {
        {"<a/>", "a"},
        {"\xEF\xBB\xBF<a/>", "a"},
        {"\0\t\r\n \xFE\xFF<a/>"s, "a"},
        {"<?xml version=\"1.0\" encoding='utf-8'?>\r\n<?xml-stylesheet type=\"text/xsl\" "
         "href=\"s.xsl\"?><?other anything ?><!DOCTYPE c [<!ELEMENT c ANY>]><!-- hi -->"
         "<![CDATA[x]]><c/>",
         "c"},
        {"<a/>ignored < text", "a"},
        {"<a></A>", "a"},
        {"<x:a y:b='1'></X:a>", "a(b=1)"},
        {"<a\r\n x \t=\r\n '1' y=\"a'b\" z='>'/>", "a(x=1,y=a'b,z=>)"},
        {"<a b=\"1\" b=\"2\"/>", "a(b=1,b=2)"},
        {"<a>  x &amp; y\r\n</a>", "a=\"  x & y\r\n\""},
        {"<a>\r\n  </a>", "a=\"\r\n  \""},
        {"<a>x\0y</a>"s, "a=\"x\0y\""s},
        {"<a>t<?pi stuff?>u</a>", "a=\"tu\""},
        {"<a>\r\n <b/>\r\n text \r\n<!--c--><![CDATA[<x>&amp;]]></a>",
         "a{b ['\r\n text \r\n] [!c] [#<x>&amp;]}"},
        {"<a> <b>1</b> <c><d/></c> </a>", "a{b=\"1\" c{d}}"},
        {"<a>\t<b/></a>", "a{['\t] b}"}, // a tab is text, not layout
        {"<a><!----></a>", "a{[!]}"},
    };
    for (const TAccepted& c : cases) {
        SCOPED_TRACE(c.Bytes);
        EXPECT_EQ(Parsed(c.Bytes), c.Tree);
    }
}

TEST(XmlReader, DecodesReferencesAndKeepsBrokenOnesAsWritten) {
    const std::pair<std::string, std::string> cases[] = {
        {"&amp;&lt;&gt;&apos;&quot;", "&<>'\""},
        {"&AMP;&Lt;&QUOT;", "&<\""},
        {"&#65;&#x41;&#X41;&#x000041;", "AAAA"},
        {"&#321;&#xC0;&#192;", "A\xC0\xC0"}, // the low eight bits
        {"&#0;&#x0;&#;&#x;&#65&#6a;&#99999999999;", "&#0;&#x0;&#;&#x;&#65&#6a;&#99999999999;"},
        {"&bogus; & &amp", "&bogus; & &amp"},
        {"&&amp;;", "&&;"},
    };
    for (const auto& [raw, decoded] : cases) {
        SCOPED_TRACE(raw);
        EXPECT_EQ(DecodeXmlReferences(raw), decoded);
        EXPECT_EQ(Parsed("<a v='" + raw + "'>" + raw + "</a>"),
                  "a(v=" + decoded + ")=\"" + decoded + "\"");
    }
}

struct TRefused {
    std::string Bytes;
    std::string Message;
};

TEST(XmlReader, RefusesMalformedInputWithItsMessage) {
    const std::string element = "Invalid XML Element: ";
    const std::string property = element + "Unexpected character in property declaration";
    const TRefused cases[] = {
        {"", "Invalid Document: No document element found"},
        {" \r\n\xEF\xBB\xBF", "Invalid Document: No document element found"},
        {"<?xml version=\"1.0\"?><!-- only -->", "Invalid Document: No document element found"},
        {"x<a/>", "Invalid Document: Unexpected text in file prolog"},
        {"<?xml version=\"1.0\"?>\r\nabc<a/>", "Invalid Document: Unexpected text in file prolog"},
        {"< a/>", element + "malformed tag found (no valid name)"},
        {"<a><\tb/></a>", element + "malformed tag found (no valid name)"},
        {"<>", element + "malformed tag found (no valid name)"},
        {"<a/b>", element + "Expected end of tag but \"b\" found"},
        {"<a x='1' /x>", element + "Expected end of tag but \"x\" found"},
        {"<a x='1'?>", element + "Expected end of tag but \"?\" found"},
        {"<a></a b>", element + "Expected end of tag but \"b\" found"},
        {"<a><b></a>", element + "Erroneous end of tag, expecting </b> but </a> found"},
        {"<x:a></x:b>", element + "Erroneous end of tag, expecting </a> but </b> found"},
        {"<a x#='1'/>", property + " (\"#\" found)"},
        {"<a x '1'/>", property + " (\"'\" found)"},
        {"<a ='1'/>", property + " (\"=\" found)"},
        {"<a x=1/>", property + ". Expecting \" or ' but \"1\"  found"},
        {std::string("<a x=\0/>", 8), property + ". Expecting \" or ' but \"\\0\"  found"},
        {std::string("<a></a\0b>", 9),
         element + "Erroneous end of tag, expecting </a> but </a\\0b> found"},
        {"<a x=\"1/>", element + "Unexpected end of data"},
        {"<a", element + "Unexpected end of data"},
        {"<a>", element + "Unexpected end of data"},
        {"<a><b>text", element + "Unexpected end of data"},
        {"<a></a", element + "Unexpected end of data"},
        {"<a/", element + "Unexpected end of data"},
        {"<!-x--><a/>", "Invalid Comment: expected \"<!--\" but found \"<!-x\""},
        {"<a><!DOCTYPE a></a>", "Invalid Comment: expected \"<!--\" but found \"<!DO\""},
        {"<!-- a -- b --><a/>", "Invalid Comment: \"--\" not allowed inside comments"},
        {"<!-- a", "Invalid Comment: Unexpected end of data"},
        {"<!-- a --", "Invalid Comment: Unexpected end of data"},
        {"<a><![CDAT x]]></a>", "Invalid CDATA: expected \"<![CDATA[\" but found \"<![CDAT x\""},
        {"<a><![CDATA[ x</a>", "Invalid CDATA: Unexpected end of data"},
        {"<?xml version=\"1.0\"><a/>", "Invalid Header: expected \"?>\" but found \"><\""},
        {"<?xml version=\"1.0\"", "Invalid Header: expected \"?>\" but found \"\""},
        {"<?xml-stylesheet href=\"a\"><a/>",
         "Invalid Stylesheet: expected \"?>\" but found \"><\""},
        {"<?xml-stylesheet href=\"a\"", "Invalid Stylesheet: Unexpected end of data"},
        {"<?php x", "Invalid Processing Instruction: Unexpected end of data"},
        {"<!DOCTYPE a [ <!ELEMENT a ANY> ", "Invalid DocType: Unexpected end of data"},
        {Nested(MaxXmlDepth + 1), element + "Elements nested deeper than 256 levels"},
        {"<a>" + Nested(100000).substr(0, 300000),
         element + "Elements nested deeper than 256 levels"},
    };
    for (const TRefused& c : cases) {
        SCOPED_TRACE(c.Bytes.substr(0, 60));
        EXPECT_EQ(MessageOf([&] { ParseXml(c.Bytes); }), c.Message);
    }
    EXPECT_EQ(Parsed(Nested(MaxXmlDepth)).substr(0, 4), "a{a{");
}

TEST(XmlReader, NeverReadsPastAnyTruncationOfAFile) {
    const std::string file = "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!-- c --><configure>\r\n"
                             "  <tanks><item index=\"0\" active='-1'/></tanks><![CDATA[x]]>\r\n"
                             "  <script><item> 04 &amp; &#xC0;</item></script>\r\n</configure>\r\n";
    for (size_t length = 0; length <= file.size(); ++length) {
        // Exactly sized, so that the sanitizer sees any read beyond the end.
        const auto copy = std::make_unique<char[]>(length);
        file.copy(copy.get(), length);
        try {
            ParseXml(std::string_view(copy.get(), length));
            EXPECT_GE(length, file.find("</configure>") + 12) << length;
        } catch (const Exception&) {
            EXPECT_LT(length, file.find("</configure>") + 12) << length;
        }
    }
}

TEST(XmlReader, TakesAHugeAttribute) {
    const std::string value(4 * 1024 * 1024, 'v');
    const TXmlDocument document = ParseXml("<a b='" + value + "'/>");
    EXPECT_EQ(document.DocumentElement()->Attributes.at(0).Value, value);
}

TEST(XmlReader, FindsTheLastChildAndAttributeOfANameIgnoringCase) {
    const TXmlDocument document =
        ParseXml("<a x='1' X='2'><TANKS n='1'/><!--tanks--><tanks n='2'/><other/></a>");
    const TXmlNode& root = *document.DocumentElement();
    ASSERT_NE(root.FindChild("tanks"), nullptr);
    EXPECT_EQ(root.FindChild("Tanks")->Attributes.at(0).Value, "2");
    EXPECT_EQ(root.FindAttribute("x")->Value, "2");
    EXPECT_EQ(root.FindChild("script"), nullptr);
    EXPECT_EQ(root.FindAttribute("y"), nullptr);
}

} // namespace
} // namespace dravik
