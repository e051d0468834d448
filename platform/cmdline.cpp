#include "platform/cmdline.h"

namespace tessivor::platform {

std::string argumentText(int argc, const char* const* argv) {
    if (argc < 2)
        return {};
    std::string text = "\"";
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    text += '"';
    return text;
}

std::string argumentTextOfCommandLine(std::string_view commandLine) {
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const std::size_t close = commandLine.find('"', 1);
        i = close == std::string_view::npos ? commandLine.size() : close + 1;
    }
    while (i < commandLine.size() && commandLine[i] != ' ' && commandLine[i] != '\t')
        ++i;
    while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t'))
        ++i;
    return std::string(commandLine.substr(i));
}

} // namespace tessivor::platform
