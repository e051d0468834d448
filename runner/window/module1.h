#pragma once
// `Module1`: the program-wide text of the loaded program file, and the start-up routine.

#include "runner/window/form1.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace tessivor::Module1 {

/// The whole text of the program file loaded last; every successful load replaces it and hands
/// this variable itself to `runprogram`.
extern std::string loadedcode;

/// Creates the window; tests give one with dialogs and boxes they can answer.
using CreateForm1 = std::function<std::unique_ptr<Form1>()>;

/// The start-up routine. The file name is `argumentText` without its first and last character
/// (a path in double quotes loses its quotes); the file is read whole into `loadedcode`, the
/// window is created and shown, and the program runs in it. When any of that fails the window
/// opens idle, with no message; the reason goes to `errors` as one line, unless the argument
/// text is empty (the program was started without a file). Returns the window.
std::unique_ptr<Form1> startUp(std::string_view argumentText, const CreateForm1& createForm1,
                               std::ostream& errors);

/// startUp() with Qt's dialogs and boxes and the reasons on stderr.
std::unique_ptr<Form1> startUp(std::string_view argumentText);

} // namespace tessivor::Module1
