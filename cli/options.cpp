#include "cli/options.h"

#include "cli/commands.h"
#include "cli/stream_io.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace tessivor::cli {
namespace {

/// The spellings in a CLI11 name list: "-o,--output" gives -o and --output.
std::vector<std::string> spellings(const std::string& names) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= names.size()) {
        const std::size_t comma = std::min(names.find(',', start), names.size());
        if (comma > start) out.push_back(names.substr(start, comma - start));
        start = comma + 1;
    }
    return out;
}

template <typename T> bool parseNumber(const std::string& text, T& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

bool parseSeconds(const std::string& text, double min, double max, double& out) {
    // strtod alone would also take "nan", "inf", hexadecimal and leading blanks.
    if (text.empty() || text.find_first_not_of("0123456789.eE+-") != std::string::npos) {
        return false;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return false;
    if (!(value >= min && value <= max)) return false;
    out = value;
    return true;
}

/// One value option: what CLI11 collected, and how it becomes the command's value.
struct Options::Value {
    std::vector<std::string> names;
    std::string what;
    std::vector<std::string> given;
    std::function<bool(const std::string&)> store; // false: not a valid value
};

Options::Options(std::string command, std::string usage)
    : command_(std::move(command)), usage_(std::move(usage)), app_(std::make_unique<CLI::App>()) {
    app_->set_help_flag("-h,--help");
    // Options start with - on every system: a /path is a file name, on Windows too.
    app_->allow_windows_style_options(false);
    app_->allow_extras(); // unknown options are reported below, in this command line's words
}

Options::~Options() = default;

CLI::App& Options::app() { return *app_; }

void Options::flag(const std::string& names, bool& value) { app_->add_flag(names, value); }

void Options::text(const std::string& names, std::optional<std::string>& value, std::string what) {
    addValue(names, std::move(what), [&value](const std::string& text) {
        if (text.empty()) return false;
        value = text;
        return true;
    });
}

void Options::number(const std::string& names, std::optional<std::int64_t>& value, std::int64_t min,
                     std::string what) {
    addValue(names, std::move(what), [&value, min](const std::string& text) {
        std::int64_t n = 0;
        if (!parseNumber(text, n) || n < min) return false;
        value = n;
        return true;
    });
}

void Options::number(const std::string& names, std::optional<std::uint64_t>& value,
                     std::string what) {
    addValue(names, std::move(what), [&value](const std::string& text) {
        std::uint64_t n = 0;
        if (!parseNumber(text, n)) return false;
        value = n;
        return true;
    });
}

void Options::addValue(const std::string& names, std::string what,
                       std::function<bool(const std::string&)> store) {
    auto v = std::make_unique<Value>();
    v->names = spellings(names);
    v->what = std::move(what);
    v->store = std::move(store);
    app_->add_option(names, v->given)
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    values_.push_back(std::move(v));
}

void Options::file(std::string& value, std::string what) {
    file_ = &value;
    fileWhat_ = std::move(what);
    app_->add_option("file", files_)->allow_extra_args(true);
}

std::optional<int> Options::fail(std::string_view message) { return usageError(command_, message); }

std::optional<int> Options::parse(std::span<const std::string_view> args) {
    // A value option with nothing after it, or another option in its place, is worded here:
    // CLI11's own message names neither the option nor what it wants.
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] == "-h" || args[i] == "--help") break;
        for (const auto& v : values_) {
            for (const std::string& name : v->names) {
                if (args[i] != name) continue;
                const bool missing =
                    i + 1 == args.size() || (args[i + 1].size() > 1 && args[i + 1][0] == '-' &&
                                             !(args[i + 1][1] >= '0' && args[i + 1][1] <= '9'));
                if (missing) return fail(name + " needs " + v->what);
            }
        }
    }

    // Everything after "--" is a file, whatever it looks like; CLI11 sees only what comes before.
    std::size_t marker = 0;
    while (marker < args.size() && args[marker] != "--")
        ++marker;
    std::vector<std::string> reversed(args.rend() - static_cast<std::ptrdiff_t>(marker),
                                      args.rend());
    try {
        app_->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        std::fputs(usage_.c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        return fail(e.what());
    }

    for (std::size_t i = marker + 1; i < args.size(); ++i)
        files_.emplace_back(args[i]);
    const std::vector<std::string> unknown = app_->remaining();
    if (!unknown.empty()) return fail("unknown option '" + unknown.front() + "'");
    for (const auto& v : values_) {
        if (v->given.size() > 1) return fail(v->names.back() + " given twice");
        if (!v->given.empty() && !v->store(v->given.front())) {
            return fail(v->names.back() + " needs " + v->what);
        }
    }
    if (file_) {
        if (files_.empty()) return fail("no " + fileWhat_ + " given");
        if (files_.size() > 1) return fail("one " + fileWhat_ + " at a time");
        *file_ = files_.front();
    }
    return std::nullopt;
}

} // namespace tessivor::cli
