#pragma once

#include <string>

namespace dravik {

// The absolute form of a path, as messages name files: relative paths are taken from the working
// folder, and "." and ".." are resolved by name without following links.
std::string FullPath(const std::string& path);

// FullPath as it stands inside a message: the file system's UTF-8 names in Windows-1251.
std::string MessagePath(const std::string& path);

// The folder part of a path, with its final "/" ("" for a bare name).
std::string FolderOf(const std::string& path);

} // namespace dravik
