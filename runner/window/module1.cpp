#include "runner/window/module1.h"

#include "platform/cmdline.h"
#include "platform/files.h"

#include <iostream>

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

std::unique_ptr<Form1> startUp(std::string_view argumentText, const CreateForm1& createForm1,
                               std::ostream& errors) {
    std::string fileName;
    const bool loaded = loadFromArgument(argumentText, fileName, errors);
    std::unique_ptr<Form1> form = createForm1();
    form->show();
    if (!loaded) return form;
    const RunResult result = form->runprogram(loadedcode);
    // A run that passed its end is an ordinary end for a program without "end"; only a program
    // that never started is worth a word.
    if (result.end == RunEnd::PrepareFailed) {
        errors << "tessivor: " << fileName << ": "
               << (result.prepareFailure == PrepareFailure::TooManyLabels
                       ? "more than 99 labels; nothing ran\n"
                       : "the program is too long to run; nothing ran\n");
    }
    return form;
}

std::unique_ptr<Form1> startUp(std::string_view argumentText) {
    return startUp(
        argumentText, [] { return std::make_unique<Form1>(); }, std::cerr);
}

} // namespace tessivor::Module1
