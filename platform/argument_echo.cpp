// Writes this process's argument text to stdout, byte for byte: a test drives it with raw
// Windows command lines.

#include "platform/cmdline.h"
#include "platform/console.h"

#include <cstdio>

int main(int argc, char** argv) {
    tessivor::platform::useBinaryStandardStreams();
    const std::string text = tessivor::platform::processArgumentText(argc, argv);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
