#include "runner/window/form1_logic.h"

#include "platform/end_program.h"
#include "platform/files.h"
#include "runner/window/start_up.h"

namespace tessivor {

namespace {
constexpr const char* kTitle = "Tessivor";
constexpr const char* kProgramFilter = "Tessivor Program (*.tsp) | *.tsp";
} // namespace

Form1Logic::Form1Logic(std::unique_ptr<platform::FileDialog> comDlg,
                       std::unique_ptr<platform::Boxes> boxes)
    : ComDLG(std::move(comDlg)), boxes_(std::move(boxes)) {}

Form1Logic::~Form1Logic() = default;

RunResult Form1Logic::runprogram(const std::string& incode) {
    RunResult result = tessivor::runprogram(incode, *this);
    showPending();
    return result;
}

void Form1Logic::larpClick() {
    ComDLG->Filter = kProgramFilter;
    // A cancelled dialog runs nothing, even when it still holds an earlier choice.
    if (!ComDLG->ShowOpen()) return;
    std::string reason;
    if (!platform::readWholeFile(ComDLG->path(), Module1::loadedcode, reason)) return;
    runprogram(Module1::loadedcode);
}

void Form1Logic::exitClick() { platform::endProgramNow(); }

void Form1Logic::setCaption(std::string_view caption) {
    showCaption(caption);
    // The machine sets the caption at each speed display refresh, once a second: the moment
    // for the window to repaint and to take a request to close. Commands still wait for "t".
    handleNonInputEvents();
}

void Form1Logic::setDisplay(std::string_view text) { showInT1(text); }

void Form1Logic::setLarpEnabled() { enableLarp(); }

void Form1Logic::messageBox(std::string_view text) {
    showPending();
    boxes_->messageBox(kTitle, text);
}

std::string Form1Logic::inputBox(std::string_view prompt) {
    showPending();
    return boxes_->inputBox(kTitle, prompt);
}

void Form1Logic::processEvents() { handlePendingEvents(); }

std::int32_t Form1Logic::tickCount() { return tickCount_(); }

void Form1Logic::setTickCount(std::function<std::int32_t()> tickCount) {
    tickCount_ = std::move(tickCount);
}

float Form1Logic::randomSingle() { return random_.next(); }

const std::atomic<std::uint32_t>* Form1Logic::tickPulse() { return platform::tickPulse(); }

} // namespace tessivor
