#pragma once

#include "base/Exception.h"
#include "base/Text.h"

namespace dravik {

// The controller did not answer an exchange in any of its attempts: "Таймаут", carried as its own
// type so that the line settings and the usual causes can be named beside it.
class TReplyTimeout : public Exception {
public:
    TReplyTimeout() : Exception(Cp1251("Таймаут")) {}
};

} // namespace dravik
