#include "runner/machine/fast_table.h"

#include "common/operations.h"
#include "runner/machine/fast_cell.h"
#include "runner/machine/run.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tessivor::fast {
namespace {

// A cell number or an address fits the entry's 8-bit registers.
static_assert(kCells - 1 <= std::numeric_limits<std::int8_t>::max());

/// The kind of an operation; every Op has its case (a new one without a case does not compile).
constexpr Kind kindOfOp(Op op) {
    switch (op) {
    case kOpAdd: return kAdd;
    case kOpSub: return kSub;
    case kOpMul: return kMul;
    case kOpDiv: return kDiv;
    case kOpIfEqual: return kIfEqual;
    case kOpIfGreater: return kIfGreater;
    case kOpIfLess: return kIfLess;
    case kOpTick: return kTick;
    case kOpPointer: return kPointer;
    case kOpInput: return kInput;
    case kOpEnd: return kEnd;
    case kOpIncrement: return kIncrement;
    case kOpDecrement: return kDecrement;
    case kOpClear: return kClear;
    case kOpEvents: return kEvents;
    case kOpGoto: return kGoto;
    case kOpDisplay: return kDisplay;
    case kOpAppend: return kAppend;
    case kOpRandom: return kRandom;
    case kOpCopy: return kCopy;
    case kOpAppendChar: return kAppendRun;
    case kOpPower: return kPower;
    case kOpSqrt: return kSqrt;
    // Register steps and markers: the entry builder folds them into the registers.
    case kOpAddress:
    case kOpSetB:
    case kOpSetC:
    case kOpSpace:
    case kOpEndIf:
    case kOpLabel: return kNone;
    }
    return kNone;
}

// The kind of every code 0..127, from the alphabet: codes without a row do nothing.
constexpr auto kKindOfCode = [] {
    std::array<Kind, 128> kinds{};
    kinds.fill(kNone);
    for (const Letter& l : kAlphabet)
        kinds[static_cast<std::size_t>(l.op)] = kindOfOp(letterOf(l.op).op);
    return kinds;
}();
static_assert(kKindOfCode['q'] == kIncrement && kKindOfCode['A'] == kAppendRun);
static_assert(kKindOfCode['m'] == kNone && kKindOfCode[0] == kNone);

Kind kindOf(std::int32_t code) {
    return code >= 0 && code < 128 ? kKindOfCode[static_cast<std::size_t>(code)] : kNone;
}

// An "A" run entry with no register steps before it.
bool isBareRun(const Entry& e, std::int32_t at) {
    return e.kind == kAppendRun && e.at == at && e.steps == (e.next - e.at) / 2;
}

bool fixedCell(std::int8_t r) { return r >= 0; }

// The loop tail that starts with the increment entry `e`, when it has one.
bool loopTail(const Table& t, const Entry& e, Tail& tail) {
    if ((e.kind != kIncrement && e.kind != kDecrement) || !fixedCell(e.cur) || e.opb != kKeep ||
        e.opc != kKeep || e.next != e.at + 1) {
        return false;
    }
    const Entry& test = t.entries[static_cast<std::size_t>(e.next)];
    if (test.kind != kIfEqual && test.kind != kIfGreater && test.kind != kIfLess) return false;
    if (!fixedCell(test.cur) || !fixedCell(test.opb) || !fixedCell(test.opc)) return false;
    if (e.steps + test.steps > kMaxEntrySteps) return false;
    tail.testAt = test.at;
    tail.testSteps = test.steps;
    tail.test = test.kind;
    tail.delta = e.kind == kIncrement ? 1.0 : -1.0;
    tail.incCur = e.cur;
    tail.cur = test.cur;
    tail.opb = test.opb;
    tail.opc = test.opc;
    const Entry& jump = t.entries[static_cast<std::size_t>(test.at) + 1];
    if (jump.kind == kGoto && fixedCell(jump.cur) && jump.opb == kKeep && jump.opc == kKeep &&
        jump.aux != kNoAux) {
        tail.jump = test.at + 1;
        tail.jumpSteps = jump.steps;
        tail.jumpCur = jump.cur;
    }
    return true;
}

} // namespace

void invariantBroken(const char* what) {
    std::fprintf(stderr, "tessivor: internal error in the fast loop: %s\n", what);
    std::abort();
}

void findLoopBody(const Table& table, Tail& tail, std::int32_t tailAt, std::int32_t target,
                  Cell* mem) {
    tail.bodyTarget = -1;
    tail.bodySize = 0;
    tail.bodySteps = 0;
    tail.noBodyAt = target;
    std::int32_t at = target;
    std::int32_t steps = 0;
    for (int size = 0; size < kMaxBodySteps && tail.test != kIfEqual; ++size) {
        if (at < 1 || at > table.n) return;
        const Entry& e = table.entries[static_cast<std::size_t>(at)];
        const bool arithmetic = e.kind == kAdd || e.kind == kSub || e.kind == kMul ||
                                e.kind == kDiv || e.kind == kPower;
        if (!arithmetic || !fixedCell(e.cur) || !fixedCell(e.opb) || !fixedCell(e.opc)) return;
        BodyStep& step = tail.body[size];
        step.b = mem + e.opb;
        step.c = mem + e.opc;
        step.cell = mem + e.cur;
        step.start = at;
        step.before = steps;
        step.kind = e.kind;
        step.cur = e.cur;
        step.opb = e.opb;
        step.opc = e.opc;
        steps += e.steps;
        at = e.next;
        if (at == tailAt) {
            tail.bodyTarget = target;
            tail.noBodyAt = -1;
            tail.bodySize = size + 1;
            tail.bodySteps = steps;
            return;
        }
    }
}

