#pragma once
// A file dialog and boxes for tests, shared by the windows' tests: they answer from a queue
// and record what each dialog and box was shown with.

#include "platform/dialogs.h"

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor::platform::testing {

/// Answers Open and Save dialogs from a queue: a name is chosen, nullopt is Cancel, and with no
/// answer left the dialog is cancelled (`unexpected` counts those).
class FakeFileDialog : public FileDialog {
public:
    struct Shown {
        std::string filter, fileName; ///< the Filter and the FileName offered
        bool operator==(const Shown&) const = default;
    };
    std::deque<std::optional<std::string>> answers;
    std::vector<Shown> shown;
    int unexpected = 0;

    bool ShowOpen() override { return answer(); }
    bool ShowSave() override { return answer(); }

private:
    bool answer() {
        shown.push_back({Filter, FileName});
        if (answers.empty()) {
            ++unexpected;
            return false;
        }
        const std::optional<std::string> name = answers.front();
        answers.pop_front();
        if (name) FileName = *name;
        return name.has_value();
    }
};

/// Records every message box and answers input boxes from a queue (none left: Cancel).
class FakeBoxes : public Boxes {
public:
    struct Shown {
        std::string title, text; ///< for an input box, the text is the prompt
        bool operator==(const Shown&) const = default;
        friend std::ostream& operator<<(std::ostream& os, const Shown& s) {
            return os << '{' << s.title << ", " << s.text << '}';
        }
    };
    std::vector<Shown> messages, prompts;
    std::deque<std::string> replies;

    void messageBox(std::string_view title, std::string_view text) override {
        messages.push_back({std::string(title), std::string(text)});
    }
    std::string inputBox(std::string_view title, std::string_view prompt) override {
        prompts.push_back({std::string(title), std::string(prompt)});
        if (replies.empty()) return {};
        std::string reply = std::move(replies.front());
        replies.pop_front();
        return reply;
    }
};

} // namespace tessivor::platform::testing
