#pragma once

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

    const std::string& Path() const { return Dir; }
    std::string File(const std::string& name) const { return Dir + "/" + name; }

private:
    std::string Dir;
    std::string Previous;
};

} // namespace dravik::test
