// Calls of Format that must not compile: each case is built on its own by the test, which expects
// the compiler to refuse it. The case without a macro compiles, so the harness itself is proven.
#include "base/Text.h"

#include <cstdint>
#include <string>
#include <string_view>

int main() {
#if defined(FORMAT_STRING_VIEW)
    return static_cast<int>(dravik::Format("%s", std::string_view("x")).size());
#elif defined(FORMAT_STD_STRING)
    return static_cast<int>(dravik::Format("%s", std::string("x")).size());
#elif defined(FORMAT_INT64)
    return static_cast<int>(dravik::Format("%d", int64_t{1}).size());
#elif defined(FORMAT_DOUBLE)
    return static_cast<int>(dravik::Format("%d", 1.0).size());
#else
    return static_cast<int>(dravik::Format("%d %s", 1, "x").size()) == 3 ? 0 : 1;
#endif
}
