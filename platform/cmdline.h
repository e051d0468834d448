#pragma once
// The runner's command-line argument text: everything after the program's own name, as the
// system passes it on Windows (a path in double quotes).

#include <filesystem>
#include <string>
#include <string_view>

namespace tessivor::platform {

/// The argument text built from main's argc and argv (argv[0] the program's name): "" when
/// there are no arguments, otherwise the arguments joined by single spaces between double
/// quotes, as a Windows caller would pass them (`tessivor prog.tsp` gives "\"prog.tsp\"").
std::string argumentText(int argc, const char* const* argv);

/// The argument text of a raw Windows command line: the program's name (quoted or not) and
/// the blanks after it removed, the rest as it stands.
std::string argumentTextOfCommandLine(std::string_view commandLine);

/// This process's own argument text. On Windows it is the raw command line the system passed
/// (GetCommandLineW, quotes and all) in the ANSI code page, one byte a character where the code
/// page has one, and `argc`, `argv` are not looked at; elsewhere it is argumentText(argc, argv).
std::string processArgumentText(int argc, const char* const* argv);

/// A file name in the system's narrow text (on Windows the ANSI code page, as argv and the
/// argument text have it; elsewhere the bytes as they are) as a path that names that file.
std::filesystem::path pathFromArgument(std::string_view name);

/// The name of `path` in the system's narrow text, as pathFromArgument() reads it back: the
/// inverse for every name the ANSI code page can spell (a character it lacks becomes '?').
std::string argumentFromPath(const std::filesystem::path& path);

} // namespace tessivor::platform
