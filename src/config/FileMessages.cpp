#include "config/FileMessages.h"

#include "base/SystemError.h"

namespace dravik {

std::string FileReason(int error) {
    switch (error) {
    case NotRegularFile:
        return "Not a regular file";
    case UnsafeLink:
        return "The symbolic link lies in a shared folder and belongs to another user";
    default:
        return SystemText(error);
    }
}

} // namespace dravik
