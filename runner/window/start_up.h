#pragma once
// `Module1` on every platform: the program-wide text of the loaded program file, and the
// start-up routine.

#include "runner/window/form1_logic.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace tessivor::Module1 {

/// The whole text of the program file loaded last; every successful load replaces it and hands
/// this variable itself to `runprogram`.
extern std::string loadedcode;

/// Creates the window `Form1`, shows it and returns it.
using ShowForm1 = std::function<Form1Logic&()>;

/// The start-up routine. The file name is `argumentText` without its first and last character
/// (a path in double quotes loses its quotes); the file is read whole into `loadedcode`, the
/// window is created and shown, and the program runs in it. When any of that fails the window
/// opens idle, with no message; the reason goes to `errors` as one line, unless the argument
/// text is empty (the program was started without a file).
void startUpRoutine(std::string_view argumentText, const ShowForm1& showForm1,
                    std::ostream& errors);

} // namespace tessivor::Module1
