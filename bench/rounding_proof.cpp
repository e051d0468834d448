// The long run of the rounding proof: `tessivor_rounding_proof [COUNT [SEED]]` checks COUNT
// values (default 100,000,000) drawn from SEED (default 1) as the machine's tests check a
// million: the digits of every arithmetic result found without the text must read as the text
// does. Prints progress on stderr and the counts on stdout; exits 1 at the first failure found.

#include "runner/machine/number_proof.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool parseCount(const char* text, std::uint64_t& out) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-') return false;
    out = value;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::puts("usage: tessivor_rounding_proof [COUNT [SEED]]\n"
                  "Checks COUNT random values (default 100000000) drawn from SEED (default 1):\n"
                  "the fifteen digits of each, found without writing its text, must be what\n"
                  "the text reads as. Exit status 0 when every value agrees, 1 at a failure.");
        return 0;
    }
    std::uint64_t count = 100'000'000, seed = 1;
    if (argc > 3 || (argc > 1 && !parseCount(argv[1], count)) ||
        (argc > 2 && !parseCount(argv[2], seed))) {
        std::fputs("tessivor_rounding_proof: usage: tessivor_rounding_proof [COUNT [SEED]]\n",
                   stderr);
        return 64;
    }
    // Chunks of ten million values, each from its own seed, so that a failure's chunk can be
    // run again alone.
    constexpr std::uint64_t kChunk = 10'000'000;
    const auto start = std::chrono::steady_clock::now();
    tessivor::proof::Counts total;
    for (std::uint64_t done = 0, chunk = 0; done < count; done += kChunk, ++chunk) {
        const std::uint64_t n = std::min(kChunk, count - done);
        total.add(tessivor::proof::run(seed * 1'000'003 + chunk, n));
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "tessivor_rounding_proof: %" PRIu64 " of %" PRIu64 " values, %.0f s\n",
                     total.values, count, seconds);
        if (total.failures != 0) break;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("values: %" PRIu64 " in %.0f s\n", total.values, seconds);
    std::printf("quick, fraction: %" PRIu64 "\n", total.quickFractions);
    std::printf("quick, whole: %" PRIu64 "\n", total.quickWhole);
    std::printf("left to the text: %" PRIu64 "\n", total.declined);
    std::printf("failures: %" PRIu64 "\n", total.failures);
    std::printf("digest of the results: %016" PRIx64 "\n", total.digest);
    if (total.failures != 0) {
        std::printf("first failure: %s\n", total.firstFailure.c_str());
        return 1;
    }
    return 0;
}
