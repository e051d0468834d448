#pragma once
// A host for tests: records what a run shows and answers its boxes from a script.

#include "runner/machine/host.h"
#include "runner/machine/tick.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tessivor::testing {

class RecordingHost : public Host {
public:
    /// Everything shown, in order: "caption:...", "display:...", "message:...", "input:...",
    /// "larp", "events".
    std::vector<std::string> events;
    std::deque<std::string> replies; ///< input box answers; "" (Cancel) when empty
    std::int32_t clock = 1;          ///< the tick counter
    std::int32_t clockStep = 0;      ///< added to the clock after each read
    float random = 0.5f;
    std::function<void()> onEvents; ///< runs inside processEvents()

    void setCaption(std::string_view c) override { events.push_back("caption:" + std::string(c)); }
    void setDisplay(std::string_view t) override { events.push_back("display:" + std::string(t)); }
    void setLarpEnabled() override { events.push_back("larp"); }
    void messageBox(std::string_view t) override { events.push_back("message:" + std::string(t)); }
    std::string inputBox(std::string_view prompt) override {
        events.push_back("input:" + std::string(prompt));
        if (replies.empty()) return {};
        std::string reply = std::move(replies.front());
        replies.pop_front();
        return reply;
    }
    void processEvents() override {
        events.push_back("events");
        if (onEvents) onEvents();
    }
    std::int32_t tickCount() override {
        const std::int32_t now = clock;
        clock = tickAfter(clock, clockStep); // wraps as the system's counter does
        return now;
    }
    float randomSingle() override { return random; }

    /// The events that are not captions.
    std::vector<std::string> shown() const {
        std::vector<std::string> out;
        for (const auto& e : events) {
            if (e.rfind("caption:", 0) != 0) out.push_back(e);
        }
        return out;
    }
};

} // namespace tessivor::testing
