#pragma once
// One command line for every command of tessivor-cli: options parsed by CLI11 with one wording
// for every mistake. `--opt value` and `--opt=value` both work, `--` ends the options, a value
// option given twice or with an empty value is an error, and FILE may be - for stdin.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace tessivor::cli {

/// A number of seconds written in decimal ("10", "0.5", "2e-3") from `min` to `max`; false for
/// anything else, NaN and infinity included.
bool parseSeconds(const std::string& text, double min, double max, double& out);

/// One command's options. Messages read "tessivor-cli COMMAND: ..." and then where to find
/// help: "unknown option '--x'", "NAME needs WHAT", "NAME given twice", "no WHAT given", "one
/// WHAT at a time".
class Options {
public:
    /// `command` names the command in messages; `usage` is its --help text.
    Options(std::string command, std::string usage);
    ~Options();
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;

    /// A flag such as --events; giving it twice is harmless.
    void flag(const std::string& names, bool& value);
    /// An option with one text value, never empty; `what` completes "NAME needs WHAT".
    void text(const std::string& names, std::optional<std::string>& value, std::string what);
    /// An option with one whole number value of at least `min`.
    void number(const std::string& names, std::optional<std::int64_t>& value, std::int64_t min,
                std::string what);
    /// An option with one whole number value from 0 to 2^64-1.
    void number(const std::string& names, std::optional<std::uint64_t>& value, std::string what);
    /// The one file the command works on ("-" for stdin); `what` names it ("program file").
    void file(std::string& value, std::string what);

    /// Parses `args`. nullopt when the command goes on; otherwise the exit status to return at
    /// once: 0 after --help, 64 after a usage message.
    std::optional<int> parse(std::span<const std::string_view> args);

    /// The CLI11 application, for what the helpers above do not cover.
    CLI::App& app();

private:
    struct Value;
    /// An option with one value, which `store` checks and keeps (false: not a valid value).
    void addValue(const std::string& names, std::string what,
                  std::function<bool(const std::string&)> store);
    std::optional<int> fail(std::string_view message);

    std::string command_;
    std::string usage_;
    std::unique_ptr<CLI::App> app_;
    std::vector<std::unique_ptr<Value>> values_;
    std::vector<std::string> files_;
    std::string* file_ = nullptr;
    std::string fileWhat_;
};

} // namespace tessivor::cli
