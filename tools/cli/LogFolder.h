#pragma once

#include <optional>
#include <string>

namespace dravik::cli {

// Sets the link log's folder for the commands that open a port: the one given, refused before
// any port opens when it cannot be written (the log would be lost without a word), else the
// current directory or the user's state folder.
void ChooseLinkLogFolder(const std::optional<std::string>& folder);

} // namespace dravik::cli
