#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dravik {

// The text of an INI file, read and written like the profile-file functions do: section and key
// names are matched ignoring letter case, blanks around names and values are ignored, the first
// match wins, and writing one key keeps every other byte of the text.
class TIniFile {
public:
    explicit TIniFile(std::string text = {}) : Content(std::move(text)) {}

    // The key's value, or nothing when the section or the key is missing.
    std::optional<std::string> Read(std::string_view section, std::string_view key) const;

    // Sets the key, adding the section at the end and the key at the end of its section when they
    // are missing.
    void Write(std::string_view section, std::string_view key, std::string_view value);

    const std::string& Text() const { return Content; }

private:
    std::string Content;
};

} // namespace dravik
