#pragma once
// The events format: everything a run shows, one JSON object a line, as `tessivor-cli run
// --events` prints it and the page's engine returns it:
//
//   {"caption": "Tessivor 0.1"}
//   {"display": "6 times 7 is 42"}
//   {"message": "Program Terminated"}
//   {"input": "Your name?", "reply": "Ada"}
//   {"end": "terminated", "steps": 47, "pc": 46, "cur": 2, "opb": 1, "opc": 0, "cells": [...]}
//
// An error's end object also has "failure" ("type mismatch") and, when the source is known,
// "place" (the failed run's line on stderr); a run stopped by a signal ends with
// {"end": "interrupted", "signal": "SIGINT"}. Texts are bytes, written as json.h says.

#include "runner/machine/run.h"

#include <functional>
#include <string_view>

namespace tessivor {

/// Writes the events of one run, each line whole, through `write`.
class EventWriter {
public:
    /// Takes the text of the events as it is written; may throw to stop the run.
    using Write = std::function<void(std::string_view text)>;

    explicit EventWriter(Write write) : write_(std::move(write)) {}

    void caption(std::string_view text) { line("caption", text); }
    void display(std::string_view text) { line("display", text); }
    void message(std::string_view text) { line("message", text); }
    /// An input box's prompt and the reply it got ("" for Cancel).
    void input(std::string_view prompt, std::string_view reply);
    /// The end object; `place` is added to an error's when not empty. The cells go out a piece
    /// at a time: ten full cells of control characters would take some 4 GB as one JSON text.
    void end(const RunResult& result, std::string_view place = {});
    /// The end of a run that a signal stopped ("SIGINT").
    void interrupted(std::string_view signal);

private:
    void line(const char* key, std::string_view text);

    Write write_;
};

} // namespace tessivor
