#include "config/XmlReader.h"

#include "base/Text.h"
#include "config/IntegerText.h"
#include "config/NameCompare.h"

#include <cstdint>

namespace dravik {
namespace {

const char* const NoDocumentElement = "Invalid Document: No document element found";
const char* const PrologText = "Invalid Document: Unexpected text in file prolog";
const char* const NoValidName = "Invalid XML Element: malformed tag found (no valid name)";
const char* const ExpectedEndOfTag = "Invalid XML Element: Expected end of tag but \"%s\" found";
const char* const WrongEndTag =
    "Invalid XML Element: Erroneous end of tag, expecting </%s> but </%s> found";
const char* const BadPropertyCharacter =
    "Invalid XML Element: Unexpected character in property declaration (\"%s\" found)";
const char* const BadPropertyQuote = "Invalid XML Element: Unexpected character in property "
                                     "declaration. Expecting \" or ' but \"%s\"  found";
const char* const ElementEndOfData = "Invalid XML Element: Unexpected end of data";
const char* const TooDeep = "Invalid XML Element: Elements nested deeper than %d levels";
const char* const CommentExpected = "Invalid Comment: expected \"%s\" but found \"%s\"";
const char* const CommentDashes = "Invalid Comment: \"--\" not allowed inside comments";
const char* const CommentEndOfData = "Invalid Comment: Unexpected end of data";
const char* const CDataExpected = "Invalid CDATA: expected \"%s\" but found \"%s\"";
const char* const CDataEndOfData = "Invalid CDATA: Unexpected end of data";
const char* const HeaderExpected = "Invalid Header: expected \"%s\" but found \"%s\"";
const char* const StylesheetExpected = "Invalid Stylesheet: expected \"%s\" but found \"%s\"";
const char* const StylesheetEndOfData = "Invalid Stylesheet: Unexpected end of data";
const char* const DocTypeEndOfData = "Invalid DocType: Unexpected end of data";
const char* const InstructionEndOfData = "Invalid Processing Instruction: Unexpected end of data";

constexpr std::string_view CommentOpen = "<!--";
constexpr std::string_view CommentClose = "--";
constexpr std::string_view CDataOpen = "<![CDATA[";
constexpr std::string_view CDataClose = "]]>";
constexpr std::string_view InstructionClose = "?>";
constexpr std::string_view EndTagOpen = "</";
constexpr std::string_view HeaderName = "xml";
constexpr std::string_view StylesheetName = "xml-stylesheet";

struct TNamedReference {
    std::string_view Text;
    char Byte;
};
constexpr TNamedReference NamedReferences[] = {
    {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'}};

bool IsBlank(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Only blanks and line breaks make a text run ignorable between children.
bool IsLayoutOnly(std::string_view run) {
    return run.find_first_not_of(" \r\n") == std::string_view::npos;
}

// Passed over before the document element: control bytes, blanks and byte-order marks.
bool IsPrologFiller(int c) {
    static constexpr std::string_view Filler("\0\t\n\r \xEF\xBB\xBF\xFE\xFF", 10);
    return c >= 0 && Filler.find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsAttributeNameCharacter(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':';
}

std::string WithoutPrefix(std::string_view name) {
    const size_t colon = name.rfind(':');
    return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

// "&#...;" at the start of text: the length it takes and its byte, or 0 when it stays as written.
size_t NumericReference(std::string_view text, char& byte) {
    size_t i = 2;
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    i += hex ? 1 : 0;
    const size_t first = i;
    int64_t number = 0;
    for (; i < text.size() && DigitValue(text[i], hex) >= 0; ++i) {
        number = number * (hex ? 16 : 10) + DigitValue(text[i], hex);
        if (number > INT32_MAX) {
            return 0;
        }
    }
    if (i == first || i >= text.size() || text[i] != ';' || number == 0) {
        return 0;
    }
    byte = static_cast<char>(number & 0xFF);
    return i + 1;
}

// A reference at the start of text: the length it takes, or 0 when it stays as written.
size_t Reference(std::string_view text, char& byte) {
    for (const TNamedReference& named : NamedReferences) {
        if (SameNameIgnoringCase(text.substr(0, named.Text.size()), named.Text)) {
            byte = named.Byte;
            return named.Text.size();
        }
    }
    return text.substr(0, 2) == "&#" ? NumericReference(text, byte) : 0;
}

class TXmlReader {
public:
    explicit TXmlReader(std::string_view bytes) : In(bytes) {}

    TXmlDocument Parse() {
        TXmlDocument document;
        SkipProlog();
        document.Root.Children.push_back(ParseElement(1));
        return document;
    }

private:
    std::string_view In;
    size_t Pos = 0;

    int Peek(size_t ahead = 0) const {
        return Pos + ahead < In.size() ? static_cast<unsigned char>(In[Pos + ahead]) : -1;
    }
    bool LookingAt(std::string_view text) const { return In.substr(Pos).starts_with(text); }
    std::string Ahead(size_t count) const { return Shown(In.substr(Pos, count)); }
    static std::string Character(int c) { return Shown(std::string(1, static_cast<char>(c))); }

    void SkipBlanks() {
        while (IsBlank(Peek())) {
            ++Pos;
        }
    }

    // The next byte, raising endOfData when there is none.
    int Next(const char* endOfData) const {
        const int c = Peek();
        if (c < 0) {
            Raise(endOfData);
        }
        return c;
    }

    void SkipProlog() {
        for (;;) {
            const int c = Peek();
            if (c < 0) {
                Raise(NoDocumentElement);
            }
            if (IsPrologFiller(c)) {
                ++Pos;
            } else if (c != '<') {
                Raise(PrologText);
            } else if (Peek(1) == '?') {
                SkipInstruction();
            } else if (Peek(1) != '!') {
                return;
            } else if (Peek(2) == '-') {
                ParseComment();
            } else if (Peek(2) == '[') {
                ParseCData();
            } else {
                SkipDocumentType();
            }
        }
    }

    void SkipInstruction() {
        Pos += 2;
        const size_t nameStart = Pos;
        while (Peek() >= 0 && !IsBlank(Peek()) && Peek() != '?' && Peek() != '>') {
            ++Pos;
        }
        const std::string_view name = In.substr(nameStart, Pos - nameStart);
        if (SameNameIgnoringCase(name, HeaderName)) {
            FinishInstruction(Format(HeaderExpected, InstructionClose.data(), ""), HeaderExpected);
        } else if (SameNameIgnoringCase(name, StylesheetName)) {
            FinishInstruction(StylesheetEndOfData, StylesheetExpected);
        } else {
            const size_t close = In.find(InstructionClose, Pos);
            if (close == std::string_view::npos) {
                Raise(InstructionEndOfData);
            }
            Pos = close + InstructionClose.size();
        }
    }

    // The pseudo-attributes of a declaration or stylesheet instruction, then its "?>".
    void FinishInstruction(const std::string& endOfData, const char* expected) {
        TXmlNode ignored;
        ParseAttributes(ignored, endOfData.c_str());
        if (!LookingAt(InstructionClose)) {
            Raise(
                Format(expected, InstructionClose.data(), Ahead(InstructionClose.size()).c_str()));
        }
        Pos += InstructionClose.size();
    }

    void SkipDocumentType() {
        int quote = 0;
        int brackets = 0;
        for (Pos += 2; Peek() >= 0; ++Pos) {
            const int c = Peek();
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[' || c == ']') {
                brackets += c == '[' ? 1 : -1;
            } else if (c == '>' && brackets <= 0) {
                ++Pos;
                return;
            }
        }
        Raise(DocTypeEndOfData);
    }

    std::string ParseComment() {
        if (!LookingAt(CommentOpen)) {
            Raise(Format(CommentExpected, CommentOpen.data(), Ahead(CommentOpen.size()).c_str()));
        }
        Pos += CommentOpen.size();
        const size_t dashes = In.find(CommentClose, Pos);
        const size_t end = dashes + CommentClose.size();
        if (dashes == std::string_view::npos || end >= In.size()) {
            Raise(CommentEndOfData);
        }
        if (In[end] != '>') {
            Raise(CommentDashes);
        }
        std::string text(In.substr(Pos, dashes - Pos));
        Pos = end + 1;
        return text;
    }

    std::string ParseCData() {
        if (!LookingAt(CDataOpen)) {
            Raise(Format(CDataExpected, CDataOpen.data(), Ahead(CDataOpen.size()).c_str()));
        }
        Pos += CDataOpen.size();
        const size_t close = In.find(CDataClose, Pos);
        if (close == std::string_view::npos) {
            Raise(CDataEndOfData);
        }
        std::string text(In.substr(Pos, close - Pos));
        Pos = close + CDataClose.size();
        return text;
    }

    std::string_view ReadTagName() {
        const size_t start = Pos;
        while (Peek() >= 0 && !IsBlank(Peek()) && Peek() != '/' && Peek() != '>') {
            ++Pos;
        }
        return In.substr(start, Pos - start);
    }

    void ParseAttributes(TXmlNode& node, const char* endOfData) {
        for (;;) {
            SkipBlanks();
            int c = Next(endOfData);
            if (c == '/' || c == '>' || c == '?') {
                return;
            }
            const size_t nameStart = Pos;
            while (IsAttributeNameCharacter(Peek())) {
                ++Pos;
            }
            const std::string_view name = In.substr(nameStart, Pos - nameStart);
            SkipBlanks();
            c = Next(endOfData);
            if (name.empty() || c != '=') {
                Raise(Format(BadPropertyCharacter, Character(c).c_str()));
            }
            ++Pos;
            SkipBlanks();
            const int quote = Next(endOfData);
            if (quote != '"' && quote != '\'') {
                Raise(Format(BadPropertyQuote, Character(quote).c_str()));
            }
            const size_t close = In.find(static_cast<char>(quote), ++Pos);
            if (close == std::string_view::npos) {
                Raise(endOfData);
            }
            node.AddAttribute(WithoutPrefix(name),
                              DecodeXmlReferences(In.substr(Pos, close - Pos)));
            Pos = close + 1;
        }
    }

    TXmlNode ParseElement(int depth) {
        if (depth > MaxXmlDepth) {
            Raise(Format(TooDeep, MaxXmlDepth));
        }
        ++Pos; // "<"
        if (IsBlank(Next(ElementEndOfData))) {
            Raise(NoValidName);
        }
        const std::string_view name = ReadTagName();
        if (name.empty()) {
            Raise(NoValidName);
        }
        TXmlNode node;
        node.Name = WithoutPrefix(name);
        ParseAttributes(node, ElementEndOfData);
        const int c = Next(ElementEndOfData);
        ++Pos;
        if (c == '/') {
            const int after = Next(ElementEndOfData);
            if (after != '>') {
                Raise(Format(ExpectedEndOfTag, Character(after).c_str()));
            }
            ++Pos;
        } else if (c == '?') {
            Raise(Format(ExpectedEndOfTag, Character(c).c_str()));
        } else {
            ParseContent(node, depth);
        }
        return node;
    }

    void ParseContent(TXmlNode& node, int depth) {
        for (;;) {
            const size_t open = In.find('<', Pos);
            if (open == std::string_view::npos) {
                Raise(ElementEndOfData);
            }
            if (open > Pos) {
                AddChild(node, TXmlNodeKind::Text, std::string(In.substr(Pos, open - Pos)));
                Pos = open;
            }
            if (LookingAt(EndTagOpen)) {
                ParseEndTag(node.Name);
                break;
            }
            if (Peek(1) == '?') {
                SkipInstruction();
            } else if (Peek(1) == '!' && Peek(2) == '[') {
                AddChild(node, TXmlNodeKind::CData, ParseCData());
            } else if (Peek(1) == '!') {
                AddChild(node, TXmlNodeKind::Comment, ParseComment());
            } else {
                node.Children.push_back(ParseElement(depth + 1));
            }
        }
        SettleContent(node);
    }

    static void AddChild(TXmlNode& node, TXmlNodeKind kind, std::string value) {
        TXmlNode& child = node.Children.emplace_back();
        child.Kind = kind;
        child.Value = std::move(value);
    }

    // Text alone is the element's value; beside markup, text runs become children unless they
    // are only layout.
    static void SettleContent(TXmlNode& node) {
        std::string text;
        bool onlyText = true;
        for (const TXmlNode& child : node.Children) {
            onlyText = onlyText && child.Kind == TXmlNodeKind::Text;
            text += child.Kind == TXmlNodeKind::Text ? child.Value : std::string();
        }
        if (onlyText) {
            node.Value = DecodeXmlReferences(text);
            node.Children.clear();
            return;
        }
        std::erase_if(node.Children, [](const TXmlNode& child) {
            return child.Kind == TXmlNodeKind::Text && IsLayoutOnly(child.Value);
        });
        for (TXmlNode& child : node.Children) {
            if (child.Kind == TXmlNodeKind::Text) {
                child.Value = DecodeXmlReferences(child.Value);
            }
        }
    }

    void ParseEndTag(const std::string& startName) {
        Pos += EndTagOpen.size();
        const std::string name = WithoutPrefix(ReadTagName());
        SkipBlanks();
        const int c = Next(ElementEndOfData);
        if (!SameNameIgnoringCase(name, startName)) {
            Raise(Format(WrongEndTag, Shown(startName).c_str(), Shown(name).c_str()));
        }
        if (c != '>') {
            Raise(Format(ExpectedEndOfTag, Character(c).c_str()));
        }
        ++Pos;
    }
};

} // namespace

std::string DecodeXmlReferences(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size();) {
        char byte = 0;
        const size_t used = raw[i] == '&' ? Reference(raw.substr(i), byte) : 0;
        out += used == 0 ? raw[i] : byte;
        i += used == 0 ? 1 : used;
    }
    return out;
}

TXmlDocument ParseXml(std::string_view bytes) {
    return TXmlReader(bytes).Parse();
}

} // namespace dravik
