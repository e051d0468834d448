// The debug session against the fast loop, side by side in one run: a run's speed, a session's
// continue with a breakpoint and two watches set, and the time going back takes from the end of
// a long run to its middle and to its start. Also the peak memory the session took.
//   tessivor_travel_bench [STEPS [SOURCE]]
// STEPS 300,000,000 by default; SOURCE a counting loop that never ends by then. The breakpoint
// stands on the source's last line but one, the watches on cells 50 and 51.

#include "assembler/translate/program.h"
#include "runner/debug/session.h"
#include "runner/machine/run.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace tessivor;
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

long peakKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    const std::int64_t steps = argc > 1 ? std::atoll(argv[1]) : 300'000'000;
    // Counts without end in the steps given: nine steps a turn, a "dsp" it never reaches.
    std::string source = "set 01, 0;\r\nset 02, 999999999999;\r\nset 90, 1;\r\nlbl 01\r\n"
                         "inc 01\r\nifl 01, 02\r\ngto 90\r\neif\r\ndsp 01\r\nend\r\n";
    std::string name = "count without end";
    if (argc > 2) {
        std::ifstream in(argv[2], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "travel: cannot read %s\n", argv[2]);
            return 66;
        }
        std::ostringstream text;
        text << in.rdbuf();
        source = text.str();
        name = argv[2];
    }
    const Program program = Program::fromSource(source);
    std::int32_t lastLine = 1;
    for (const std::int32_t line : program.map.line)
        lastLine = std::max(lastLine, line);
    QuietHost host;

    // TRAVEL_ONLY=run or =continue measures that alone (for callgrind's instruction counts).
    const char* only = std::getenv("TRAVEL_ONLY");
    const bool runs = !only || std::string(only) == "run";
    const bool continues = !only || std::string(only) == "continue";
    // The best of a few runs each: this machine is shared.
    const int rounds =
        std::getenv("BENCH_RUNS") ? std::max(1, std::atoi(std::getenv("BENCH_RUNS"))) : 3;
    RunOptions run;
    run.maxSteps = steps;
    run.virtualClock = true;
    RunResult r;
    double runSeconds = 1e30;
    for (int k = 0; k < rounds && runs; ++k) {
        const auto start = Clock::now();
        r = runprogram(program.code, host, run);
        runSeconds = std::min(runSeconds, seconds(start));
    }

    DebugOptions options;
    options.virtualClock = true;
    const DebugProgram debug{program.code, program.map, program.instructionTexts()};
    std::unique_ptr<DebugSession> kept;
    double continueSeconds = 1e30;
    for (int k = 0; k < (continues ? rounds : 1); ++k) {
        auto session = std::make_unique<DebugSession>(debug, host, options);
        session->breakAtLine(lastLine - 1); // the "dsp" before the "end"
        session->watchCell(50);
        session->watchCell(51);
        const auto start = Clock::now();
        while (continues && session->steps() < steps && !session->state().ended)
            session->cont(steps - session->steps()); // on over the breakpoint where reached
        continueSeconds = std::min(continueSeconds, seconds(start));
        kept = std::move(session);
    }
    DebugSession& session = *kept;
    const std::int64_t ran = session.steps();
    if (only) return 0;
    if (ran != r.steps || session.cells() != r.mem) {
        std::fprintf(stderr,
                     "travel: the session did not end where the run did: %lld steps, not %lld\n",
                     static_cast<long long>(ran), static_cast<long long>(r.steps));
        return 1;
    }

    auto start = Clock::now();
    session.goTo(ran / 2);
    const double middleSeconds = seconds(start);
    start = Clock::now();
    session.goTo(1);
    const double firstSeconds = seconds(start);
    start = Clock::now();
    session.goTo(ran);
    const double endSeconds = seconds(start);

    const double runRate = static_cast<double>(ran) / runSeconds / 1e6;
    const double continueRate = static_cast<double>(ran) / continueSeconds / 1e6;
    std::printf("| native: %s, %lld steps | |\n|---|---|\n", name.c_str(),
                static_cast<long long>(ran));
    std::printf("| run (fast loop) | %.0f M steps/s |\n", runRate);
    std::printf("| session continue, 1 breakpoint + 2 watches | %.0f M steps/s (%.2fx run) |\n",
                continueRate, continueRate / runRate);
    std::printf("| back from the end to the middle | %.2f ms |\n", middleSeconds * 1e3);
    std::printf("| back from the middle to step 1 | %.2f ms |\n", firstSeconds * 1e3);
    std::printf("| forward from step 1 to the end | %.2f ms |\n", endSeconds * 1e3);
    std::printf("| way back held | %lld steps, from step %lld |\n",
                static_cast<long long>(session.historyDepth()),
                static_cast<long long>(session.oldestStep()));
    std::printf("| peak memory of the process | %.1f MiB |\n",
                static_cast<double>(peakKib()) / 1024);
    return 0;
}
