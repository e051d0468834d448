#pragma once
// What the fuzz targets share: a host whose every answer is fixed in advance, so two runs of one
// code string see the same world, and a memory budget for a single run.

#include "runner/machine/host.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessivor::fuzz {

/// Answers boxes, the clocks and the random generator from fixed cycles and records what it is
/// shown. The speed display's clock moves only when the host is called into ("t", an input box),
/// so it does not matter how often an interpreter reads it; it moves by more than a second each
/// time, so the display is refreshed too. The clock "l" reads moves at each reading and nowhere
/// else: a debug session that goes over "t" steps again, or asks nothing while it replays, reads
/// the same values as a fresh run.
class ScriptedHost : public Host {
public:
    explicit ScriptedHost(bool withPulse) : withPulse_(withPulse) {}

    std::vector<std::string> events;

    void setCaption(std::string_view c) override { record('C', c); }
    void setDisplay(std::string_view t) override { record('D', t); }
    void setLarpEnabled() override { record('L', {}); }
    void messageBox(std::string_view t) override { record('M', t); }
    std::string inputBox(std::string_view prompt) override {
        record('I', prompt);
        clock_ += 1500;
        static constexpr std::array<const char*, 8> kReplies = {
            "", "7", "-2.5", " 1e3 ", "abc", "1e309", "99", "0.000000000000000000001"};
        return kReplies[replies_++ % kReplies.size()];
    }
    void processEvents() override {
        record('E', {});
        clock_ += 1100;
    }
    std::int32_t tickCount() override { return clock_; }
    std::int32_t programTick() override {
        programClock_ += 1100; // wraps as the counter does
        return static_cast<std::int32_t>(programClock_);
    }
    float randomSingle() override {
        static constexpr std::array<float, 5> kRandoms = {0.5f, 0.0f, 0.99999994f, 0.25f, 0.75f};
        return kRandoms[randoms_++ % kRandoms.size()];
    }
    const std::atomic<std::uint32_t>* tickPulse() override {
        return withPulse_ ? &pulse_ : nullptr;
    }

private:
    void record(char kind, std::string_view text) {
        // Long texts are kept as their length and ends: comparing them whole would cost more
        // than the run.
        std::string e(1, kind);
        if (text.size() <= 64) {
            e += text;
        } else {
            e += std::to_string(text.size());
            e += text.substr(0, 16);
            e += text.substr(text.size() - 16);
        }
        events.push_back(std::move(e));
    }

    bool withPulse_;
    std::atomic<std::uint32_t> pulse_{0}; // never moves
    std::int32_t clock_ = 5;
    std::uint32_t programClock_ = 5;
    std::size_t replies_ = 0;
    std::size_t randoms_ = 0;
};

/// While an instance lives, allocations through operator new beyond `bytes` in all throw
/// std::bad_alloc. A program may legitimately fill 100 cells of 64 MiB each; the fuzz targets
/// treat a run that needs more than their budget as out of scope rather than as a fault.
class MemoryBudget {
public:
    explicit MemoryBudget(std::size_t bytes);
    ~MemoryBudget();
    /// An allocation was refused since the budget was armed: the run needed more than it.
    static bool exceeded();
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;
};

/// Ends the process with a message when `holds` is false; the fuzzer saves the input.
void check(bool holds, const char* what);

} // namespace tessivor::fuzz
