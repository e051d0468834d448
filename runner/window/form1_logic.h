#pragma once
// The runner window `Form1` as every platform has it: the host of every run and the handlers
// of the menu `app`. The Qt and the Win32 windows derive from Form1Logic and give it their
// caption, their display `t1`, their menu item `larp` and their event queue; the file dialog
// `ComDLG` and the boxes come from the platform layer, so tests can answer them.

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "runner/machine/host.h"
#include "runner/machine/run.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tessivor {

class Form1Logic : public Host {
public:
    ~Form1Logic() override;
    Form1Logic(const Form1Logic&) = delete;
    Form1Logic& operator=(const Form1Logic&) = delete;

    /// Prepares `incode` and runs it with this window as its host, until the run ends.
    RunResult runprogram(const std::string& incode);

    /// Replaces the tick counter the runs read (tests start it near the counter's wrap).
    void setTickCount(std::function<std::int32_t()> tickCount);

    /// `larp` chosen: the program file picked in the Open dialog is read whole into
    /// `loadedcode` and run. A cancelled dialog runs nothing, even when it still holds an
    /// earlier choice; a file that cannot be read runs nothing either, without a word.
    void larpClick();
    /// `exit` chosen, or the window asked to close for any reason: ends the program at once.
    [[noreturn]] void exitClick();

    // Host: what a running program does to the window.
    void setCaption(std::string_view caption) override;
    void setDisplay(std::string_view text) override;
    void setLarpEnabled() override;
    void messageBox(std::string_view text) override;
    std::string inputBox(std::string_view prompt) override;
    void processEvents() override;
    std::int32_t tickCount() override;
    float randomSingle() override;
    const std::atomic<std::uint32_t>* tickPulse() override;

protected:
    /// The window on this file dialog and these boxes; the random generator is seeded from
    /// the clock here, as the window is created.
    Form1Logic(std::unique_ptr<platform::FileDialog> comDlg,
               std::unique_ptr<platform::Boxes> boxes);

    platform::FileDialog& comDlg() { return *ComDLG; }
    platform::Boxes& boxes() { return *boxes_; }

    // The window's side.

    /// Replaces the caption.
    virtual void showCaption(std::string_view caption) = 0;
    /// Replaces the whole text of `t1`. A window may hold the text back until showPending()
    /// or its next pass over the events, which is when it could draw it.
    virtual void showInT1(std::string_view text) = 0;
    /// Shows what showInT1() held back: before a box opens, and when a run ends.
    virtual void showPending() {}
    /// Enables the menu item `larp`.
    virtual void enableLarp() = 0;
    /// Handles every waiting event: menu commands, closing, painting.
    virtual void handlePendingEvents() = 0;
    /// Handles the waiting events that are not user input (painting, a request to close the
    /// window); keys and clicks wait for handlePendingEvents().
    virtual void handleNonInputEvents() = 0;

private:
    std::unique_ptr<platform::FileDialog> ComDLG;
    std::unique_ptr<platform::Boxes> boxes_;
    platform::SingleRandom random_; // seeded from the clock as the window is created
    std::function<std::int32_t()> tickCount_ = platform::tickCount;
};

} // namespace tessivor
