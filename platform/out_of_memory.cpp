#include "platform/out_of_memory.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

namespace tessivor::platform {
namespace {

const char* gProgram = "tessivor";
std::terminate_handler gPrevious = nullptr;

[[noreturn]] void onTerminate() {
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::bad_alloc&) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s: out of memory\n", gProgram);
            std::_Exit(70);
        } catch (...) {
        }
    }
    if (gPrevious) gPrevious();
    std::abort();
}

} // namespace

void reportOutOfMemoryAtExit(const char* program) {
    gProgram = program;
    gPrevious = std::set_terminate(onTerminate);
}

} // namespace tessivor::platform
