#include "config/IniFile.h"

#include "base/NameCompare.h"

#include <vector>

namespace dravik {
namespace {

constexpr std::string_view Blanks = " \t";
constexpr std::string_view WindowsLineEnd = "\r\n";

// One line of the text: [Start, End) without its line break, Next the start of the next line.
struct TLine {
    size_t Start;
    size_t End;
    size_t Next;
};

std::vector<TLine> SplitLines(const std::string& text) {
    std::vector<TLine> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t feed = text.find('\n', start);
        const size_t next = feed == std::string::npos ? text.size() : feed + 1;
        size_t end = feed == std::string::npos ? text.size() : feed;
        end -= (end > start && text[end - 1] == '\r') ? 1U : 0U;
        lines.push_back({start, end, next});
        start = next;
    }
    return lines;
}

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

// The section a line opens, or nothing when it opens none.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trimmed(line);
    if (!line.starts_with('[')) {
        return std::nullopt;
    }
    line.remove_prefix(1);
    return Trimmed(line.substr(0, line.find(']')));
}

bool IsKey(std::string_view line, std::string_view key) {
    const size_t equals = line.find('=');
    return equals != std::string_view::npos &&
           SameNameIgnoringCase(Trimmed(line.substr(0, equals)), key);
}

class TIniLines {
public:
    explicit TIniLines(const std::string& text) : Text(text), Lines(SplitLines(text)) {}

    std::string_view Line(size_t i) const {
        return std::string_view(Text).substr(Lines[i].Start, Lines[i].End - Lines[i].Start);
    }
    size_t Count() const { return Lines.size(); }
    const TLine& operator[](size_t i) const { return Lines[i]; }

    // Index of the section's header line, or Count().
    size_t FindSection(std::string_view section) const {
        for (size_t i = 0; i < Count(); ++i) {
            const auto name = SectionName(Line(i));
            if (name && SameNameIgnoringCase(*name, section)) {
                return i;
            }
        }
        return Count();
    }

    // Index of the line after the section's last line.
    size_t SectionEnd(size_t header) const {
        size_t i = header + 1;
        while (i < Count() && !SectionName(Line(i))) {
            ++i;
        }
        return i;
    }

    // Index of the key's line in the section, or Count().
    size_t FindKey(size_t header, std::string_view key) const {
        const size_t end = SectionEnd(header);
        for (size_t i = header + 1; i < end; ++i) {
            if (IsKey(Line(i), key)) {
                return i;
            }
        }
        return Count();
    }

    // The last line of the section that is not blank: new keys go after it.
    size_t LastFilledLine(size_t header) const {
        size_t last = header;
        for (size_t i = header + 1; i < SectionEnd(header); ++i) {
            last = Trimmed(Line(i)).empty() ? last : i;
        }
        return last;
    }

    // The file's own line break, CR LF for a file that has none yet; a CR that ends the text
    // is no line break of its own.
    std::string LineEnd() const {
        for (const TLine& line : Lines) {
            if (line.Next > line.End && Text[line.Next - 1] == '\n') {
                return Text.substr(line.End, line.Next - line.End);
            }
        }
        return std::string(WindowsLineEnd);
    }

private:
    const std::string& Text;
    std::vector<TLine> Lines;
};

// What the text needs before a line can follow it; a CR that ends it only lacks its LF, and with
// it the last line reads as it did.
std::string BreakBeforeNewLine(std::string_view text, const std::string& eol) {
    if (text.empty() || text.back() == '\n') {
        return {};
    }
    return text.back() == '\r' ? "\n" : eol;
}

} // namespace

std::optional<std::string> TIniFile::Read(std::string_view section, std::string_view key) const {
    const TIniLines lines(Content);
    const size_t header = lines.FindSection(section);
    if (header == lines.Count()) {
        return std::nullopt;
    }
    const size_t found = lines.FindKey(header, key);
    if (found == lines.Count()) {
        return std::nullopt;
    }
    const std::string_view line = lines.Line(found);
    return std::string(Trimmed(line.substr(line.find('=') + 1)));
}

void TIniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    const TIniLines lines(Content);
    const std::string eol = lines.LineEnd();
    const std::string entry = std::string(key) + "=" + std::string(value);
    const size_t header = lines.FindSection(section);
    if (header == lines.Count()) {
        Content +=
            BreakBeforeNewLine(Content, eol) + "[" + std::string(section) + "]" + eol + entry + eol;
        return;
    }
    const size_t found = lines.FindKey(header, key);
    if (found != lines.Count()) {
        Content.replace(lines[found].Start, lines[found].End - lines[found].Start, entry);
        return;
    }
    const size_t at = lines[lines.LastFilledLine(header)].Next;
    Content.insert(at,
                   BreakBeforeNewLine(std::string_view(Content).substr(0, at), eol) + entry + eol);
}

} // namespace dravik
