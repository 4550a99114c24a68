#pragma once

#include <string>
#include <sys/types.h>

namespace dravik {

// The folders where the programs keep a user's files when the program's own folder is not theirs,
// by the XDG base directory rules: one folder "dravik_conf" under the base directory.

// $XDG_CONFIG_HOME/dravik_conf, or ~/.config/dravik_conf when the variable is unset, empty or
// relative.
std::string UserConfigFolder();

// $XDG_STATE_HOME/dravik_conf, or ~/.local/state/dravik_conf likewise.
std::string UserStateFolder();

// The settings file to read and save: `beside` (the file next to the program) when it may be
// written, or does not exist and its folder may be written; otherwise dravik_conf.ini in
// UserConfigFolder(), which is created when missing so that the first save can succeed.
std::string ChooseSettingsFile(const std::string& beside);

// The folder for the link logs, "" meaning the current directory: that is where a program started
// from a terminal logs, as long as it may write there. A program started from the menu, or from a
// current directory it cannot write, logs to UserStateFolder(), created when missing.
std::string ChooseLogFolder(bool fromMenu);

// The base directory rules ask for folders of the user alone.
constexpr mode_t UserFolderMode = 0700;

// Creates path and every missing folder above it with mode; false with errno when one fails.
bool MakeFolders(const std::string& path, mode_t mode);

} // namespace dravik
