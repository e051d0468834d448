#include "assembler/check/check.h"
#include "assembler/translate/compiletext.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tessivor {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// "LINE CODE" for each finding, in order.
std::vector<std::string> summary(const std::vector<Diagnostic>& found) {
    std::vector<std::string> out;
    for (const Diagnostic& d : found)
        out.push_back(std::to_string(d.line) + " " + d.code);
    return out;
}

std::string listing(const std::vector<Diagnostic>& found) {
    std::string out;
    for (const Diagnostic& d : found) {
        out += std::to_string(d.line) + ":" + std::to_string(d.column) + ": " + d.code + ": " +
               d.message + (d.suggestion ? "\n    fix: " + *d.suggestion : "") + "\n";
    }
    return out;
}

// ---- the corpus of slips -----------------------------------------------------------------

struct Slip {
    std::string name;
    std::string source;
    std::vector<std::string> expected;
};

std::string unescape(const std::string& line) {
    std::string out;
    for (std::size_t k = 0; k < line.size(); ++k) {
        if (line[k] == '\\' && k + 1 < line.size() && line[k + 1] == 't') {
            out += '\t';
            ++k;
        } else if (line[k] == '\\' && k + 3 < line.size() && line[k + 1] == 'x') {
            out += static_cast<char>(std::stoi(line.substr(k + 2, 2), nullptr, 16));
            k += 3;
        } else {
            out += line[k];
        }
    }
    return out;
}

std::vector<Slip> loadSlips() {
    std::istringstream in(readFile(TESSIVOR_SOURCE_DIR "/assembler/check/slips.txt"));
    std::vector<Slip> slips;
    std::string line;
    enum { Outside, Source, Expected } state = Outside;
    std::vector<std::string> lines;
    std::string end = "\r\n";
    bool finalEnd = true;
    auto close = [&] {
        if (state == Outside) return;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            slips.back().source += lines[k];
            if (k + 1 < lines.size() || finalEnd) slips.back().source += end;
        }
    };
    while (std::getline(in, line)) {
        if (line.rfind("=== ", 0) == 0) {
            if (state == Source) close();
            slips.push_back({line.substr(4), "", {}});
            lines.clear();
            end = "\r\n";
            finalEnd = true;
            state = Source;
        } else if (state == Source && line == "---") {
            close();
            state = Expected;
        } else if (state == Source && lines.empty() && (line == "lf" || line == "noeol")) {
            if (line == "lf") end = "\n";
            if (line == "noeol") finalEnd = false;
        } else if (state == Source) {
            lines.push_back(unescape(line));
        } else if (state == Expected && !line.empty()) {
            slips.back().expected.push_back(line);
        }
    }
    return slips;
}

void PrintTo(const Slip& slip, std::ostream* out) { *out << slip.name; }

class SlipTest : public testing::TestWithParam<Slip> {};

TEST_P(SlipTest, GivesItsFindings) {
    const Slip& slip = GetParam();
    const std::vector<Diagnostic> found = checkSource(slip.source);
    EXPECT_EQ(summary(found), slip.expected) << listing(found);
}

// A suggestion is the line as it should be written: put in place of the line, the finding
// it came with is gone.
TEST_P(SlipTest, SuggestionsMendWhatTheyAreFor) {
    const std::string& source = GetParam().source;
    for (const Diagnostic& d : checkSource(source)) {
        if (!d.suggestion) continue;
        std::size_t start = 0;
        for (std::size_t line = 1; line < d.line; ++line)
            start = source.find('\n', start) + 1;
        std::size_t end = source.find('\n', start);
        if (end == std::string::npos) end = source.size();
        if (end > start && source[end - 1] == '\r') --end;
        const std::string mended = source.substr(0, start) + *d.suggestion + source.substr(end);
        for (const Diagnostic& after : checkSource(mended)) {
            EXPECT_FALSE(after.line == d.line && after.code == d.code)
                << "the suggestion \"" << *d.suggestion << "\" leaves " << d.code << "\n"
                << listing(checkSource(mended));
        }
    }
}

