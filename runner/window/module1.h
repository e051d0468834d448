#pragma once
// `Module1` on Qt: the start-up routine with the Qt window (runner/window/start_up.h has the
// routine itself and `loadedcode`).

#include "runner/window/form1.h"
#include "runner/window/start_up.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string_view>

namespace tessivor::Module1 {

/// Creates the window; tests give one with dialogs and boxes they can answer.
using CreateForm1 = std::function<std::unique_ptr<Form1>()>;

/// The start-up routine (startUpRoutine()) on the window `createForm1` makes. Returns the
/// window.
std::unique_ptr<Form1> startUp(std::string_view argumentText, const CreateForm1& createForm1,
                               std::ostream& errors);

/// startUp() with Qt's dialogs and boxes and the reasons on stderr.
std::unique_ptr<Form1> startUp(std::string_view argumentText);

} // namespace tessivor::Module1
