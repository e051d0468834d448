// The plain interpreter against the fast one: on any code string both must show the same
// events and end in the same state after the same number of steps.

#include "fuzz/fuzz_host.h"
#include "runner/machine/run.h"

#include <new>
#include <optional>
#include <string>

using namespace tessivor;
using fuzz::check;

namespace {

struct Outcome {
    RunResult result;
    std::vector<std::string> events;
};

std::optional<Outcome> runOnce(const std::string& code, bool plain, bool withPulse) {
    fuzz::ScriptedHost host(withPulse);
    RunOptions options;
    options.maxSteps = 20'000;
    options.plain = plain;
    try {
        fuzz::MemoryBudget budget(std::size_t{256} << 20);
        RunResult r = runprogram(code, host, options);
        // The fast loop turns a refused allocation into "Out of string space"; either way the
        // run needed more memory than a fuzz run may take.
        if (fuzz::MemoryBudget::exceeded()) return std::nullopt;
        return Outcome{std::move(r), std::move(host.events)};
    } catch (const std::bad_alloc&) {
        return std::nullopt; // needs more memory than a fuzz run may take
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string code(reinterpret_cast<const char*>(data), size);
    const bool withPulse = size > 0 && data[0] % 2 == 0;
    const std::optional<Outcome> plain = runOnce(code, true, withPulse);
    if (!plain) return 0;
    const std::optional<Outcome> fast = runOnce(code, false, withPulse);
    if (!fast) return 0;

    const RunResult& a = plain->result;
    const RunResult& b = fast->result;
    check(plain->events == fast->events, "the same events");
    check(a.end == b.end, "the same end");
    check(a.failure == b.failure, "the same failure");
    check(a.steps == b.steps, "the same number of steps");
    if (a.end != RunEnd::PrepareFailed) {
        check(a.pc == b.pc && a.cur == b.cur && a.opb == b.opb && a.opc == b.opc,
              "the same registers");
        check(a.mem == b.mem, "the same cells");
    }
    return 0;
}
