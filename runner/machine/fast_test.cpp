// The fast loop against the plain one: same events, end state and step counts for any code
// string, plus the pieces the fast loop is made of.

#include "assembler/translate/compiletext.h"
#include "runner/machine/fast_table.h"
#include "runner/machine/interpreters.h"
#include "runner/machine/number.h"
#include "runner/machine/run.h"
#include "runner/machine/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace tessivor {
namespace {

using testing::RecordingHost;

// ---------------------------------------------------------------------------------------------
// Numbers an arithmetic result reads back as.

/// What the plain loop stores and reads back: the text, then the text read. False when the
/// function declined `value` (its callers then write the text).
bool expectSameAsText(double value) {
    double fast = 0;
    if (!fifteenDigitValue(value, fast)) return false;
    const std::string text = numberText(value);
    double read = 0;
    EXPECT_EQ(readDouble(text, read), Failure::None) << text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(fast), std::bit_cast<std::uint64_t>(read))
        << std::hexfloat << value << " " << text;
    EXPECT_EQ(numberText(fast), text) << std::hexfloat << value;
    return true;
}

TEST(FifteenDigitValue, AgreesWithWritingAndReadingTheText) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-9, 23);
    int checked = 0; // values the function took on, rather than leaving them to the text
    for (int i = 0; i < 300000; ++i) {
        // Random bits at random magnitudes, quotients like a harmonic sum's, sums of 15-digit
        // values, and whole numbers near 1E+15.
        checked += expectSameAsText(std::pow(10.0, exponent(random)) * (random() % 2 ? 1 : -1));
        checked += expectSameAsText(-1.0 / static_cast<double>(random() % 5'000'000 + 1));
        checked += expectSameAsText(0.1 * static_cast<double>(random() % 1000) + 1.0 / 3);
        checked += expectSameAsText(static_cast<double>(random() % 2'000'000'000'000'000));
        double bits = 0;
        const std::uint64_t raw = random();
        std::memcpy(&bits, &raw, sizeof bits);
        expectSameAsText(bits);
    }
    // Everything but the far magnitudes, the whole numbers from 1E+15 and the rare near-ties.
    EXPECT_GT(checked, 1'000'000);
}

TEST(FifteenDigitValue, TiesAndEdgesAreLeftToTheTextOrExact) {
    // 1000000000000005 lies exactly between two 15-digit values: the text decides.
    double out = 0;
    EXPECT_FALSE(fifteenDigitValue(1000000000000005.0, out));
    int checked = 0;
    for (double v : {999999999999999.0, 999999999999999.9, 1e15, 0.1, 1e-7, 9.99999999999999e-8,
                     1e21, 1.0000000000000002, 123456.78901234567, -0.0, 0.0, 5e-324, 1e300,
                     0.3333333333333333, 2.0 / 3, 1.00000000000000049, 0.12345678901234549}) {
        checked += expectSameAsText(v);
    }
    EXPECT_GE(checked, 11);
    ASSERT_TRUE(fifteenDigitValue(-0.0, out));
    EXPECT_FALSE(std::signbit(out)); // written "0", which reads as +0
    EXPECT_FALSE(fifteenDigitValue(std::nan(""), out));
    EXPECT_FALSE(fifteenDigitValue(INFINITY, out));
}

// ---------------------------------------------------------------------------------------------
// The table.

TEST(FastTable, AssemblerShapesAreOneEntryAndEntriesInsideThemFinishTheShape) {
    const Prepared p = prepare("a01ba02ca03dp");
    const fast::Table t = fast::buildTable(p);
    const fast::Entry& add = t.entries[1];
    EXPECT_EQ(add.kind, fast::kAdd);
    EXPECT_EQ(add.steps, 6);
    EXPECT_EQ(add.cur, 3);
    EXPECT_EQ(add.opb, 1);
    EXPECT_EQ(add.opc, 2);
    EXPECT_EQ(add.at, 12);
    EXPECT_EQ(add.next, 13);
    // Entering at the "b": opb takes cur as it is, opc and cur are fixed.
    const fast::Entry& fromB = t.entries[4];
    EXPECT_EQ(fromB.steps, 5);
    EXPECT_EQ(fromB.opb, fast::kFromCur);
    EXPECT_EQ(fromB.opc, 2);
    EXPECT_EQ(fromB.cur, 3);
    // Entering at a digit of an address: a skipped character, then the rest.
    EXPECT_EQ(t.entries[2].steps, 7);
    EXPECT_EQ(t.entries[2].opb, fast::kFromCur);
}

TEST(FastTable, SetTextsAndAppendRuns) {
    const Prepared p = prepare("a05sAKAiA"); // the last "A" has no character
    const fast::Table t = fast::buildTable(p);
    EXPECT_EQ(t.entries[1].kind, fast::kSetText);
    EXPECT_EQ(t.entries[1].steps, 4);
    EXPECT_EQ(t.entries[1].next, 9);
    EXPECT_EQ(fast::appendedText(t, 5, 2), "Ki");
    EXPECT_EQ(t.entries[6].kind, fast::kAppendRun); // entered at the "K": a no-op, then "Ai"
    EXPECT_EQ(t.entries[6].steps, 2);
    EXPECT_EQ(t.entries[6].at, 7);
    EXPECT_EQ(t.entries[7].steps, 1);
    EXPECT_EQ(t.entries[9].steps, 1);
    EXPECT_EQ(t.entries[10].kind, fast::kPastEnd);
}

// ---------------------------------------------------------------------------------------------
// The two loops side by side.

/// A host whose clock, pulse, random numbers and replies follow from a seed. The pulse moves
/// only inside host calls that end an operation, as a real one moves at any time: either loop
/// then reads the clock at the next step.
class ScriptedHost : public RecordingHost {
public:
    explicit ScriptedHost(std::uint64_t seed, bool withPulse) : rng_(seed), withPulse_(withPulse) {
        clock = static_cast<std::int32_t>(rng_() % 3) - 1;
        clockStep = static_cast<std::int32_t>(rng_() % 400);
    }

    const std::atomic<std::uint32_t>* tickPulse() override {
        return withPulse_ ? &pulse_ : nullptr;
    }
    float randomSingle() override {
        maybePulse();
        return static_cast<float>(rng_() >> 40) * 0x1p-24f;
    }
    void setDisplay(std::string_view t) override {
        maybePulse();
        RecordingHost::setDisplay(t);
    }
    std::string inputBox(std::string_view prompt) override {
        maybePulse();
        static const char* const kReplies[] = {"", "7", "2.5", "-1", "abc", "1e308", "150", " 3 "};
        replies.push_back(kReplies[rng_() % std::size(kReplies)]);
        return RecordingHost::inputBox(prompt);
    }
    void processEvents() override {
        maybePulse();
        clock += static_cast<std::int32_t>(rng_() % 2500);
        RecordingHost::processEvents();
    }

private:
    void maybePulse() {
        if (rng_() % 2) pulse_.fetch_add(1);
    }

    std::mt19937_64 rng_;
    bool withPulse_;
    std::atomic<std::uint32_t> pulse_{0};
};

struct Outcome {
    RunResult result;
    std::vector<std::string> events;
};

/// How the runs of a test ended, to check that a generator reaches every kind of end.
struct Ends {
    std::map<RunEnd, int> count;
    std::map<Failure, int> failures;
    std::int64_t longest = 0;
};

Outcome runWith(const std::string& code, bool plain, std::uint64_t seed, bool withPulse,
                std::int64_t maxSteps) {
    ScriptedHost host(seed, withPulse);
    RunOptions options;
    options.plain = plain;
    options.maxSteps = maxSteps;
    int depth = 0;
    host.onEvents = [&] {
        // Every other "t" starts a short nested run with the same interpreter.
        if (depth > 0 || host.clock % 2) return;
        ++depth;
        RunOptions inner = options;
        inner.maxSteps = 50;
        const RunResult r = runprogram("a01sA4A2a01wa01qp", host, inner);
        host.events.push_back("nested:" + std::to_string(r.steps) + ":" + r.mem[1]);
        --depth;
    };
    Outcome o;
    o.result = runprogram(code, host, options);
    o.events = std::move(host.events);
    return o;
}

/// Runs `code` in both loops and reports the first difference.
::testing::AssertionResult sameRun(const std::string& code, std::uint64_t seed, bool withPulse,
                                   std::int64_t maxSteps, Ends* ends = nullptr) {
    const Outcome a = runWith(code, true, seed, withPulse, maxSteps);
    const Outcome b = runWith(code, false, seed, withPulse, maxSteps);
    if (ends) {
        ++ends->count[a.result.end];
        ++ends->failures[a.result.failure];
        ends->longest = std::max(ends->longest, a.result.steps);
    }
    const auto failure = [&](const std::string& what) {
        std::string shown;
        for (char c : code)
            shown += (c >= 32 && c < 127) ? std::string(1, c)
                                          : "\\x" + std::to_string(static_cast<unsigned char>(c));
        return ::testing::AssertionFailure()
               << what << " (pulse " << withPulse << ", limit " << maxSteps << ", seed " << seed
               << ") code \"" << shown << '"';
    };
    if (a.events != b.events) {
        std::size_t i = 0;
        while (i < a.events.size() && i < b.events.size() && a.events[i] == b.events[i])
            ++i;
        return failure("event " + std::to_string(i) + ": plain \"" +
                       (i < a.events.size() ? a.events[i] : "(none)") + "\", fast \"" +
                       (i < b.events.size() ? b.events[i] : "(none)") + '"');
    }
    const RunResult& x = a.result;
    const RunResult& y = b.result;
    if (x.end != y.end || x.failure != y.failure) return failure("ends differ");
    if (x.steps != y.steps) {
        return failure("steps " + std::to_string(x.steps) + " vs " + std::to_string(y.steps));
    }
    if (x.pc != y.pc || x.cur != y.cur || x.opb != y.opb || x.opc != y.opc) {
        return failure("registers: pc " + std::to_string(x.pc) + "/" + std::to_string(y.pc) +
                       " cur " + std::to_string(x.cur) + "/" + std::to_string(y.cur));
    }
    for (int i = 0; i < kCells; ++i) {
        if (x.mem[i] != y.mem[i]) {
            return failure("cell " + std::to_string(i) + ": \"" + x.mem[i] + "\" vs \"" + y.mem[i] +
                           '"');
        }
    }
    return ::testing::AssertionSuccess();
}

/// Random code strings: every operation, address prefixes (some malformed), markers, digits,
/// "A" and its character, line ends and stray bytes.
std::string randomCode(std::mt19937_64& rng) {
    static const std::string kOps = "bcdefghijlnopqrstuwxyzBC";
    static const std::string kStray = std::string("\t\x7f\x80\xe9\0mKV:~", 10);
    const std::size_t parts = rng() % 60;
    std::string code;
    const auto digit = [&] { return static_cast<char>('0' + rng() % 10); };
    for (std::size_t i = 0; i < parts; ++i) {
        switch (rng() % 11) {
        case 0:
        case 1: code += std::string("a") + (rng() % 4 ? '0' : digit()) + digit(); break;
        case 2: code += kOps[rng() % kOps.size()]; break;
        case 3: code += rng() % 2 ? " k" : " v"; break;
        case 4: // "A" and its character, sometimes after an "s" on whatever cell is current
            code += std::string(rng() % 3 ? "A" : "sA") + "0123456789.-e+ x\r\nk"[rng() % 19];
            break;
        case 5: code += digit(); break;
        case 6: code += kStray[rng() % kStray.size()]; break;
        case 7: code += rng() % 2 ? "\r\n" : " "; break;
        case 10: code += "a00sA1A5A0a00n"; break; // cur becomes 150
        case 8:                                   // a small number, or one beyond the double range
            code += "a0" + std::string(1, digit()) + (rng() % 4 ? "sA" : "sA9AeA4A0A") + digit();
            break;
        default:
            code += std::string("a0") + digit() + "b" + "a0" + digit() + "c" + "a0" + digit() +
                    kOps[rng() % kOps.size()];
        }
    }
    if (rng() % 3 == 0 && !code.empty()) code.back() = 'A'; // an "A" at the last position
    return code;
}

/// Assembler output of random sources over cells 00..11: loops, tests, texts and numbers.
std::string randomProgram(std::mt19937_64& rng) {
    // Texts that read as the same number ("100", "1e2", "1E+2") must still differ for "ife".
    static const char* const kValues[] = {"0",
                                          "1",
                                          "-1",
                                          "2.5",
                                          "2.50",
                                          "3",
                                          "0.1",
                                          "1e300",
                                          "-1e300",
                                          "16777217",
                                          "abc",
                                          "",
                                          "999999999999999",
                                          "-0",
                                          " 7 ",
                                          "1E15",
                                          "100",
                                          "1e2",
                                          "1E+2",
                                          "2"};
    static const char* const kThree[] = {"add", "sub", "mul", "div", "rnd", "pwr"};
    static const char* const kTwo[] = {"ife", "ifg", "ifl", "inp", "apd", "sqr"};
    static const char* const kOne[] = {"tic", "mpt", "inc", "dec", "clr", "gto", "dsp"};
    static const char* const kBare[] = {"eif", "end", "doe", "lbl", "idl", "eif", "lbl"};
    const auto cell = [&] {
        const int c = static_cast<int>(rng() % 12);
        return std::string(1, static_cast<char>('0' + c / 10)) + static_cast<char>('0' + c % 10);
    };
    std::string source;
    for (int i = 0; i < 6; ++i) {
        source += "set " + cell() + ", " + kValues[rng() % std::size(kValues)] + ";\r\n";
    }
    const std::size_t lines = 4 + rng() % 30;
    for (std::size_t i = 0; i < lines; ++i) {
        switch (rng() % 8) {
        case 5: // a loop tail, which the fast loop fuses, after a label it may jump back to
            source += std::string(rng() % 2 ? "lbl\r\n" : "") + (rng() % 3 ? "inc " : "dec ") +
                      cell() + "\r\n" + kTwo[rng() % 3] + " " + cell() + ", " + cell() +
                      "\r\ngto " + cell();
            break;
        case 0:
            source += std::string(kThree[rng() % 6]) + " " + cell() + ", " + cell() + ", " + cell();
            break;
        case 1: source += std::string(kTwo[rng() % 6]) + " " + cell() + ", " + cell(); break;
        case 2: source += std::string(kOne[rng() % 7]) + " " + cell(); break;
        case 3: source += kBare[rng() % 7]; break;
        default: source += "set " + cell() + ", " + kValues[rng() % std::size(kValues)] + ";";
        }
        source += "\r\n";
    }
    return compiletext(source).code + "\r\n";
}

std::int64_t randomLimit(std::mt19937_64& rng) {
    // Small limits stop inside shapes; large ones let loops run into their failures.
    return rng() % 2 ? static_cast<std::int64_t>(1 + rng() % 40) : 20000;
}

void expectEveryEnd(const Ends& ends) {
    for (RunEnd end : {RunEnd::Terminated, RunEnd::Error, RunEnd::PastEnd, RunEnd::StepLimit}) {
        EXPECT_GE(ends.count.at(end), 20) << static_cast<int>(end);
    }
    for (Failure f : {Failure::SubscriptOutOfRange, Failure::TypeMismatch, Failure::Overflow}) {
        EXPECT_GE(ends.failures.at(f), 5) << static_cast<int>(f);
    }
    EXPECT_GE(ends.longest, 1000);
}

TEST(FastLoop, MatchesThePlainLoopOnRandomCodeStrings) {
    std::mt19937_64 rng(2024);
    Ends ends;
    for (int i = 0; i < 3000; ++i) {
        const std::string code = randomCode(rng);
        const std::uint64_t seed = rng();
        const std::int64_t limit = randomLimit(rng);
        ASSERT_TRUE(sameRun(code, seed, true, limit, &ends));
        ASSERT_TRUE(sameRun(code, seed, false, limit));
    }
    expectEveryEnd(ends);
}

TEST(FastLoop, MatchesThePlainLoopOnAssembledPrograms) {
    std::mt19937_64 rng(99);
    Ends ends;
    for (int i = 0; i < 3000; ++i) {
        const std::string code = randomProgram(rng);
        const std::uint64_t seed = rng();
        const std::int64_t limit = randomLimit(rng);
        ASSERT_TRUE(sameRun(code, seed, true, limit, &ends));
        ASSERT_TRUE(sameRun(code, seed, false, limit));
    }
    expectEveryEnd(ends);
}

TEST(FastLoop, EveryStepLimitInsideAShapeStopsExactly) {
    // A set, an add, a test that fails and a jump back to label 1 through cell 09.
    const std::string code = "a09sA1 va01sA2A5a01ba01ca02da02ba01cj ka09up";
    for (std::int64_t limit = 1; limit <= 60; ++limit)
        ASSERT_TRUE(sameRun(code, 1, true, limit));
}

TEST(FastLoop, FailuresInsideShapesNameTheFailingOperation) {
    // Cell 02 is no number: the add fails at its "d" after five register steps.
    for (const char* code :
         {"a01sA1a02sAxa01ba02ca03dp", "a01sA1a01ba02ca03dp", "a01sA9A9A9a01na01ba02ca03dp",
          "a07sa07A", "a01sA5a01ba01x a01n", "a00sA1A1A0a00nsA1A1u", "a00sA1A1A0a00nAxAy"}) {
        ASSERT_TRUE(sameRun(code, 3, true, 1000));
    }
    // A set whose cell number is out of range fails at its "s", before the "A" steps.
    const std::string unset("\nA\0nsA1A1u", 10); // cur 110 from the "n" on "1" "1" "0"
    ASSERT_TRUE(sameRun(unset, 1, true, 1000));
    const RunResult r = runWith(unset, false, 1, true, 1000).result;
    EXPECT_EQ(r.failure, Failure::SubscriptOutOfRange);
    EXPECT_EQ(r.pc, 5);
}

TEST(FastLoop, TextsThatReadAsTheSameNumberStillDifferForIfe) {
    // Both cells have been read as 100 by the add; "ife" still compares their texts. Equal
    // results of arithmetic ("q" on 99 and on 99.0) do compare equal.
    const std::string code = compiletext("set 01, 100;\r\nset 02, 1e2;\r\nadd 01, 02, 03\r\n"
                                         "ife 01, 02\r\nset 04, same;\r\neif\r\n"
                                         "set 05, 99;\r\nset 06, 99.0;\r\ninc 05\r\ninc 06\r\n"
                                         "ife 05, 06\r\nset 07, same;\r\neif\r\nend\r\n")
                                 .code;
    ASSERT_TRUE(sameRun(code, 1, true, 1000));
    const RunResult r = runWith(code, false, 1, true, 1000).result;
    EXPECT_EQ(r.mem[3], "200");
    EXPECT_EQ(r.mem[4], "");
    EXPECT_EQ(r.mem[7], "same");
}

TEST(FastLoop, AJumpFollowsItsCellWhenTheNumberChanges) {
    // The same "a09u" runs twice: cell 09 holds 2, then 3, so it jumps to label 2, then 3.
    const std::string code = "a08sA0a09sA1 va09qa09u va08qa01sA1a01u vp";
    ASSERT_TRUE(sameRun(code, 1, true, 1000));
    const RunResult r = runWith(code, false, 1, true, 1000).result;
    EXPECT_EQ(r.end, RunEnd::Terminated);
    EXPECT_EQ(r.mem[8], "1");
    EXPECT_EQ(r.mem[9], "3");
}

TEST(FastLoop, JumpsIntoTheMiddleOfShapes) {
    // Label 1 stands right after "a01b": a jump lands on "a02ca03d" with opb still 08 from the
    // test, not 01, so the last add is 2 + 6; cell 08 counts down from 3 to 1.
    const std::string code = "a09sA1a08sA3a01sA4a02sA6 a01b va02ca03da08ra08ba09ci a09u kp";
    ASSERT_TRUE(sameRun(code, 5, true, 100000));
    ASSERT_TRUE(sameRun(code, 5, false, 100000));
    const RunResult r = runWith(code, false, 5, true, 100000).result;
    EXPECT_EQ(r.end, RunEnd::Terminated);
    EXPECT_EQ(r.mem[3], "8");
}

TEST(FastLoop, LongTextsStopAtTheCellLimitWhereThePlainLoopDoes) {
    // Doubling a text until the next doubling would pass 64 MiB.
    EXPECT_TRUE(sameRun("a00sA1a01sAa va01ba01xa00u", 1, true, 0));
    // Cell 02 gathers 1 + 2 + ... + 2^25 characters, one short of the limit, while cell 01
    // doubles; then a run of three "A" steps: the first fits, the second fails.
    const std::string code = "a01sAxa02sa05sA0a06sA2A6a00sA1"
                             " va01ba02xa01ba01xa05qa05ba06cja00u k"
                             "a02AyAyAyp";
    ASSERT_TRUE(sameRun(code, 1, true, 0));
    const RunResult r = runWith(code, false, 1, true, 0).result;
    EXPECT_EQ(r.failure, Failure::OutOfStringSpace);
    EXPECT_EQ(r.mem[2].size(), kMaxCellLength);
    EXPECT_EQ(r.pc, static_cast<std::int32_t>(code.size()) - 4); // the second "A"
}

TEST(FastLoop, CountingLoopGivesTheSameCountsAndCaptions) {
    // The speed display's step counts at each refresh are the plain loop's.
    const std::string code = compiletext("set 01, 0;\r\nset 02, 30000;\r\nset 90, 1;\r\nlbl 01\r\n"
                                         "inc 01\r\ndoe\r\nifl 01, 02\r\ngto 90\r\neif\r\nend\r\n")
                                 .code;
    ASSERT_TRUE(sameRun(code, 11, true, 5'000'000));
    const Outcome o = runWith(code, false, 11, true, 5'000'000);
    EXPECT_EQ(o.result.mem[1], "30000");
}

} // namespace
} // namespace tessivor
