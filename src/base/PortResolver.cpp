#include "base/PortResolver.h"

#include <utility>

namespace dravik {

TPortResolver FixedDevice(std::string path) {
    return [path = std::move(path)](int32_t /*portNumber*/) { return path; };
}

} // namespace dravik
