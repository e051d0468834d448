#include "runner/debug/describe.h"

#include "assembler/translate/program.h"
#include "runner/machine/test_host.h"

#include <gtest/gtest.h>

namespace tessivor {
namespace {

using testing::RecordingHost;

struct Described {
    RecordingHost host;
    std::unique_ptr<DebugSession> session;

    explicit Described(std::string_view source) {
        const Program p = Program::fromSource(source);
        session =
            std::make_unique<DebugSession>(DebugProgram{p.code, p.map, p.instructionTexts()}, host);
    }
    std::string text() const { return describeState(session->state(), session->cells()); }
};

TEST(DescribeState, NamesTheLineTheRegistersAndOnlyTheFilledCells) {
    Described d("set 01, 5;\nset 02, hi \"you\";\ninc 01\ndsp 01\nend\n");
    EXPECT_EQ(d.text(), "Line 1 (set 01, 5;): pc 1, cur 0, opb 0, opc 0 after 0 steps; "
                        "every cell is empty.");
    d.session->step(1);
    EXPECT_EQ(d.text(), "Line 2 (set 02, hi \"you\";): pc 7, cur 1, opb 0, opc 0 after 3 steps; "
                        "cell 01 holds \"5\".");
    d.session->step(2);
    // The quotes inside a cell are escaped, so the sentence shows where a text ends.
    EXPECT_EQ(d.text(), "Line 4 (dsp 01): pc 31, cur 1, opb 0, opc 0 after 15 steps; "
                        "cell 01 holds \"6\", cell 02 holds \"hi \\x22you\\x22\".");
}

TEST(DescribeState, AnEndedRunSaysHowItEnded) {
    Described terminated("set 07, x;\nend\n");
    terminated.session->cont();
    EXPECT_EQ(terminated.text(), "The program has terminated: pc 7, cur 7, opb 0, opc 0 after "
                                 "4 steps; cell 07 holds \"x\".");

    Described failed("set 01, x;\ninc 01\nend\n");
    failed.session->cont();
    const std::string failure = failed.text();
    EXPECT_EQ(failure.substr(0, failure.find(':')),
              "The program ended at line 2 (inc 01) with the error \"Type mismatch\"");
    EXPECT_NE(failure.find("cell 01 holds \"x\"."), std::string::npos) << failure;

    Described past("set 01, 1;\n");
    past.session->cont();
    EXPECT_EQ(past.text().substr(0, 46), "The program ran past its last instruction: pc ");
}

TEST(DescribeState, OneStepIsSingular) {
    Described d("set 01, 5;\nend\n");
    d.session->stepi(1);
    EXPECT_NE(d.text().find(" after 1 step; "), std::string::npos) << d.text();
}

} // namespace
} // namespace tessivor