Entry singleEntry(const Prepared& tables, std::int32_t pc) {
    const auto n = static_cast<std::int32_t>(tables.codes.size() - 1);
    Entry e;
    e.at = pc;
    e.next = pc + 1;
    if (pc > n) {
        e.kind = kPastEnd;
        return e;
    }
    switch (const std::int32_t code = tables.codes[static_cast<std::size_t>(pc)]) {
    case kOpAddress: {
        const std::int32_t cell = tables.addrs[static_cast<std::size_t>(pc)];
        if (cell < 0 || cell >= kCells) invariantBroken("an address outside 00..99");
        e.cur = static_cast<std::int8_t>(cell);
        e.next = pc + 3;
        break;
    }
    case kOpSetB: e.opb = kFromCur; break;
    case kOpSetC: e.opc = kFromCur; break;
    case kOpAppendChar:
        e.kind = kAppendRun;
        e.next = pc + 2;
        break;
    default: e.kind = kindOf(code); break;
    }
    return e;
}

Table buildTable(const Prepared& tables, const std::vector<std::uint8_t>& traps) {
    Table t;
    const auto n = static_cast<std::int32_t>(tables.codes.size() - 1);
    t.n = n;
    t.entries.resize(static_cast<std::size_t>(n) + 4);
    const auto code = [&](std::int32_t p) { return tables.codes[static_cast<std::size_t>(p)]; };
    for (auto& half : t.literals)
        half.assign(static_cast<std::size_t>(n) / 2 + 2, '\0');
    for (std::int32_t q = 1; q < n; ++q) {
        if (code(q) == kOpAppendChar) {
            // The code, not the character: digits and unrecognised characters append a digit.
            const std::int32_t k = code(q + 1);
            t.literals[q & 1][static_cast<std::size_t>(q >> 1)] =
                static_cast<char>(k <= 9 ? '0' + k : k);
        }
    }
    for (std::int32_t p = n + 3; p >= 1; --p) {
        Entry& e = t.entries[static_cast<std::size_t>(p)];
        e = singleEntry(tables, p);
        if (static_cast<std::size_t>(p) < traps.size() && traps[static_cast<std::size_t>(p)]) {
            e.kind = kTrap;
            e.steps = 0;
            e.cur = e.opb = e.opc = kKeep;
            e.next = p;
            continue;
        }
        if (p > n) continue;
        const std::int32_t c = code(p);
        if (c == kOpAppendChar) {
            // A run of "A ch" pairs; the last "A" must have its character (an "A" at position
            // n fails on its own).
            const Entry& rest = t.entries[static_cast<std::size_t>(p) + 2];
            if (p + 3 <= n && code(p + 2) == kOpAppendChar && isBareRun(rest, p + 2) &&
                rest.steps < kMaxEntrySteps / 2) {
                e.steps = static_cast<std::uint16_t>(rest.steps + 1);
                e.next = rest.next;
            }
            continue;
        }
        if (c == kOpClear) {
            const Entry& rest = t.entries[static_cast<std::size_t>(p) + 1];
            if (p + 2 <= n && code(p + 1) == kOpAppendChar && isBareRun(rest, p + 1)) {
                e.kind = kSetText;
                e.steps = static_cast<std::uint16_t>(rest.steps + 1);
                e.next = rest.next;
            }
            continue;
        }
        if (e.kind != kNone) continue; // an operation ends an entry
        // A register or no-op step in front of the entry after it.
        const Entry& rest = t.entries[static_cast<std::size_t>(e.next)];
        if (rest.steps >= kMaxEntrySteps || rest.kind == kTrap) continue;
        Entry fused = rest;
        fused.steps = static_cast<std::uint16_t>(rest.steps + 1);
        if (c == kOpAddress) {
            const std::int8_t k = e.cur;
            if (fused.cur == kKeep) fused.cur = k;
            if (fused.opb == kFromCur) fused.opb = k;
            if (fused.opc == kFromCur) fused.opc = k;
        } else if (c == kOpSetB) {
            if (fused.opb == kKeep) fused.opb = kFromCur;
        } else if (c == kOpSetC) {
            if (fused.opc == kKeep) fused.opc = kFromCur;
        }
        e = fused;
    }
    // Every "u" entry, with its register steps or without, caches its own last jump.
    for (Entry& e : t.entries) {
        if (e.kind != kGoto || t.jumpValues.size() >= kNoAux) continue;
        e.aux = static_cast<std::uint16_t>(t.jumpValues.size());
        t.jumpValues.push_back(std::numeric_limits<double>::quiet_NaN());
    }
    // Loop tails, once the tests and jumps they fuse are final.
    for (Entry& e : t.entries) {
        Tail tail;
        if (t.tails.size() >= kNoAux || !loopTail(t, e, tail)) continue;
        e.kind = kLoopTail;
        e.aux = static_cast<std::uint16_t>(t.tails.size());
        e.steps = static_cast<std::uint16_t>(e.steps + tail.testSteps);
        t.tails.push_back(tail);
    }
    return t;
}

} // namespace tessivor::fast
