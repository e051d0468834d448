#pragma once
// What a run needs from whatever shows it: the runner window, a terminal, or a test.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessivor {

/// The window-side services a running program uses. Texts are bytes, one byte a character.
/// A host may end a run early by throwing from any of its calls (a grader's time limit): the
/// run's state is released and the exception reaches the caller of runprogram.
class Host {
public:
    virtual ~Host() = default;

    /// Replaces the window caption ("Tessivor 0.1 - 0.35mhz").
    virtual void setCaption(std::string_view caption) = 0;
    /// Replaces the whole text of the one-line display `t1` ("w").
    virtual void setDisplay(std::string_view text) = 0;
    /// Enables the "Load and Run Program" menu item `larp` (end of a run).
    virtual void setLarpEnabled() = 0;
    /// Modal message box titled "Tessivor" with one OK button; returns when it is closed.
    virtual void messageBox(std::string_view text) = 0;
    /// Modal input box titled "Tessivor" with the prompt and an empty default; "" on Cancel.
    virtual std::string inputBox(std::string_view prompt) = 0;
    /// Handles the window's pending events ("t"); may start a nested run.
    virtual void processEvents() = 0;
    /// Milliseconds since the system started, as a signed 32-bit integer.
    virtual std::int32_t tickCount() = 0;
    /// The tick counter as "l" reads it into a cell (the speed display reads tickCount()): the
    /// same counter, apart for a host that records what a run read.
    virtual std::int32_t programTick() { return tickCount(); }
    /// A uniformly distributed number r with 0 <= r < 1.
    virtual float randomSingle() = 0;

    /// A counter that moves on every few milliseconds, or null. With one, the step loop reads
    /// the tick counter only at the first step after the counter moved (and after any call into
    /// the host); without one, at every step, which is slow but exact for tests.
    virtual const std::atomic<std::uint32_t>* tickPulse() { return nullptr; }
};

/// A host that shows nothing and answers with nothing ("" for every input box, 0 for the clock
/// and every draw), for runs nobody watches: a benchmark's, or the fresh run a test compares a
/// session with.
class QuietHost : public Host {
public:
    void setCaption(std::string_view) override {}
    void setDisplay(std::string_view) override {}
    void setLarpEnabled() override {}
    void messageBox(std::string_view) override {}
    std::string inputBox(std::string_view) override { return {}; }
    void processEvents() override {}
    std::int32_t tickCount() override { return 0; }
    float randomSingle() override { return 0; }
};

} // namespace tessivor
