// The table of operations against the step: what each row says an operation tests, reads,
// sets and writes is what the step does. The debug session undoes steps and the explanations
// name cells by these columns alone, so a wrong column is a wrong undo or a wrong message.

#include "common/operations.h"
#include "runner/machine/explain.h"
#include "runner/machine/run.h"
#include "runner/machine/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tessivor {
namespace {

using testing::RecordingHost;

constexpr const char* kCellOf[] = {"03", "01", "02"}; // the cells of cur, opb and opc

/// The code that fills cell `nn` with `text`, as a "set" does.
std::string set(const char* nn, std::string_view text) {
    std::string code = std::string("a") + nn + "s";
    for (const char c : text) {
        code += 'A';
        code += c;
    }
    return code;
}

/// The operation's own code: "a" takes two digits and "A" the character it appends.
std::string codeOf(const Letter& l) {
    if (l.op == kOpAddress) return "a05";
    if (l.op == kOpAppendChar) return "Az";
    return std::string(1, l.ch);
}

struct Registers {
    bool bad[3] = {}; ///< the register (cur, opb, opc) names cell 150 instead of its own
    const char* texts[3] = {"4", "2", "3"};
};

/// Fills cells 01 to 03 and 10, sets opb, opc and cur, then runs `op` as the last step.
struct Case {
    RunResult before, after;
    RecordingHost host;

    Case(const Letter& l, const Registers& s) {
        std::string prefix = set("10", "150");
        for (int r = 0; r < 3; ++r)
            prefix += set(kCellOf[r], s.texts[r]);
        const auto regTo = [&](int r) {
            return s.bad[r] ? std::string("a10n") : std::string("a") + kCellOf[r];
        };
        prefix += regTo(1) + "b" + regTo(2) + "c" + regTo(0);
        RecordingHost quiet;
        RunOptions options;
        options.plain = true;
        before = runprogram(prefix + "p", quiet, options);
        options.maxSteps = before.steps; // the prefix and the operation
        after = runprogram(prefix + codeOf(l) + "p", host, options);
    }
};

int index(Reg r) { return r == Reg::Cur ? 0 : r == Reg::Opb ? 1 : 2; }

bool contains(Regs regs, Reg reg) {
    for (const Reg r : regList(regs))
        if (r == reg) return true;
    return false;
}

TEST(Operations, EachStepTestsExactlyTheRegistersItsRowNames) {
    for (const Letter& l : kAlphabet) {
        for (const Reg r : {Reg::Cur, Reg::Opb, Reg::Opc}) {
            Registers s;
            s.bad[index(r)] = true;
            const Case c(l, s);
            const bool fails =
                c.after.end == RunEnd::Error && c.after.failure == Failure::SubscriptOutOfRange;
            EXPECT_EQ(fails, contains(l.tests, r)) << l.ch << " with " << regName(r) << " at 150";
            if (!fails) continue;
            // The explanation names the register the row names (the code before pc is blanks:
            // the explanation reads only the operation at pc).
            const RunResult& a = c.after;
            const std::string code = std::string(static_cast<std::size_t>(a.pc - 1), ' ') + l.ch;
            EXPECT_EQ(failureReason(code, a.pc, a.cur, a.opb, a.opc, a.mem, a.failure),
                      std::string(regName(r)) + " is 150, not a cell number (0 to 99)")
                << l.ch;
        }
    }
}

TEST(Operations, EachStepReadsAsNumbersExactlyTheCellsItsRowNames) {
    for (const Letter& l : kAlphabet) {
        for (const Reg r : {Reg::Cur, Reg::Opb, Reg::Opc}) {
            Registers s;
            s.texts[index(r)] = "abc";
            const Case c(l, s);
            const bool mismatch =
                c.after.end == RunEnd::Error && c.after.failure == Failure::TypeMismatch;
            const bool asNumber = l.readAs == ReadAs::Double || l.readAs == ReadAs::Single ||
                                  l.readAs == ReadAs::Integer;
            EXPECT_EQ(mismatch, asNumber && contains(l.reads, r))
                << l.ch << " with \"abc\" in the cell of " << regName(r);
        }
    }
}

TEST(Operations, EachStepSetsAndWritesWhatItsRowSays) {
    for (const Letter& l : kAlphabet) {
        const Case c(l, Registers{});
        ASSERT_NE(c.after.end, RunEnd::Error) << l.ch;
        const RunResult& b = c.before;
        const RunResult& a = c.after;
        EXPECT_EQ(a.cur != b.cur, l.sets == Sets::Cur) << l.ch;
        EXPECT_EQ(a.opb != b.opb, l.sets == Sets::Opb) << l.ch;
        EXPECT_EQ(a.opc != b.opc, l.sets == Sets::Opc) << l.ch;
        const std::string& was = b.mem[3];
        const std::string& now = a.mem[3];
        switch (l.writes) {
        case Writes::Nothing:
        case Writes::Display: EXPECT_EQ(now, was) << l.ch; break;
        case Writes::Cell: EXPECT_NE(now, was) << l.ch; break;
        case Writes::Append:
            EXPECT_GT(now.size(), was.size()) << l.ch;
            EXPECT_EQ(now.substr(0, was.size()), was) << l.ch;
            break;
        }
        for (int cell : {1, 2, 10})
            EXPECT_EQ(a.mem[static_cast<std::size_t>(cell)], b.mem[static_cast<std::size_t>(cell)])
                << l.ch << " wrote cell " << cell;
        const bool displayed = !c.host.events.empty() &&
                               std::find_if(c.host.events.begin(), c.host.events.end(),
                                            [](auto& e) { return e.rfind("display:", 0) == 0; }) !=
                                   c.host.events.end();
        EXPECT_EQ(displayed, l.writes == Writes::Display) << l.ch;
    }
}

TEST(Operations, TheExplanationNamesTheCellTheRowReads) {
    // Each operation that reads numbers, with "abc" in its first read cell.
    int checked = 0;
    for (const Letter& l : kAlphabet) {
        if (l.readAs != ReadAs::Double && l.readAs != ReadAs::Single && l.readAs != ReadAs::Integer)
            continue;
        const Reg first = *regList(l.reads).begin();
        Registers s;
        s.texts[index(first)] = "abc";
        const Case c(l, s);
        ASSERT_EQ(c.after.failure, Failure::TypeMismatch) << l.ch;
        const std::string code = std::string(static_cast<std::size_t>(c.after.pc - 1), ' ') + l.ch;
        EXPECT_EQ(failureReason(code, c.after.pc, c.after.cur, c.after.opb, c.after.opc,
                                c.after.mem, c.after.failure),
                  std::string("cell ") + kCellOf[index(first)] + " holds \"abc\", not a number")
            << l.ch;
        ++checked;
    }
    EXPECT_EQ(checked, 13);
}

} // namespace
} // namespace tessivor
