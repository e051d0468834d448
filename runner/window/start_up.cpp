#include "runner/window/start_up.h"

#include "platform/cmdline.h"
#include "platform/files.h"

#include <ostream>

namespace tessivor::Module1 {

std::string loadedcode;

namespace {

/// Steps 2 to 6: the file name from the argument text, the file read into `loadedcode`.
bool loadFromArgument(std::string_view argumentText, std::string& fileName, std::ostream& errors) {
    if (argumentText.empty())
        return false; // started without a file: idle, and nothing to complain about
    if (argumentText.size() <= 2) {
        errors << "tessivor: no file name in the argument " << argumentText << '\n';
        return false;
    }
    fileName = std::string(argumentText.substr(1, argumentText.size() - 2));
    std::string reason;
    if (!platform::readWholeFile(platform::pathFromArgument(fileName), loadedcode, reason)) {
        errors << "tessivor: " << fileName << ": " << reason << '\n';
        return false;
    }
    return true;
}

} // namespace

void startUpRoutine(std::string_view argumentText, const ShowForm1& showForm1,
                    std::ostream& errors) {
    std::string fileName;
    const bool loaded = loadFromArgument(argumentText, fileName, errors);
    Form1Logic& form = showForm1();
    if (!loaded) return;
    const RunResult result = form.runprogram(loadedcode);
    // A run that passed its end is an ordinary end for a program without "end"; only a program
    // that never started is worth a word.
    if (result.end == RunEnd::PrepareFailed) {
        errors << "tessivor: " << fileName << ": "
               << (result.prepareFailure == PrepareFailure::TooManyLabels
                       ? "more than 99 labels; nothing ran\n"
                       : "the program is too long to run; nothing ran\n");
    }
}

} // namespace tessivor::Module1
