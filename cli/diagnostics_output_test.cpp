#include "cli/diagnostics_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessivor::cli {
namespace {

Diagnostic finding(std::size_t line, std::size_t column, std::optional<std::string> suggestion) {
    return Diagnostic{line,
                      column,
                      column + 1,
                      Severity::Warning,
                      std::string("stray-text"),
                      std::string("m"),
                      std::move(suggestion)};
}

std::string suggestionAsJson(const std::string& text) {
    std::string out;
    appendDiagnosticsJson(out, "f", {finding(1, 1, text)});
    const std::string key = "\"suggestion\":";
    return out.substr(out.find(key) + key.size(), out.size() - out.find(key) - key.size() - 2);
}

// Only well-formed UTF-8 is copied; every other byte above 127 becomes the code point of its
// value, so that each line is valid UTF-8 and valid JSON.
TEST(DiagnosticsJson, CopiesWellFormedUtf8AndEscapesEveryOtherByte) {
    struct Case {
        std::string bytes, json;
    };
    const std::vector<Case> cases = {
        {"caf\xc3\xa9", "\"caf\xc3\xa9\""},                       // U+00E9
        {"\xe2\x82\xac", "\"\xe2\x82\xac\""},                     // U+20AC
        {"\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\""},             // U+1F600
        {"\xf4\x8f\xbf\xbf", "\"\xf4\x8f\xbf\xbf\""},             // U+10FFFF, the last
        {"\xfe\xa1\x8b", "\"\\u00fe\\u00a1\\u008b\""},            // no lead byte
        {"\xf5\x80\x80\x80", "\"\\u00f5\\u0080\\u0080\\u0080\""}, // past U+10FFFF
        {"\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""}, // past U+10FFFF
        {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},            // a surrogate
        {"\xe0\x80\xaf", "\"\\u00e0\\u0080\\u00af\""},            // overlong "/"
        {"\xf0\x80\x80\xaf", "\"\\u00f0\\u0080\\u0080\\u00af\""}, // overlong "/"
        {"\xc0\xaf", "\"\\u00c0\\u00af\""},                       // overlong "/"
        {"\xe2\x82", "\"\\u00e2\\u0082\""},                       // cut short at the end
        {"\xe2(\xac", "\"\\u00e2(\\u00ac\""},                     // cut short inside
        {"a\"\\\t\x01\x7f", "\"a\\\"\\\\\\t\\u0001\\u007f\""},    // escapes
    };
    for (const Case& c : cases)
        EXPECT_EQ(suggestionAsJson(c.bytes), c.json);
}

TEST(DiagnosticsJson, OneObjectALine) {
    std::string out;
    appendDiagnosticsJson(out, "a.tsasm", {finding(2, 3, std::nullopt), finding(4, 1, "x")});
    EXPECT_EQ(out, "{\"file\":\"a.tsasm\",\"line\":2,\"column\":3,\"endColumn\":4,\"severity\":"
                   "\"warning\",\"code\":\"stray-text\",\"message\":\"m\",\"suggestion\":null}\n"
                   "{\"file\":\"a.tsasm\",\"line\":4,\"column\":1,\"endColumn\":2,\"severity\":"
                   "\"warning\",\"code\":\"stray-text\",\"message\":\"m\",\"suggestion\":\"x\"}\n");
}

// The source line under each finding, also for several findings on one line, findings out of
// line order, lines past the last and CR LF line ends.
TEST(DiagnosticsText, ShowsTheLineOfEachFinding) {
    const std::string source = "one\r\ntwo\r\n\r\nfour";
    std::string out;
    appendDiagnosticsText(out, "f", source,
                          {finding(2, 1, std::nullopt), finding(2, 3, std::nullopt),
                           finding(4, 2, std::nullopt), finding(1, 1, std::nullopt),
                           finding(3, 1, std::nullopt), finding(9, 1, std::nullopt)});
    std::vector<std::string> shown;
    for (std::size_t start = 0; start < out.size();) {
        const std::size_t end = out.find('\n', start);
        const std::string line = out.substr(start, end - start);
        // "  2 | two": the source line, after the line with the place.
        if (line.size() >= 6 && line[2] >= '0' && line[2] <= '9' && line.compare(3, 3, " | ") == 0)
            shown.push_back(line);
        start = end + 1;
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"  2 | two", "  2 | two", "  4 | four", "  1 | one",
                                               "  3 | ", "  9 | "}));
}

} // namespace
} // namespace tessivor::cli
