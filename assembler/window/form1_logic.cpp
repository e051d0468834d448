#include "assembler/window/form1_logic.h"

#include "assembler/translate/compiletext.h"
#include "platform/end_program.h"
#include "platform/files.h"
#include "platform/source_text.h"

namespace tessivor::assembler {
namespace {

constexpr char kTitle[] = "Tessivor ASM";
constexpr char kSourceFilter[] = "Tessivor ASM File (*.tsasm) | *.tsasm";
constexpr char kProgramFilter[] = "Tessivor Program (*.tsp) | *.tsp";
constexpr char kCompileError[] = "Error Compiling.";

} // namespace

void Form1Logic::new_() { setSourceText({}); }

void Form1Logic::save() {
    ComDLG->Filter = kSourceFilter;
    if (ComDLG->ShowSave()) {
        const std::string source = sourceText();
        std::string reason;
        if (!platform::writeTextFile(ComDLG->path(), source, reason)) {
            reportFileFailure("save", reason);
        }
    }
    // A cancelled dialog ends the command quietly.
    ComDLG->FileName.clear();
}

void Form1Logic::load() {
    ComDLG->Filter = kSourceFilter;
    if (ComDLG->ShowOpen()) {
        std::string bytes;
        std::string reason;
        // The old text stays until the whole file has been read.
        if (platform::readWholeFile(ComDLG->path(), bytes, reason)) {
            setSourceText(platform::sourceFromFile(bytes));
        } else {
            reportFileFailure("load", reason);
        }
    }
    ComDLG->FileName.clear();
}

void Form1Logic::compile() {
    const std::string source = sourceText();
    const Translation translation = compiletext(source);
    if (!translation.ok) {
        compileFailed(translation.position);
        return;
    }
    ComDLG->Filter = kProgramFilter;
    std::string reason;
    if (!ComDLG->ShowSave() || !platform::writeTextFile(ComDLG->path(), translation.code, reason)) {
        // The scan has passed the end of the text, and so does the caret.
        compileFailed(source.size() + 1);
        return;
    }
    ComDLG->FileName.clear();
}

void Form1Logic::exit() { platform::endProgramNow(); }

void Form1Logic::compileFailed(std::size_t position) {
    ComDLG->FileName.clear();
    boxes_->messageBox(kTitle, kCompileError);
    setCaret(position);
}

void Form1Logic::reportFileFailure(const char* verb, const std::string& reason) {
    const std::string text =
        std::string("Could not ") + verb + " \"" + ComDLG->displayName() + "\": " + reason;
    ComDLG->FileName.clear();
    boxes_->messageBox(kTitle, text);
}

} // namespace tessivor::assembler
