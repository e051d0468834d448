// Writes one generated benchmark input to stdout: `tessivor_bench_input code|source SIZE`.

#include "bench/inputs.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: tessivor_bench_input code|source SIZE\n", stderr);
        return 64;
    }
    const std::string kind = argv[1];
    const auto size = static_cast<std::size_t>(std::strtoull(argv[2], nullptr, 10));
    std::string text;
    if (kind == "code")
        text = tessivor::bench::codeWithoutEndIf(size);
    else if (kind == "source")
        text = tessivor::bench::assemblySource(size);
    else
        return 64;
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
