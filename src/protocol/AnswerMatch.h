#pragma once

#include "protocol/ModbusPdu.h"

namespace dravik {

// Whether an answer whose CRC was good belongs to the request: a normal answer carries the
// request's function, for function 3 the byte count 2·N and exactly that many data bytes, for
// function 16 exactly the request's start and count; an exception answer carries the request's
// function with bit 7 set and one code byte. Both PDUs are read from their function byte, by
// their Size; the cursors are left alone.
bool AnswerMatches(const TModbusPdu& request, const TModbusPdu& answer);

} // namespace dravik
