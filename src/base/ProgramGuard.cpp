#include "base/ProgramGuard.h"

#include "base/Exception.h"
#include "base/Text.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>

namespace dravik {
namespace {

constexpr int ExitFailed = 1;

// Nothing here allocates: the memory may be gone.
int Report(const char* program, const char* message) {
    std::fprintf(stderr, "%s: %s\n", program, message);
    return ExitFailed;
}

} // namespace

int RunProgram(const char* program, const std::function<int()>& body) {
    try {
        try {
            return body();
        } catch (const Exception& e) {
            return Report(program, Cp1251ToUtf8(WithFullStop(e.message())).c_str());
        }
    } catch (const std::bad_alloc&) {
        return Report(program, "out of memory");
    } catch (const std::exception& e) {
        return Report(program, e.what());
    } catch (...) {
        return Report(program, "unexpected failure");
    }
}

} // namespace dravik
