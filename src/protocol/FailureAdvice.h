#pragma once

#include "base/PortResolver.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace dravik {

// The machine as the advice sees it: the tree that holds dev, sys and proc ("/" but in tests), the
// ids that decide access to a device, and the names the group and user databases give them.
struct TAdviceHost {
    std::string Root = "/";
    uid_t User = 0;
    std::vector<gid_t> Groups;
    std::function<std::string(gid_t)> GroupName;
    std::function<std::string(uid_t)> UserName;
};

// This process's own: the real root, its effective user and groups, the system's databases.
TAdviceHost ThisHost();

// What the technician can do about a failure of a command on the controller, as lines of
// Windows-1251 text: for a port that failed (TPortFailure), the device the number leads to and
// what the errno points at; for a controller that did not answer (TReplyTimeout), the device, the
// line settings expected and the usual causes. Any other failure gets none: it names its own
// remedy (a refused threshold, a script line) or has none to give.
std::vector<std::string> FailureAdvice(const std::exception& failure, int32_t port,
                                       const TPortResolver& resolver, const TAdviceHost& host);

} // namespace dravik