std::string slipName(const testing::TestParamInfo<Slip>& info) {
    std::string name = std::to_string(info.index) + "_";
    for (char c : info.param.name)
        name += (std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    return name.substr(0, 60);
}

INSTANTIATE_TEST_SUITE_P(Corpus, SlipTest, testing::ValuesIn(loadSlips()), slipName);

TEST(Corpus, HoldsThirtySlipsOrMore) { EXPECT_GE(loadSlips().size(), 30u); }

// Every kind of finding has a slip in the corpus (or a test of its own below), a row in the
// manual's "Common mistakes", and the severity it is listed with.
TEST(Corpus, CoversEveryKindOfFinding) {
    std::set<std::string> seen = {"too-many-labels"};
    std::map<std::string, Severity> severities;
    for (const Slip& slip : loadSlips()) {
        for (const Diagnostic& d : checkSource(slip.source)) {
            seen.insert(d.code);
            severities[d.code] = d.severity;
        }
    }
    const std::string manual = readFile(TESSIVOR_SOURCE_DIR "/docs/language.md");
    std::set<std::string> listed;
    for (const DiagnosticKind& kind : diagnosticKinds()) {
        const std::string code(kind.code);
        listed.insert(code);
        EXPECT_TRUE(seen.count(code)) << code << " has no slip in the corpus";
        EXPECT_NE(manual.find("| `" + code + "`"), std::string::npos)
            << code << " is not in the manual";
        if (severities.count(code)) {
            EXPECT_EQ(severities[code], kind.severity) << code;
        }
    }
    for (const std::string& code : seen)
        EXPECT_TRUE(listed.count(code)) << code << " is not listed";
}

// ---- no false alarms ---------------------------------------------------------------------

TEST(Clean, EveryExampleChecksClean) {
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TESSIVOR_SOURCE_DIR "/examples")) {
        if (entry.path().extension() != ".tsasm") continue;
        const std::vector<Diagnostic> found = checkSource(readFile(entry.path()));
        EXPECT_TRUE(found.empty()) << entry.path() << "\n" << listing(found);
        ++seen;
    }
    EXPECT_GE(seen, 11);
}

/// The blocks of a Markdown file fenced as ```FENCE, their lines ended by `lineEnd`.
std::vector<std::string> programsIn(const std::string& markdown, const std::string& fence,
                                    const std::string& lineEnd) {
    std::vector<std::string> programs;
    std::istringstream in(markdown);
    std::string line;
    std::string* program = nullptr;
    while (std::getline(in, line)) {
        if (!program && line == "```" + fence) {
            program = &programs.emplace_back();
        } else if (program && line == "```") {
            program = nullptr;
        } else if (program) {
            *program += line + lineEnd;
        }
    }
    return programs;
}

constexpr const char* kDocs[] = {"/docs/language.md", "/README.md", "/docs/teaching.md"};

// A program in the docs builds and checks clean whichever line end a reader's editor writes:
// LF puts one character more of the next line inside a short instruction than CR LF does.
TEST(Clean, EveryProgramInTheDocsBuildsAndChecksCleanWithEitherLineEnd) {
    std::size_t programs = 0;
    for (const char* doc : kDocs) {
        const std::string markdown = readFile(TESSIVOR_SOURCE_DIR + std::string(doc));
        for (const char* lineEnd : {"\r\n", "\n"}) {
            for (const std::string& program : programsIn(markdown, "tsasm", lineEnd)) {
                EXPECT_TRUE(compiletext(program).ok) << doc << ":\n" << program;
                const std::vector<Diagnostic> found = checkSource(program);
                EXPECT_TRUE(found.empty()) << doc << ":\n" << program << listing(found);
                ++programs;
            }
        }
    }
    EXPECT_GE(programs, 2 * 15u);
}

// A block that shows a mistake says so with ```tsasm slip; the checker must see the mistake.
TEST(Clean, EverySlipInTheDocsIsFound) {
    std::size_t slips = 0;
    for (const char* doc : kDocs) {
        const std::string markdown = readFile(TESSIVOR_SOURCE_DIR + std::string(doc));
        for (const std::string& program : programsIn(markdown, "tsasm slip", "\n")) {
            EXPECT_FALSE(checkSource(program).empty()) << doc << ":\n" << program;
            ++slips;
        }
    }
    EXPECT_GE(slips, 2u);
}

// ---- places, messages and suggestions ----------------------------------------------------

TEST(Check, PlacesAFindingByLineAndColumnWithTabsAsOneColumn) {
    const std::vector<Diagnostic> found = checkSource("end\r\n\tdsp 1\r\n");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].line, 2u);
    EXPECT_EQ(found[0].column, 6u); // the "1", after a tab and "dsp "
    EXPECT_EQ(found[0].endColumn, 7u);
    EXPECT_EQ(found[0].severity, Severity::Warning);
    EXPECT_EQ(found[0].suggestion, "\tdsp 01");
}

TEST(Check, SaysWhatTheMachineMakesOfMisreadOperands) {
    const std::vector<Diagnostic> found = checkSource("add 01 02 03\r\ndsp 03\r\nend\r\n");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].message,
              "\"add\" reads its operands at fixed columns, 4, 8 and 12 characters after its "
              "first letter: here they hold \"01\", \"2\" and a space and a line end, so the "
              "machine runs it as \"add 01, 00, 00\", and it passes over \"d\" at the start of "
              "line 2, which is never read");
    EXPECT_EQ(found[0].suggestion, "add 01, 02, 03");
    EXPECT_EQ(found[1].message, "this \"dsp\" is never translated: it stands inside the \"add\" "
                                "on line 1, which passes over 15 characters from its first "
                                "letter");
    EXPECT_EQ(found[1].column, 1u);
    EXPECT_EQ(found[1].endColumn, 4u);
}

TEST(Check, ReadsOperandsAsTheMachineDoes) {
    // A tab reads as the digit 0, a line end as no digit at all.
    EXPECT_NE(checkSource("dsp \t5\r\n")[0].message.find("as \"dsp 05\""), std::string::npos);
    EXPECT_NE(checkSource("dsp 5\t\r\n")[0].message.find("as \"dsp 50\""), std::string::npos);
    EXPECT_NE(checkSource("dsp 5\r\n")[0].message.find("as \"dsp 00\""), std::string::npos);
}

