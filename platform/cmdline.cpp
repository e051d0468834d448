#include "platform/cmdline.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tessivor::platform {

std::string argumentText(int argc, const char* const* argv) {
    if (argc < 2) return {};
    std::string text = "\"";
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
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

#if defined(_WIN32)

std::string processArgumentText(int, const char* const*) {
    const wchar_t* line = GetCommandLineW();
    const int length = static_cast<int>(wcslen(line));
    if (length == 0) return {};
    const int bytes = WideCharToMultiByte(CP_ACP, 0, line, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, line, length, text.data(), bytes, nullptr, nullptr);
    // The quotes and blanks that end the program's name are the same bytes in every ANSI code
    // page (a second byte of a double-byte character is never below 0x40).
    return argumentTextOfCommandLine(text);
}

std::filesystem::path pathFromArgument(std::string_view name) {
    if (name.empty()) return {};
    const int length = static_cast<int>(name.size());
    const int chars = MultiByteToWideChar(CP_ACP, 0, name.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), length, wide.data(), chars);
    return std::filesystem::path(std::move(wide));
}

std::string argumentFromPath(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    if (wide.empty()) return {};
    // No "best fit": a look-alike could name another file that exists.
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int length = static_cast<int>(wide.size());
    const int bytes =
        WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string name(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), length, name.data(), bytes, nullptr, nullptr);
    return name;
}

#else

std::string processArgumentText(int argc, const char* const* argv) {
    return argumentText(argc, argv);
}

std::filesystem::path pathFromArgument(std::string_view name) {
    return std::filesystem::path(name);
}

std::string argumentFromPath(const std::filesystem::path& path) { return path.string(); }

#endif

} // namespace tessivor::platform
