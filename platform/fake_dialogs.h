#pragma once
// A file dialog for tests, shared by the windows' tests: it answers from a queue and records
// what each dialog was shown with.

#include "platform/dialogs.h"

#include <deque>
#include <optional>
#include <string>
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

} // namespace tessivor::platform::testing