TEST(Check, KeepsACommentInItsColumnWhenMendingALine) {
    const std::vector<Diagnostic> found = checkSource("dsp 1    // show it //\r\n");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].suggestion, "dsp 01   // show it //");
}

TEST(Check, NamesCharactersACellCannotHold) {
    const std::vector<Diagnostic> found = checkSource("set 01, caf\xc3\xa9!;\r\n");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].message, "a cell holds only the characters from space to \"~\": "
                                "\"\xc3\xa9\" (2 bytes) becomes \"0\" (one for each byte), so the "
                                "cell holds \"caf00!\"");
    EXPECT_EQ(found[0].column, 12u);
    EXPECT_EQ(found[0].endColumn, 14u);
}

TEST(Check, TheBuildErrorIsAnErrorWithTheLineMended) {
    const std::vector<Diagnostic> found = checkSource("set 01, Hello // greeting //\r\n");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].severity, Severity::Error);
    EXPECT_EQ(found[0].code, "missing-semicolon");
    EXPECT_EQ(found[0].suggestion, "set 01, Hello; // greeting //");
}

TEST(Check, AHundredthLabelIsAnError) {
    std::string source;
    for (int k = 1; k <= 100; ++k)
        source += "lbl " + std::to_string(k % 100 + 100).substr(1) + "\r\n";
    const std::vector<Diagnostic> found = checkSource(source);
    ASSERT_EQ(found.size(), 1u) << listing(found);
    EXPECT_EQ(found[0].code, "too-many-labels");
    EXPECT_EQ(found[0].severity, Severity::Error);
    EXPECT_EQ(found[0].line, 100u);
}

TEST(Check, LabelNumbersCountEveryLabelMarkerInOrder) {
    const std::vector<Diagnostic> found = checkSource("lbl 01\r\nlbl 02\r\nlbl 02\r\n");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].message, "this is label 3, not 02: labels are numbered in the order they "
                                "stand, and the number after \"lbl\" is not read");
    EXPECT_EQ(found[0].suggestion, "lbl 03");
}

TEST(Check, SeverityNames) {
    EXPECT_STREQ(severityName(Severity::Error), "error");
    EXPECT_STREQ(severityName(Severity::Warning), "warning");
    EXPECT_STREQ(severityName(Severity::Note), "note");
}

// Texts built to make a careless checker walk a line once for every finding on it: a run of
// letters full of mnemonics, instructions run together on one line, prose with a mnemonic in
// every word. A walk per finding would take minutes; the bound leaves room for slow builds.
TEST(Check, LongLinesFullOfFindingsTakeLinearTime) {
    auto repeat = [](std::string_view piece, int times) {
        std::string out;
        for (int k = 0; k < times; ++k)
            out += piece;
        return out;
    };
    for (const std::string& source :
         {repeat("add", 100000), repeat("inc 01dsp 01", 25000),
          repeat("the blend of addresses print dsp 1 x ", 8000), repeat("// a\n", 60000)}) {
        const auto start = std::chrono::steady_clock::now();
        const std::vector<Diagnostic> found = checkSource(source);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_FALSE(found.empty());
        EXPECT_LT(seconds, 10.0) << source.substr(0, 20);
        for (const Diagnostic& d : found) {
            ASSERT_TRUE(!d.suggestion || d.suggestion->size() <= 400) << d.code;
        }
    }
}

// Any text: findings in order, each inside its line, never a crash.
TEST(Check, RandomSourcesGiveOrderedFindingsInsideTheirLines) {
    const std::vector<std::string> parts = {"add", "set",      "dsp",  "lbl",  "eif",  "ife", "end",
                                            "mpt", "inc",      "SqR",  "0",    "1",    "42",  " ",
                                            ", ",  ";",        "/",    "//",   "\r\n", "\n",  "\t",
                                            "x",   "\xc3\xa9", "word", "print"};
    std::mt19937 random(81262);
    for (int round = 0; round < 2000; ++round) {
        std::string source;
        const int length = static_cast<int>(random() % 30);
        for (int k = 0; k < length; ++k)
            source += parts[random() % parts.size()];
        const std::vector<Diagnostic> found = checkSource(source);
        const std::size_t lines =
            1 + static_cast<std::size_t>(std::count(source.begin(), source.end(), '\n'));
        for (std::size_t k = 0; k < found.size(); ++k) {
            ASSERT_GE(found[k].line, 1u);
            ASSERT_LE(found[k].line, lines) << source;
            ASSERT_LT(found[k].column, found[k].endColumn) << source;
            ASSERT_FALSE(found[k].code.empty());
            if (k > 0) {
                ASSERT_TRUE(
                    found[k - 1].line < found[k].line ||
                    (found[k - 1].line == found[k].line && found[k - 1].column <= found[k].column))
                    << source;
            }
        }
    }
}

} // namespace
} // namespace tessivor
