#pragma once

#include "support/TempFolder.h"

#include <string>

namespace dravik::test {

// A fresh folder that is the current directory for the object's life, then removed with all
// it holds: the link log and the files of a test land there.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return Folder.Path; }
    std::string File(const std::string& name) const { return Folder.File(name); }

private:
    TTempFolder Folder;
    std::string Previous;
};

} // namespace dravik::test
